// Encoding and decoding of the recording file; see replay_file.h and docs/replay.md.
// Numbers are LEB128 varints (signed ones zigzag-coded), so a frame without input costs the
// three bytes of its clock reading and hash.
#include "platform/replay/replay_file.h"

#include <cstring>

namespace replay {

namespace {

// Item tags. 0x00-0x3F: a clock reading this many milliseconds after the previous one;
// 0x40-0x7F: the same followed by a frame end with its 16-bit hash; 0xC0-0xFF: the same
// followed by a frame end that showed what the last hashed one did (a still screen), whose
// hash is not repeated. 0x90-0x9F: a sound's status (the answer read most often) below 16.
constexpr std::uint8_t kShortClockLimit = 0x40;
constexpr std::uint8_t kClockAndFrame = 0x40;
constexpr std::uint8_t kClockLong = 0x80;
constexpr std::uint8_t kFrameHashed = 0x81;
constexpr std::uint8_t kFramePlain = 0x82;
constexpr std::uint8_t kEventsTag = 0x83;
constexpr std::uint8_t kWaitEventsTag = 0x84;
constexpr std::uint8_t kValueTag = 0x85;
constexpr std::uint8_t kTextTag = 0x86;
constexpr std::uint8_t kEndTag = 0x87;
constexpr std::uint8_t kFrameRepeated = 0x88;
constexpr std::uint8_t kSoundStatusShort = 0x90;
constexpr std::uint8_t kSoundStatusLimit = 16;
constexpr std::uint8_t kClockAndRepeat = 0xC0;

// Event codes; the high bit says a window id follows.
enum EventCode : std::uint8_t {
  kKeyDown = 1,
  kKeyUp,
  kTextInput,
  kMotion,
  kButtonDown,
  kButtonUp,
  kWheel,
  kWindow,
  kQuit,
  kJoyAdded,
  kJoyRemoved,
  kJoyAxis,
  kJoyButtonDown,
  kJoyButtonUp,
  kJoyHat,
  kLastCode = kJoyHat,
};
constexpr std::uint8_t kWindowFollows = 0x80;

// Header sizes a real recording never comes near: a larger one is a foreign or broken file.
constexpr std::uint64_t kMaxNameLength = 4096;
constexpr std::uint64_t kMaxSide = 1u << 16;

std::uint64_t Zigzag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

std::int64_t Unzigzag(std::uint64_t v) {
  return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

// Reads bytes with a position and the first fault, which every later read keeps.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return error_.empty(); }
  bool at_end() const { return at_ >= size_; }
  std::size_t at() const { return at_; }
  const std::string& error() const { return error_; }

  void Fail(const std::string& why) {
    if (error_.empty()) error_ = why + " at byte " + std::to_string(at_);
  }

  std::uint8_t Byte() {
    if (!ok()) return 0;
    if (at_ >= size_) {
      Fail("the file is cut short");
      return 0;
    }
    return data_[at_++];
  }

  std::uint64_t Varint() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t b = Byte();
      if (!ok()) return 0;
      if (shift == 63 && b > 1) break;
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    Fail("a number runs past 64 bits");
    return 0;
  }

  // A varint that must fit in [0, limit].
  std::uint64_t Bounded(std::uint64_t limit, const char* what) {
    std::uint64_t v = Varint();
    if (ok() && v > limit) Fail(std::string(what) + " is out of range (" + std::to_string(v) + ")");
    return ok() && v <= limit ? v : 0;
  }

  std::int32_t Signed32(const char* what) {
    std::int64_t v = Unzigzag(Varint());
    if (ok() && (v < INT32_MIN || v > INT32_MAX)) {
      Fail(std::string(what) + " is out of range");
      return 0;
    }
    return ok() ? static_cast<std::int32_t>(v) : 0;
  }

  std::uint32_t Fixed32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }

  // Length-prefixed bytes; the length is checked against what is left before any allocation.
  std::string Bytes(std::uint64_t max_length, const char* what) {
    std::uint64_t n = Varint();
    if (!ok()) return {};
    if (n > max_length) {
      Fail(std::string(what) + " is too long (" + std::to_string(n) + " bytes)");
      return {};
    }
    if (n > size_ - at_) {
      Fail("the file is cut short");
      return {};
    }
    std::string s(reinterpret_cast<const char*>(data_ + at_), static_cast<std::size_t>(n));
    at_ += static_cast<std::size_t>(n);
    return s;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::string error_;
};

std::string ReadHeader(Reader& r, Header* h) {
  for (char c : kMagic) {
    if (r.at_end() || r.Byte() != static_cast<std::uint8_t>(c))
      return "not a Tessark recording (its first bytes are not the recording mark)";
  }
  h->format_version = static_cast<std::uint32_t>(r.Varint());
  if (!r.ok()) return "cut short inside the header";
  if (h->format_version < kFormatVersion) {
    return "made in recording format " + std::to_string(h->format_version) +
           ", an older one: its frame hashes are not the ones this runtime computes (format " +
           std::to_string(kFormatVersion) + "), so it cannot be checked; record it again";
  }
  if (h->format_version != kFormatVersion) {
    return "made in recording format " + std::to_string(h->format_version) +
           "; this runtime reads format " + std::to_string(kFormatVersion);
  }
  h->runtime_version = r.Bytes(kMaxNameLength, "the runtime version");
  h->program = r.Bytes(kMaxNameLength, "the program name");
  h->width = static_cast<std::uint32_t>(r.Bounded(kMaxSide, "the window width"));
  h->height = static_cast<std::uint32_t>(r.Bounded(kMaxSide, "the window height"));
  h->display_rate = static_cast<std::uint32_t>(r.Bounded(10000, "the display rate"));
  std::uint64_t hash = 0;
  for (int i = 0; i < 8; ++i) hash |= static_cast<std::uint64_t>(r.Byte()) << (8 * i);
  h->data_hash = hash;
  h->check_interval = static_cast<std::uint32_t>(r.Bounded(1u << 20, "the check interval"));
  if (!r.ok()) return "broken header: " + r.error();
  if (h->check_interval == 0) return "broken header: the check interval is 0";
  return "";
}

// The modifier and button state stored after key, button and wheel events.
void ReadState(Reader& r, RecordedEvent* e) {
  std::uint64_t v = r.Bounded(0x1FFFFF, "an input state");
  e->buttons = static_cast<std::uint8_t>(v & 0x1F);
  e->mods = static_cast<std::uint16_t>(v >> 5);
}

void ReadEvent(Reader& r, std::int32_t* last_x, std::int32_t* last_y, std::uint32_t* window,
               RecordedEvent* out) {
  std::uint8_t code_byte = r.Byte();
  std::uint8_t code = code_byte & ~kWindowFollows;
  if (!r.ok()) return;
  if (code == 0 || code > kLastCode) {
    r.Fail("unknown event code " + std::to_string(code));
    return;
  }
  if (code_byte & kWindowFollows)
    *window = static_cast<std::uint32_t>(r.Bounded(UINT32_MAX, "a window id"));
  SDL_Event& ev = out->event;
  ev = SDL_Event{};
  switch (code) {
    case kKeyDown:
    case kKeyUp: {
      ev.type = code == kKeyDown ? SDL_KEYDOWN : SDL_KEYUP;
      ev.key.windowID = *window;
      ev.key.state = code == kKeyDown ? SDL_PRESSED : SDL_RELEASED;
      ev.key.keysym.scancode =
          static_cast<SDL_Scancode>(r.Bounded(SDL_NUM_SCANCODES - 1, "a scan code"));
      std::uint64_t mod = r.Bounded(0x1FFFF, "a key's modifiers");
      ev.key.repeat = static_cast<Uint8>(mod & 1);
      ev.key.keysym.mod = static_cast<Uint16>(mod >> 1);
      ev.key.keysym.sym = SDL_GetKeyFromScancode(ev.key.keysym.scancode);
      ReadState(r, out);
      break;
    }
    case kTextInput: {
      ev.type = SDL_TEXTINPUT;
      ev.text.windowID = *window;
      std::string s = r.Bytes(SDL_TEXTINPUTEVENT_TEXT_SIZE - 1, "a typed text");
      std::memcpy(ev.text.text, s.data(), s.size());
      break;
    }
    case kMotion: {
      ev.type = SDL_MOUSEMOTION;
      ev.motion.windowID = *window;
      std::int32_t dx = r.Signed32("a mouse movement"), dy = r.Signed32("a mouse movement");
      ev.motion.x = *last_x = static_cast<std::int32_t>(static_cast<std::int64_t>(*last_x) + dx);
      ev.motion.y = *last_y = static_cast<std::int32_t>(static_cast<std::int64_t>(*last_y) + dy);
      std::uint64_t flags = r.Bounded(0x3F, "a mouse state");
      ev.motion.state = static_cast<Uint32>(flags >> 1);
      ev.motion.xrel = dx;
      ev.motion.yrel = dy;
      if (flags & 1) {
        ev.motion.xrel = r.Signed32("a mouse movement");
        ev.motion.yrel = r.Signed32("a mouse movement");
      }
      out->buttons = static_cast<std::uint8_t>(ev.motion.state);
      break;
    }
    case kButtonDown:
    case kButtonUp: {
      ev.type = code == kButtonDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      ev.button.windowID = *window;
      ev.button.state = code == kButtonDown ? SDL_PRESSED : SDL_RELEASED;
      ev.button.button = static_cast<Uint8>(r.Bounded(255, "a mouse button"));
      ev.button.clicks = static_cast<Uint8>(r.Bounded(255, "a click count"));
      ev.button.x = *last_x = *last_x + r.Signed32("a mouse position");
      ev.button.y = *last_y = *last_y + r.Signed32("a mouse position");
      ReadState(r, out);
      break;
    }
    case kWheel:
      ev.type = SDL_MOUSEWHEEL;
      ev.wheel.windowID = *window;
      ev.wheel.x = r.Signed32("a wheel movement");
      ev.wheel.y = r.Signed32("a wheel movement");
      ev.wheel.direction = static_cast<Uint32>(r.Bounded(1, "a wheel direction"));
      ReadState(r, out);
      break;
    case kWindow:
      ev.type = SDL_WINDOWEVENT;
      ev.window.windowID = *window;
      ev.window.event = static_cast<Uint8>(r.Bounded(255, "a window event"));
      ev.window.data1 = r.Signed32("a window event's value");
      ev.window.data2 = r.Signed32("a window event's value");
      break;
    case kQuit:
      ev.type = SDL_QUIT;
      break;
    case kJoyAdded:
    case kJoyRemoved:
      ev.type = code == kJoyAdded ? SDL_JOYDEVICEADDED : SDL_JOYDEVICEREMOVED;
      ev.jdevice.which = r.Signed32("a controller id");
      break;
    case kJoyAxis:
      ev.type = SDL_JOYAXISMOTION;
      ev.jaxis.which = r.Signed32("a controller id");
      ev.jaxis.axis = static_cast<Uint8>(r.Bounded(255, "a controller axis"));
      ev.jaxis.value = static_cast<Sint16>(r.Signed32("a controller axis value"));
      break;
    case kJoyButtonDown:
    case kJoyButtonUp:
      ev.type = code == kJoyButtonDown ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
      ev.jbutton.which = r.Signed32("a controller id");
      ev.jbutton.button = static_cast<Uint8>(r.Bounded(255, "a controller button"));
      ev.jbutton.state = code == kJoyButtonDown ? SDL_PRESSED : SDL_RELEASED;
      break;
    case kJoyHat:
      ev.type = SDL_JOYHATMOTION;
      ev.jhat.which = r.Signed32("a controller id");
      ev.jhat.hat = static_cast<Uint8>(r.Bounded(255, "a controller hat"));
      ev.jhat.value = static_cast<Uint8>(r.Bounded(255, "a controller hat value"));
      break;
    default:
      break;
  }
}

void ReadEvents(Reader& r, Recording* out, Item* item, std::int32_t* last_x, std::int32_t* last_y,
                std::uint32_t* window) {
  // Every event takes at least one byte: a count above what is left is a broken file, caught
  // before it can ask for memory.
  std::uint64_t n = r.Varint();
  if (!r.ok()) return;
  if (n == 0) {
    r.Fail("an empty event batch");
    return;
  }
  item->first = static_cast<std::uint32_t>(out->events.size());
  item->count = 0;
  for (std::uint64_t i = 0; i < n && r.ok(); ++i) {
    if (r.at_end()) {
      r.Fail("the file is cut short");
      break;
    }
    RecordedEvent e;
    ReadEvent(r, last_x, last_y, window, &e);
    if (!r.ok()) break;
    out->events.push_back(e);
    ++item->count;
  }
}

}  // namespace

std::string ReadRecording(const std::uint8_t* data, std::size_t size, Recording* out) {
  *out = Recording{};
  Reader r(data, size);
  std::string fault = ReadHeader(r, &out->header);
  if (!fault.empty()) return fault;
  std::uint64_t clock = 0;
  std::uint32_t frame = 0;
  std::int32_t last_x = 0, last_y = 0;
  std::uint32_t window = 0;
  std::int32_t last_hash = -1;  // the last frame hash given, -1 before the first
  while (!r.at_end() && r.ok() && !out->ended) {
    Item item;
    item.frame = frame;
    item.offset = static_cast<std::uint32_t>(r.at());
    std::uint8_t tag = r.Byte();
    if (tag < kShortClockLimit * 2 || tag == kClockLong || tag >= kClockAndRepeat) {
      std::uint64_t delta = tag == kClockLong ? r.Varint() : (tag & (kShortClockLimit - 1));
      if (delta > UINT64_MAX - clock) r.Fail("a clock reading is out of range");
      item.kind = ItemKind::kClock;
      item.value = clock += delta;
      if (!r.ok()) break;
      out->items.push_back(item);
      if (tag < kClockAndFrame || tag == kClockLong) continue;
      // the frame end that shares the byte
      tag = tag >= kClockAndRepeat ? kFrameRepeated : kFrameHashed;
    }
    if (tag >= kSoundStatusShort && tag < kSoundStatusShort + kSoundStatusLimit) {
      item.kind = ItemKind::kValue;
      item.sub = static_cast<std::uint8_t>(ValueKind::kSoundStatus);
      item.value = tag - kSoundStatusShort;
      out->items.push_back(item);
      continue;
    }
    switch (tag) {
      case kFrameHashed:
      case kFramePlain:
      case kFrameRepeated:
        item.kind = ItemKind::kFrame;
        item.has_hash = tag != kFramePlain;
        if (tag == kFrameHashed) {
          std::uint32_t lo = r.Byte();
          item.value = lo | (static_cast<std::uint32_t>(r.Byte()) << 8);
          last_hash = static_cast<std::int32_t>(item.value);
        } else if (tag == kFrameRepeated) {
          if (last_hash < 0) r.Fail("a frame repeats a hash before any was given");
          item.value = static_cast<std::uint64_t>(last_hash);
        }
        ++frame;
        break;
      case kEventsTag:
      case kWaitEventsTag:
        item.kind = tag == kEventsTag ? ItemKind::kEvents : ItemKind::kWaitEvents;
        if (tag == kEventsTag)
          item.skip = static_cast<std::uint32_t>(r.Bounded(UINT32_MAX, "a pump count"));
        ReadEvents(r, out, &item, &last_x, &last_y, &window);
        break;
      case kValueTag:
      case kTextTag: {
        item.kind = tag == kValueTag ? ItemKind::kValue : ItemKind::kText;
        item.sub = r.Byte();
        if (r.ok() && (item.sub == 0 || item.sub > static_cast<std::uint8_t>(ValueKind::kLast))) {
          r.Fail("unknown device answer " + std::to_string(item.sub));
          break;
        }
        if (item.kind == ItemKind::kValue) {
          item.value = r.Varint();
        } else {
          std::string text = r.Bytes(1u << 24, "a clipboard text");
          item.first = static_cast<std::uint32_t>(out->texts.size());
          item.count = static_cast<std::uint32_t>(text.size());
          out->texts += text;
        }
        break;
      }
      case kEndTag:
        item.kind = ItemKind::kEnd;
        item.value = r.Varint();
        item.hash = r.Fixed32();
        if (r.ok() && item.value != frame) {
          r.Fail("the end says " + std::to_string(item.value) + " frames but the file holds " +
                 std::to_string(frame));
        }
        out->ended = r.ok();
        break;
      default:
        r.Fail("unknown item 0x" + std::string(1, "0123456789abcdef"[tag >> 4]) +
               std::string(1, "0123456789abcdef"[tag & 15]));
        break;
    }
    if (r.ok()) out->items.push_back(item);
  }
  out->frames = frame;
  if (!r.ok()) return "frame " + std::to_string(frame) + ": " + r.error();
  if (out->ended && !r.at_end())
    return "frame " + std::to_string(frame) + ": bytes follow the end at byte " +
           std::to_string(r.at());
  return "";
}

// ---- Writer ----

void Writer::Varint(std::uint64_t v) {
  while (v >= 0x80) {
    bytes_.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  bytes_.push_back(static_cast<char>(v));
}

void Writer::String(const std::string& s) {
  Varint(s.size());
  bytes_ += s;
}

void Writer::Header(const replay::Header& h) {
  bytes_.append(kMagic, sizeof kMagic);
  Varint(h.format_version);
  String(h.runtime_version);
  String(h.program);
  Varint(h.width);
  Varint(h.height);
  Varint(h.display_rate);
  for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<char>(h.data_hash >> (8 * i)));
  Varint(h.check_interval);
}

void Writer::Clock(std::uint64_t millis) {
  // The first reading is kept whole; a clock never runs back, so a later one never lowers it.
  std::uint64_t delta = millis;
  if (clock_started_) delta = millis > last_clock_ ? millis - last_clock_ : 0;
  last_clock_ = clock_started_ ? last_clock_ + delta : millis;
  clock_started_ = true;
  if (delta < kShortClockLimit) {
    short_clock_at_ = static_cast<std::ptrdiff_t>(bytes_.size());
    bytes_.push_back(static_cast<char>(delta));
    return;
  }
  short_clock_at_ = -1;
  bytes_.push_back(static_cast<char>(kClockLong));
  Varint(delta);
}

void Writer::Frame(bool has_hash, std::uint16_t hash) {
  bool merge = has_hash && short_clock_at_ >= 0 &&
               short_clock_at_ == static_cast<std::ptrdiff_t>(bytes_.size()) - 1;
  short_clock_at_ = -1;
  // A still screen hashes as the frame before it did: the reader takes that hash again.
  const bool repeated = has_hash && have_hash_ && hash == last_hash_;
  if (merge) {
    bytes_.back() =
        static_cast<char>(bytes_.back() | (repeated ? kClockAndRepeat : kClockAndFrame));
  } else {
    bytes_.push_back(static_cast<char>(!has_hash  ? kFramePlain
                                       : repeated ? kFrameRepeated
                                                  : kFrameHashed));
  }
  if (has_hash && !repeated) {
    bytes_.push_back(static_cast<char>(hash & 0xFF));
    bytes_.push_back(static_cast<char>(hash >> 8));
    last_hash_ = hash;
    have_hash_ = true;
  }
}

void Writer::Event(const RecordedEvent& re) {
  const SDL_Event& ev = re.event;
  auto code_with_window = [&](EventCode code, std::uint32_t window) {
    if (window != last_window_) {
      bytes_.push_back(static_cast<char>(code | kWindowFollows));
      Varint(window);
      last_window_ = window;
    } else {
      bytes_.push_back(static_cast<char>(code));
    }
  };
  auto state = [&] { Varint((static_cast<std::uint64_t>(re.mods) << 5) | (re.buttons & 0x1F)); };
  auto zig = [&](std::int64_t v) { Varint(Zigzag(v)); };
  switch (ev.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      code_with_window(ev.type == SDL_KEYDOWN ? kKeyDown : kKeyUp, ev.key.windowID);
      Varint(static_cast<std::uint32_t>(ev.key.keysym.scancode));
      Varint((static_cast<std::uint64_t>(ev.key.keysym.mod) << 1) | (ev.key.repeat ? 1 : 0));
      state();
      break;
    case SDL_TEXTINPUT: {
      code_with_window(kTextInput, ev.text.windowID);
      String(std::string(ev.text.text, strnlen(ev.text.text, sizeof ev.text.text - 1)));
      break;
    }
    case SDL_MOUSEMOTION: {
      code_with_window(kMotion, ev.motion.windowID);
      std::int64_t dx = static_cast<std::int64_t>(ev.motion.x) - last_x_;
      std::int64_t dy = static_cast<std::int64_t>(ev.motion.y) - last_y_;
      last_x_ = ev.motion.x;
      last_y_ = ev.motion.y;
      zig(dx);
      zig(dy);
      bool rel = ev.motion.xrel != dx || ev.motion.yrel != dy;
      Varint(((ev.motion.state & 0x1F) << 1) | (rel ? 1 : 0));
      if (rel) {
        zig(ev.motion.xrel);
        zig(ev.motion.yrel);
      }
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      code_with_window(ev.type == SDL_MOUSEBUTTONDOWN ? kButtonDown : kButtonUp,
                       ev.button.windowID);
      Varint(ev.button.button);
      Varint(ev.button.clicks);
      zig(static_cast<std::int64_t>(ev.button.x) - last_x_);
      zig(static_cast<std::int64_t>(ev.button.y) - last_y_);
      last_x_ = ev.button.x;
      last_y_ = ev.button.y;
      state();
      break;
    case SDL_MOUSEWHEEL:
      code_with_window(kWheel, ev.wheel.windowID);
      zig(ev.wheel.x);
      zig(ev.wheel.y);
      Varint(ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? 1 : 0);
      state();
      break;
    case SDL_WINDOWEVENT:
      code_with_window(kWindow, ev.window.windowID);
      Varint(ev.window.event);
      zig(ev.window.data1);
      zig(ev.window.data2);
      break;
    case SDL_QUIT:
      bytes_.push_back(static_cast<char>(kQuit));
      break;
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
      bytes_.push_back(static_cast<char>(ev.type == SDL_JOYDEVICEADDED ? kJoyAdded : kJoyRemoved));
      zig(ev.jdevice.which);
      break;
    case SDL_JOYAXISMOTION:
      bytes_.push_back(static_cast<char>(kJoyAxis));
      zig(ev.jaxis.which);
      Varint(ev.jaxis.axis);
      zig(ev.jaxis.value);
      break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      bytes_.push_back(
          static_cast<char>(ev.type == SDL_JOYBUTTONDOWN ? kJoyButtonDown : kJoyButtonUp));
      zig(ev.jbutton.which);
      Varint(ev.jbutton.button);
      break;
    case SDL_JOYHATMOTION:
      bytes_.push_back(static_cast<char>(kJoyHat));
      zig(ev.jhat.which);
      Varint(ev.jhat.hat);
      Varint(ev.jhat.value);
      break;
    default:
      break;  // Recordable() keeps every other kind out
  }
}

void Writer::Events(bool in_wait, std::uint32_t skip, const std::vector<RecordedEvent>& events) {
  if (events.empty()) return;
  short_clock_at_ = -1;
  bytes_.push_back(static_cast<char>(in_wait ? kWaitEventsTag : kEventsTag));
  if (!in_wait) Varint(skip);
  Varint(events.size());
  for (const RecordedEvent& e : events) Event(e);
}

void Writer::Value(ValueKind kind, std::uint64_t value) {
  short_clock_at_ = -1;
  if (kind == ValueKind::kSoundStatus && value < kSoundStatusLimit) {
    bytes_.push_back(static_cast<char>(kSoundStatusShort + value));
    return;
  }
  bytes_.push_back(static_cast<char>(kValueTag));
  bytes_.push_back(static_cast<char>(kind));
  Varint(value);
}

void Writer::Text(ValueKind kind, const std::string& text) {
  short_clock_at_ = -1;
  bytes_.push_back(static_cast<char>(kTextTag));
  bytes_.push_back(static_cast<char>(kind));
  String(text);
}

void Writer::End(std::uint32_t frames, std::uint32_t hash) {
  short_clock_at_ = -1;
  bytes_.push_back(static_cast<char>(kEndTag));
  Varint(frames);
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(hash >> (8 * i)));
}

std::string Writer::Take() {
  std::string out;
  out.swap(bytes_);
  // A clock byte already handed out can no longer take a frame end.
  short_clock_at_ = -1;
  return out;
}

// ---- hashes ----

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

std::uint64_t Mix(std::uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime1;
  h ^= h >> 32;
  return h;
}

std::uint64_t Rotl(std::uint64_t v, int r) {
  return (v << r) | (v >> (64 - r));
}

}  // namespace

std::uint64_t BytesHash(const void* data, std::size_t size, std::uint64_t seed) {
  // Eight independent lanes of one multiply each keep the multiplier busy every cycle: a
  // 640 x 480 picture hashes in a few hundredths of a millisecond. The rotation carries each
  // lane's high bits, which the multiply mixes best, into the next step's low ones.
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint64_t lane[8];
  for (int k = 0; k < 8; ++k) lane[k] = seed + kPrime2 * static_cast<std::uint64_t>(k + 1);
  std::size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    std::uint64_t w[8];
    std::memcpy(w, p + i, sizeof w);
    for (int k = 0; k < 8; ++k) lane[k] = Rotl(lane[k] ^ w[k], 29) * kPrime1;
  }
  std::uint64_t h = size * kPrime2;
  for (int k = 0; k < 8; ++k) h = Rotl(h ^ Mix(lane[k]), 27) * kPrime1;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    h = Rotl(h ^ (w * kPrime2), 31) * kPrime1;
  }
  for (; i < size; ++i) h = (h ^ p[i]) * kPrime1;
  return Mix(h);
}

}  // namespace replay
