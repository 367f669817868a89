// The internet library's FTP side on POSIX sockets: sessions, FTP connections, folder
// listings, downloads (at once, or read piece by piece from an open file), uploads, deletes,
// the last server response, and the machine's connected state. Names and numeric values are
// the platform's; the functions live in namespace wininet.
//
// Handles: a session (InternetOpenA) holds connections (InternetConnectA); a connection is one
// logged-in control connection that keeps its current remote folder; a listing
// (FtpFindFirstFileA) or an open file (FtpOpenFileA) holds the connection's data transfer, and
// every other call on that connection fails with ERROR_FTP_TRANSFER_IN_PROGRESS until it is
// closed. Closing a handle closes the handles beneath it. A handle that is not open (already
// closed, or never one of ours) fails with ERROR_INVALID_HANDLE, never touches memory.
//
// Transfers are passive (EPSV, PASV when the server lacks it) and binary unless asked for
// text. Every wait is bounded (the figures are in ftp_limits.h): a whole connect, name lookup
// included, and each reply give up 30 seconds after they start however slowly the server
// drips; a reply may take 64 KB; a call that blocks for a whole transfer (FtpGetFileA, a
// listing, FtpPutFileA) must keep an average pace (30 s plus a second for every 16 KB moved);
// InternetReadFile waits at most the file handle's receive timeout. Remote names holding CR or
// LF are refused (ERROR_INVALID_PARAMETER): they would smuggle commands into the control
// connection. Failures set the thread's last error (GetLastError below).
//
// InternetGetLastResponseInfoA tells what the last call that talked to a server left, never
// what an earlier call did: the server's reply when it gave one, otherwise a sentence saying
// what went wrong ("Could not connect to ftp.example.org port 21: connection refused", "The
// server sent no reply within 30 s", "The server's reply was not FTP: ..."), since this system
// has no other place to carry the reason. There is no dial-up on this system.
//
// Calls come from one thread. The handles and the last response live in storage that is never
// destroyed, so a handle may be closed from any static object's destructor at exit.
#pragma once

#include <cstdint>

#include "platform/win32/files.h"
#include "platform/win32/win_types.h"

struct InternetObject;
using HINTERNET = InternetObject*;
using INTERNET_PORT = WORD;
using DWORD_PTR = std::uintptr_t;

#define INTERNET_OPEN_TYPE_PRECONFIG 0u
#define INTERNET_OPEN_TYPE_DIRECT 1u
#define INTERNET_DEFAULT_FTP_PORT 21
#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_SERVICE_FTP 1u
#define INTERNET_FLAG_PASSIVE 0x08000000u
#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_RESYNCHRONIZE 0x00000800u
#define FTP_TRANSFER_TYPE_UNKNOWN 0x0u
#define FTP_TRANSFER_TYPE_ASCII 0x1u
#define FTP_TRANSFER_TYPE_BINARY 0x2u
#define INTERNET_FLAG_TRANSFER_BINARY FTP_TRANSFER_TYPE_BINARY
#define FILE_FLAG_WRITE_THROUGH 0x80000000u

#define INTERNET_CONNECTION_MODEM 0x01u
#define INTERNET_CONNECTION_LAN 0x02u
#define INTERNET_CONNECTION_PROXY 0x04u
#define INTERNET_CONNECTION_OFFLINE 0x20u
#define INTERNET_CONNECTION_CONFIGURED 0x40u
#define INTERNET_AUTODIAL_FORCE_ONLINE 1u
#define INTERNET_AUTODIAL_FORCE_UNATTENDED 2u

#define INTERNET_OPTION_RECEIVE_TIMEOUT 6u
#define INTERNET_OPTION_DATA_RECEIVE_TIMEOUT 8u

#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NO_MORE_FILES 18u
#define ERROR_FILE_EXISTS 80u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_NOT_ENOUGH_SPACE 112u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_CANNOT_FIND_PHONEBOOK_ENTRY 623u
#define ERROR_INTERNET_TIMEOUT 12002u
#define ERROR_INTERNET_EXTENDED_ERROR 12003u
#define ERROR_INTERNET_INTERNAL_ERROR 12004u
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007u
#define ERROR_INTERNET_INVALID_OPTION 12009u
#define ERROR_INTERNET_LOGIN_FAILURE 12015u
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018u
#define ERROR_INTERNET_CANNOT_CONNECT 12029u
#define ERROR_INTERNET_CONNECTION_ABORTED 12030u
#define ERROR_FTP_TRANSFER_IN_PROGRESS 12110u
#define ERROR_FTP_DROPPED 12111u

namespace wininet {

// The thread's last error, as the failing call left it.
DWORD GetLastError();

// TRUE when a network interface other than loopback is up with an address (flags then
// INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED); FALSE and flags 0 otherwise.
BOOL InternetGetConnectedState(DWORD* flags, DWORD reserved);
// Dials the default dial-up connection: there is none, so FALSE with
// ERROR_CANNOT_FIND_PHONEBOOK_ENTRY.
BOOL InternetAutodial(DWORD flags, HWND parent);
// Hangs up the automatically dialled connection: with nothing dialled there is nothing to do.
BOOL InternetAutodialHangup(DWORD reserved);
// Makes the machine ready to reach the network: without dial-up it already is (ERROR_SUCCESS).
DWORD InternetAttemptConnect(DWORD reserved);

HINTERNET InternetOpenA(LPCSTR agent, DWORD access_type, LPCSTR proxy, LPCSTR proxy_bypass,
                        DWORD flags);
// Connects and logs in (the anonymous user when user is null or empty), all within the
// timeout; the name lookup runs on a thread of its own so that it too can be given up. Only
// INTERNET_SERVICE_FTP; port 0 means 21.
HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                           LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context);
BOOL FtpSetCurrentDirectoryA(HINTERNET connection, LPCSTR folder);
// Lists the current folder (pattern null, "*" or "*.*") or what LIST makes of the pattern, and
// fills data with the first entry. "." and ".." are not listed. An empty listing answers null
// with ERROR_NO_MORE_FILES.
HINTERNET FtpFindFirstFileA(HINTERNET connection, LPCSTR pattern, WIN32_FIND_DATAA* data,
                            DWORD flags, DWORD_PTR context);
BOOL InternetFindNextFileA(HINTERNET find, LPVOID data);
// Downloads a remote file into a local one (created only once the server has started sending).
// A binary download asks the file's size first (SIZE): where the server gives it, a file that
// ends short of it fails even when the server reports success. When the transfer fails part
// way the local file is removed, but only when it is the regular file this call created or
// truncated: never a device, a named pipe, a link or anything else behind the name.
BOOL FtpGetFileA(HINTERNET connection, LPCSTR remote, LPCSTR local, BOOL fail_if_exists,
                 DWORD attributes, DWORD flags, DWORD_PTR context);
// Opens a remote file for reading (GENERIC_READ) with InternetReadFile.
HINTERNET FtpOpenFileA(HINTERNET connection, LPCSTR name, DWORD access, DWORD flags,
                       DWORD_PTR context);
// Reads until the buffer is full, the file ends (*read 0 at its end, once the server has
// confirmed the transfer and, where it gave the size, every byte came) or the handle's receive
// timeout has passed since the call: bytes that arrived by then are returned, and a read that
// got nothing fails with ERROR_INTERNET_TIMEOUT (the transfer goes on). A transfer the server
// ends with a failure (426), or that ends short, fails the read that meets it and every later
// one, with the server's reply or the reason as the last response.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD size, DWORD* read);
// INTERNET_OPTION_RECEIVE_TIMEOUT (or _DATA_RECEIVE_TIMEOUT) on an open file: the longest one
// InternetReadFile waits, in milliseconds as a DWORD (0: the timeout). Other options are not
// kept here (ERROR_INTERNET_INVALID_OPTION).
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
BOOL FtpPutFileA(HINTERNET connection, LPCSTR local, LPCSTR remote, DWORD flags, DWORD_PTR context);
BOOL FtpDeleteFileA(HINTERNET connection, LPCSTR name);
// The server's last reply, every line ending in CR LF. *length is the buffer size on entry and
// the text's length on return; a buffer too small answers FALSE, ERROR_INSUFFICIENT_BUFFER and
// the size needed (terminator included).
BOOL InternetGetLastResponseInfoA(DWORD* error, LPSTR buffer, DWORD* length);
BOOL InternetCloseHandle(HINTERNET handle);

namespace testing {
// Connections asked for port 21 go to this port instead (0: no redirection).
void SetFtpPort(std::uint16_t port);
// Every wait (connect, reply, data) gives up after ms milliseconds (0: the 30 s default).
void SetTimeoutMs(int ms);
// Every name lookup (of a name that is not an address) first waits ms, as a slow resolver
// would (0: none).
void SetLookupDelayMs(int ms);
// The connected state to report: -1 the machine's, 0 offline, 1 online.
void SetConnectedState(int state);
// The handles still open (a leak check for tests).
int OpenHandleCount();
}  // namespace testing

}  // namespace wininet
