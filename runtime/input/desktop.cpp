// The desktop services beside the input devices: the cursor's display count and position
// (through the window stand-in), the clipboard and the registry values.
#include <cstring>
#include <string>

#include "platform/win32/clipboard.h"
#include "platform/win32/registry.h"
#include "runtime/input/input_state.h"
#include "tessark/input.h"

#include "platform/win32/user.h"

namespace tessark::input {

void CursorShow(bool show) {
  win32::ShowCursor(show ? TRUE : FALSE);
}

void CursorMove(std::int32_t x, std::int32_t y) {
  win32::SetCursorPos(x, y);
}

bool WindowRects(HWND window, RECT* client, RECT* outer) {
  return win32::GetClientRect(window, client) && win32::GetWindowRect(window, outer);
}

namespace {

constexpr std::size_t kRegistryNameLimit = 254;  // longest key path or value name accepted
constexpr std::size_t kRegistryTextBuffer = 256;
constexpr DWORD kRegistryTextLimit = 255;  // a stored text needing this many bytes is refused
char kKeyClass[] = "Num";

bool RegistryNamesFit(const char* key, const char* name) {
  return std::strlen(key) <= kRegistryNameLimit && std::strlen(name) <= kRegistryNameLimit;
}

// Creates (or opens) the key with write access and stores one value in it.
void RegistryWrite(const char* key, const char* name, DWORD type, const BYTE* data, DWORD size) {
  if (!key || !name || !RegistryNamesFit(key, name)) return;
  HKEY handle = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, kKeyClass, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &handle, &disposition) != ERROR_SUCCESS)
    return;
  if (disposition == REG_OPENED_EXISTING_KEY) {
    RegCloseKey(handle);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_WRITE, &handle) != ERROR_SUCCESS) return;
  }
  RegSetValueExA(handle, name, 0, type, data, size);
  RegCloseKey(handle);
}

}  // namespace

}  // namespace tessark::input

namespace tessark {

using namespace tessark::input;

bool ClipboardWrite(const char* text) {
  if (!text) text = "";
  if (!OpenClipboard(State().window)) return 0;
  EmptyClipboard();
  std::size_t size = std::strlen(text) + 1;
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size)) {
    if (void* bytes = GlobalLock(memory)) {
      std::memcpy(bytes, text, size);
      GlobalUnlock(memory);
    }
    if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);  // not taken: still ours
  }
  CloseClipboard();
  return 1;
}

char* ClipboardRead() {
  std::string text;
  if (IsClipboardFormatAvailable(CF_TEXT) && OpenClipboard(State().window)) {
    if (HGLOBAL memory = GetClipboardData(CF_TEXT)) {
      if (const auto* bytes = static_cast<const char*>(GlobalLock(memory))) {
        text.assign(bytes, strnlen(bytes, GlobalSize(memory)));
        GlobalUnlock(memory);
      }
    }
    CloseClipboard();
  }
  return TextMake(text.c_str());
}

void RegistryWriteNumber(const char* key, const char* name, std::int32_t number) {
  DWORD value = static_cast<DWORD>(number);
  RegistryWrite(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void RegistryWriteText(const char* key, const char* name, const char* text) {
  // The text goes through a buffer of 256 bytes: 255 characters are kept at most.
  char buffer[kRegistryTextBuffer] = {};
  if (text) std::strncpy(buffer, text, sizeof buffer - 1);
  RegistryWrite(key, name, REG_SZ, reinterpret_cast<const BYTE*>(buffer),
                static_cast<DWORD>(std::strlen(buffer) + 1));
}

std::int32_t RegistryReadNumber(const char* key, const char* name) {
  if (!key || !name || !RegistryNamesFit(key, name)) return 0;
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 0;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    value = 0;
  RegCloseKey(handle);
  return static_cast<std::int32_t>(value);
}

char* RegistryReadText(const char* key, const char* name) {
  char buffer[kRegistryTextBuffer] = {};
  if (key && name && RegistryNamesFit(key, name)) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) == ERROR_SUCCESS) {
      DWORD size = 0, type = 0;
      if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
          size < kRegistryTextLimit) {
        DWORD room = sizeof buffer - 1;  // the last byte stays a terminator
        if (RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &room) != ERROR_SUCCESS)
          buffer[0] = '\0';
      }
      RegCloseKey(handle);
    }
  }
  return TextMake(buffer);
}

}  // namespace tessark
