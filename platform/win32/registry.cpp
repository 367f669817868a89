// The registry store; see registry.h. The file is text, one record a line, every field hex
// encoded so that names and data may hold any byte, and every line closed by a checksum of
// its contents:
//   TSKREG 1
//   K <path> <sum>                       a key, its full path from the root ("HKLM\A\B")
//   V <name> <type> <data> <sum>         a value of the key above it
// A reader stops at the first line that is cut short, garbled or out of place and keeps
// everything before it.
#include "platform/win32/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace win32 {

namespace {

// ---- constants ----

constexpr std::string_view kHeader = "TSKREG 1";
constexpr std::size_t kMaxFileSize = 64u << 20;  // a larger file is read only this far
constexpr DWORD kMaxValueSize = 1u << 20;        // values are settings, not files
constexpr std::size_t kMaxNameLength = 16383;    // the platform's value-name limit
constexpr std::size_t kMaxKeyNameLength = 255;   // the platform's key-name limit
constexpr std::uintptr_t kFirstHandle = 0x10000;

// ---- types ----

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string path;  // "HKLM\Software\Game", as first written
  std::vector<Value> values;
};

struct OpenKey {
  std::string path;
  REGSAM access;
};

// ---- state ----

struct Registry {
  std::string folder_override;
  std::vector<Key> keys;
  std::map<std::uintptr_t, OpenKey> handles;
  std::uintptr_t next_handle = kFirstHandle;
};

Registry& State() {
  static Registry registry;
  return registry;
}

// ---- helpers: names ----

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Lower(a) == Lower(b);
}

// The root path of a predefined key, or nullopt.
std::optional<std::string> RootPath(HKEY key) {
  switch (reinterpret_cast<std::uintptr_t>(key)) {
    case 0x80000000u:
      return "HKCR";
    case 0x80000001u:
      return "HKCU";
    case 0x80000002u:
      return "HKLM";
    case 0x80000003u:
      return "HKU";
    default:
      return std::nullopt;
  }
}

// The path and access of an open key (predefined roots have every right).
std::optional<OpenKey> Resolve(HKEY key) {
  if (auto root = RootPath(key)) return OpenKey{*root, KEY_ALL_ACCESS};
  auto& handles = State().handles;
  auto it = handles.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == handles.end()) return std::nullopt;
  return it->second;
}

// Appends the components of sub_key to base; false for a component that is too long.
bool JoinPath(std::string base, const char* sub_key, std::string* out) {
  if (sub_key) {
    std::string_view rest(sub_key);
    while (!rest.empty()) {
      std::size_t cut = rest.find('\\');
      std::string_view part = rest.substr(0, cut);
      if (part.size() > kMaxKeyNameLength) return false;
      if (!part.empty()) {
        base += '\\';
        base += part;
      }
      if (cut == std::string_view::npos) break;
      rest.remove_prefix(cut + 1);
    }
  }
  *out = std::move(base);
  return true;
}

Key* FindKey(std::string_view path) {
  for (Key& k : State().keys)
    if (SameName(k.path, path)) return &k;
  return nullptr;
}

Value* FindValue(Key& key, std::string_view name) {
  for (Value& v : key.values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

HKEY NewHandle(std::string path, REGSAM access) {
  Registry& r = State();
  std::uintptr_t id = r.next_handle++;
  r.handles[id] = OpenKey{std::move(path), access};
  return reinterpret_cast<HKEY>(id);
}

// ---- helpers: the file ----

std::string Folder() {
  Registry& r = State();
  if (!r.folder_override.empty()) return r.folder_override;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/tessark";
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config/tessark";
}

std::string FilePath() {
  return Folder() + "/registry";
}

// Makes the folder and its parents (mode 0700 for the ones it makes).
bool MakeFolders(const std::string& folder) {
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    std::string part = folder.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

std::uint32_t Checksum(std::string_view s) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

void AppendHex(std::string* out, const void* data, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  const auto* p = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i) {
    *out += kDigits[p[i] >> 4];
    *out += kDigits[p[i] & 15];
  }
  if (size == 0) *out += '-';  // an empty field still takes a place
}

bool DecodeHex(std::string_view hex, std::string* out) {
  out->clear();
  if (hex == "-") return true;
  if (hex.empty() || hex.size() % 2 != 0) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    *out += static_cast<char>(hi << 4 | lo);
  }
  return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (!line.empty()) {
    std::size_t cut = line.find(' ');
    fields.push_back(line.substr(0, cut));
    if (cut == std::string_view::npos) break;
    line.remove_prefix(cut + 1);
  }
  return fields;
}

// Parses the store text into keys, stopping at the first bad line.
std::vector<Key> Parse(std::string_view text) {
  std::vector<Key> keys;
  std::size_t end = text.find('\n');
  if (end == std::string_view::npos || text.substr(0, end) != kHeader) return keys;
  text.remove_prefix(end + 1);
  while (true) {
    end = text.find('\n');
    if (end == std::string_view::npos) break;  // the rest was cut short
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    std::size_t sum_at = line.rfind(' ');
    if (sum_at == std::string_view::npos) break;
    std::string_view body = line.substr(0, sum_at);
    std::string sum_bytes;
    if (!DecodeHex(line.substr(sum_at + 1), &sum_bytes) || sum_bytes.size() != 4) break;
    std::uint32_t sum;
    std::memcpy(&sum, sum_bytes.data(), 4);
    if (sum != Checksum(body)) break;
    std::vector<std::string_view> f = Fields(body);
    if (f.size() == 2 && f[0] == "K") {
      Key k;
      if (!DecodeHex(f[1], &k.path) || k.path.empty()) break;
      if (std::find_if(keys.begin(), keys.end(),
                       [&](const Key& o) { return SameName(o.path, k.path); }) != keys.end())
        break;
      keys.push_back(std::move(k));
    } else if (f.size() == 4 && f[0] == "V" && !keys.empty()) {
      Value v;
      std::string data;
      if (!DecodeHex(f[1], &v.name) || !DecodeHex(f[3], &data)) break;
      if (data.size() > kMaxValueSize) break;
      char* stop = nullptr;
      std::string type(f[2]);
      unsigned long t = std::strtoul(type.c_str(), &stop, 10);
      if (type.empty() || *stop != '\0' || t > 0xFFFFFFFFul) break;
      v.type = static_cast<DWORD>(t);
      v.data.assign(data.begin(), data.end());
      keys.back().values.push_back(std::move(v));
    } else {
      break;
    }
  }
  return keys;
}

std::string Serialise(const std::vector<Key>& keys) {
  std::string text(kHeader);
  text += '\n';
  auto line = [&text](const std::string& body) {
    std::uint32_t sum = Checksum(body);
    text += body;
    text += ' ';
    AppendHex(&text, &sum, 4);
    text += '\n';
  };
  for (const Key& k : keys) {
    std::string body = "K ";
    AppendHex(&body, k.path.data(), k.path.size());
    line(body);
    for (const Value& v : k.values) {
      body = "V ";
      AppendHex(&body, v.name.data(), v.name.size());
      body += ' ' + std::to_string(v.type) + ' ';
      AppendHex(&body, v.data.data(), v.data.size());
      line(body);
    }
  }
  return text;
}

// Reads the store file afresh. Another process may have written it since, and file time
// stamps are too coarse to tell; the store is small and read only by settings calls.
void Refresh() {
  Registry& r = State();
  std::string path = FilePath();
  r.keys.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string text;
  char buffer[8192];
  while (text.size() < kMaxFileSize) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  r.keys = Parse(text);
}

// Writes everything to the store file: a new file, synced, renamed over the old one.
bool Save() {
  const Registry& r = State();
  std::string folder = Folder();
  if (!MakeFolders(folder)) return false;
  std::string path = FilePath();
  std::string temp = path + ".new-" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::string text = Serialise(r.keys);
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);  // makes the rename itself durable
    close(dir);
  }
  return true;
}

// Holds the store's lock file for one read-modify-write, so that two processes writing at
// once each see the other's changes.
class StoreLock {
 public:
  StoreLock() {
    std::string folder = Folder();
    if (!MakeFolders(folder)) return;
    fd_ = open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

// A change that could not be written is dropped again: the next access reads the file.
LSTATUS Commit() {
  return Save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

}  // namespace

}  // namespace win32

using namespace win32;

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM access, void*,
                        PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::optional<OpenKey> parent = Resolve(key);
  if (!parent) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(parent->path, sub_key, &path)) return ERROR_INVALID_PARAMETER;
  Refresh();
  bool existed = FindKey(path) != nullptr;
  if (!existed) {
    StoreLock lock;
    Refresh();
    existed = FindKey(path) != nullptr;
    if (!existed) {
      // Every missing key on the way down is made too.
      for (std::size_t at = path.find('\\'); at != std::string::npos;
           at = path.find('\\', at + 1)) {
        std::string_view above(path.data(), at);
        if (above.find('\\') != std::string_view::npos && !FindKey(above))
          State().keys.push_back(Key{std::string(above), {}});
      }
      if (path.find('\\') != std::string::npos) State().keys.push_back(Key{path, {}});
      if (LSTATUS status = Commit(); status != ERROR_SUCCESS) return status;
    }
  }
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(path, access);
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::optional<OpenKey> parent = Resolve(key);
  if (!parent) return ERROR_INVALID_HANDLE;
  std::string path;
  if (!JoinPath(parent->path, sub_key, &path)) return ERROR_INVALID_PARAMETER;
  Refresh();
  bool is_root = path.find('\\') == std::string::npos;
  if (!is_root && !FindKey(path)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(path, access);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD data_size) {
  std::optional<OpenKey> open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
  if (!(open->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Refresh();
  Key* k = FindKey(open->path);
  if (!k)
    return open->path.find('\\') == std::string::npos ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
  Value* v = FindValue(*k, value_name ? value_name : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  DWORD size = static_cast<DWORD>(v->data.size());
  if (!data_size) return ERROR_SUCCESS;
  if (data && *data_size < size) {
    *data_size = size;
    return ERROR_MORE_DATA;
  }
  if (data && size) std::memcpy(data, v->data.data(), size);
  *data_size = size;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR value_name, DWORD, DWORD type, const BYTE* data,
                       DWORD data_size) {
  std::optional<OpenKey> open = Resolve(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if ((!data && data_size) || data_size > kMaxValueSize) return ERROR_INVALID_PARAMETER;
  std::string name = value_name ? value_name : "";
  if (name.size() > kMaxNameLength) return ERROR_INVALID_PARAMETER;
  // Values live in keys below a root, not in the roots themselves.
  if (open->path.find('\\') == std::string::npos) return ERROR_ACCESS_DENIED;
  StoreLock lock;
  Refresh();
  Key* k = FindKey(open->path);
  if (!k) return ERROR_KEY_DELETED;
  Value* v = FindValue(*k, name);
  if (!v) {
    k->values.push_back(Value{name, REG_NONE, {}});
    v = &k->values.back();
  }
  v->type = type;
  v->data.assign(data, data + data_size);
  return Commit();
}

LSTATUS RegCloseKey(HKEY key) {
  if (RootPath(key)) return ERROR_SUCCESS;
  auto& handles = State().handles;
  auto it = handles.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  handles.erase(it);
  return ERROR_SUCCESS;
}

namespace win32::testing {

void RegistryUseFolder(const std::string& folder) {
  Registry& r = State();
  r.folder_override = folder;
  r.keys.clear();
}

std::string RegistryFile() {
  return FilePath();
}

int RegistryRecordsIn(std::string_view text) {
  std::vector<Key> keys = Parse(text);
  auto count = [](const std::vector<Key>& ks) {
    int n = 0;
    for (const Key& k : ks) n += 1 + static_cast<int>(k.values.size());
    return n;
  };
  std::string again = Serialise(keys);
  return Serialise(Parse(again)) == again ? count(keys) : -1;
}

}  // namespace win32::testing
