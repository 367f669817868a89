// Starting other programs, watching and closing them, and the named shared areas. Depends on
// the win32 process and shared-memory calls and on the core's MessagePump.
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/paths.h"
#include "platform/win32/process.h"
#include "platform/win32/shared_memory.h"
#include "runtime/file/file_state.h"
#include "runtime/core/core_data.h"
#include "runtime/core/text_alloc.h"
#include "tessark/file.h"

namespace tessark {

using namespace tessark::file;

namespace {

constexpr DWORD kAreaSize = 1024;
constexpr std::size_t kAreaTextOffset = 8;
constexpr std::size_t kAreaTextLimit = 1000;

// The shared areas this program has opened, by name. Each is opened once and held until the
// process ends, so an area lives as long as this program or another one holds it.
std::map<std::string, win32::UniqueHandle>& Areas() {
  static std::map<std::string, win32::UniqueHandle> areas;
  return areas;
}

// A view of the named area (made if no program holds it yet), unmapped when it goes.
class AreaView {
 public:
  AreaView(const char* name, bool write) {
    if (!name) return;
    win32::UniqueHandle& area = Areas()[name];
    if (!area) {
      area = win32::UniqueHandle(win32::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                                           PAGE_READWRITE, 0, kAreaSize, name));
    }
    if (!area) {
      Areas().erase(name);
      return;
    }
    bytes_ = static_cast<BYTE*>(
        win32::MapViewOfFile(area.get(), write ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, kAreaSize));
  }
  ~AreaView() {
    if (bytes_) win32::UnmapViewOfFile(bytes_);
  }
  AreaView(const AreaView&) = delete;
  AreaView& operator=(const AreaView&) = delete;
  BYTE* bytes() const { return bytes_; }

 private:
  BYTE* bytes_ = nullptr;
};

void StoreLong(BYTE* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}

std::uint32_t LoadLong(const BYTE* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

HWND Window() {
  return State().core ? State().core->window : nullptr;
}

}  // namespace

void ProgramRun(const char* file, const char* parameters, const char* folder) {
  State().process.reset();
  win32::ShellExecuteA(Window(), "open", file, parameters, folder, SW_SHOWNORMAL);
}

void ProgramRun(const char* file, const char* parameters, const char* folder, std::int32_t wait) {
  State().process.reset();
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = Window();
  info.lpVerb = "open";
  info.lpFile = file;
  info.lpParameters = parameters;
  info.lpDirectory = folder;
  info.nShow = SW_SHOWNORMAL;
  if (!win32::ShellExecuteExA(&info)) return;
  State().process = win32::UniqueHandle(info.hProcess);
  if (wait != 1 || !State().process) return;
  for (;;) {
    DWORD code = 0;
    if (!win32::GetExitCodeProcess(State().process.get(), &code) || code != STILL_ACTIVE) return;
    CoreData* core = State().core;
    if (core && core->MessagePump && core->MessagePump() == 1) return;
    // The window keeps answering through the pump; a short sleep keeps the wait off the CPU.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::int32_t ProcessStart(const char* program, const char* command, const char* arguments,
                          const char* folder, std::int32_t high_priority) {
  std::string line = std::string(command ? command : "") + " " + (arguments ? arguments : "");
  std::string work = folder ? folder : "";
  // A folder with a drive (or, here, one from the root) is taken as it is; any other counts
  // from the current directory.
  bool absolute =
      (work.size() >= 2 && work[1] == ':') || (!work.empty() && win32::IsSeparator(work[0]));
  if (!absolute) {
    char* current = DirectoryGet();
    work = std::string(current ? current : "") + "\\" + work;
    TextFree(current);
  }
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back(0);
  STARTUPINFOA startup{sizeof(STARTUPINFOA), 0, SW_SHOWNORMAL};
  PROCESS_INFORMATION information{};
  DWORD priority = high_priority == 1 ? HIGH_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS;
  if (!win32::CreateProcessA(program && *program ? program : nullptr, buffer.data(), nullptr,
                             nullptr, FALSE, priority, nullptr, work.c_str(), &startup,
                             &information))
    return 0;
  win32::CloseHandle(information.hProcess);
  return static_cast<std::int32_t>(information.dwProcessId);
}

bool ProcessRunning(std::int32_t process_id) {
  if (process_id <= 0) return 0;
  win32::UniqueHandle process = win32::UniqueHandle(
      win32::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(process_id)));
  DWORD code = 0;
  return process && win32::GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE ? 1 : 0;
}

void ProcessClose(std::int32_t process_id) {
  if (process_id > 0) win32::PostCloseToProcessWindows(static_cast<DWORD>(process_id));
}

void SharedAreaWriteNumber(const char* name, std::int32_t value) {
  AreaView view(name, true);
  if (view.bytes()) StoreLong(view.bytes(), static_cast<std::uint32_t>(value));
}

void SharedAreaWriteText(const char* name, const char* text) {
  if (!text) return;
  std::size_t length = strnlen(text, kAreaTextLimit + 1);
  if (length > kAreaTextLimit) return;  // does not fit the area
  AreaView view(name, true);
  if (!view.bytes()) return;
  StoreLong(view.bytes() + 4, static_cast<std::uint32_t>(length));
  std::memcpy(view.bytes() + kAreaTextOffset, text, length + 1);
}

std::int32_t SharedAreaReadNumber(const char* name) {
  AreaView view(name, false);
  return view.bytes() ? static_cast<std::int32_t>(LoadLong(view.bytes())) : 0;
}

// Another program may have left anything in the area: the text is taken up to its terminator
// or the area's end, whatever the stored length says.
static std::string SharedAreaReadTextString(const char* name) {
  AreaView view(name, false);
  if (!view.bytes()) return std::string();
  const char* text = reinterpret_cast<const char*>(view.bytes() + kAreaTextOffset);
  return std::string(text, strnlen(text, kAreaSize - kAreaTextOffset));
}

char* SharedAreaReadText(const char* name) {
  return TextCopy(SharedAreaReadTextString(name).c_str());
}

}  // namespace tessark
