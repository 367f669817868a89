/// @file
/// The FTP module: one connection at a time to an FTP server (port 21 unless the server name
/// gives another, passive mode), its current remote folder, listing it entry by entry,
/// downloads at once or piece by piece with a progress value, uploads and deletes. Nothing here
/// raises a runtime error: results say whether an operation worked, and a failure also sets the
/// failure flag and a text saying what happened (the server's reply, or a sentence such as
/// "Could not connect to ftp.example.org port 21: connection refused").
///
/// How long a call can block: a connect (name lookup included) and each reply give up after
/// 30 s however slowly the server sends; a download at once or an upload must keep an average
/// of 16 KB a second after its first 30 s; one FtpProceed step waits at most 16 ms for each of
/// its three pieces (48 ms), so a piecewise download never holds a frame for long, and one that
/// gets no byte for 10 s is ended by the step after. Ending a download (FtpTerminate, or a step
/// that ends it) waits at most 2 s for the server to answer the abort.
#pragma once

#include <cstdint>

namespace tessark {

/// Connects and logs in (dialling first when the machine is offline); false on failure, and
/// false while a connection exists already (that connection is kept). The server is a host
/// name or address, optionally with a port: "ftp.example.org:2121", "[2001:db8::1]:2121"
/// (a bare IPv6 address such as "2001:db8::1" takes port 21).
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
/// Downloads a remote file into a local one at once; false on failure (also when the file ends
/// short of the size the server gives, and then no part of it is left behind).
bool FtpGetFile(const char* remote, const char* local);
/// Starts a piecewise download (size: the file's size when known, 0 downloads at once); the
/// program then calls FtpProceed until FtpProgress is -1. False when it could not start.
bool FtpGetFile(const char* remote, const char* local, std::int32_t size);
/// Moves a piecewise download on by up to 3072 bytes. It ends the download, deleting its local
/// file and recording the failure, when no byte came for 10 s, when the server reports the
/// transfer failed, or when the file ends short of the size the server's listing gave.
void FtpProceed();
/// Aborts a piecewise download and deletes its local file: only the regular file the download
/// created or truncated, never a device, a named pipe or a link given as the local name.
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
