// The one file a download may remove again. A download writes through a name the program gave
// it, and that name may be anything: a device, a named pipe, a link to a file elsewhere. When
// the download fails, only what it made may go: a regular file it created or truncated, still
// the same file (not replaced in the meantime), never a link, a device or anything else.
#pragma once

#include <sys/types.h>

#include <string>

namespace wininet {

class DownloadMark {
 public:
  DownloadMark() = default;
  // Notes what name is right after the download opened it for writing.
  explicit DownloadMark(const std::string& name);
  // Removes the file when name still is that regular file; true when it did.
  bool RemoveIfOurs() const;

 private:
  std::string path_;  // the name as this system writes it; empty: nothing to remove
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace wininet
