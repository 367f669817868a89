// The internet library's FTP handles and calls. Written by hand on POSIX sockets rather than
// on a URL-transfer library: the handle model needs one long-lived, stateful control
// connection per connection handle (its login and current folder persist between calls), with
// each listing or open file holding that connection's data transfer until its handle is
// closed, and a URL-per-transfer library models neither. The protocol pieces live in
// ftp_session.cpp (sockets, replies, passive data connections) and ftp_parse.cpp (parsers).
#include "platform/wininet/wininet.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wininet/ftp_parse.h"
#include "platform/wininet/ftp_session.h"
#include "platform/wininet/local_file.h"
#include "platform/wininet/wininet_internal.h"

// The object behind every HINTERNET.
struct InternetObject {
  enum class Kind { kSession, kConnection, kFind, kFile };
  explicit InternetObject(Kind kind_in) : kind(kind_in) {}
  virtual ~InternetObject() = default;
  Kind kind;
  InternetObject* parent = nullptr;
  std::vector<InternetObject*> children;
};

namespace wininet {

namespace {

using ftp::Session;
using ftp::Socket;
using ftp::Transfer;

constexpr std::size_t kChunk = 64 * 1024;

thread_local DWORD t_last_error = ERROR_SUCCESS;
std::uint16_t g_test_port = 0;

struct Connection : InternetObject {
  Connection() : InternetObject(Kind::kConnection) {}
  Session session;
  InternetObject* transfer = nullptr;  // the listing or open file holding the data connection
};

struct Find : InternetObject {
  Find() : InternetObject(Kind::kFind) {}
  std::vector<ftp::ListEntry> entries;
  std::size_t next = 0;
};

struct File : InternetObject {
  File() : InternetObject(Kind::kFile) {}
  Transfer transfer;
  int wait_ms = 0;  // the longest one InternetReadFile waits (0: the timeout)
};

// What every call shares: the open handles (owned here; a pointer not in the map is not a
// handle) and the server's last response. Never destroyed: a handle may be closed from the
// destructor of any static object of the program, in whatever order those end, so the
// registry has to outlive them all.
struct Registry {
  std::map<InternetObject*, std::unique_ptr<InternetObject>> handles;
  std::string last_response;
};

Registry& Shared() {
  static Registry* registry = new Registry;
  return *registry;
}

std::map<InternetObject*, std::unique_ptr<InternetObject>>& Handles() {
  return Shared().handles;
}

template <typename T>
T* Adopt(std::unique_ptr<T> object, InternetObject* parent) {
  T* raw = object.get();
  raw->parent = parent;
  if (parent) parent->children.push_back(raw);
  Handles().emplace(raw, std::move(object));
  return raw;
}

// The open handle of that kind, or null with ERROR_INVALID_HANDLE (not open) or
// ERROR_INTERNET_INCORRECT_HANDLE_TYPE.
template <typename T>
T* Lookup(HINTERNET handle, InternetObject::Kind kind) {
  auto found = Handles().find(handle);
  if (!handle || found == Handles().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (found->first->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return static_cast<T*>(found->first);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Fails saying why, in words for the user.
BOOL Fail(DWORD error, const std::string& why) {
  KeepResponse(why);
  return Fail(error);
}

// Every call that talks to a server starts with no response: whatever it leaves is its own.
void Begin() {
  Shared().last_response.clear();
}

// The connection ready for a new command: open, alive and not busy with a transfer.
Connection* Ready(HINTERNET handle) {
  auto* connection = Lookup<Connection>(handle, InternetObject::Kind::kConnection);
  if (!connection) return nullptr;
  if (connection->session.dead()) {
    Fail(ERROR_FTP_DROPPED, "The connection to the server has been lost");
    return nullptr;
  }
  if (connection->transfer) {
    Fail(ERROR_FTP_TRANSFER_IN_PROGRESS, "A listing or download still holds the connection");
    return nullptr;
  }
  return connection;
}

// A remote name that can go on a command line.
bool NameUsable(LPCSTR name) {
  if (!name || !*name) return false;
  return std::strpbrk(name, "\r\n") == nullptr;
}

// Sends a command on the connection; TRUE when its reply is in the 2xx class. Anything else
// sets ERROR_INTERNET_EXTENDED_ERROR (the reply tells why) or ERROR_FTP_DROPPED.
BOOL Simple(Connection* connection, const std::string& command) {
  int code = 0;
  const bool answered = connection->session.Command(command, &code);
  KeepResponse(connection->session.last_reply());
  if (!answered) return Fail(ERROR_FTP_DROPPED);
  if (code / 100 != 2) return Fail(ERROR_INTERNET_EXTENDED_ERROR);
  return TRUE;
}

// Opens a data connection and sends a transfer command, reading its preliminary reply; for a
// binary download asks the file's size first, so that a short file is found out.
bool StartTransfer(Connection* connection, const std::string& command, char type, const char* sized,
                   Transfer* transfer) {
  Session& session = connection->session;
  DWORD error = ERROR_SUCCESS;
  if (type && !session.SetType(type, &error)) {
    KeepResponse(session.last_reply());
    return Fail(error);
  }
  const std::uint64_t expected = sized && type == 'I' ? session.RemoteSize(sized) : 0;
  Socket data = session.OpenData(&error);
  if (!data.valid()) {
    if (!session.dead() && error != ERROR_INTERNET_EXTENDED_ERROR)
      session.Say("Could not open a data connection to the server");
    KeepResponse(session.last_reply());
    return Fail(session.dead() ? ERROR_FTP_DROPPED : error);
  }
  int code = 0;
  const bool answered = session.Command(command, &code);
  KeepResponse(session.last_reply());
  if (!answered) return Fail(ERROR_FTP_DROPPED);
  if (code != 125 && code != 150)
    return Fail(code / 100 == 2 ? ERROR_INTERNET_INTERNAL_ERROR : ERROR_INTERNET_EXTENDED_ERROR);
  *transfer = Transfer(&session, std::move(data), expected);
  return TRUE;
}

// Ends a transfer that failed: the abort exchanged, the failure's own text kept for the caller.
BOOL FailTransfer(Connection* connection, Transfer& transfer, DWORD error) {
  transfer.Abort();
  KeepResponse(connection->session.last_reply());
  return Fail(error);
}

// Reads a whole data connection into body (at most limit bytes), at the pace a blocking
// transfer must keep; FALSE on a failure, a timeout or a body past the limit.
BOOL ReadAll(Connection* connection, Transfer& transfer, std::string& body, std::size_t limit) {
  std::vector<char> chunk(kChunk);
  ftp::Pace pace;
  for (;;) {
    const long got = transfer.Read(chunk.data(), chunk.size(), pace.Next(transfer.moved()));
    if (got == 0) break;
    if (got == Socket::kTimedOut) {
      connection->session.Say(pace.Why(transfer.moved(), false));
      return FailTransfer(connection, transfer, ERROR_INTERNET_TIMEOUT);
    }
    if (got < 0) return FailTransfer(connection, transfer, transfer.error());
    if (body.size() + static_cast<std::size_t>(got) > limit) {
      connection->session.Say("The listing was larger than " + std::to_string(limit >> 20) + " MB");
      return FailTransfer(connection, transfer, ERROR_NOT_ENOUGH_SPACE);
    }
    body.append(chunk.data(), static_cast<std::size_t>(got));
  }
  KeepResponse(connection->session.last_reply());
  return TRUE;
}

void FillFindData(const ftp::ListEntry& entry, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = entry.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  data->nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
  const std::size_t length = std::min(entry.name.size(), sizeof data->cFileName - 1);
  std::memcpy(data->cFileName, entry.name.data(), length);
}

// Lists with one command; false when the server does not know the command (code 500-504)
// so that the caller can try another, with *failed set for every other failure.
bool ListWith(Connection* connection, const std::string& command, bool mlsd,
              std::vector<ftp::ListEntry>* entries, bool* failed) {
  *failed = true;
  Transfer transfer;
  if (!StartTransfer(connection, command, 0, nullptr, &transfer)) {
    const std::string& reply = connection->session.last_reply();
    const bool unknown = !connection->session.dead() && reply.size() >= 3 && reply[0] == '5' &&
                         reply[1] == '0' && reply[2] >= '0' && reply[2] <= '4';
    if (unknown) *failed = false;
    return false;
  }
  std::string body;
  if (!ReadAll(connection, transfer, body, ftp::kMaxListingBytes)) return false;
  ftp::ForEachLine(body, [&](std::string_view line) {
    auto entry = mlsd ? ftp::ParseMlsdLine(line) : ftp::ParseListLine(line);
    if (entry) entries->push_back(std::move(*entry));
  });
  *failed = false;
  return true;
}

void Close(InternetObject* object) {
  // Beneath first, so that a connection's transfer ends before the connection.
  while (!object->children.empty()) Close(object->children.back());
  if (object->kind == InternetObject::Kind::kFile) static_cast<File*>(object)->transfer.Abort();
  if (object->parent) {
    auto& siblings = object->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), object), siblings.end());
    if (object->parent->kind == InternetObject::Kind::kConnection) {
      auto* connection = static_cast<Connection*>(object->parent);
      if (connection->transfer == object) connection->transfer = nullptr;
    }
  }
  if (object->kind == InternetObject::Kind::kConnection) {
    static_cast<Connection*>(object)->session.Quit();
  }
  Handles().erase(object);
}

}  // namespace

DWORD GetLastError() {
  return t_last_error;
}

void SetLastError(DWORD error) {
  t_last_error = error;
}

void KeepResponse(const std::string& text) {
  Shared().last_response = text;
}

HINTERNET InternetOpenA(LPCSTR, DWORD access_type, LPCSTR, LPCSTR, DWORD) {
  if (access_type != INTERNET_OPEN_TYPE_PRECONFIG && access_type != INTERNET_OPEN_TYPE_DIRECT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return Adopt(std::make_unique<InternetObject>(InternetObject::Kind::kSession), nullptr);
}

HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                           LPCSTR password, DWORD service, DWORD, DWORD_PTR) {
  Begin();
  auto* parent = Lookup<InternetObject>(session, InternetObject::Kind::kSession);
  if (!parent) return nullptr;
  if (service != INTERNET_SERVICE_FTP || !server || !*server || !NameUsable(server) ||
      (user && std::strpbrk(user, "\r\n")) || (password && std::strpbrk(password, "\r\n"))) {
    Fail(ERROR_INVALID_PARAMETER, "The server name was empty, or a name held a line break");
    return nullptr;
  }
  if (port == INTERNET_INVALID_PORT_NUMBER) port = INTERNET_DEFAULT_FTP_PORT;
  if (port == INTERNET_DEFAULT_FTP_PORT && g_test_port) port = g_test_port;
  auto connection = std::make_unique<Connection>();
  DWORD error = ERROR_SUCCESS;
  const bool opened = connection->session.Open(server, port, user, password, &error);
  KeepResponse(connection->session.last_reply());
  if (!opened) {
    SetLastError(error);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return Adopt(std::move(connection), parent);
}

BOOL FtpSetCurrentDirectoryA(HINTERNET handle, LPCSTR folder) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(folder)) return Fail(ERROR_INVALID_PARAMETER, "The folder name was not usable");
  return Simple(connection, std::string("CWD ") + folder);
}

HINTERNET FtpFindFirstFileA(HINTERNET handle, LPCSTR pattern, WIN32_FIND_DATAA* data, DWORD,
                            DWORD_PTR) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return nullptr;
  const bool whole =
      !pattern || !*pattern || std::strcmp(pattern, "*") == 0 || std::strcmp(pattern, "*.*") == 0;
  if (!whole && !NameUsable(pattern)) {
    Fail(ERROR_INVALID_PARAMETER, "The listing's pattern was not usable");
    return nullptr;
  }
  std::vector<ftp::ListEntry> entries;
  bool failed = false;
  bool listed = whole && ListWith(connection, "MLSD", true, &entries, &failed);
  if (!listed && !failed) {
    listed = ListWith(connection, whole ? std::string("LIST") : std::string("LIST ") + pattern,
                      false, &entries, &failed);
  }
  if (!listed) return nullptr;
  if (entries.empty()) {
    Fail(ERROR_NO_MORE_FILES, "The folder is empty");
    return nullptr;
  }
  auto find = std::make_unique<Find>();
  find->entries = std::move(entries);
  if (data) FillFindData(find->entries[0], data);
  find->next = 1;
  Find* raw = Adopt(std::move(find), connection);
  connection->transfer = raw;
  SetLastError(ERROR_SUCCESS);
  return raw;
}

BOOL InternetFindNextFileA(HINTERNET handle, LPVOID data) {
  auto* find = Lookup<Find>(handle, InternetObject::Kind::kFind);
  if (!find) return FALSE;
  if (find->next >= find->entries.size()) return Fail(ERROR_NO_MORE_FILES);
  if (data) FillFindData(find->entries[find->next], static_cast<WIN32_FIND_DATAA*>(data));
  ++find->next;
  return TRUE;
}

BOOL FtpGetFileA(HINTERNET handle, LPCSTR remote, LPCSTR local, BOOL fail_if_exists, DWORD,
                 DWORD flags, DWORD_PTR) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(remote) || !local || !*local)
    return Fail(ERROR_INVALID_PARAMETER, "The remote or local name was not usable");
  if (fail_if_exists && win32::GetFileAttributesA(local) != INVALID_FILE_ATTRIBUTES)
    return Fail(ERROR_FILE_EXISTS, std::string("The local file ") + local + " exists already");
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  Transfer transfer;
  if (!StartTransfer(connection, std::string("RETR ") + remote, type, remote, &transfer))
    return FALSE;
  Session& session = connection->session;
  win32::UniqueHandle file = win32::AdoptHandle(win32::CreateFileA(
      local, GENERIC_WRITE, 0, nullptr, fail_if_exists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr));
  if (!file) {
    session.Say(std::string("Could not create the local file ") + local);
    return FailTransfer(connection, transfer, ERROR_ACCESS_DENIED);
  }
  const DownloadMark made(local);
  std::vector<char> chunk(kChunk);
  ftp::Pace pace;
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    const long got = transfer.Read(chunk.data(), chunk.size(), pace.Next(transfer.moved()));
    if (got == 0) break;
    if (got == Socket::kTimedOut) {
      session.Say(pace.Why(transfer.moved(), false));
      error = ERROR_INTERNET_TIMEOUT;
      break;
    }
    if (got < 0) {
      error = transfer.error();
      break;
    }
    DWORD written = 0;
    if (!win32::WriteFile(file.get(), chunk.data(), static_cast<DWORD>(got), &written, nullptr) ||
        written != static_cast<DWORD>(got)) {
      session.Say(std::string("Could not write the local file ") + local);
      error = ERROR_NOT_ENOUGH_SPACE;
      break;
    }
  }
  file.reset();
  if (error == ERROR_SUCCESS) {
    KeepResponse(session.last_reply());
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  // A file cut short is not left behind looking whole; only what this download made goes.
  made.RemoveIfOurs();
  return FailTransfer(connection, transfer, error);
}

HINTERNET FtpOpenFileA(HINTERNET handle, LPCSTR name, DWORD access, DWORD flags, DWORD_PTR) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return nullptr;
  if (!NameUsable(name) || access != GENERIC_READ) {
    Fail(ERROR_INVALID_PARAMETER, "The remote name was not usable");
    return nullptr;
  }
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  auto file = std::make_unique<File>();
  if (!StartTransfer(connection, std::string("RETR ") + name, type, name, &file->transfer))
    return nullptr;
  File* raw = Adopt(std::move(file), connection);
  connection->transfer = raw;
  SetLastError(ERROR_SUCCESS);
  return raw;
}

BOOL InternetReadFile(HINTERNET handle, LPVOID buffer, DWORD size, DWORD* read) {
  if (read) *read = 0;
  auto* file = Lookup<File>(handle, InternetObject::Kind::kFile);
  if (!file) return FALSE;
  if (!read || (!buffer && size > 0)) return Fail(ERROR_INVALID_PARAMETER);
  Begin();
  Session& session = static_cast<Connection*>(file->parent)->session;
  // One deadline for the whole call: bytes that trickle in do not extend it.
  const int wait_ms = file->wait_ms > 0 ? file->wait_ms : ftp::TimeoutMs();
  const ftp::Deadline wait_until = ftp::After(wait_ms);
  auto* bytes = static_cast<char*>(buffer);
  DWORD total = 0;
  while (total < size) {
    const long got = file->transfer.Read(bytes + total, size - total, wait_until);
    if (got > 0) {
      total += static_cast<DWORD>(got);
      continue;
    }
    if (got == 0) break;
    if (got == Socket::kTimedOut) {
      if (total > 0) break;  // what came by the wait's end
      return Fail(ERROR_INTERNET_TIMEOUT,
                  "The server sent nothing for " + ftp::DurationWords(wait_ms));
    }
    // A failed ending fails the read at once, whatever came before it in this call: the
    // file is not whole, and the caller learns it in the same call.
    KeepResponse(session.last_reply());
    return Fail(file->transfer.error());
  }
  *read = total;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  if (option != INTERNET_OPTION_RECEIVE_TIMEOUT && option != INTERNET_OPTION_DATA_RECEIVE_TIMEOUT)
    return Fail(ERROR_INTERNET_INVALID_OPTION);
  auto* file = Lookup<File>(handle, InternetObject::Kind::kFile);
  if (!file) return FALSE;
  if (!buffer || length != sizeof(DWORD)) return Fail(ERROR_INVALID_PARAMETER);
  DWORD ms = 0;
  std::memcpy(&ms, buffer, sizeof ms);
  file->wait_ms = static_cast<int>(std::min<DWORD>(ms, INT32_MAX));
  return TRUE;
}

BOOL FtpPutFileA(HINTERNET handle, LPCSTR local, LPCSTR remote, DWORD flags, DWORD_PTR) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(remote) || !local || !*local)
    return Fail(ERROR_INVALID_PARAMETER, "The remote or local name was not usable");
  win32::UniqueHandle file = win32::AdoptHandle(
      win32::CreateFileA(local, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file)
    return Fail(ERROR_FILE_NOT_FOUND, std::string("Could not open the local file ") + local);
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  Transfer transfer;
  if (!StartTransfer(connection, std::string("STOR ") + remote, type, nullptr, &transfer))
    return FALSE;
  std::vector<char> chunk(kChunk);
  ftp::Pace pace;
  for (;;) {
    DWORD got = 0;
    if (!win32::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                         nullptr)) {
      connection->session.Say(std::string("Could not read the local file ") + local);
      return FailTransfer(connection, transfer, ERROR_ACCESS_DENIED);
    }
    if (got == 0) break;
    if (!transfer.Send(chunk.data(), got, pace.Next(transfer.moved()))) {
      connection->session.Say(pace.Why(transfer.moved(), true));
      return FailTransfer(connection, transfer, ERROR_INTERNET_CONNECTION_ABORTED);
    }
  }
  const bool done = transfer.FinishUpload();
  KeepResponse(connection->session.last_reply());
  return done ? TRUE : Fail(transfer.error());
}

BOOL FtpDeleteFileA(HINTERNET handle, LPCSTR name) {
  Begin();
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(name)) return Fail(ERROR_INVALID_PARAMETER, "The remote name was not usable");
  return Simple(connection, std::string("DELE ") + name);
}

BOOL InternetGetLastResponseInfoA(DWORD* error, LPSTR buffer, DWORD* length) {
  if (error) *error = t_last_error;
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  const std::string& response = Shared().last_response;
  const auto needed = static_cast<DWORD>(response.size());
  if (!buffer || *length <= needed) {
    *length = needed + 1;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, response.c_str(), needed + 1);
  *length = needed;
  return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  auto found = Handles().find(handle);
  if (!handle || found == Handles().end()) return Fail(ERROR_INVALID_HANDLE);
  Close(handle);
  return TRUE;
}

namespace testing {

void SetFtpPort(std::uint16_t port) {
  g_test_port = port;
}

int OpenHandleCount() {
  return static_cast<int>(Handles().size());
}

}  // namespace testing

}  // namespace wininet
