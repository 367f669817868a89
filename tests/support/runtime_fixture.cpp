// The runtime fixture and the SDL event helpers (see runtime_fixture.h).
#include "tests/support/runtime_fixture.h"

#include <cstring>

#include "platform/win32/event_source.h"
#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/services.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"

using namespace tessark;

namespace tessark::testing {

namespace {

int g_last_client_x = 0;
int g_last_client_y = 0;

void Push(SDL_Event& event) {
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

// The client coordinate that the window's scaling turns back into display coordinate d.
int ToClient(int d, int client_size, int window_size) {
  if (window_size <= 0 || client_size <= 0) return d;
  long long scaled = static_cast<long long>(d) * client_size;
  return static_cast<int>(d >= 0 ? (scaled + window_size - 1) / window_size : scaled / window_size);
}

void PushKey(Uint32 type, SDL_Scancode scancode) {
  SDL_Event event{};
  event.key.type = type;
  event.key.timestamp = SDL_GetTicks();
  event.key.windowID = WindowId();
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  Push(event);
}

void PushButton(Uint32 type, Uint8 button) {
  SDL_Event event{};
  event.button.type = type;
  event.button.timestamp = SDL_GetTicks();
  event.button.windowID = WindowId();
  event.button.button = button;
  event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  event.button.x = g_last_client_x;
  event.button.y = g_last_client_y;
  Push(event);
}

}  // namespace

void RuntimeFixture::SetUp() {
  error_word_ = 0;
  RuntimeWire();
  ErrorWordSet(&error_word_);
  open_result_ = RuntimeOpen(WindowMode(), 640, 480, 32, win32::GetModuleHandleA(nullptr), "");
  ASSERT_NE(CoreDataGet()->window, nullptr) << "RuntimeOpen made no window";
}

void RuntimeFixture::TearDown() {
  RuntimeClose();
  // The error word lives in this fixture: a report raised after it is gone must not reach it.
  ErrorWordSet(nullptr);
  g_last_client_x = g_last_client_y = 0;
}

HWND Window() {
  return CoreDataGet()->window;
}

Uint32 WindowId() {
  SDL_Window* window = win32::SdlWindowOf(Window());
  return window ? SDL_GetWindowID(window) : 0;
}

void ClientSize(int width, int height) {
  RECT outer{0, 0, width, height};
  win32::AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
  win32::SetWindowPos(Window(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                      SWP_NOMOVE | SWP_NOZORDER);
}

void MouseMoveTo(int display_x, int display_y) {
  RECT client{};
  win32::GetClientRect(Window(), &client);
  const CoreData& core = *CoreDataGet();
  MouseMoveToClient(ToClient(display_x, client.right, core.window_width),
                    ToClient(display_y, client.bottom, core.window_height));
}

void MouseMoveToClient(int client_x, int client_y) {
  SDL_Event event{};
  event.motion.type = SDL_MOUSEMOTION;
  event.motion.timestamp = SDL_GetTicks();
  event.motion.windowID = WindowId();
  event.motion.x = client_x;
  event.motion.y = client_y;
  event.motion.xrel = event.motion.x - g_last_client_x;
  event.motion.yrel = event.motion.y - g_last_client_y;
  g_last_client_x = event.motion.x;
  g_last_client_y = event.motion.y;
  Push(event);
}

void MouseButtonDown(Uint8 button) {
  PushButton(SDL_MOUSEBUTTONDOWN, button);
}

void MouseButtonUp(Uint8 button) {
  PushButton(SDL_MOUSEBUTTONUP, button);
}

void KeyDown(SDL_Scancode scancode) {
  PushKey(SDL_KEYDOWN, scancode);
}

void KeyUp(SDL_Scancode scancode) {
  PushKey(SDL_KEYUP, scancode);
}

void KeyPress(SDL_Scancode scancode) {
  KeyDown(scancode);
  KeyUp(scancode);
}

void TextInput(const char* utf8) {
  if (!utf8) return;
  std::size_t length = std::strlen(utf8);
  std::size_t at = 0;
  while (at < length) {
    // One event holds up to 31 bytes; cut only between UTF-8 sequences.
    std::size_t n = std::min<std::size_t>(length - at, SDL_TEXTINPUTEVENT_TEXT_SIZE - 1);
    while (n > 0 && at + n < length && (static_cast<unsigned char>(utf8[at + n]) & 0xC0) == 0x80)
      --n;
    if (n == 0) n = 1;
    SDL_Event event{};
    event.text.type = SDL_TEXTINPUT;
    event.text.timestamp = SDL_GetTicks();
    event.text.windowID = WindowId();
    std::memcpy(event.text.text, utf8 + at, n);
    event.text.text[n] = '\0';
    Push(event);
    at += n;
  }
}

void WindowClose() {
  SDL_Event event{};
  event.window.type = SDL_WINDOWEVENT;
  event.window.timestamp = SDL_GetTicks();
  event.window.windowID = WindowId();
  event.window.event = SDL_WINDOWEVENT_CLOSE;
  Push(event);
}

void PumpMessages() {
  MessagePump();
}

void RunFrames(int n) {
  for (int i = 0; i < n; ++i) FrameSync();
}

}  // namespace tessark::testing
