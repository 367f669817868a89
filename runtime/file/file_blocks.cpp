// File blocks and folder blocks in numbered files, and the memory-block transfers.
//
// A file block is a 32-bit size and that many bytes. A folder block is a 32-bit count and, per
// file, a 32-bit name length (terminator included), the zero-terminated name relative to the
// folder with "\" between folders, a 32-bit size and the content. Blocks come from outside the
// program, so the readers trust nothing in them: sizes are streamed in pieces rather than
// allocated up front, names are bounded by the 260-byte name buffer, and every file is written
// beneath the folder being unpacked. An entry whose name would lead outside it (a ".."
// component, a leading "\" or a drive) is skipped, its content read past, and the read goes on
// with the next entry. A length that no name can have, or data that ends early, stops the read.
// Depends on the win32 file calls and the memory-block services bound at PassCoreData.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/paths.h"
#include "runtime/core/errors.h"
#include "runtime/file/file_state.h"
#include "runtime/file/file_stream.h"
#include "tessark/file.h"
#include "tessark/errors.h"

namespace tessark {

using namespace tessark::file;

namespace {

// Folders below the unpacked folder are created to any depth a 259-character name allows.
constexpr int kFolderDepthLimit = static_cast<int>(kNameSize);
constexpr DWORD kChunk = 65536;

// Moves size bytes from the slot to out (or past them when out is null); false when the slot
// ran out first. Pieces keep a made-up size from claiming memory it does not fill.
bool CopyFromSlot(FileSlot& slot, HANDLE out, std::uint32_t size) {
  std::vector<char> buffer(std::min<std::uint32_t>(size, kChunk));
  while (size > 0) {
    DWORD step = std::min<std::uint32_t>(size, kChunk);
    DWORD got = SlotRead(slot, buffer.data(), step);
    if (got > 0 && out) {
      DWORD written = 0;
      win32::WriteFile(out, buffer.data(), got, &written, nullptr);
    }
    if (got < step) return false;
    size -= step;
  }
  return true;
}

// Writes exactly size bytes of in to the slot: a file that shrank meanwhile is padded with
// zeros and one that grew is cut, so the block stays readable either way.
bool CopyToSlot(FileSlot& slot, HANDLE in, std::uint32_t size) {
  std::vector<char> buffer(std::min<std::uint32_t>(size, kChunk));
  while (size > 0) {
    DWORD step = std::min<std::uint32_t>(size, kChunk);
    DWORD got = 0;
    if (!in || !win32::ReadFile(in, buffer.data(), step, &got, nullptr)) got = 0;
    std::fill(buffer.begin() + got, buffer.begin() + step, 0);
    if (!SlotWrite(slot, buffer.data(), step)) return false;
    size -= step;
  }
  return true;
}

// A file's size for a block; files of 2 GB or more do not fit the block's size field.
bool BlockSize(HANDLE file, std::uint32_t& size) {
  DWORD high = 0;
  DWORD low = win32::GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE || high != 0 || low > 0x7FFFFFFFu) return false;
  size = low;
  return true;
}

win32::UniqueHandle OpenForReading(const std::string& name) {
  return win32::AdoptHandle(win32::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
}

// One file found by the folder walk: its path on disk and its name inside the block.
struct PackedFile {
  std::string path;
  std::string name;
};

// Depth-first walk of native folder: entries in listing order, each subfolder where it is met.
// Links to folders are not walked into (they could lead back up and never end).
void WalkFolder(const std::string& native, const std::string& prefix,
                std::vector<PackedFile>& files) {
  WIN32_FIND_DATAA data;
  HANDLE find = win32::FindFirstFileA((native + "/*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = native + "/" + name;
    std::string packed = prefix + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      WalkFolder(path, packed + "\\", files);
    } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && packed.size() < kNameSize) {
      // Longer names could not be read back into the 260-byte name buffer.
      files.push_back({path, packed});
    }
  } while (win32::FindNextFileA(find, &data));
  win32::FindClose(find);
}

// Creates every folder of a Windows path, each folder from the one before it.
void MakePath(const std::string& path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!win32::IsSeparator(path[i]) || i == 0 || path[i - 1] == ':') continue;
    win32::CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
  win32::CreateDirectoryA(path.c_str(), nullptr);
}

// Checks shared by the memory-block transfers; false when the operation is to do nothing.
bool TransferReady(std::int32_t memblock, std::int32_t number, FileSlot*& slot) {
  const MemblockServices& services = State().memblock;
  if (!services.Make || !services.Address || !services.Size) return false;
  if (memblock < 1 || memblock > 255) {
    RuntimeError(error::kMemblockNumberOutOfRange);
    return false;
  }
  slot = Slot(number);
  if (!slot) return false;
  if (!slot->handle) {
    RuntimeError(error::kFileNotOpen);
    return false;
  }
  return true;
}

// Writes a memory block's bytes, with its size first when with_size is set.
void WriteMemblock(std::int32_t number, std::int32_t memblock, bool with_size) {
  FileSlot* slot = nullptr;
  if (!TransferReady(memblock, number, slot)) return;
  std::uint8_t* bytes = State().memblock.Address(memblock);
  if (!bytes) {
    RuntimeError(error::kMemblockMissing);
    return;
  }
  std::int32_t size = std::max(State().memblock.Size(memblock), 0);
  bool ok = !with_size || SlotWriteUnsigned(*slot, static_cast<std::uint32_t>(size), 4);
  if (ok) ok = SlotWrite(*slot, bytes, static_cast<DWORD>(size));
  if (!ok) RuntimeError(error::kFileWriteFailed);
}

}  // namespace

void FileWriteBlock(std::int32_t number, const char* name) {
  FileSlot* slot = Slot(number);
  if (!slot || !slot->handle || !name) return;
  win32::UniqueHandle in = OpenForReading(name);
  std::uint32_t size = 0;
  if (!in || !BlockSize(in.get(), size)) return;
  if (SlotWriteUnsigned(*slot, size, 4)) CopyToSlot(*slot, in.get(), size);
}

void FileReadBlock(std::int32_t number, const char* name) {
  FileSlot* slot = Slot(number);
  if (!slot || !slot->handle || !name) return;
  std::uint32_t size = 0;
  if (!SlotReadU32(*slot, size)) return;
  // The block's content goes only beneath the current folder; a name leading elsewhere is
  // refused and the content read past, so the file stays in step for the reads after it.
  win32::UniqueHandle out =
      win32::AdoptHandle(win32::CreateFileInFolder(".", name, kFolderDepthLimit));
  CopyFromSlot(*slot, out.get(), size);
}

void FileWriteFolder(std::int32_t number, const char* folder) {
  FileSlot* slot = Slot(number);
  if (!slot || !slot->handle || !folder) return;
  std::string native = win32::NativePath(folder);
  if (native.empty()) return;
  // One walk gives both the count and the files, so they always agree.
  std::vector<PackedFile> files;
  WalkFolder(native, "", files);
  if (!SlotWriteUnsigned(*slot, static_cast<std::uint32_t>(files.size()), 4)) return;
  for (const PackedFile& file : files) {
    win32::UniqueHandle in = OpenForReading(file.path);
    std::uint32_t size = 0;
    if (!in || !BlockSize(in.get(), size)) size = 0;  // unreadable: kept as an empty file
    auto length = static_cast<std::uint32_t>(file.name.size() + 1);
    if (!SlotWriteUnsigned(*slot, length, 4) || !SlotWrite(*slot, file.name.c_str(), length) ||
        !SlotWriteUnsigned(*slot, size, 4) || !CopyToSlot(*slot, in.get(), size))
      return;
  }
}

void FileReadFolder(std::int32_t number, const char* folder) {
  FileSlot* slot = Slot(number);
  if (!slot || !slot->handle || !folder || !*folder) return;
  MakePath(folder);
  // The files are written beneath the folder by name, without entering it: the current
  // directory is never changed, so it cannot be left changed.
  std::uint32_t count = 0;
  if (!SlotReadU32(*slot, count)) return;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t length = 0;
    if (!SlotReadU32(*slot, length)) return;
    if (length < 1 || length > kNameSize) return;  // no name is that long: not a folder block
    char name[kNameSize];
    if (SlotRead(*slot, name, length) < length) return;
    name[length - 1] = 0;
    std::uint32_t size = 0;
    if (!SlotReadU32(*slot, size)) return;
    win32::UniqueHandle out =
        win32::AdoptHandle(win32::CreateFileInFolder(folder, name, kFolderDepthLimit));
    if (!CopyFromSlot(*slot, out.get(), size)) return;
  }
}

void FileReadMemblock(std::int32_t number, std::int32_t memblock) {
  FileSlot* slot = nullptr;
  if (!TransferReady(memblock, number, slot)) return;
  std::uint32_t size = 0;
  if (!SlotReadU32(*slot, size)) {
    RuntimeError(error::kFileReadFailed);
    return;
  }
  std::uint8_t* bytes = State().memblock.Make(memblock, static_cast<std::int32_t>(size));
  if (!bytes) {
    RuntimeError(error::kMemblockAllocFailed);
    return;
  }
  if (SlotRead(*slot, bytes, size) < size) RuntimeError(error::kFileReadFailed);
}

void FileLoadMemblock(std::int32_t memblock, std::int32_t number) {
  FileSlot* slot = nullptr;
  if (!TransferReady(memblock, number, slot)) return;
  std::uint32_t size = 0;
  if (!BlockSize(slot->handle.get(), size)) {
    RuntimeError(error::kFileReadFailed);
    return;
  }
  std::uint8_t* bytes = State().memblock.Make(memblock, static_cast<std::int32_t>(size));
  if (!bytes) {
    RuntimeError(error::kMemblockAllocFailed);
    return;
  }
  // The whole file, from its start, whatever has been read from it before.
  win32::SetFilePointer(slot->handle.get(), 0, nullptr, FILE_BEGIN);
  if (SlotRead(*slot, bytes, size) < size) RuntimeError(error::kFileReadFailed);
}

void FileWriteMemblock(std::int32_t number, std::int32_t memblock) {
  WriteMemblock(number, memblock, true);
}

void FileWriteMemblockData(std::int32_t number, std::int32_t memblock) {
  WriteMemblock(number, memblock, false);
}

}  // namespace tessark
