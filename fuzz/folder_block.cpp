// Fuzzes the readers of file and folder blocks (and the line and value readers that share the
// numbered-file stream). Whatever the bytes, the readers must not crash, hang or write outside
// the folder being unpacked: after every input the work folder's parent must hold nothing but
// the work folder, or the target stops.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/runtime_wire.h"
#include "tessark/file.h"

using namespace tessark;

namespace fs = std::filesystem;

namespace {

char g_root[4096];  // a plain array: still valid when the exit handler runs

// The fuzzing folder: <tmp>/tessark_fuzz_<pid>/work, made current once.
const fs::path& Work() {
  static const fs::path work = [] {
    fs::path root = fs::temp_directory_path() / ("tessark_fuzz_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "work");
    fs::current_path(root / "work");
    tessark::RuntimeWire();
    tessark::ModuleEntries& file = tessark::Modules().file;
    tessark::CallIf(file.Constructor, static_cast<void*>(nullptr));
    tessark::CallIf(file.PassCoreData, tessark::CoreDataGet());
    std::snprintf(g_root, sizeof g_root, "%s", root.c_str());
    std::atexit([] { fs::remove_all(g_root); });
    return root / "work";
  }();
  return work;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path& work = Work();
  {
    std::ofstream out("input.blk", std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  FileOpenRead(1, "input.blk");
  FileReadFolder(1, "out");
  FileReadBlock(1, "single\\block.bin");
  TextFree(FileReadString(1));
  FileReadLong(1);
  FileClose(1);

  for (const auto& entry : fs::directory_iterator(work.parent_path()))
    if (entry.path() != work) std::abort();  // something was written outside the work folder
  if (fs::current_path() != work) std::abort();
  fs::remove_all("out");
  fs::remove_all("single");
  return 0;
}
