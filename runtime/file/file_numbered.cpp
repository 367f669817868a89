// The 64 numbered files: opening, closing, and the typed reads and writes (little-endian bytes,
// words, longs and floats, and CR LF lines). Depends on the win32 file calls.
#include <cstring>

#include "runtime/file/file_state.h"
#include "runtime/file/file_stream.h"
#include "runtime/core/errors.h"
#include "runtime/core/text_alloc.h"
#include "tessark/file.h"
#include "tessark/errors.h"

namespace tessark {

using namespace tessark::file;
}  // namespace tessark

namespace tessark::file {

DWORD SlotRead(FileSlot& slot, void* buffer, DWORD count) {
  DWORD read = 0;
  if (!slot.handle || !win32::ReadFile(slot.handle.get(), buffer, count, &read, nullptr)) read = 0;
  if (read < count) slot.end = true;
  return read;
}

bool SlotWrite(FileSlot& slot, const void* buffer, DWORD count) {
  DWORD written = 0;
  return slot.handle && win32::WriteFile(slot.handle.get(), buffer, count, &written, nullptr) &&
         written == count;
}

std::uint32_t SlotReadUnsigned(FileSlot& slot, DWORD bytes) {
  BYTE raw[4] = {};
  SlotRead(slot, raw, bytes);
  // Missing bytes read as 0, so a value cut short at the end is not made up.
  return static_cast<std::uint32_t>(raw[0]) | static_cast<std::uint32_t>(raw[1]) << 8 |
         static_cast<std::uint32_t>(raw[2]) << 16 | static_cast<std::uint32_t>(raw[3]) << 24;
}

bool SlotReadU32(FileSlot& slot, std::uint32_t& value) {
  BYTE raw[4] = {};
  bool whole = SlotRead(slot, raw, 4) == 4;
  value = static_cast<std::uint32_t>(raw[0]) | static_cast<std::uint32_t>(raw[1]) << 8 |
          static_cast<std::uint32_t>(raw[2]) << 16 | static_cast<std::uint32_t>(raw[3]) << 24;
  return whole;
}

bool SlotWriteUnsigned(FileSlot& slot, std::uint32_t value, DWORD bytes) {
  BYTE raw[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                 static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return SlotWrite(slot, raw, bytes);
}

}  // namespace tessark::file

namespace tessark {

void FileOpenRead(std::int32_t number, const char* name) {
  FileSlot* slot = Slot(number);
  if (!slot) return;
  if (slot->handle) {
    RuntimeErrorDetail(error::kFileNumberInUse, "FileOpenRead(%d, \"%s\"): file %d is open already",
                       number, name ? name : "", number);
    return;
  }
  if (!FileExists(name)) {
    RuntimeErrorDetail(error::kFileMissing, "FileOpenRead(%d, \"%s\"): %s", number,
                       name ? name : "", FileProblem(name, "it cannot be read").c_str());
    return;
  }
  char resolved[kNameSize];
  if (!ResolveName(name, resolved)) return;
  Unscramble(resolved);
  slot->handle =
      win32::AdoptHandle(win32::CreateFileA(resolved, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (slot->handle) {
    slot->reading = true;
    slot->kept_name = resolved;
  }
}

void FileOpenWrite(std::int32_t number, const char* name) {
  FileSlot* slot = Slot(number);
  if (!slot || slot->handle || !name) return;
  // CREATE_NEW fails on an existing name, so no file is ever replaced this way.
  slot->handle = win32::AdoptHandle(win32::CreateFileA(
      name, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!slot->handle)
    RuntimeNoticeFormat(
        "FileOpenWrite(%d, \"%s\"): %s", number, name,
        FileExists(name)
            ? "the file exists, and FileOpenWrite never replaces one (FileDelete it first)"
            : "the file cannot be made (a missing folder, or no permission to write there)");
  slot->reading = false;
}

void FileClose(std::int32_t number) {
  FileSlot* slot = Slot(number);
  if (!slot) return;
  slot->handle.reset();
  slot->end = false;
  if (slot->reading) Rescramble(slot->kept_name.c_str());
  slot->reading = false;
  slot->kept_name.clear();
}

bool FileIsOpen(std::int32_t number) {
  FileSlot* slot = Slot(number, false);
  return slot && slot->handle ? 1 : 0;
}

bool FileEnd(std::int32_t number) {
  FileSlot* slot = Slot(number, false);
  return slot && slot->end ? 1 : 0;
}

std::int32_t FileReadByte(std::int32_t number) {
  FileSlot* slot = Slot(number);
  return slot ? static_cast<std::int32_t>(SlotReadUnsigned(*slot, 1)) : 0;
}

std::int32_t FileReadWord(std::int32_t number) {
  FileSlot* slot = Slot(number);
  return slot ? static_cast<std::int32_t>(SlotReadUnsigned(*slot, 2)) : 0;
}

std::int32_t FileReadLong(std::int32_t number) {
  FileSlot* slot = Slot(number);
  return slot ? static_cast<std::int32_t>(SlotReadUnsigned(*slot, 4)) : 0;
}

float FileReadFloat(std::int32_t number) {
  FileSlot* slot = Slot(number);
  if (!slot) return 0.0f;
  std::uint32_t bits = SlotReadUnsigned(*slot, 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Lines of any length are read whole: there is no fixed buffer for them to overrun.
static std::string FileReadStringString(std::int32_t number) {
  FileSlot* slot = Slot(number);
  std::string line;
  if (!slot) return line;
  if (!slot->handle) {
    slot->end = true;  // nothing to read, as for the other reads
    return line;
  }
  for (;;) {
    BYTE byte = 0;
    if (SlotRead(*slot, &byte, 1) == 0) break;
    if (byte >= 32 || byte == 9) {
      line += static_cast<char>(byte);
      continue;
    }
    if (byte == 13) SlotRead(*slot, &byte, 1);  // the 10 of a CR LF pair
    break;
  }
  return line;
}

char* FileReadString(std::int32_t number) {
  return TextCopy(FileReadStringString(number).c_str());
}

void FileSkip(std::int32_t number, std::int32_t count) {
  FileSlot* slot = Slot(number);
  if (!slot) return;
  char buffer[4096];
  while (count > 0) {
    DWORD step = count < static_cast<std::int32_t>(sizeof buffer) ? static_cast<DWORD>(count)
                                                                  : sizeof buffer;
    if (SlotRead(*slot, buffer, step) < step) return;
    count -= static_cast<std::int32_t>(step);
  }
}

void FileWriteByte(std::int32_t number, std::int32_t value) {
  if (FileSlot* slot = Slot(number)) SlotWriteUnsigned(*slot, static_cast<std::uint32_t>(value), 1);
}

void FileWriteWord(std::int32_t number, std::int32_t value) {
  if (FileSlot* slot = Slot(number)) SlotWriteUnsigned(*slot, static_cast<std::uint32_t>(value), 2);
}

void FileWriteLong(std::int32_t number, std::int32_t value) {
  if (FileSlot* slot = Slot(number)) SlotWriteUnsigned(*slot, static_cast<std::uint32_t>(value), 4);
}

void FileWriteFloat(std::int32_t number, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  if (FileSlot* slot = Slot(number)) SlotWriteUnsigned(*slot, bits, 4);
}

// The whole text is written, however long: FileReadString reads it back whole.
void FileWriteString(std::int32_t number, const char* text) {
  FileSlot* slot = Slot(number);
  if (!slot || !slot->handle) return;
  if (text) SlotWrite(*slot, text, static_cast<DWORD>(std::strlen(text)));
  SlotWrite(*slot, "\r\n", 2);
}

}  // namespace tessark
