// The file module's operations on single named files: existence, sizes, making, copying,
// moving and deleting, and peeking and poking single bytes. Depends on the win32 file calls.
#include <cstring>

#include "runtime/file/file_state.h"
#include "tessark/file.h"

namespace tessark {

using namespace tessark::file;

namespace {

// A named file opened for reading, or none.
win32::UniqueHandle OpenForReading(const char* name) {
  return win32::AdoptHandle(win32::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

bool FileExists(const char* name) {
  char resolved[kNameSize];
  if (!ResolveName(name, resolved)) return 0;
  return OpenForReading(resolved) ? 1 : 0;
}

bool PathExists(const char* name) {
  if (!name) return 0;
  return win32::GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

std::int32_t FileSize(const char* name) {
  char resolved[kNameSize];
  if (!ResolveName(name, resolved)) return 0;
  win32::UniqueHandle file = OpenForReading(resolved);
  if (!file) return 0;
  DWORD size = win32::GetFileSize(file.get(), nullptr);
  return size == INVALID_FILE_SIZE ? 0 : static_cast<std::int32_t>(size);
}

void FileMake(const char* name) {
  if (!name) return;
  win32::AdoptHandle(win32::CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

void FileDelete(const char* name) {
  if (!name) return;
  win32::SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);
  if (win32::GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES) win32::DeleteFileA(name);
}

void FileCopy(const char* source, const char* destination) {
  char resolved[kNameSize];
  if (!destination || !ResolveName(source, resolved)) return;
  Unscramble(resolved);
  if (win32::GetFileAttributesA(resolved) != INVALID_FILE_ATTRIBUTES &&
      win32::GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES) {
    win32::CopyFileA(resolved, destination, TRUE);
  }
  Rescramble(resolved);
}

void FileMove(const char* source, const char* destination) {
  if (!source || !destination) return;
  if (win32::GetFileAttributesA(destination) != INVALID_FILE_ATTRIBUTES) return;
  win32::MoveFileA(source, destination);
}

// Only the one byte is read or written: the result is the same as reading the whole file, and
// a failing write can no longer cut the file short.
std::int32_t FilePeekByte(const char* name, std::int32_t position) {
  if (!name || position < 0) return 0;
  win32::UniqueHandle file = OpenForReading(name);
  if (!file) return 0;
  DWORD size = win32::GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || static_cast<DWORD>(position) >= size) return 0;
  if (win32::SetFilePointer(file.get(), position, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return 0;
  BYTE byte = 0;
  DWORD read = 0;
  win32::ReadFile(file.get(), &byte, 1, &read, nullptr);
  return read == 1 ? byte : 0;
}

void FilePokeByte(const char* name, std::int32_t position, std::int32_t value) {
  if (!name || position < 0) return;
  win32::UniqueHandle file =
      win32::AdoptHandle(win32::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD size = win32::GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE || static_cast<DWORD>(position) >= size) return;
  if (win32::SetFilePointer(file.get(), position, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return;
  BYTE byte = static_cast<BYTE>(value);
  DWORD written = 0;
  win32::WriteFile(file.get(), &byte, 1, &written, nullptr);
}

}  // namespace tessark
