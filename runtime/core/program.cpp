// The program's own context and its public queries: the start folder, the per-user data folder
// and the game's command-line arguments (what the launch options left to the game).
#include "runtime/core/program.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "runtime/core/text_alloc.h"
#include "runtime/core/launch_options.h"
#include "tessark/core.h"

namespace tessark {

namespace {

namespace fs = std::filesystem;

std::string& Recorded() {
  static std::string folder;
  return folder;
}

// The executable's file name, else argv[0]'s, else "tessark".
std::string ProgramName() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (!error && !exe.filename().empty()) return exe.filename().string();
  fs::path given = LaunchOptionsGet().program;
  return given.filename().empty() ? "tessark" : given.filename().string();
}

}  // namespace

void StartFolderRecord() {
  if (!Recorded().empty()) return;
  std::error_code error;
  Recorded() = fs::current_path(error).string();
}

const std::string& StartFolder() {
  if (Recorded().empty()) StartFolderRecord();
  return Recorded();
}

std::string UserDataFolder() {
  const char* data_home = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  fs::path base;
  // An XDG variable that is not an absolute path is to be ignored.
  if (data_home && data_home[0] == '/') {
    base = data_home;
  } else if (home && *home) {
    base = fs::path(home) / ".local" / "share";
  } else {
    return "";
  }
  fs::path folder = base / ProgramName();
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return "";
  return folder.string();
}

char* DirectoryStart() {
  return TextCopy(StartFolder().c_str());
}

char* DirectoryUserData() {
  return TextCopy(UserDataFolder().c_str());
}

std::int32_t ArgumentCount() {
  return static_cast<std::int32_t>(LaunchOptionsGet().game_arguments.size());
}

char* ArgumentGet(std::int32_t n) {
  const auto& arguments = LaunchOptionsGet().game_arguments;
  if (n < 1 || n > ArgumentCount()) return TextCopy("");
  return TextCopy(arguments[static_cast<std::size_t>(n - 1)].c_str());
}

}  // namespace tessark
