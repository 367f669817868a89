// The clipboard and registry operations of the input module.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "input_fixture.h"
#include "platform/win32/registry.h"

namespace {

using namespace input_test;

std::string Take(char* text) {
  std::string copy = text ? text : "(null)";
  std::free(text);
  return copy;
}

TEST_F(InputModuleTest, ClipboardCarriesWindowsTextToTheDesktop) {
  Open();
  EXPECT_EQ(ClipboardWrite("caf\xE9 \x80"), 1);
  char* desktop = SDL_GetClipboardText();
  EXPECT_STREQ(desktop, "caf\xC3\xA9 \xE2\x82\xAC");
  SDL_free(desktop);
  SDL_SetClipboardText("\xC2\xA3 5");
  EXPECT_EQ(Take(ClipboardRead()), "\xA3 5");
  SDL_SetClipboardText("");
  EXPECT_EQ(Take(ClipboardRead()), "");
}

class RegistryModuleTest : public InputModuleTest {
 protected:
  void SetUp() override {
    InputModuleTest::SetUp();
    char pattern[] = "/tmp/tessark-input-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    win32::testing::RegistryUseFolder(folder_);
    Open();
  }
  void TearDown() override {
    win32::testing::RegistryUseFolder("");
    std::filesystem::remove_all(folder_);
    InputModuleTest::TearDown();
  }
  std::string folder_;
};

TEST_F(RegistryModuleTest, NumbersAndTextsRoundTrip) {
  RegistryWriteNumber("Software\\Kettlebrim", "Best", -5);
  EXPECT_EQ(RegistryReadNumber("Software\\Kettlebrim", "Best"), -5);
  RegistryWriteNumber("Software\\Kettlebrim", "Best", 12);  // the key exists now
  EXPECT_EQ(RegistryReadNumber("software\\kettlebrim", "BEST"), 12);
  RegistryWriteText("Software\\Kettlebrim", "Player", "Ann");
  EXPECT_EQ(Take(RegistryReadText("Software\\Kettlebrim", "Player")), "Ann");
  // A text value read as a number does not fit the 4 bytes asked for.
  RegistryWriteText("Software\\Kettlebrim", "Long", "abcdefgh");
  EXPECT_EQ(RegistryReadNumber("Software\\Kettlebrim", "Long"), 0);
}

TEST_F(RegistryModuleTest, MissingKeysAndValues) {
  EXPECT_EQ(Take(RegistryReadText("No\\Such\\Key", "Player")), "");
  EXPECT_EQ(RegistryReadNumber("No\\Such\\Key", "Best"), 0);
  RegistryWriteNumber("Software\\Kettlebrim", "Best", 3);
  EXPECT_EQ(Take(RegistryReadText("Software\\Kettlebrim", "Missing")), "");
  EXPECT_EQ(RegistryReadNumber("Software\\Kettlebrim", "Missing"), 0);
}

TEST_F(RegistryModuleTest, LengthLimits) {
  std::string path254(254, 'p'), path255(255, 'p');
  RegistryWriteNumber(path254.c_str(), "n", 1);
  EXPECT_EQ(RegistryReadNumber(path254.c_str(), "n"), 1);
  RegistryWriteNumber(path255.c_str(), "n", 1);  // refused
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path255.c_str(), 0, KEY_READ, &h),
            ERROR_FILE_NOT_FOUND);
  std::string name255(255, 'n');
  RegistryWriteNumber("K", name255.c_str(), 9);
  EXPECT_EQ(RegistryReadNumber("K", name255.c_str()), 0);

  // Texts of up to 253 characters come back; 254 and more need 255 bytes or more.
  std::string t253(253, 'x'), t254(254, 'x'), t400(400, 'x');
  RegistryWriteText("K", "t", t253.c_str());
  EXPECT_EQ(Take(RegistryReadText("K", "t")), t253);
  RegistryWriteText("K", "t", t254.c_str());
  EXPECT_EQ(Take(RegistryReadText("K", "t")), "");
  // A longer text is kept to its first 255 characters.
  RegistryWriteText("K", "t", t400.c_str());
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &h), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(h, "t", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 256u);
  RegCloseKey(h);
}

}  // namespace
