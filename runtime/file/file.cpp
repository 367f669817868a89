// The file module: its entries, the working directory, listings, the check-list fillers, the
// drives and the program's own names. The numbered files and blocks live in file_numbered.cpp
// and file_blocks.cpp, single-name operations in file_names.cpp, programs and shared areas in
// file_process.cpp. Depends on the core (CoreData, errors, check list), the win32 file calls
// and the C library's ctime text.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/crt/crt.h"
#include "platform/win32/paths.h"
#include "runtime/file/file_state.h"
#include "runtime/core/check_list.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "tessark/file.h"
#include "tessark/errors.h"

namespace tessark::file {

namespace {

FileState g_state;

// One entry of a folder listing.
struct Listed {
  std::string name;
  bool folder;
};

// The current folder's entries, "." and ".." included, in the order the listing gives them.
std::vector<Listed> ListCurrentFolder() {
  std::vector<Listed> entries;
  _finddata_t data;
  std::intptr_t find = win32::_findfirst("*.*", &data);
  if (find == -1) return entries;
  do {
    entries.push_back({data.name, (data.attrib & _A_SUBDIR) != 0});
  } while (win32::_findnext(find, &data) == 0);
  win32::_findclose(find);
  return entries;
}

std::string CurrentDirectory() {
  char buffer[4096];
  return win32::_getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// Makes the check list hold texts (with values when has_values) for entries in order.
void CheckListFill(const std::vector<Listed>& entries, bool has_values) {
  CoreData& core = *CoreDataGet();
  std::int32_t index = 0;
  for (const Listed& entry : entries) {
    // Asked for one more than the name's length: a fresh entry's two-byte text holds one
    // character and its terminator, so text_size alone does not leave room for the zero.
    auto needed = static_cast<std::int32_t>(entry.name.size() + 1);
    CheckListGrow(index, needed);
    if (!core.check_list || index >= static_cast<std::int32_t>(core.check_list_capacity)) break;
    CheckListEntry& slot = core.check_list[index];
    if (slot.text_size < needed) break;  // out of memory
    std::memcpy(slot.text, entry.name.c_str(), entry.name.size() + 1);
    std::memset(slot.values, 0, sizeof slot.values);
    if (has_values) slot.values[0] = entry.folder ? 1 : 0;
    ++index;
  }
  core.check_list_count = index;
  core.check_list_in_use = 1;
  core.check_list_has_values = has_values ? 1 : 0;
  core.check_list_enumerated = 1;
}

// The current entry's time as the 24 characters of its ctime text.
std::string FindTimeText(std::time_t time) {
  if (!State().find.has_entry) return std::string();
  char text[64] = {};
  crt::CTimeText(time, text, sizeof text);
  return std::string(text, strnlen(text, 24));
}

// --- Module entries --------------------------------------------------------------------------

void Constructor(void*) {
  State().find.Close();
  for (FileSlot& slot : State().files) slot = FileSlot{};
  State().process.reset();
}

void SetErrorHandler(std::int32_t* error_word) {
  State().error_word = error_word;
}

void PassCoreData(CoreData* core) {
  State().core = core;
  State().memblock = Modules().memblock_services;
}

void Destructor() {
  State().find.Close();
  for (FileSlot& slot : State().files) slot = FileSlot{};
  State().process.reset();
  State().memblock = MemblockServices{};
}

}  // namespace

FileState& State() {
  return g_state;
}

FileSlot* Slot(std::int32_t number, bool report) {
  if (number < 1 || number > kFileCount) {
    if (report) RuntimeError(error::kFileNumberOutOfRange);
    return nullptr;
  }
  return &State().files[static_cast<std::size_t>(number)];
}

bool ResolveName(const char* name, char (&buffer)[kNameSize]) {
  if (!name) return false;
  std::size_t length = strnlen(name, kNameSize);
  if (length >= kNameSize) return false;  // longer than any name Windows takes
  std::memcpy(buffer, name, length + 1);
  CoreData* core = State().core;
  if (core && core->MediaPathResolve) core->MediaPathResolve(buffer, kNameSize);
  buffer[kNameSize - 1] = 0;
  return true;
}

void Unscramble(const char* name) {
  CoreData* core = State().core;
  if (core && core->MediaUnscramble) core->MediaUnscramble(name);
}

void Rescramble(const char* name) {
  CoreData* core = State().core;
  if (core && core->MediaRescramble) core->MediaRescramble(name);
}

void Print(const std::string& text) {
  CoreData* core = State().core;
  if (core && core->PrintDispatch) core->PrintDispatch(text.c_str(), 1);
}

void Wire(ModuleTable& table) {
  table.file.Constructor = Constructor;
  table.file.SetErrorHandler = SetErrorHandler;
  table.file.PassCoreData = PassCoreData;
  table.file.Destructor = Destructor;
}

}  // namespace tessark::file

namespace tessark {

using namespace tessark::file;

// --- Working directory ---------------------------------------------------------------------------

void DirectorySet(const char* path) {
  // Nothing is stored: other modules see the change through the process's current directory.
  if (!path || win32::_chdir(path) == -1) RuntimeError(error::kDirectorySetFailed);
}

static std::string DirectoryGetString() {
  return CurrentDirectory();
}

char* DirectoryGet() {
  return TextCopy(DirectoryGetString().c_str());
}

void DirectoryMake(const char* path) {
  if (path) win32::CreateDirectoryA(path, nullptr);
}

namespace {

// Empties the folder open as native path and removes it. Symbolic links are removed as links:
// the walk never follows one out of the folder being deleted.
void DeleteTree(const std::string& native) {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA data;
  find = win32::FindFirstFileA((native + "/*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = native + "/" + name;
      struct stat st;
      if (::lstat(child.c_str(), &st) != 0) continue;
      if (S_ISDIR(st.st_mode)) {
        DeleteTree(child);
      } else {
        win32::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        win32::DeleteFileA(child.c_str());
      }
    } while (win32::FindNextFileA(find, &data));
    win32::FindClose(find);
  }
  win32::RemoveDirectoryA(native.c_str());
}

}  // namespace

void DirectoryDelete(const char* path) {
  if (!path || !*path) return;
  DWORD attributes = win32::GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  std::string native = win32::NativePath(path);
  struct stat st;
  // A link to a folder is not the folder: only the link goes.
  if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    ::unlink(native.c_str());
    return;
  }
  DeleteTree(native);
}

void DirectoryPrint() {
  State().find.Close();
  Print(CurrentDirectory() + ":");
  for (const auto& entry : ListCurrentFolder()) {
    Print(entry.folder ? "<dir>" + entry.name : entry.name);
  }
}

void DrivesPrint() {
  int current = win32::_getdrive();
  for (int drive = 1; drive <= 26; ++drive) {
    if (win32::_chdrive(drive) == 0) {
      char text[4] = {static_cast<char>('A' + drive - 1), ':', 0, 0};
      Print(text);
    }
  }
  win32::_chdrive(current);
}

void DirectoryList() {
  State().find.Close();
  // One listing fills the list, so a folder that changes meanwhile cannot make the count and
  // the entries disagree.
  std::vector<Listed> entries = ListCurrentFolder();
  CheckListFill(entries, true);
}

void DriveList() {
  std::vector<Listed> drives{{"a:\\", false}};
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    char root[4] = {letter, ':', '\\', 0};
    UINT type = win32::GetDriveTypeA(root);
    if (type == DRIVE_FIXED || type == DRIVE_CDROM) drives.push_back({root, false});
  }
  CheckListFill(drives, false);
}

// --- Find first / next -------------------------------------------------------------------------

void FileFindFirst() {
  FindState& find = State().find;
  find.Close();
  find.handle = win32::_findfirst("*.*", &find.entry);
  find.result = find.handle == -1 ? -1 : 0;
  find.has_entry = find.handle != -1;
}

void FileFindNext() {
  FindState& find = State().find;
  if (find.handle == -1) return;
  if (find.result == -1) {
    RuntimeError(error::kFileListingEnded);
    return;
  }
  find.result = win32::_findnext(find.handle, &find.entry) == 0 ? 0 : -1;
  find.has_entry = find.result == 0;
}

static std::string FileFindNameString() {
  return State().find.has_entry ? std::string(State().find.entry.name) : std::string();
}

char* FileFindName() {
  return TextCopy(FileFindNameString().c_str());
}

std::int32_t FileFindType() {
  if (!State().find.has_entry) return -1;
  return (State().find.entry.attrib & _A_SUBDIR) ? 1 : 0;
}

static std::string FileFindWrittenString() {
  return FindTimeText(State().find.entry.time_write);
}

char* FileFindWritten() {
  return TextCopy(FileFindWrittenString().c_str());
}

static std::string FileFindCreatedString() {
  return FindTimeText(State().find.entry.time_create);
}

char* FileFindCreated() {
  return TextCopy(FileFindCreatedString().c_str());
}

// --- The program's names -----------------------------------------------------------------------

static std::string AppFileNameString() {
  char buffer[1024];
  DWORD length = win32::GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return length > 0 ? std::string(buffer) : std::string();
}

char* AppFileName() {
  return TextCopy(AppFileNameString().c_str());
}

static std::string WindowsFolderString() {
  char buffer[kNameSize];
  UINT length = win32::GetWindowsDirectoryA(buffer, sizeof buffer);
  return length > 0 && length < sizeof buffer ? std::string(buffer) : std::string();
}

char* WindowsFolder() {
  return TextCopy(WindowsFolderString().c_str());
}

}  // namespace tessark
