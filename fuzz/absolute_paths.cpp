// Linked into every fuzz target: corpus folders and files named on the command line are made
// absolute before the fuzzer reads them, and crash files go to the folder the run started in
// unless told otherwise. A target that changes folder (the file-block target works in a
// folder of its own) then still finds its corpus and still saves what it finds.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& Storage() {
  static std::vector<std::string> strings;
  return strings;
}

}  // namespace

// A target may define this to add a flag that holds whatever the command line says (it is
// parsed last, and the last setting counts).
extern "C" __attribute__((weak)) const char* TessarkFuzzForcedFlag();

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd)) return 0;
  const std::string here = std::string(cwd) + "/";
  std::vector<std::string>& strings = Storage();
  bool artifact_prefix = false;
  for (int i = 0; i < *argc; ++i) {
    const char* arg = (*argv)[i];
    if (i > 0 && arg[0] != '-' && arg[0] != '/') {
      strings.push_back(here + arg);
    } else {
      if (std::strncmp(arg, "-artifact_prefix=", 17) == 0 ||
          std::strncmp(arg, "-exact_artifact_path=", 21) == 0) {
        artifact_prefix = true;
      }
      strings.push_back(arg);
    }
  }
  if (!artifact_prefix) strings.push_back("-artifact_prefix=" + here);
  if (TessarkFuzzForcedFlag) strings.push_back(TessarkFuzzForcedFlag());
  // The flags go before the corpus folders, as the fuzzer expects them.
  static std::vector<char*> args;
  for (std::string& s : strings) args.push_back(s.data());
  std::stable_partition(args.begin() + 1, args.end(), [](char* a) { return a[0] == '-'; });
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
  return 0;
}
