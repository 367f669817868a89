/// @file
/// Files: the working directory, listings, files and folders, the 64 numbered files with typed
/// reads and writes, file and folder blocks, the memory-block transfers, starting other programs
/// and the named shared areas.
///
/// Names are Windows names: "\" or "/" between folders, "c:\" for the root, any letter case.
/// Texts returned are new: give them back with TextFree. A few operations record an error code
/// (named below); every other failure returns 0, -1, false or "".
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Working directory and listings.
/// Makes path the working directory; error::kDirectorySetFailed when it cannot be entered (the
/// working directory stays as it was).
void DirectorySet(const char* path);
/// The working directory, as a new text.
char* DirectoryGet();
/// Makes a folder; nothing when it cannot.
void DirectoryMake(const char* path);
/// Deletes a folder and everything in it; nothing when it cannot.
void DirectoryDelete(const char* path);
/// Prints the working directory's entries through the print engine.
void DirectoryPrint();
/// Prints the drives through the print engine.
void DrivesPrint();
/// Fills the runtime's check list with the working directory's entries.
void DirectoryList();
/// Fills the runtime's check list with the drives.
void DriveList();
/// Starts a listing of the working directory (closing any earlier one) at its first entry.
void FileFindFirst();
/// Moves the listing to its next entry; error::kFileListingEnded once it has reported its end.
void FileFindNext();
/// The listed entry's name, as a new text; "" after the end.
char* FileFindName();
/// The listed entry's kind: 0 file, 1 folder; -1 after the end or without a listing.
std::int32_t FileFindType();
/// When the listed entry was last written, as a new text; "" after the end.
char* FileFindWritten();
/// When the listed entry was made, as a new text; "" after the end.
char* FileFindCreated();

// Files and folders by name.
/// Whether a file of this name exists.
bool FileExists(const char* name);
/// Whether a file or folder of this name exists.
bool PathExists(const char* name);
/// The file's size in bytes; 0 when it cannot be read.
std::int32_t FileSize(const char* name);
/// Makes an empty file; nothing when it cannot.
void FileMake(const char* name);
/// Deletes a file; nothing when it cannot.
void FileDelete(const char* name);
/// Copies a file; nothing when it cannot.
void FileCopy(const char* source, const char* destination);
/// Moves or renames a file; nothing when it cannot.
void FileMove(const char* source, const char* destination);
/// The byte at position in the file; 0 when there is none.
std::int32_t FilePeekByte(const char* name, std::int32_t position);
/// Writes one byte at position in the file; nothing when it cannot.
void FilePokeByte(const char* name, std::int32_t position, std::int32_t value);

// Numbered files 1 to 64; every operation records error::kFileNumberOutOfRange outside them.
/// Opens a file for reading under number; error::kFileNumberInUse when number is open,
/// error::kFileMissing when there is no such file.
void FileOpenRead(std::int32_t number, const char* name);
/// Opens a new file for writing under number. It never replaces a file: when the file exists
/// already (or number is open) nothing is opened and no error code is raised (the log, when on,
/// gets a notice). To write a file again, FileDelete it first.
void FileOpenWrite(std::int32_t number, const char* name);
/// Closes the numbered file; nothing when it is not open.
void FileClose(std::int32_t number);
/// Whether a file is open under number.
bool FileIsOpen(std::int32_t number);
/// Whether a read has reached the end of the file (or nothing is open there).
bool FileEnd(std::int32_t number);
/// Reads a byte; 0 at the end.
std::int32_t FileReadByte(std::int32_t number);
/// Reads a 16-bit value; 0 at the end.
std::int32_t FileReadWord(std::int32_t number);
/// Reads a 32-bit value; 0 at the end.
std::int32_t FileReadLong(std::int32_t number);
/// Reads a 32-bit real; 0 at the end.
float FileReadFloat(std::int32_t number);
/// Reads a line (to a CR LF or LF), as a new text; "" at the end.
char* FileReadString(std::int32_t number);
/// Skips count bytes.
void FileSkip(std::int32_t number, std::int32_t count);
/// Writes a byte.
void FileWriteByte(std::int32_t number, std::int32_t value);
/// Writes a 16-bit value.
void FileWriteWord(std::int32_t number, std::int32_t value);
/// Writes a 32-bit value.
void FileWriteLong(std::int32_t number, std::int32_t value);
/// Writes a 32-bit real.
void FileWriteFloat(std::int32_t number, float value);
/// Writes the text, then 13 and 10.
void FileWriteString(std::int32_t number, const char* text);

// Blocks: a file, or a whole folder, packed into a numbered file and unpacked again. The readers
// write only beneath the current folder (or the folder named): a name that would lead outside
// it is skipped.
/// Packs the named file into the numbered file.
void FileWriteBlock(std::int32_t number, const char* name);
/// Unpacks a packed file from the numbered file as name.
void FileReadBlock(std::int32_t number, const char* name);
/// Packs a whole folder into the numbered file.
void FileWriteFolder(std::int32_t number, const char* folder);
/// Unpacks a packed folder from the numbered file into folder.
void FileReadFolder(std::int32_t number, const char* folder);

// Memory-block transfers (they do nothing while no memory-block module is bound). They record
// error::kMemblockNumberOutOfRange for a block outside 1 to 255, error::kFileNotOpen for a number
// with no file, error::kFileReadFailed or kFileWriteFailed when the file fails,
// error::kMemblockMissing for a block that does not exist and error::kMemblockAllocFailed when a
// block cannot be made.
/// Reads a memory block (its size, then its bytes) from the numbered file. Note the order: the
/// file number first, as in the other FileRead calls (FileLoadMemblock takes the block first).
void FileReadMemblock(std::int32_t number, std::int32_t memblock);
/// Makes a memory block of the rest of the numbered file. Note the order: the memory block
/// first (FileReadMemblock takes the file number first).
void FileLoadMemblock(std::int32_t memblock, std::int32_t number);
/// Writes a memory block (its size, then its bytes) to the numbered file.
void FileWriteMemblock(std::int32_t number, std::int32_t memblock);
/// Writes a memory block's bytes alone to the numbered file.
void FileWriteMemblockData(std::int32_t number, std::int32_t memblock);

// Other programs. Command lines are split into arguments, never given to a shell.
/// Starts a program and goes on; nothing when it cannot be started.
void ProgramRun(const char* file, const char* parameters, const char* folder);
/// As ProgramRun; wait 1 waits until the program ends.
void ProgramRun(const char* file, const char* parameters, const char* folder, std::int32_t wait);
/// Starts a program and answers its process id; 0 when it cannot be started.
std::int32_t ProcessStart(const char* program, const char* command, const char* arguments,
                          const char* folder, std::int32_t high_priority);
/// Whether the process is still running.
bool ProcessRunning(std::int32_t process_id);
/// Ends the process; nothing when it has ended.
void ProcessClose(std::int32_t process_id);

// Named shared areas of 1024 bytes: a number, and a text of up to 1000 characters.
/// Stores a number in the named area, making it when needed.
void SharedAreaWriteNumber(const char* name, std::int32_t value);
/// Stores a text in the named area; a longer text than 1000 characters is not stored.
void SharedAreaWriteText(const char* name, const char* text);
/// The number in the named area; 0 when there is no such area.
std::int32_t SharedAreaReadNumber(const char* name);
/// The text in the named area, as a new text; "" when there is no such area.
char* SharedAreaReadText(const char* name);

/// The program's own file name, as a new text.
char* AppFileName();
/// The system folder, as a new text.
char* WindowsFolder();

}  // namespace tessark
