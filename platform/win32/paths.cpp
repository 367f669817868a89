// Windows file names resolved on a case-sensitive file system.
#include "platform/win32/paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cctype>

namespace win32 {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals component without regard to case, or component.
std::string MatchComponent(const std::string& folder, const std::string& component) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return component;
  std::string found = component;
  while (dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, component.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::string NativePath(std::string_view name) {
  std::string path;
  std::size_t i = 0;
  // "c:\" and "c:/" stand for the root; a drive-relative "c:name" for the current folder.
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
    i = 2;
    if (i < name.size() && (name[i] == '\\' || name[i] == '/')) path = "/";
  } else if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
    path = "/";
  }

  std::string component;
  auto flush = [&](bool last) {
    if (component.empty()) return;
    std::string folder = path;
    std::string candidate = folder + component;
    if (component != "." && component != ".." && !Exists(candidate)) {
      candidate = folder + MatchComponent(folder, component);
    }
    path = candidate;
    if (!last) path += '/';
    component.clear();
  };

  for (; i < name.size(); ++i) {
    char c = name[i];
    if (c == '\\' || c == '/') {
      flush(false);
    } else {
      component += c;
    }
  }
  bool trailing = !name.empty() && (name.back() == '\\' || name.back() == '/');
  flush(!trailing);
  if (path.empty()) path = ".";
  return path;
}

}  // namespace win32
