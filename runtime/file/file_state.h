// The file module's state and the helpers its parts share. One FileState value holds everything
// the module owns; Destructor resets it, so Destructor then Constructor leaves the module new.
// The shared areas are the exception: they are held for the life of the process.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/win32/files.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/errors.h"

namespace tessark::file {

constexpr std::int32_t kFileCount = 64;
constexpr std::size_t kNameSize = 260;  // names up to 259 characters, as Windows takes them

struct FileSlot {
  win32::UniqueHandle handle;
  bool end = false;
  bool reading = false;
  std::string kept_name;  // the resolved name a reading file was opened under
};

struct FindState {
  std::intptr_t handle = -1;
  bool has_entry = false;
  std::int32_t result = -1;  // the last move: 0, or -1 once the listing is exhausted
  _finddata_t entry{};

  FindState() = default;
  FindState(const FindState&) = delete;
  FindState& operator=(const FindState&) = delete;
  ~FindState() { Close(); }
  void Close() {
    if (handle != -1) win32::_findclose(handle);
    handle = -1;
    has_entry = false;
    result = -1;
  }
};

struct FileState {
  std::array<FileSlot, kFileCount + 1> files;  // [0] unused
  FindState find;
  win32::UniqueHandle process;  // the last program started by the waiting ProgramRun
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
  MemblockServices memblock;
};

FileState& State();

// The slot of a number in 1..64, else null (and 8213 when report is set).
FileSlot* Slot(std::int32_t number, bool report = true);

// Copies name into a 260-byte buffer and runs the core's MediaPathResolve on it; false for a
// null name or one of more than 259 characters.
bool ResolveName(const char* name, char (&buffer)[kNameSize]);
void Unscramble(const char* name);
void Rescramble(const char* name);

// Lines through the core's print engine.
void Print(const std::string& text);

}  // namespace tessark::file
