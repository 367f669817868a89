// The file module's game-facing operations: the working directory, listings, files and
// folders, the 64 numbered files with typed reads and writes, file and folder blocks, the
// memory-block transfers, starting other programs and the named shared areas.
//
// Names are Windows names: "\" or "/" between folders, "c:\" for the root, any letter case.
// Text results are plain strings owned by the caller. Failures follow the runtime's rule:
// a few operations record an error code, every other failure returns 0, -1 or "".
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Working directory and listings.
void DirectorySet(const char* path);  // 8003 when the path cannot be entered
char* DirectoryGet();
void DirectoryMake(const char* path);
void DirectoryDelete(const char* path);  // the folder and everything in it
void DirectoryPrint();
void DrivesPrint();
void DirectoryList();  // into the check list
void DriveList();      // into the check list
void FileFindFirst();
void FileFindNext();  // 8002 after the listing has reported its end
char* FileFindName();
std::int32_t FileFindType();  // -1 no entry, 0 file, 1 folder
char* FileFindWritten();
char* FileFindCreated();

// Files and folders by name.
bool FileExists(const char* name);
bool PathExists(const char* name);
std::int32_t FileSize(const char* name);
void FileMake(const char* name);
void FileDelete(const char* name);
void FileCopy(const char* source, const char* destination);
void FileMove(const char* source, const char* destination);
std::int32_t FilePeekByte(const char* name, std::int32_t position);
void FilePokeByte(const char* name, std::int32_t position, std::int32_t value);

// Numbered files 1 to 64 (8213 outside that range).
void FileOpenRead(std::int32_t number, const char* name);   // 8203 open already, 105 missing
void FileOpenWrite(std::int32_t number, const char* name);  // never replaces a file
void FileClose(std::int32_t number);
bool FileIsOpen(std::int32_t number);
bool FileEnd(std::int32_t number);
std::int32_t FileReadByte(std::int32_t number);
std::int32_t FileReadWord(std::int32_t number);
std::int32_t FileReadLong(std::int32_t number);
float FileReadFloat(std::int32_t number);
char* FileReadString(std::int32_t number);
void FileSkip(std::int32_t number, std::int32_t count);
void FileWriteByte(std::int32_t number, std::int32_t value);
void FileWriteWord(std::int32_t number, std::int32_t value);
void FileWriteLong(std::int32_t number, std::int32_t value);
void FileWriteFloat(std::int32_t number, float value);
void FileWriteString(std::int32_t number, const char* text);  // the text, then 13 and 10

// Blocks: a file, or a whole folder, packed into a numbered file and unpacked again. The
// readers write only beneath the current folder (or the folder named): a name that would lead
// outside it is skipped.
void FileWriteBlock(std::int32_t number, const char* name);
void FileReadBlock(std::int32_t number, const char* name);
void FileWriteFolder(std::int32_t number, const char* folder);
void FileReadFolder(std::int32_t number, const char* folder);

// Memory-block transfers (they do nothing while no memory-block module is bound).
void FileReadMemblock(std::int32_t number, std::int32_t memblock);
void FileLoadMemblock(std::int32_t memblock, std::int32_t number);
void FileWriteMemblock(std::int32_t number, std::int32_t memblock);
void FileWriteMemblockData(std::int32_t number, std::int32_t memblock);

// Other programs. Command lines are split into arguments, never given to a shell.
void ProgramRun(const char* file, const char* parameters, const char* folder);
void ProgramRun(const char* file, const char* parameters, const char* folder, std::int32_t wait);
std::int32_t ProcessStart(const char* program, const char* command, const char* arguments,
                          const char* folder, std::int32_t high_priority);
bool ProcessRunning(std::int32_t process_id);
void ProcessClose(std::int32_t process_id);

// Named shared areas of 1024 bytes: a number, and a text of up to 1000 characters.
void SharedAreaWriteNumber(const char* name, std::int32_t value);
void SharedAreaWriteText(const char* name, const char* text);
std::int32_t SharedAreaReadNumber(const char* name);
char* SharedAreaReadText(const char* name);

// The program's own file and the system folder.
char* AppFileName();
char* WindowsFolder();

}  // namespace tessark
