/// @file
/// The FTP module: one connection at a time to an FTP server (port 21, passive mode), its
/// current remote folder, listing it entry by entry, downloads at once or piece by piece with a
/// progress value, uploads and deletes. Nothing here raises a runtime error: results say whether
/// an operation worked, and a server-side failure also sets the failure flag and text.
#pragma once

#include <cstdint>

namespace tessark {

/// Connects and logs in (dialling first when the machine is offline); false on failure, and
/// false while a connection exists already (that connection is kept).
bool FtpConnect(const char* server, const char* user, const char* password);
/// As above; with minimise set, a full-screen window is minimised while dialling.
bool FtpConnect(const char* server, const char* user, const char* password, bool minimise);
/// Connects again with the server, user and password of the last connect; false on failure.
bool FtpReconnect();
/// Ends any piecewise download, closes the connection and resets the module; always true.
bool FtpDisconnect();
/// As above; with hang_up set, also hangs up a connection the module dialled (then waits 3 s).
bool FtpDisconnect(bool hang_up);
/// Changes the current remote folder; false on failure (a name holding a line break is refused).
bool FtpSetDir(const char* folder);
/// Starts a listing of the current remote folder and reads its first entry; false on failure.
bool FtpFindFirst();
/// Reads the next entry of the listing; false when there is no listing or it has ended.
bool FtpFindNext();
/// Downloads a remote file into a local one at once; false on failure.
bool FtpGetFile(const char* remote, const char* local);
/// Starts a piecewise download (size: the file's size when known, 0 downloads at once); the
/// program then calls FtpProceed until FtpProgress is -1. False when it could not start.
bool FtpGetFile(const char* remote, const char* local, std::int32_t size);
/// Moves a piecewise download on by up to 3072 bytes; a download stalled for 10 s is aborted.
void FtpProceed();
/// Aborts a piecewise download and deletes its local file.
void FtpTerminate();
/// Uploads a local file under the same name into the current remote folder; false on failure.
bool FtpPutFile(const char* local);
/// Deletes a remote file; false on failure.
bool FtpDeleteFile(const char* remote);
/// Whether a connection is open.
bool FtpConnected();
/// Whether a failure happened since the last call (reading it clears it).
bool FtpFailure();
/// A new text (give it back with TextFree) holding why the last failure happened.
char* FtpFailureText();
/// A new text holding the name of the last listing entry.
char* FtpEntryName();
/// A new text holding again what the previous text query answered.
char* FtpLastText();
/// The last listing entry's type: -1 none, 0 file, 1 folder.
std::int32_t FtpEntryType();
/// The last listing entry's size in bytes (0 for folders and sizes past 2 GiB - 1).
std::int32_t FtpEntrySize();
/// The piecewise download's progress: 0 to 100 (1 while the size is unknown), -1 when none runs.
std::int32_t FtpProgress();

}  // namespace tessark
