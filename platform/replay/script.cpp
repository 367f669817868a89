// Scripted input: a small text that tests write by hand, turned into the items a recording
// holds, so that the replay plays it the way it plays a recording:
//
//   frame 30 mouse 320 240; frame 31 press left; frame 33 release left
//   frame 200 key escape      # down and up in the same frame
//
// Statements end at ';' or a line's end; '#' starts a comment. See docs/replay.md.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "platform/replay/script.h"

namespace replay {

namespace {

// The script's own notion of the input devices, for the fields each event carries.
struct Devices {
  std::int32_t x = 0, y = 0;
  std::uint8_t buttons = 0;
  std::uint16_t mods = 0;
};

bool Number(const std::string& word, long long min, long long max, long long* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(word.c_str(), &end, 10);
  if (*end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

Uint8 ButtonOf(const std::string& word) {
  if (word == "left") return SDL_BUTTON_LEFT;
  if (word == "right") return SDL_BUTTON_RIGHT;
  if (word == "middle") return SDL_BUTTON_MIDDLE;
  return 0;
}

std::uint16_t ModOf(SDL_Scancode code) {
  switch (code) {
    case SDL_SCANCODE_LSHIFT:
      return KMOD_LSHIFT;
    case SDL_SCANCODE_RSHIFT:
      return KMOD_RSHIFT;
    case SDL_SCANCODE_LCTRL:
      return KMOD_LCTRL;
    case SDL_SCANCODE_RCTRL:
      return KMOD_RCTRL;
    case SDL_SCANCODE_LALT:
      return KMOD_LALT;
    case SDL_SCANCODE_RALT:
      return KMOD_RALT;
    default:
      return 0;
  }
}

class Parser {
 public:
  explicit Parser(Recording* out) : out_(out) {}

  // One statement's words; returns an empty text or the fault.
  std::string Statement(const std::vector<std::string>& words) {
    if (words.empty()) return "";
    long long frame = 0;
    if (Lower(words[0]) != "frame" || words.size() < 3 || !Number(words[1], 0, 100000000, &frame))
      return "a statement starts with \"frame N\" and an action";
    frame_ = static_cast<std::uint32_t>(frame);
    std::size_t at = 2;
    while (at < words.size()) {
      std::string fault = Action(words, &at);
      if (!fault.empty()) return fault;
    }
    return "";
  }

  std::uint32_t last_frame = 0;
  bool has_end = false;
  std::uint32_t end_frame = 0;

 private:
  void Add(const SDL_Event& event) {
    RecordedEvent e{event, devices_.mods, devices_.buttons};
    Item item;
    item.kind = ItemKind::kEvents;
    item.frame = frame_;
    item.first = static_cast<std::uint32_t>(out_->events.size());
    item.count = 1;
    out_->events.push_back(e);
    out_->items.push_back(item);
    last_frame = std::max(last_frame, frame_);
  }

  std::string Action(const std::vector<std::string>& w, std::size_t* at) {
    const std::string verb = Lower(w[*at]);
    auto arg = [&](std::size_t i) -> std::string { return *at + i < w.size() ? w[*at + i] : ""; };
    SDL_Event ev{};
    if (verb == "mouse") {
      long long x = 0, y = 0;
      if (!Number(arg(1), -100000, 100000, &x) || !Number(arg(2), -100000, 100000, &y))
        return "\"mouse\" takes two whole numbers (x y)";
      ev.type = SDL_MOUSEMOTION;
      ev.motion.x = static_cast<Sint32>(x);
      ev.motion.y = static_cast<Sint32>(y);
      ev.motion.xrel = ev.motion.x - devices_.x;
      ev.motion.yrel = ev.motion.y - devices_.y;
      ev.motion.state = devices_.buttons;
      devices_.x = ev.motion.x;
      devices_.y = ev.motion.y;
      Add(ev);
      *at += 3;
      return "";
    }
    if (verb == "press" || verb == "release") {
      Uint8 button = ButtonOf(Lower(arg(1)));
      if (!button) return "\"" + verb + "\" takes left, right or middle";
      bool down = verb == "press";
      ev.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      ev.button.button = button;
      ev.button.state = down ? SDL_PRESSED : SDL_RELEASED;
      ev.button.clicks = 1;
      ev.button.x = devices_.x;
      ev.button.y = devices_.y;
      if (down)
        devices_.buttons |= static_cast<std::uint8_t>(SDL_BUTTON(button));
      else
        devices_.buttons &= static_cast<std::uint8_t>(~SDL_BUTTON(button));
      Add(ev);
      *at += 2;
      return "";
    }
    if (verb == "key" || verb == "keydown" || verb == "keyup") {
      std::string name = arg(1);  // "_" for a space: "left_shift" is SDL's "Left Shift"
      for (char& c : name) c = c == '_' ? ' ' : c;
      SDL_Scancode code = SDL_GetScancodeFromName(name.c_str());
      if (arg(1).empty() || code == SDL_SCANCODE_UNKNOWN)
        return "\"" + verb + "\" takes a key name (escape, space, a, f1 ...), not \"" + arg(1) +
               "\"";
      for (int pass = 0; pass < 2; ++pass) {
        bool down = verb == "keydown" || (verb == "key" && pass == 0);
        if (verb != "key" && pass == 1) break;
        if (down) devices_.mods |= ModOf(code);
        if (!down) devices_.mods &= static_cast<std::uint16_t>(~ModOf(code));
        ev = SDL_Event{};
        ev.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        ev.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        ev.key.keysym.scancode = code;
        ev.key.keysym.sym = SDL_GetKeyFromScancode(code);
        ev.key.keysym.mod = devices_.mods;
        Add(ev);
      }
      *at += 2;
      return "";
    }
    if (verb == "wheel") {
      long long notches = 0;
      if (!Number(arg(1), -1000, 1000, &notches)) return "\"wheel\" takes a whole number";
      ev.type = SDL_MOUSEWHEEL;
      ev.wheel.y = static_cast<Sint32>(notches);
      Add(ev);
      *at += 2;
      return "";
    }
    if (verb == "text") {
      std::string text = arg(1);
      if (text.empty() || text.size() >= SDL_TEXTINPUTEVENT_TEXT_SIZE)
        return "\"text\" takes one word of up to 31 bytes";
      ev.type = SDL_TEXTINPUT;
      text.copy(ev.text.text, text.size());
      Add(ev);
      *at += 2;
      return "";
    }
    if (verb == "close") {
      ev.type = SDL_WINDOWEVENT;
      ev.window.event = SDL_WINDOWEVENT_CLOSE;
      Add(ev);
      *at += 1;
      return "";
    }
    if (verb == "end") {
      has_end = true;
      end_frame = frame_;
      last_frame = std::max(last_frame, frame_);
      *at += 1;
      return "";
    }
    return "unknown action \"" + verb +
           "\" (mouse, press, release, key, keydown, keyup, wheel, "
           "text, close, end)";
  }

  Recording* out_;
  Devices devices_;
  std::uint32_t frame_ = 0;
};

}  // namespace

bool LooksLikeScript(const std::uint8_t* data, std::size_t size) {
  std::size_t i = 0;
  while (i < size && (std::isspace(data[i]) || data[i] == '#')) {
    if (data[i] == '#') {
      while (i < size && data[i] != '\n') ++i;
    } else {
      ++i;
    }
  }
  static constexpr char kWord[] = "frame";
  return size - i >= 5 && std::equal(kWord, kWord + 5, data + i,
                                     [](char a, std::uint8_t b) { return a == std::tolower(b); });
}

std::string ParseScript(const std::string& text, Script* out) {
  *out = Script{};
  // Statements are taken apart first and played in frame order, so that each event carries
  // the pointer and buttons of the frames before it whatever order the text lists them in.
  struct Statement {
    std::vector<std::string> words;
    std::size_t line;
    long long frame;
  };
  std::vector<Statement> statements;
  std::size_t line = 1;
  std::vector<std::string> words;
  std::string word;
  bool comment = false;
  auto finish_statement = [&]() -> std::string {
    if (!word.empty()) words.push_back(word);
    word.clear();
    if (words.empty()) return "";
    long long frame = 0;
    if (Lower(words[0]) != "frame" || words.size() < 3 || !Number(words[1], 0, 100000000, &frame))
      return "line " + std::to_string(line) + ": a statement starts with \"frame N\" and an action";
    statements.push_back(Statement{std::move(words), line, frame});
    words.clear();
    return "";
  };
  for (char c : text) {
    if (c == '\n' || c == ';') {
      std::string fault = finish_statement();
      if (!fault.empty()) return fault;
      if (c == '\n') ++line;
      comment = false;
      continue;
    }
    if (comment) continue;
    if (c == '#') {
      comment = true;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  std::string fault = finish_statement();
  if (!fault.empty()) return fault;
  std::stable_sort(statements.begin(), statements.end(),
                   [](const Statement& a, const Statement& b) { return a.frame < b.frame; });
  Parser parser(&out->recording);
  for (const Statement& st : statements) {
    fault = parser.Statement(st.words);
    if (!fault.empty()) return "line " + std::to_string(st.line) + ": " + fault;
  }
  out->end_frame = parser.has_end ? parser.end_frame : parser.last_frame + 1;
  return "";
}

}  // namespace replay
