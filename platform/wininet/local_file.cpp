// The file a download may remove. See local_file.h.
#include "platform/wininet/local_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/win32/paths.h"

namespace wininet {

DownloadMark::DownloadMark(const std::string& name) {
  const std::string path = win32::NativePath(name);
  struct stat st {};
  // lstat: a link is the link, never the file it points to.
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  path_ = path;
  device_ = st.st_dev;
  inode_ = st.st_ino;
}

bool DownloadMark::RemoveIfOurs() const {
  if (path_.empty()) return false;
  struct stat st {};
  if (::lstat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != device_ ||
      st.st_ino != inode_)
    return false;
  return ::unlink(path_.c_str()) == 0;
}

}  // namespace wininet
