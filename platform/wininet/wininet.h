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
// text. Every wait gives up after 30 seconds. Remote names holding CR or LF are refused
// (ERROR_INVALID_PARAMETER): they would smuggle commands into the control connection. Failures
// set the thread's last error (GetLastError below); the server's last reply is kept for
// InternetGetLastResponseInfoA. There is no dial-up on this system.
//
// Calls come from one thread.
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
// Connects and logs in (the anonymous user when user is null or empty). Only
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
// Downloads a remote file into a local one (created only once the server has started sending;
// removed again when the transfer fails part way).
BOOL FtpGetFileA(HINTERNET connection, LPCSTR remote, LPCSTR local, BOOL fail_if_exists,
                 DWORD attributes, DWORD flags, DWORD_PTR context);
// Opens a remote file for reading (GENERIC_READ) with InternetReadFile.
HINTERNET FtpOpenFileA(HINTERNET connection, LPCSTR name, DWORD access, DWORD flags,
                       DWORD_PTR context);
// Reads until the buffer is full or the file ends (*read 0 at its end, once the server has
// confirmed the transfer). Bytes that arrived before a wait ran out are returned; a read that
// gets nothing within the timeout fails with ERROR_INTERNET_TIMEOUT.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD size, DWORD* read);
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
// The connected state to report: -1 the machine's, 0 offline, 1 online.
void SetConnectedState(int state);
// The handles still open (a leak check for tests).
int OpenHandleCount();
}  // namespace testing

}  // namespace wininet
