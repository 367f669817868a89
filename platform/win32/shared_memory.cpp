// Named memory mappings on POSIX shared memory; see shared_memory.h.
#include "platform/win32/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace win32 {

namespace {

constexpr std::size_t kNameLimit = 200;

struct MappingObject : Win32Handle {
  int fd = -1;
  std::string system_name;  // empty for an unnamed area
  ~MappingObject() override {
    if (fd < 0) return;
    // The last holder removes the name, so the area lives exactly as long as its holders.
    if (!system_name.empty() && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::shm_unlink(system_name.c_str());
    ::close(fd);
  }
};

// Views by address, with their lengths (munmap needs them).
std::map<const void*, std::size_t>& Views() {
  static std::map<const void*, std::size_t> views;
  return views;
}

// The POSIX name of a Windows object name: one leading '/', and every byte outside letters,
// digits, '-', '_' and '.' written as %XX so that distinct names stay distinct.
std::string SystemName(const char* name) {
  std::string out = "/tessark-";
  for (const char* c = name; *c; ++c) {
    unsigned char byte = static_cast<unsigned char>(*c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.') {
      out += static_cast<char>(byte);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", byte);
      out += hex;
    }
  }
  return out;
}

HANDLE Adopt(int fd, std::string system_name) {
  // Every holder keeps a shared lock; see ~MappingObject.
  ::flock(fd, LOCK_SH);
  auto* mapping = new MappingObject;
  mapping->fd = fd;
  mapping->system_name = std::move(system_name);
  return mapping;
}

MappingObject* AsMapping(HANDLE object) {
  if (!object || object == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<MappingObject*>(object);
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD size_high,
                          DWORD size_low, LPCSTR name) {
  if (file != INVALID_HANDLE_VALUE || size_high != 0 || size_low == 0) return nullptr;
  if (name && std::char_traits<char>::length(name) > kNameLimit) return nullptr;
  std::string system_name = name ? SystemName(name) : std::string();
  int fd = name ? ::shm_open(system_name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)
                : ::memfd_create("tessark-mapping", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 ||
      (st.st_size < static_cast<off_t>(size_low) && ::ftruncate(fd, size_low) != 0)) {
    ::close(fd);
    return nullptr;
  }
  return Adopt(fd, system_name);
}

HANDLE OpenFileMappingA(DWORD access, BOOL inherit_handle, LPCSTR name) {
  if (!name || std::char_traits<char>::length(name) > kNameLimit) return nullptr;
  std::string system_name = SystemName(name);
  int fd = ::shm_open(system_name.c_str(), O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return Adopt(fd, system_name);
}

LPVOID MapViewOfFile(HANDLE object, DWORD access, DWORD offset_high, DWORD offset_low,
                     std::size_t bytes) {
  MappingObject* mapping = AsMapping(object);
  struct stat st;
  if (!mapping || offset_high != 0 || ::fstat(mapping->fd, &st) != 0) return nullptr;
  auto size = static_cast<std::size_t>(st.st_size);
  if (offset_low >= size || offset_low % static_cast<DWORD>(::getpagesize()) != 0) return nullptr;
  if (bytes == 0) bytes = size - offset_low;
  if (bytes > size - offset_low) return nullptr;
  int protection = PROT_READ;
  if (access & FILE_MAP_WRITE) protection |= PROT_WRITE;
  void* view = ::mmap(nullptr, bytes, protection, MAP_SHARED, mapping->fd, offset_low);
  if (view == MAP_FAILED) return nullptr;
  Views()[view] = bytes;
  return view;
}

BOOL UnmapViewOfFile(LPCVOID view) {
  auto found = Views().find(view);
  if (found == Views().end()) return FALSE;
  ::munmap(const_cast<void*>(view), found->second);
  Views().erase(found);
  return TRUE;
}

namespace testing {

void SharedMemoryUnlink(const char* name) {
  if (name) ::shm_unlink(SystemName(name).c_str());
}

}  // namespace testing

}  // namespace win32
