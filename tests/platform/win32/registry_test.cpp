// The registry store: key and value semantics, the store shared between processes, and a
// store file cut short or garbled (read as far as it is intact, never a crash).
#include "platform/win32/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessark-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    win32::testing::RegistryUseFolder(folder_ + "/config/tessark");
  }
  void TearDown() override {
    win32::testing::RegistryUseFolder("");
    fs::remove_all(folder_);
  }

  // Creates key (under the local-machine root) and stores a value in it.
  static void Put(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(h);
  }
  static void PutNumber(const char* key, const char* name, DWORD n) {
    Put(key, name, REG_DWORD, &n, sizeof n);
  }
  // The number stored there, or -1 when the key or value is missing.
  static long long GetNumber(const char* key, const char* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return -1;
    DWORD n = 0, size = sizeof n;
    LSTATUS status =
        RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &size);
    RegCloseKey(h);
    return status == ERROR_SUCCESS ? static_cast<long long>(n) : -1;
  }

  std::string folder_;
};

TEST_F(RegistryTest, CreateOpenQueryAndSet) {
  HKEY h = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessark\\Game", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &h, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const char text[] = "hello";
  ASSERT_EQ(
      RegSetValueExA(h, "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
      ERROR_SUCCESS);
  RegCloseKey(h);

  // Names compare without regard to case; the keys above were made on the way.
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\tessark\\game", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &h, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(h);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\TESSARK", 0, KEY_READ, &h), ERROR_SUCCESS);
  RegCloseKey(h);

  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessark\\Game", 0, KEY_READ, &h),
            ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(h, "greeting", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6u);
  char small[3];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(h, "Greeting", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 6u);
  char buffer[16] = {};
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExA(h, "Greeting", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "hello");
  EXPECT_EQ(RegQueryValueExA(h, "Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // A key opened for reading cannot be written through.
  EXPECT_EQ(RegSetValueExA(h, "Greeting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);  // a closed handle is refused
  EXPECT_EQ(RegQueryValueExA(h, "Greeting", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, MissingKeysAndBadArguments) {
  HKEY h = reinterpret_cast<HKEY>(std::uintptr_t{1});
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "No\\Such\\Key", 0, KEY_READ, &h),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(GetNumber("No\\Such\\Key", "x"), -1);
  EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(std::uintptr_t{77}), "A", 0, KEY_READ, &h),
            ERROR_INVALID_HANDLE);
  std::string long_name(300, 'k');
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, long_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(fs::exists(win32::testing::RegistryFile()));  // nothing was written
}

TEST_F(RegistryTest, ValuesReplaceAndKeepTheirTypes) {
  PutNumber("Game", "Score", 10);
  PutNumber("Game", "score", 0xFFFFFFFFu);
  EXPECT_EQ(GetNumber("Game", "SCORE"), 0xFFFFFFFFll);
  Put("Game", "", REG_BINARY, "\0\1\2", 3);  // the default value, with a zero byte inside
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "game", 0, KEY_READ, &h), ERROR_SUCCESS);
  BYTE bytes[3];
  DWORD type = 0, size = sizeof bytes;
  ASSERT_EQ(RegQueryValueExA(h, nullptr, nullptr, &type, bytes, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(bytes[2], 2);
  RegCloseKey(h);
}

TEST_F(RegistryTest, ValueWrittenByOneProcessIsReadByTheNext) {
  // Written by a child process, read here.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    win32::testing::RegistryUseFolder(folder_ + "/config/tessark");
    DWORD n = 4242;
    HKEY h = nullptr;
    bool ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Kettlebrim", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &h, nullptr) == ERROR_SUCCESS &&
              RegSetValueExA(h, "Best", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n),
                             sizeof n) == ERROR_SUCCESS;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(GetNumber("Software\\Kettlebrim", "Best"), 4242);

  // Written here, read by a child that starts from nothing, as a new process does.
  PutNumber("Software\\Kettlebrim", "Level", 7);
  child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    win32::testing::RegistryUseFolder(folder_ + "/config/tessark");
    _exit(GetNumber("Software\\Kettlebrim", "Level") == 7 &&
                  GetNumber("Software\\Kettlebrim", "Best") == 4242
              ? 0
              : 1);
  }
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RegistryTest, ProcessesWritingAtOnceKeepEachOthersValues) {
  constexpr int kWriters = 4, kValues = 15;
  pid_t children[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    children[w] = fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      win32::testing::RegistryUseFolder(folder_ + "/config/tessark");
      bool ok = true;
      for (DWORD v = 0; v < kValues; ++v) {
        std::string name = "w" + std::to_string(w) + "v" + std::to_string(v);
        HKEY h = nullptr;
        DWORD n = static_cast<DWORD>(w) * 100 + v;
        ok = ok &&
             RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Shared", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &h, nullptr) == ERROR_SUCCESS &&
             RegSetValueExA(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n),
                            sizeof n) == ERROR_SUCCESS;
        RegCloseKey(h);
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int w = 0; w < kWriters; ++w)
    for (int v = 0; v < kValues; ++v)
      EXPECT_EQ(GetNumber("Shared", ("w" + std::to_string(w) + "v" + std::to_string(v)).c_str()),
                w * 100 + v);
}

TEST_F(RegistryTest, AWriteCutOffBeforeItsRenameLeavesTheOldStore) {
  PutNumber("Crash", "kept", 5);
  // What a writer that died before renaming leaves behind: a half-written new file.
  std::ofstream(win32::testing::RegistryFile() + ".new-999999") << "TSKREG 1\nK 43";
  EXPECT_EQ(GetNumber("Crash", "kept"), 5);
  PutNumber("Crash", "more", 6);
  EXPECT_EQ(GetNumber("Crash", "kept"), 5);
  EXPECT_EQ(GetNumber("Crash", "more"), 6);
}

TEST_F(RegistryTest, StoreLivesInTheConfigurationFolderAndLeavesNoTemporaryFiles) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", (folder_ + "/xdg").c_str(), 1);
  win32::testing::RegistryUseFolder("");
  EXPECT_EQ(win32::testing::RegistryFile(), folder_ + "/xdg/tessark/registry");
  PutNumber("A", "n", 1);
  PutNumber("A", "n", 2);
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(folder_ + "/xdg/tessark")) {
    std::string name = entry.path().filename();
    EXPECT_TRUE(name == "registry" || name == "registry.lock") << name;
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

// Reads the store file into a string.
std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

TEST_F(RegistryTest, StoreCutShortIsReadAsFarAsItIsIntact) {
  for (DWORD i = 0; i < 6; ++i) PutNumber("Cut", ("v" + std::to_string(i)).c_str(), i * 11);
  std::string path = win32::testing::RegistryFile();
  std::string whole = Slurp(path);
  ASSERT_FALSE(whole.empty());
  int previous_found = -1;
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    Spit(path, whole.substr(0, length));
    // The values found are always a prefix of the ones written, with their right numbers,
    // and a longer file never holds fewer.
    int found = 0;
    while (found < 6 && GetNumber("Cut", ("v" + std::to_string(found)).c_str()) == found * 11)
      ++found;
    for (int rest = found; rest < 6; ++rest)
      EXPECT_EQ(GetNumber("Cut", ("v" + std::to_string(rest)).c_str()), -1) << length;
    EXPECT_GE(found, previous_found) << length;
    previous_found = found;
  }
  EXPECT_EQ(previous_found, 6);
}

TEST_F(RegistryTest, GarbledStoreKeepsWhatCameBeforeTheDamage) {
  PutNumber("Garble", "first", 1);
  PutNumber("Garble", "second", 2);
  std::string path = win32::testing::RegistryFile();
  std::string whole = Slurp(path);
  std::size_t second_line = whole.rfind('\n', whole.size() - 2);
  ASSERT_NE(second_line, std::string::npos);
  for (std::size_t at = 0; at < whole.size(); ++at) {
    for (char bad : {'x', '\n', '\0', '7', ' '}) {
      std::string garbled = whole;
      if (garbled[at] == bad) continue;
      garbled[at] = bad;
      Spit(path, garbled);
      long long first = GetNumber("Garble", "first");
      long long second = GetNumber("Garble", "second");
      EXPECT_TRUE(first == 1 || first == -1) << at;
      EXPECT_TRUE(second == 2 || second == -1) << at;
      // Damage in the last record leaves the first one.
      if (at > second_line) {
        EXPECT_EQ(first, 1) << at;
      }
    }
  }
  // Writing again over a garbled store keeps what was intact and adds the new value.
  Spit(path, whole.substr(0, second_line + 5));
  PutNumber("Garble", "third", 3);
  EXPECT_EQ(GetNumber("Garble", "first"), 1);
  EXPECT_EQ(GetNumber("Garble", "third"), 3);
}

TEST_F(RegistryTest, ArbitraryBytesNeverCrashTheReader) {
  std::string path = win32::testing::RegistryFile();
  fs::create_directories(fs::path(path).parent_path());
  unsigned seed = 12345;
  for (int round = 0; round < 200; ++round) {
    std::string junk = round % 2 ? "TSKREG 1\n" : "";
    int length = static_cast<int>((seed = seed * 1103515245u + 12345u) >> 20) % 300;
    for (int i = 0; i < length; ++i)
      junk += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    Spit(path, junk);
    EXPECT_EQ(GetNumber("K", "v"), -1);
  }
}

TEST_F(RegistryTest, StoreTextWritesBackAsItWasRead) {
  PutNumber("Round\\Trip", "a", 1);
  Put("Round\\Trip", "text with spaces\n", REG_SZ, "x y\n", 5);
  std::string whole = Slurp(win32::testing::RegistryFile());
  EXPECT_EQ(win32::testing::RegistryRecordsIn(whole), 4);  // two keys, two values
  EXPECT_EQ(win32::testing::RegistryRecordsIn(""), 0);
  EXPECT_EQ(win32::testing::RegistryRecordsIn("TSKREG 1\nV 61 4 01000000 00000000\n"), 0);
}

}  // namespace
