// Windows file names resolved on a case-sensitive file system.
#include "platform/win32/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

namespace win32 {

std::string MatchEntry(int folder_fd, const std::string& component) {
  struct stat st;
  if (::fstatat(folder_fd, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return component;
  int fd = ::openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return component;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return component;
  }
  // Several entries may differ only in case; the smallest keeps the answer the same from run
  // to run whatever order the file system lists them in.
  std::string found;
  while (dirent* entry = ::readdir(dir)) {
    if (::strcasecmp(entry->d_name, component.c_str()) != 0) continue;
    if (found.empty() || found.compare(entry->d_name) > 0) found = entry->d_name;
  }
  ::closedir(dir);
  return found.empty() ? component : found;
}

std::string NativePath(std::string_view name) {
  std::string path;
  std::size_t i = 0;
  // "c:\" and "c:/" stand for the root; a drive-relative "c:name" for the current folder.
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
    if (std::tolower(static_cast<unsigned char>(name[0])) != 'c') return std::string();
    i = 2;
    if (i < name.size() && IsSeparator(name[i])) path = "/";
  } else if (!name.empty() && IsSeparator(name[0])) {
    path = "/";
  }

  std::string component;
  auto flush = [&](bool last) {
    if (component.empty()) return;
    if (component == "." || component == "..") {
      path += component;
    } else {
      int folder_fd = AT_FDCWD;
      if (!path.empty()) folder_fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folder_fd >= 0 || folder_fd == AT_FDCWD) {
        path += MatchEntry(folder_fd, component);
        if (folder_fd != AT_FDCWD) ::close(folder_fd);
      } else {
        path += component;
      }
    }
    if (!last) path += '/';
    component.clear();
  };

  for (; i < name.size(); ++i) {
    char c = name[i];
    if (IsSeparator(c)) {
      flush(false);
    } else {
      component += c;
    }
  }
  bool trailing = !name.empty() && IsSeparator(name.back());
  flush(!trailing);
  if (path.empty()) path = ".";
  return path;
}

}  // namespace win32
