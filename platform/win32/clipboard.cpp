// The clipboard and global memory; see clipboard.h. Text goes to and from SDL's clipboard,
// which needs SDL's video subsystem: without it the clipboard cannot be opened.
#include "platform/win32/clipboard.h"

#include <SDL.h>

#include <cstring>
#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "platform/replay/replay.h"

struct Win32Global {
  std::vector<char> bytes;
  int locks = 0;
};

namespace win32 {

namespace {

// Live blocks, so that a stale or made-up handle is refused instead of followed.
std::set<HGLOBAL>& Blocks() {
  static std::set<HGLOBAL> blocks;
  return blocks;
}

struct Clipboard {
  bool open = false;
  HWND owner = nullptr;
  HGLOBAL given = nullptr;  // the block SetClipboardData took over
  HGLOBAL read = nullptr;   // the block GetClipboardData made
};

Clipboard& State() {
  static Clipboard clipboard;
  return clipboard;
}

void Drop(HGLOBAL* block) {
  if (*block) GlobalFree(*block);
  *block = nullptr;
}

// The characters 0x80..0x9F of Windows-1252; the five it leaves undefined keep their C1
// control code points, as the platform's own conversion does.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The Windows-1252 byte of a code point, or '?'.
char ToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    auto b = static_cast<unsigned char>(ch);
    AppendUtf8(&out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    bool cut_short = extra > 0 && i + static_cast<std::size_t>(extra) >= text.size();
    if (extra < 0 || cut_short) {
      out += '?';  // a stray continuation byte, a bad lead byte or a sequence cut short
      ++i;
      continue;
    }
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool good = true;
    for (int k = 1; k <= extra; ++k) {
      auto cont = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) {
        good = false;
        break;
      }
      c = (c << 6) | (cont & 0x3F);
    }
    if (!good) {
      out += '?';
      ++i;
      continue;
    }
    out += ToCp1252(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace win32

using win32::Blocks;

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
  auto block = std::make_unique<Win32Global>();
  try {
    block->bytes.assign(bytes, 0);  // always zeroed: cheaper than a leak of old memory
  } catch (const std::exception&) {
    return nullptr;  // out of memory, as the platform reports it
  }
  HGLOBAL handle = block.release();
  Blocks().insert(handle);
  return handle;
}

LPVOID GlobalLock(HGLOBAL memory) {
  if (!Blocks().count(memory)) return nullptr;
  ++memory->locks;
  return memory->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) {
  if (!Blocks().count(memory) || memory->locks == 0) return FALSE;
  return --memory->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL memory) {
  return Blocks().count(memory) ? memory->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  if (!memory) return nullptr;
  if (!Blocks().erase(memory)) return memory;
  delete memory;
  return nullptr;
}

BOOL OpenClipboard(HWND owner) {
  win32::Clipboard& c = win32::State();
  if (c.open || SDL_WasInit(SDL_INIT_VIDEO) == 0) return FALSE;
  c.open = true;
  c.owner = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  win32::Clipboard& c = win32::State();
  if (!c.open) return FALSE;
  c.open = false;
  win32::Drop(&c.read);
  return TRUE;
}

BOOL EmptyClipboard() {
  win32::Clipboard& c = win32::State();
  if (!c.open) return FALSE;
  win32::Drop(&c.given);
  win32::Drop(&c.read);
  return SDL_SetClipboardText("") == 0 ? TRUE : FALSE;
}

HGLOBAL SetClipboardData(UINT format, HGLOBAL memory) {
  win32::Clipboard& c = win32::State();
  if (!c.open || format != CF_TEXT || !Blocks().count(memory)) return nullptr;
  // The block need not be terminated: the text ends at the first zero or the block's end.
  const std::vector<char>& bytes = memory->bytes;
  std::size_t length = strnlen(bytes.data(), bytes.size());
  std::string utf8 = win32::Cp1252ToUtf8(std::string_view(bytes.data(), length));
  if (SDL_SetClipboardText(utf8.c_str()) != 0) return nullptr;
  if (c.given != memory) win32::Drop(&c.given);
  c.given = memory;
  return memory;
}

namespace {

// The desktop's clipboard differs from run to run: a recording writes down what was seen.
bool HasText() {
  bool has = SDL_HasClipboardText() == SDL_TRUE;
  return replay::Active() ? replay::Exchange(replay::ValueKind::kClipboardHasText, has) != 0 : has;
}

}  // namespace

HGLOBAL GetClipboardData(UINT format) {
  win32::Clipboard& c = win32::State();
  if (!c.open || format != CF_TEXT || !HasText()) return nullptr;
  char* utf8 = SDL_GetClipboardText();
  if (!utf8) return nullptr;
  std::string text = win32::Utf8ToCp1252(utf8);
  SDL_free(utf8);
  if (replay::Active()) text = replay::ExchangeText(replay::ValueKind::kClipboardText, text);
  win32::Drop(&c.read);
  c.read = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(c.read->bytes.data(), text.c_str(), text.size() + 1);
  return c.read;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  if (format != CF_TEXT || SDL_WasInit(SDL_INIT_VIDEO) == 0) return FALSE;
  return HasText() ? TRUE : FALSE;
}
