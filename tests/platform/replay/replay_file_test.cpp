// The recording file and the scripted input text: what is written reads back the same, a frame
// without input stays small, and every broken, cut or foreign file is refused with a sentence
// naming the fault rather than read past its end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/replay/replay_file.h"
#include "platform/replay/script.h"

namespace replay {
namespace {

Header SomeHeader() {
  Header h;
  h.runtime_version = "1.0.0";
  h.program = "kettlebrim";
  h.width = 640;
  h.height = 480;
  h.display_rate = 60;
  h.data_hash = 0x0123456789ABCDEFull;
  h.check_interval = 1;
  return h;
}

RecordedEvent Motion(int x, int y, int xrel, int yrel) {
  RecordedEvent e{};
  e.event.type = SDL_MOUSEMOTION;
  e.event.motion.windowID = 1;
  e.event.motion.x = x;
  e.event.motion.y = y;
  e.event.motion.xrel = xrel;
  e.event.motion.yrel = yrel;
  e.event.motion.state = SDL_BUTTON_LMASK;
  e.buttons = SDL_BUTTON_LMASK;
  return e;
}

std::string Read(const std::string& bytes, Recording* out) {
  return ReadRecording(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}

// A recording with one of everything the writer knows.
std::string Sample() {
  Writer w;
  w.Header(SomeHeader());
  w.Clock(5'000'000);  // an absolute first reading, then differences
  w.Frame(true, 0xBEEF);
  RecordedEvent key{};
  key.event.type = SDL_KEYDOWN;
  key.event.key.windowID = 1;
  key.event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  key.event.key.keysym.mod = KMOD_LSHIFT | KMOD_NUM;
  key.event.key.repeat = 1;
  key.mods = KMOD_LSHIFT;
  RecordedEvent button{};
  button.event.type = SDL_MOUSEBUTTONUP;
  button.event.button.windowID = 2;  // another window: its id is written
  button.event.button.button = SDL_BUTTON_RIGHT;
  button.event.button.clicks = 2;
  button.event.button.x = 300;
  button.event.button.y = -5;
  RecordedEvent text{};
  text.event.type = SDL_TEXTINPUT;
  text.event.text.windowID = 2;
  std::strcpy(text.event.text.text, "h\xC3\xA9");
  RecordedEvent wheel{};
  wheel.event.type = SDL_MOUSEWHEEL;
  wheel.event.wheel.windowID = 2;
  wheel.event.wheel.y = -3;
  wheel.event.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  RecordedEvent axis{};
  axis.event.type = SDL_JOYAXISMOTION;
  axis.event.jaxis.which = 3;
  axis.event.jaxis.axis = 1;
  axis.event.jaxis.value = -32768;
  w.Events(false, 2,
           {Motion(320, 240, 320, 240), Motion(318, 250, 7, 7), key, button, text, wheel, axis});
  w.Clock(5'000'016);
  w.Value(ValueKind::kSoundStatus, 5);
  w.Text(ValueKind::kClipboardText, "pasted");
  w.Events(true, 0, {Motion(0, 0, -318, -250)});
  w.Clock(5'000'100);  // 84 ms later: too far for one byte
  w.Frame(true, 0x0102);
  w.Frame(false, 0);
  w.End(3, 0xCAFEF00Du);
  return w.Take();
}

TEST(ReplayFileTest, WhatIsWrittenReadsBackItemForItemAndEventForEvent) {
  Recording r;
  ASSERT_EQ(Read(Sample(), &r), "");
  EXPECT_EQ(r.header.program, "kettlebrim");
  EXPECT_EQ(r.header.data_hash, 0x0123456789ABCDEFull);
  EXPECT_EQ(r.header.width, 640u);
  EXPECT_TRUE(r.ended);
  EXPECT_EQ(r.frames, 3u);

  std::vector<ItemKind> kinds;
  for (const Item& i : r.items) kinds.push_back(i.kind);
  using K = ItemKind;
  EXPECT_EQ(kinds, (std::vector<K>{K::kClock, K::kFrame, K::kEvents, K::kClock, K::kValue, K::kText,
                                   K::kWaitEvents, K::kClock, K::kFrame, K::kFrame, K::kEnd}));
  EXPECT_EQ(r.items[0].value, 5'000'000u);
  EXPECT_EQ(r.items[3].value, 5'000'016u);
  EXPECT_EQ(r.items[7].value, 5'000'100u);
  EXPECT_TRUE(r.items[1].has_hash);
  EXPECT_EQ(r.items[1].value, 0xBEEFu);
  EXPECT_EQ(r.items[8].value, 0x0102u);
  EXPECT_FALSE(r.items[9].has_hash);
  EXPECT_EQ(r.items[8].frame, 1u) << "items know their frame";
  EXPECT_EQ(r.items[2].skip, 2u);
  EXPECT_EQ(r.items[4].value, 5u);
  EXPECT_EQ(r.texts.substr(r.items[5].first, r.items[5].count), "pasted");
  EXPECT_EQ(r.items[10].hash, 0xCAFEF00Du);

  ASSERT_EQ(r.events.size(), 8u);
  const SDL_Event& m2 = r.events[1].event;
  EXPECT_EQ(m2.motion.x, 318);
  EXPECT_EQ(m2.motion.y, 250);
  EXPECT_EQ(m2.motion.xrel, 7) << "a relative move other than the position's change is kept";
  EXPECT_EQ(m2.motion.state, SDL_BUTTON_LMASK);
  const SDL_Event& k = r.events[2].event;
  EXPECT_EQ(k.type, SDL_KEYDOWN);
  EXPECT_EQ(k.key.keysym.scancode, SDL_SCANCODE_ESCAPE);
  EXPECT_EQ(k.key.keysym.mod, KMOD_LSHIFT | KMOD_NUM);
  EXPECT_EQ(k.key.repeat, 1);
  EXPECT_EQ(r.events[2].mods, KMOD_LSHIFT);
  const SDL_Event& b = r.events[3].event;
  EXPECT_EQ(b.type, SDL_MOUSEBUTTONUP);
  EXPECT_EQ(b.button.windowID, 2u);
  EXPECT_EQ(b.button.button, SDL_BUTTON_RIGHT);
  EXPECT_EQ(b.button.clicks, 2);
  EXPECT_EQ(b.button.x, 300);
  EXPECT_EQ(b.button.y, -5);
  EXPECT_STREQ(r.events[4].event.text.text, "h\xC3\xA9");
  EXPECT_EQ(r.events[4].event.text.windowID, 2u);
  EXPECT_EQ(r.events[5].event.wheel.y, -3);
  EXPECT_EQ(r.events[5].event.wheel.direction, static_cast<Uint32>(SDL_MOUSEWHEEL_FLIPPED));
  EXPECT_EQ(r.events[6].event.jaxis.value, -32768);
  EXPECT_EQ(r.events[7].event.motion.x, 0);
}

TEST(ReplayFileTest, AFrameWithoutInputCostsItsClockAndHashOnly) {
  Writer w;
  w.Header(SomeHeader());
  w.Clock(1000);
  w.Frame(true, 1);
  std::size_t before = w.Take().size();
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 60; ++i) {
    w.Clock(1016 + 16u * static_cast<unsigned>(i));
    w.Frame(true, static_cast<std::uint16_t>(i * 977));
  }
  EXPECT_EQ(w.Take().size(), 60u * 3) << "one byte for the clock and the frame end, two of hash";

  // A still screen: the hash of the frame before is not written again, and reads back.
  for (int i = 0; i < 10; ++i) {
    w.Clock(2000 + 16u * static_cast<unsigned>(i));
    w.Frame(true, 0x5A5A);
  }
  w.Value(ValueKind::kSoundStatus, 1);
  w.Frame(true, 0x5A5A);  // no clock byte to share
  w.Frame(true, 0x5A5B);
  std::string still = w.Take();
  EXPECT_EQ(still.size(), 3u + 9 + 1 + 1 + 3) << "a still frame and a sound's status: a byte each";
  Writer whole;
  whole.Header(SomeHeader());
  whole.Clock(1000);
  whole.Frame(true, 7);
  for (int i = 0; i < 3; ++i) {
    whole.Clock(1016 + 16u * static_cast<unsigned>(i));
    whole.Frame(true, 9);
  }
  whole.Frame(true, 9);
  whole.End(5, 0);
  Recording r;
  ASSERT_EQ(Read(whole.Take(), &r), "");
  std::vector<std::uint64_t> hashes;
  for (const Item& i : r.items)
    if (i.kind == ItemKind::kFrame && i.has_hash) hashes.push_back(i.value);
  EXPECT_EQ(hashes, (std::vector<std::uint64_t>{7, 9, 9, 9, 9}));
  EXPECT_EQ(r.items[r.items.size() - 2].frame, 4u);
}

TEST(ReplayFileTest, EveryCutOfARecordingIsNamedAndNeverReadPastItsEnd) {
  const std::string whole = Sample();
  Recording r;
  for (std::size_t n = 0; n < whole.size(); ++n) {
    std::string fault = Read(whole.substr(0, n), &r);
    EXPECT_FALSE(r.ended) << n;
    if (!fault.empty()) {
      bool named = fault.find("cut short") != std::string::npos ||
                   fault.find("not a Tessark recording") != std::string::npos;
      EXPECT_TRUE(named) << n << ": " << fault;
    }
  }
  // A cut between items reads as a run that stopped there, so a crash can still be replayed.
  std::size_t header = 0;
  {
    Writer w;
    w.Header(SomeHeader());
    header = w.Take().size();
  }
  const std::size_t first_frame = 1 + 4 + 3;  // the first clock reading is whole: 4 bytes
  EXPECT_EQ(Read(whole.substr(0, header + first_frame), &r), "");
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.frames, 1u);
}

TEST(ReplayFileTest, ForeignNewerAndBrokenFilesSayWhatIsWrong) {
  Recording r;
  EXPECT_NE(Read("GIF89a and then some", &r).find("not a Tessark recording"), std::string::npos);
  EXPECT_NE(Read("", &r).find("not a Tessark recording"), std::string::npos);

  std::string newer = Sample();
  newer[sizeof kMagic] = static_cast<char>(kFormatVersion + 1);
  EXPECT_NE(Read(newer, &r).find("; this runtime reads format"), std::string::npos);
  std::string older = Sample();
  older[sizeof kMagic] = 1;  // its frame hashes were made another way
  EXPECT_NE(Read(older, &r).find("an older one"), std::string::npos);

  std::string unknown = Sample();
  unknown += '\x99';
  std::string fault = Read(unknown, &r);
  EXPECT_NE(fault.find("bytes follow the end"), std::string::npos) << fault;

  Writer w;
  w.Header(SomeHeader());
  std::string body = w.Take();
  EXPECT_NE(Read(body + "\xa5", &r).find("unknown item 0xa5"), std::string::npos);
  // An event count far beyond the file: refused without asking for that much memory.
  EXPECT_NE(Read(body + "\x84\xFF\xFF\xFF\xFF\x0F\x04", &r).find("cut short"), std::string::npos);
  EXPECT_NE(Read(body + "\x84\x01\x7F", &r).find("unknown event code 127"), std::string::npos);
  EXPECT_NE(Read(body + "\x80\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", &r).find("64 bits"),
            std::string::npos);
  EXPECT_NE(Read(body + std::string("\x87\x05\0\0\0\0", 6), &r)
                .find("the end says 5 frames but the file holds 0"),
            std::string::npos);
  EXPECT_NE(Read(body + "\x85\x63\x01", &r).find("unknown device answer 99"), std::string::npos);
  fault = Read(body + std::string("\x00\x81\x01\x02\xa5", 5), &r);
  EXPECT_EQ(fault.rfind("frame 1: unknown item 0xa5", 0), 0u) << fault;
}

TEST(ReplayScriptTest, StatementsBecomeEventsOfTheirFrameInFrameOrder) {
  Script s;
  ASSERT_EQ(ParseScript("# a click, then quit\n"
                        "frame 31 press left; frame 33 release left\n"
                        "frame 30 mouse 320 240\n"
                        "frame 40 keydown Left_Shift key Escape\n"
                        "frame 200 end",
                        &s),
            "");
  const Recording& r = s.recording;
  ASSERT_EQ(r.items.size(), 6u);
  std::vector<std::uint32_t> frames;
  for (const Item& i : r.items) frames.push_back(i.frame);
  EXPECT_EQ(frames, (std::vector<std::uint32_t>{30, 31, 33, 40, 40, 40}));
  EXPECT_EQ(r.events[r.items[0].first].event.type, SDL_MOUSEMOTION);
  const SDL_Event& press = r.events[r.items[1].first].event;
  EXPECT_EQ(press.type, SDL_MOUSEBUTTONDOWN);
  EXPECT_EQ(press.button.x, 320) << "a press lands where the pointer was moved, whatever the "
                                    "order of the statements";
  EXPECT_EQ(press.button.y, 240);
  EXPECT_EQ(r.events[r.items[1].first].buttons, SDL_BUTTON_LMASK);
  EXPECT_EQ(r.events[r.items[2].first].buttons, 0);
  const RecordedEvent& escape_up = r.events[r.items[5].first];
  EXPECT_EQ(escape_up.event.type, SDL_KEYUP);
  EXPECT_EQ(escape_up.event.key.keysym.scancode, SDL_SCANCODE_ESCAPE);
  EXPECT_EQ(escape_up.mods, KMOD_LSHIFT) << "the held shift is part of the key's state";
  EXPECT_EQ(s.end_frame, 200u);

  ASSERT_EQ(ParseScript("frame 5 key escape", &s), "");
  EXPECT_EQ(s.end_frame, 6u) << "without an end, the run ends after the last statement's frame";

  EXPECT_EQ(ParseScript("frame 1 mouse 1 2\nframe 2 press thumb", &s),
            "line 2: \"press\" takes left, right or middle");
  EXPECT_EQ(ParseScript("frame x key a", &s).rfind("line 1: a statement starts", 0), 0u);
  EXPECT_NE(ParseScript("frame 1 key nosuchkey", &s).find("not \"nosuchkey\""), std::string::npos);
  EXPECT_NE(ParseScript("frame 1 jump", &s).find("unknown action \"jump\""), std::string::npos);

  const std::string text = "\n# note\n  Frame 3 key a";
  EXPECT_TRUE(LooksLikeScript(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  const std::string binary(kMagic, sizeof kMagic);
  EXPECT_FALSE(
      LooksLikeScript(reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size()));
}

}  // namespace
}  // namespace replay
