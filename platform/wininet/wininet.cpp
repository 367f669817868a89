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

constexpr std::size_t kMaxListingBytes = 16u << 20;  // a listing larger than this is refused
constexpr std::size_t kChunk = 64 * 1024;

thread_local DWORD t_last_error = ERROR_SUCCESS;
thread_local std::string t_last_response;
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
  Socket data;
  bool ended = false;      // the data connection has closed and the server confirmed it
  bool confirmed = false;  // the transfer's final reply was read (successfully or not)
};

// Every open handle, owned here; a pointer not in the map is not a handle.
std::map<InternetObject*, std::unique_ptr<InternetObject>>& Handles() {
  static std::map<InternetObject*, std::unique_ptr<InternetObject>> handles;
  return handles;
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

// The connection ready for a new command: open, alive and not busy with a transfer.
Connection* Ready(HINTERNET handle) {
  auto* connection = Lookup<Connection>(handle, InternetObject::Kind::kConnection);
  if (!connection) return nullptr;
  if (connection->session.dead()) {
    SetLastError(ERROR_FTP_DROPPED);
    return nullptr;
  }
  if (connection->transfer) {
    SetLastError(ERROR_FTP_TRANSFER_IN_PROGRESS);
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

// Opens a data connection and sends a transfer command, reading its preliminary reply.
Socket StartTransfer(Connection* connection, const std::string& command, char type) {
  Session& session = connection->session;
  DWORD error = ERROR_SUCCESS;
  if (type && !session.SetType(type, &error)) {
    KeepResponse(session.last_reply());
    SetLastError(error);
    return Socket();
  }
  Socket data = session.OpenData(&error);
  KeepResponse(session.last_reply());
  if (!data.valid()) {
    SetLastError(session.dead() ? ERROR_FTP_DROPPED : error);
    return Socket();
  }
  int code = 0;
  const bool answered = session.Command(command, &code);
  KeepResponse(session.last_reply());
  if (!answered) {
    SetLastError(ERROR_FTP_DROPPED);
    return Socket();
  }
  if (code != 125 && code != 150) {
    SetLastError(code / 100 == 2 ? ERROR_INTERNET_INTERNAL_ERROR : ERROR_INTERNET_EXTENDED_ERROR);
    return Socket();
  }
  return data;
}

// Reads the reply that ends a transfer; TRUE for 2xx.
BOOL FinishTransfer(Connection* connection) {
  int code = 0;
  const bool answered = connection->session.ReadReply(&code);
  KeepResponse(connection->session.last_reply());
  if (!answered) return Fail(ERROR_FTP_DROPPED);
  if (code / 100 != 2) return Fail(ERROR_INTERNET_EXTENDED_ERROR);
  return TRUE;
}

// Ends a transfer early: the data connection closed, then the abort exchanged.
void AbortTransfer(Connection* connection, Socket& data) {
  data.Close();
  connection->session.Abort();
  KeepResponse(connection->session.last_reply());
}

// Reads a whole data connection into body (at most limit bytes); FALSE on a failure, a timeout
// or a body past the limit.
BOOL ReadAll(Socket& data, std::string& body, std::size_t limit) {
  std::vector<char> chunk(kChunk);
  for (;;) {
    const long got = data.Receive(chunk.data(), chunk.size());
    if (got == 0) return TRUE;
    if (got < 0)
      return Fail(got == Socket::kTimedOut ? ERROR_INTERNET_TIMEOUT
                                           : ERROR_INTERNET_CONNECTION_ABORTED);
    if (body.size() + static_cast<std::size_t>(got) > limit) return Fail(ERROR_NOT_ENOUGH_SPACE);
    body.append(chunk.data(), static_cast<std::size_t>(got));
  }
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
  Socket data = StartTransfer(connection, command, 0);
  if (!data.valid()) {
    const std::string& reply = connection->session.last_reply();
    const bool unknown = !connection->session.dead() && reply.size() >= 3 && reply[0] == '5' &&
                         reply[1] == '0' && reply[2] >= '0' && reply[2] <= '4';
    if (unknown) *failed = false;
    return false;
  }
  std::string body;
  if (!ReadAll(data, body, kMaxListingBytes)) {
    const DWORD error = GetLastError();
    AbortTransfer(connection, data);
    SetLastError(error);
    return false;
  }
  data.Close();
  if (!FinishTransfer(connection)) return false;
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
  if (object->kind == InternetObject::Kind::kFile) {
    auto* file = static_cast<File*>(object);
    auto* connection = static_cast<Connection*>(file->parent);
    if (!file->confirmed && !connection->session.dead()) AbortTransfer(connection, file->data);
  }
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
  if (!text.empty()) t_last_response = text;
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
  auto* parent = Lookup<InternetObject>(session, InternetObject::Kind::kSession);
  if (!parent) return nullptr;
  if (service != INTERNET_SERVICE_FTP || !server || !*server || !NameUsable(server) ||
      (user && std::strpbrk(user, "\r\n")) || (password && std::strpbrk(password, "\r\n"))) {
    SetLastError(ERROR_INVALID_PARAMETER);
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
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(folder)) return Fail(ERROR_INVALID_PARAMETER);
  return Simple(connection, std::string("CWD ") + folder);
}

HINTERNET FtpFindFirstFileA(HINTERNET handle, LPCSTR pattern, WIN32_FIND_DATAA* data, DWORD,
                            DWORD_PTR) {
  Connection* connection = Ready(handle);
  if (!connection) return nullptr;
  const bool whole =
      !pattern || !*pattern || std::strcmp(pattern, "*") == 0 || std::strcmp(pattern, "*.*") == 0;
  if (!whole && !NameUsable(pattern)) {
    SetLastError(ERROR_INVALID_PARAMETER);
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
    SetLastError(ERROR_NO_MORE_FILES);
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
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(remote) || !local || !*local) return Fail(ERROR_INVALID_PARAMETER);
  if (fail_if_exists && win32::GetFileAttributesA(local) != INVALID_FILE_ATTRIBUTES)
    return Fail(ERROR_FILE_EXISTS);
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  Socket data = StartTransfer(connection, std::string("RETR ") + remote, type);
  if (!data.valid()) return FALSE;
  win32::UniqueHandle file = win32::AdoptHandle(win32::CreateFileA(
      local, GENERIC_WRITE, 0, nullptr, fail_if_exists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr));
  if (!file) {
    AbortTransfer(connection, data);
    return Fail(ERROR_ACCESS_DENIED);
  }
  std::vector<char> chunk(kChunk);
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    const long got = data.Receive(chunk.data(), chunk.size());
    if (got == 0) break;
    if (got < 0) {
      error = got == Socket::kTimedOut ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_CONNECTION_ABORTED;
      break;
    }
    DWORD written = 0;
    if (!win32::WriteFile(file.get(), chunk.data(), static_cast<DWORD>(got), &written, nullptr) ||
        written != static_cast<DWORD>(got)) {
      error = ERROR_NOT_ENOUGH_SPACE;
      break;
    }
  }
  BOOL done = FALSE;
  if (error == ERROR_SUCCESS) {
    data.Close();
    done = FinishTransfer(connection);
  } else {
    AbortTransfer(connection, data);
    SetLastError(error);
  }
  file.reset();
  if (!done) {
    // A file cut short is not left behind looking whole.
    const DWORD why = GetLastError();
    win32::DeleteFileA(local);
    SetLastError(why);
  }
  return done;
}

HINTERNET FtpOpenFileA(HINTERNET handle, LPCSTR name, DWORD access, DWORD flags, DWORD_PTR) {
  Connection* connection = Ready(handle);
  if (!connection) return nullptr;
  if (!NameUsable(name) || access != GENERIC_READ) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  Socket data = StartTransfer(connection, std::string("RETR ") + name, type);
  if (!data.valid()) return nullptr;
  auto file = std::make_unique<File>();
  file->data = std::move(data);
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
  auto* connection = static_cast<Connection*>(file->parent);
  if (file->confirmed) return file->ended ? TRUE : Fail(ERROR_INTERNET_CONNECTION_ABORTED);
  auto* bytes = static_cast<char*>(buffer);
  DWORD total = 0;
  while (total < size) {
    const long got = file->data.Receive(bytes + total, size - total);
    if (got > 0) {
      total += static_cast<DWORD>(got);
      continue;
    }
    if (got == 0) {
      // The data connection closed: the file is whole only when the server says so.
      file->data.Close();
      file->confirmed = true;
      file->ended = FinishTransfer(connection) == TRUE;
      if (!file->ended && total == 0) return FALSE;
      break;
    }
    if (total > 0) break;  // give what came; the next read meets the failure again
    return Fail(got == Socket::kTimedOut ? ERROR_INTERNET_TIMEOUT
                                         : ERROR_INTERNET_CONNECTION_ABORTED);
  }
  *read = total;
  return TRUE;
}

BOOL FtpPutFileA(HINTERNET handle, LPCSTR local, LPCSTR remote, DWORD flags, DWORD_PTR) {
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(remote) || !local || !*local) return Fail(ERROR_INVALID_PARAMETER);
  win32::UniqueHandle file = win32::AdoptHandle(
      win32::CreateFileA(local, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return Fail(ERROR_FILE_NOT_FOUND);
  const char type = (flags & 3u) == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
  Socket data = StartTransfer(connection, std::string("STOR ") + remote, type);
  if (!data.valid()) return FALSE;
  std::vector<char> chunk(kChunk);
  for (;;) {
    DWORD got = 0;
    if (!win32::ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                         nullptr)) {
      AbortTransfer(connection, data);
      return Fail(ERROR_ACCESS_DENIED);
    }
    if (got == 0) break;
    if (!data.SendAll(chunk.data(), got)) {
      AbortTransfer(connection, data);
      return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
    }
  }
  data.ShutdownSend();
  data.Close();
  return FinishTransfer(connection);
}

BOOL FtpDeleteFileA(HINTERNET handle, LPCSTR name) {
  Connection* connection = Ready(handle);
  if (!connection) return FALSE;
  if (!NameUsable(name)) return Fail(ERROR_INVALID_PARAMETER);
  return Simple(connection, std::string("DELE ") + name);
}

BOOL InternetGetLastResponseInfoA(DWORD* error, LPSTR buffer, DWORD* length) {
  if (error) *error = t_last_error;
  if (!length) return Fail(ERROR_INVALID_PARAMETER);
  const auto needed = static_cast<DWORD>(t_last_response.size());
  if (!buffer || *length <= needed) {
    *length = needed + 1;
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(buffer, t_last_response.c_str(), needed + 1);
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
