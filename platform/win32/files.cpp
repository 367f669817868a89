// The Windows and C runtime file calls on POSIX; see files.h.
#include "platform/win32/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/paths.h"

namespace win32 {

namespace {

// ---------------------------------------------------------------------------------------------
// Kernel objects.

struct FileObject : Win32Handle {
  int fd = -1;
  ~FileObject() override {
    if (fd >= 0) ::close(fd);
  }
};

// One entry of a listing, as FindFirstFileA reports it.
struct Entry {
  std::string name;
  struct stat st {};
  std::time_t created = 0;
};

struct FindObject : Win32Handle {
  std::vector<Entry> entries;
  std::size_t next = 0;
};

FileObject* AsFile(HANDLE object) {
  if (!object || object == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<FileObject*>(object);
}

FindObject* AsFind(HANDLE object) {
  if (!object || object == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<FindObject*>(object);
}

// ---------------------------------------------------------------------------------------------
// Helpers.

std::string Native(LPCSTR name) {
  return NativePath(name ? name : "");
}

// Copies text into a caller's buffer the Windows way: the length written, or the size needed
// (terminator included) when it does not fit.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (!buffer || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

// The creation time where the file system keeps one, else the last write time.
std::time_t CreationTime(int folder_fd, const char* name, const struct stat& st) {
  struct statx sx;
  if (::statx(folder_fd, name, 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME))
    return static_cast<std::time_t>(sx.stx_btime.tv_sec);
  return st.st_mtime;
}

DWORD AttributesOf(const std::string& name, const struct stat& st) {
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..")
    attributes |= FILE_ATTRIBUTE_HIDDEN;
  if (!S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_ARCHIVE;
  return attributes;
}

FILETIME FileTimeOf(std::time_t time) {
  // 100-nanosecond steps since 1601-01-01.
  constexpr std::uint64_t kEpochDifference = 11644473600ull;
  std::uint64_t ticks = (static_cast<std::uint64_t>(time) + kEpochDifference) * 10000000ull;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::time_t TimeOf(const FILETIME& time) {
  constexpr std::uint64_t kEpochDifference = 11644473600ull;
  std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::time_t>(ticks / 10000000ull - kEpochDifference);
}

// Windows wildcard match without regard to case: '*' any run, '?' one character.
bool WildcardMatch(const char* pattern, const char* name) {
  if (*pattern == 0) return *name == 0;
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (WildcardMatch(pattern + 1, rest)) return true;
      if (*rest == 0) return false;
    }
  }
  if (*name == 0) return false;
  if (*pattern != '?' && std::tolower(static_cast<unsigned char>(*pattern)) !=
                             std::tolower(static_cast<unsigned char>(*name)))
    return false;
  return WildcardMatch(pattern + 1, name + 1);
}

bool NameMatches(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  // Collapse runs of '*' so that the recursion stays shallow for any pattern.
  std::string collapsed;
  for (char c : pattern)
    if (c != '*' || collapsed.empty() || collapsed.back() != '*') collapsed += c;
  return WildcardMatch(collapsed.c_str(), name.c_str());
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
  int order = ::strcasecmp(a.c_str(), b.c_str());
  return order != 0 ? order < 0 : a < b;
}

// Fills an entry from folder_fd/name; symbolic links report what they point at when they can.
bool StatEntry(int folder_fd, const std::string& name, Entry& entry) {
  entry.name = name;
  if (::fstatat(folder_fd, name.c_str(), &entry.st, 0) != 0 &&
      ::fstatat(folder_fd, name.c_str(), &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  entry.created = CreationTime(folder_fd, name.c_str(), entry.st);
  return true;
}

void FillFindData(const Entry& entry, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = AttributesOf(entry.name, entry.st);
  data->ftCreationTime = FileTimeOf(entry.created);
  data->ftLastAccessTime = FileTimeOf(entry.st.st_atime);
  data->ftLastWriteTime = FileTimeOf(entry.st.st_mtime);
  std::uint64_t size = S_ISDIR(entry.st.st_mode) ? 0 : static_cast<std::uint64_t>(entry.st.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  // Linux names are at most 255 bytes, so they always fit; the copy is bounded all the same.
  std::snprintf(data->cFileName, sizeof data->cFileName, "%s", entry.name.c_str());
}

// Splits a Windows name at its last separator into folder (with the separator) and last part.
void SplitLast(const std::string& name, std::string& folder, std::string& last) {
  std::size_t cut = name.find_last_of("\\/");
  if (cut == std::string::npos && name.size() >= 2 && name[1] == ':') cut = 1;
  if (cut == std::string::npos) {
    folder.clear();
    last = name;
  } else {
    folder = name.substr(0, cut + 1);
    last = name.substr(cut + 1);
  }
}

// Copies an open file's bytes to another; false on any failure.
bool CopyBytes(int from, int to) {
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      done += put;
    }
  }
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// -----------------------------------------------------------------------------------------------
// Files.

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD creation,
                   DWORD flags, HANDLE template_file) {
  std::string path = Native(name);
  if (path.empty()) return INVALID_HANDLE_VALUE;
  int mode = 0;
  if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
    mode = O_RDWR;
  } else if (access & GENERIC_WRITE) {
    mode = O_WRONLY;
  } else {
    mode = O_RDONLY;
  }
  switch (creation) {
    case CREATE_NEW:
      mode |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      mode |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      mode |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      mode |= O_TRUNC;
      break;
    default:
      return INVALID_HANDLE_VALUE;
  }
  if ((mode & O_TRUNC) && (mode & O_ACCMODE) == O_RDONLY) return INVALID_HANDLE_VALUE;
  // A folder is not a file; opening it fails on Windows without backup semantics.
  if (IsDirectory(path)) return INVALID_HANDLE_VALUE;
  // Not blocking on the open keeps a named pipe from hanging the program.
  int fd = ::open(path.c_str(), mode | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return INVALID_HANDLE_VALUE;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto* file = new FileObject;
  file->fd = fd;
  return file;
}

BOOL ReadFile(HANDLE object, LPVOID buffer, DWORD count, DWORD* read, void* overlapped) {
  if (read) *read = 0;
  FileObject* file = AsFile(object);
  if (!file || (!buffer && count > 0)) return FALSE;
  DWORD total = 0;
  while (total < count) {
    ssize_t got = ::read(file->fd, static_cast<char*>(buffer) + total, count - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (read) *read = total;
      return FALSE;
    }
    if (got == 0) break;
    total += static_cast<DWORD>(got);
  }
  if (read) *read = total;
  return TRUE;  // reaching the end is success with fewer bytes, as on Windows
}

BOOL WriteFile(HANDLE object, LPCVOID buffer, DWORD count, DWORD* written, void* overlapped) {
  if (written) *written = 0;
  FileObject* file = AsFile(object);
  if (!file || (!buffer && count > 0)) return FALSE;
  DWORD total = 0;
  while (total < count) {
    ssize_t put = ::write(file->fd, static_cast<const char*>(buffer) + total, count - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (written) *written = total;
      return FALSE;
    }
    total += static_cast<DWORD>(put);
  }
  if (written) *written = total;
  return TRUE;
}

DWORD SetFilePointer(HANDLE object, LONG distance, LONG* distance_high, DWORD method) {
  FileObject* file = AsFile(object);
  if (!file) return INVALID_SET_FILE_POINTER;
  off_t offset = distance;
  if (distance_high)
    offset =
        static_cast<off_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*distance_high)) << 32) |
                           static_cast<DWORD>(distance));
  int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
  off_t at = ::lseek(file->fd, offset, whence);
  if (at < 0) return INVALID_SET_FILE_POINTER;
  if (distance_high) *distance_high = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
  return static_cast<DWORD>(at);
}

DWORD GetFileSize(HANDLE object, DWORD* size_high) {
  FileObject* file = AsFile(object);
  struct stat st;
  if (!file || ::fstat(file->fd, &st) != 0) return INVALID_FILE_SIZE;
  auto size = static_cast<std::uint64_t>(st.st_size);
  if (size_high) *size_high = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE object) {
  if (!object || object == INVALID_HANDLE_VALUE) return FALSE;
  delete object;
  return TRUE;
}

// -----------------------------------------------------------------------------------------------
// Listings.

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  std::string folder, last;
  SplitLast(pattern, folder, last);
  std::string native = folder.empty() ? std::string(".") : Native(folder.c_str());
  if (native.empty() || last.empty()) return INVALID_HANDLE_VALUE;
  int folder_fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return INVALID_HANDLE_VALUE;
  DIR* dir = ::fdopendir(folder_fd);
  if (!dir) {
    ::close(folder_fd);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (NameMatches(last, name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), CaseInsensitiveLess);
  // A Windows disk lists "." and ".." first in every folder but the root.
  if (native != "/") {
    if (NameMatches(last, "..")) names.insert(names.begin(), "..");
    if (NameMatches(last, ".")) names.insert(names.begin(), ".");
  }
  auto find = std::make_unique<FindObject>();
  for (const std::string& name : names) {
    Entry entry;
    if (StatEntry(dirfd(dir), name, entry)) find->entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  if (find->entries.empty()) return INVALID_HANDLE_VALUE;
  FillFindData(find->entries[0], data);
  find->next = 1;
  return find.release();
}

BOOL FindNextFileA(HANDLE object, WIN32_FIND_DATAA* data) {
  FindObject* find = AsFind(object);
  if (!find || !data || find->next >= find->entries.size()) return FALSE;
  FillFindData(find->entries[find->next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE object) {
  if (!AsFind(object)) return FALSE;
  return CloseHandle(object);
}

// -----------------------------------------------------------------------------------------------
// Copying, moving, deleting, folders.

BOOL CopyFileA(LPCSTR source, LPCSTR destination, BOOL fail_if_exists) {
  std::string from = Native(source), to = Native(destination);
  if (from.empty() || to.empty() || IsDirectory(from) || IsDirectory(to)) return FALSE;
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FALSE;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return FALSE;
  }
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (fail_if_exists ? O_EXCL : O_TRUNC);
  int out = ::open(to.c_str(), flags, st.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return FALSE;
  }
  bool ok = CopyBytes(in, out);
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(to.c_str());  // no half-copied file is left behind
  return ok ? TRUE : FALSE;
}

BOOL MoveFileA(LPCSTR source, LPCSTR destination) {
  std::string from = Native(source), to = Native(destination);
  if (from.empty() || to.empty()) return FALSE;
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return FALSE;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
  if (errno == EINVAL) {
    // A file system without the no-replace switch: test first, then rename.
    if (::lstat(to.c_str(), &st) == 0) return FALSE;
    return ::rename(from.c_str(), to.c_str()) == 0 ? TRUE : FALSE;
  }
  if (errno == EXDEV && S_ISREG(st.st_mode)) {
    if (!CopyFileA(source, destination, TRUE)) return FALSE;
    return ::unlink(from.c_str()) == 0 ? TRUE : FALSE;
  }
  return FALSE;
}

BOOL DeleteFileA(LPCSTR name) {
  std::string path = Native(name);
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return FALSE;
  return ::unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

BOOL CreateDirectoryA(LPCSTR name, void* security) {
  std::string path = Native(name);
  if (path.empty()) return FALSE;
  return ::mkdir(path.c_str(), 0777) == 0 ? TRUE : FALSE;
}

BOOL RemoveDirectoryA(LPCSTR name) {
  std::string path = Native(name);
  if (path.empty()) return FALSE;
  return ::rmdir(path.c_str()) == 0 ? TRUE : FALSE;
}

BOOL SetCurrentDirectoryA(LPCSTR name) {
  return _chdir(name) == 0 ? TRUE : FALSE;
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return 0;
  std::string text = cwd;
  std::free(cwd);
  return CopyOut(text, buffer, size);
}

DWORD GetFileAttributesA(LPCSTR name) {
  std::string path = Native(name);
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  std::string folder, last;
  SplitLast(path, folder, last);
  DWORD attributes = AttributesOf(last, st);
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(LPCSTR name, DWORD attributes) {
  std::string path = Native(name);
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return FALSE;
  mode_t mode = st.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(path.c_str(), mode) == 0 ? TRUE : FALSE;
}

DWORD GetLogicalDrives() {
  return 1u << 2;
}

UINT GetDriveTypeA(LPCSTR root) {
  if (!root) return DRIVE_FIXED;  // the current directory's drive
  std::string text = root;
  if (text.size() >= 2 && text[1] == ':' && (text[0] == 'c' || text[0] == 'C') &&
      (text.size() == 2 || (text.size() == 3 && IsSeparator(text[2]))))
    return DRIVE_FIXED;
  return DRIVE_NO_ROOT_DIR;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
  const char* tmp = std::getenv("TMPDIR");
  std::string text = tmp && *tmp && IsDirectory(tmp) ? tmp : "/tmp";
  if (text.back() != '/') text += '/';
  return CopyOut(text, buffer, size);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  std::vector<char> path(4096);
  ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) {
    buffer[0] = 0;
    return 0;
  }
  // Windows cuts the name to the buffer and returns the buffer's size.
  auto count = static_cast<DWORD>(length);
  if (count >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = 0;
    return size;
  }
  std::memcpy(buffer, path.data(), count);
  buffer[count] = 0;
  return count;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  return CopyOut("/usr/share", buffer, size);
}

// -----------------------------------------------------------------------------------------------
// The C runtime's directory calls.

int _chdir(const char* name) {
  if (!name || !*name) return -1;
  std::string path = Native(name);
  if (path.empty()) return -1;
  return ::chdir(path.c_str()) == 0 ? 0 : -1;
}

char* _getcwd(char* buffer, int size) {
  if (!buffer || size <= 0) return nullptr;
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(size), buffer);
  return length > 0 && length < static_cast<DWORD>(size) ? buffer : nullptr;
}

int _chdrive(int drive) {
  return drive == 3 ? 0 : -1;
}

int _getdrive() {
  return 3;
}

namespace {

void FillFindData(const WIN32_FIND_DATAA& found, _finddata_t* data) {
  std::memset(data, 0, sizeof *data);
  data->attrib = found.dwFileAttributes & (_A_RDONLY | _A_HIDDEN | _A_SUBDIR | _A_ARCH);
  data->time_create = TimeOf(found.ftCreationTime);
  data->time_access = TimeOf(found.ftLastAccessTime);
  data->time_write = TimeOf(found.ftLastWriteTime);
  data->size = found.nFileSizeHigh ? 0xFFFFFFFFu : found.nFileSizeLow;
  std::memcpy(data->name, found.cFileName, sizeof data->name);
}

}  // namespace

std::intptr_t _findfirst(const char* pattern, _finddata_t* data) {
  if (!data) return -1;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return -1;
  FillFindData(found, data);
  return reinterpret_cast<std::intptr_t>(find);
}

int _findnext(std::intptr_t find, _finddata_t* data) {
  if (find == -1 || !data) return -1;
  WIN32_FIND_DATAA found;
  if (!FindNextFileA(reinterpret_cast<HANDLE>(find), &found)) return -1;
  FillFindData(found, data);
  return 0;
}

int _findclose(std::intptr_t find) {
  if (find == -1) return -1;
  return FindClose(reinterpret_cast<HANDLE>(find)) ? 0 : -1;
}

// -----------------------------------------------------------------------------------------------
// Writing beneath a folder.

HANDLE CreateFileInFolder(LPCSTR folder, LPCSTR relative_name, int max_depth) {
  if (!folder || !relative_name) return INVALID_HANDLE_VALUE;
  std::string name = relative_name;
  if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos)
    return INVALID_HANDLE_VALUE;
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsSeparator(name[i])) {
      if (part == "..") return INVALID_HANDLE_VALUE;
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += name[i];
    }
  }
  if (parts.empty() || IsSeparator(name.back())) return INVALID_HANDLE_VALUE;
  if (static_cast<int>(parts.size()) - 1 > max_depth) return INVALID_HANDLE_VALUE;

  std::string base = Native(folder);
  if (base.empty()) return INVALID_HANDLE_VALUE;
  int dir = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return INVALID_HANDLE_VALUE;
  // Walk down one folder at a time, never following a symbolic link, so nothing already on
  // disk can redirect the write outside the folder.
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    std::string entry = MatchEntry(dir, parts[i]);
    if (::mkdirat(dir, entry.c_str(), 0777) != 0 && errno != EEXIST) {
      ::close(dir);
      return INVALID_HANDLE_VALUE;
    }
    int next = ::openat(dir, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::close(dir);
    if (next < 0) return INVALID_HANDLE_VALUE;
    dir = next;
  }
  std::string entry = MatchEntry(dir, parts.back());
  int fd = ::openat(dir, entry.c_str(),
                    O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  ::close(dir);
  if (fd < 0) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return INVALID_HANDLE_VALUE;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto* file = new FileObject;
  file->fd = fd;
  return file;
}

}  // namespace win32
