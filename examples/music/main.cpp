// The music demo: plays a music file (any WAV, AIFF, FLAC, Ogg, Opus, MP3 or MIDI file) named
// on the command line, or a short tune it writes itself as a wave file, and shows its state,
// volume and speed on screen and on standard output whenever they change.
//
// Keys: P play once, L loop, Space pause / resume, S stop, Up / Down (or + / -) volume +-10 %,
// Right / Left (or > / <) speed +-25 %, Escape quits. The letters are read as typed text, so
// no press is lost however short.
//
// It starts looping the music at once. TESSARK_FRAMES=n ends the demo after n frames (for
// running it headless, e.g. with SDL_AUDIODRIVER=disk to hear what it played in a file).
#include <tessark/tessark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace tessark;

constexpr std::int32_t kMusic = 1;
// Keyboard scan codes of the arrows.
constexpr int kKeyUp = 0xC8, kKeyDown = 0xD0, kKeyLeft = 0xCB, kKeyRight = 0xCD;

// The file named on the command line, as a path that still holds after the start changed the
// working folder: a relative name is taken from the folder the user started in. "" for none.
std::string FirstArgument() {
  char* typed = ArgumentGet(1);
  std::string name = typed;
  TextFree(typed);
  if (name.empty() || name[0] == '/') return name;
  char* start = DirectoryStart();
  std::string path = std::string(start) + "/" + name;
  TextFree(start);
  return path;
}

void Put(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Writes four seconds of a plucked arpeggio as a 16-bit mono wave file.
std::string WriteTune() {
  const int rate = 44100;
  const double notes[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 261.63, 196.00};
  std::vector<std::int16_t> samples;
  for (double hz : notes) {
    for (int i = 0; i < rate / 2; ++i) {
      double t = static_cast<double>(i) / rate;
      double v = 0.4 * std::exp(-4 * t) * std::sin(2 * M_PI * hz * t);
      samples.push_back(static_cast<std::int16_t>(std::lrint(v * 32767)));
    }
  }
  std::string path = "/tmp/tessark_music_demo.wav";
  std::ofstream out(path, std::ios::binary);
  auto bytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  Put(out, 36 + bytes, 4);
  out.write("WAVEfmt ", 8);
  Put(out, 16, 4);
  Put(out, 1, 2);
  Put(out, 1, 2);
  Put(out, rate, 4);
  Put(out, rate * 2, 4);
  Put(out, 2, 2);
  Put(out, 16, 2);
  out.write("data", 4);
  Put(out, bytes, 4);
  for (std::int16_t s : samples) Put(out, static_cast<std::uint16_t>(s), 2);
  return path;
}

// True on the frame a key goes down.
bool Pressed(int scancode) {
  static bool held[256] = {};
  bool down = KeyState(scancode) != 0;
  bool pressed = down && !held[scancode];
  held[scancode] = down;
  return pressed;
}

// Carries out one key's command.
void Command(char key) {
  switch (key) {
    case 'p':
    case 'P':
      PlayMusic(kMusic);
      break;
    case 'l':
    case 'L':
      MusicLoop(kMusic);
      break;
    case 's':
    case 'S':
      StopMusic(kMusic);
      break;
    case ' ':
      if (MusicPaused(kMusic)) {
        ResumeMusic(kMusic);
      } else {
        PauseMusic(kMusic);
      }
      break;
    case '+':
      SetMusicVolume(kMusic, std::min(MusicVolume(kMusic) + 10, 100));
      break;
    case '-':
      SetMusicVolume(kMusic, std::max(MusicVolume(kMusic) - 10, 0));
      break;
    case '>':
      SetMusicSpeed(kMusic, MusicSpeed(kMusic) + 25);
      break;
    case '<':
      SetMusicSpeed(kMusic, std::max(MusicSpeed(kMusic) - 25, 25));
      break;
    default:
      break;
  }
}

std::string StateLine(const std::string& file) {
  const char* state = MusicPaused(kMusic)    ? "paused"
                      : MusicPlaying(kMusic) ? (MusicLooping(kMusic) ? "looping" : "playing")
                                             : "stopped";
  char line[512];
  std::snprintf(line, sizeof line, "%s: %s, volume %d %%, speed %d %%", file.c_str(), state,
                MusicVolume(kMusic), MusicSpeed(kMusic));
  return line;
}

}  // namespace

void GameMain() {
  FrameSyncManual();
  FrameSetRate(60);
  EscapeQuitOff();
  std::string file = FirstArgument();
  if (file.empty()) file = WriteTune();
  MusicLoad(file.c_str(), kMusic);
  if (!MusicExists(kMusic)) {
    std::fprintf(stderr, "%s cannot be played: %s\n", file.c_str(), ErrorDetail());
    return;
  }
  MusicLoop(kMusic);
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  long frames_left = frames_text ? std::strtol(frames_text, nullptr, 10) : -1;
  std::string last;
  while (RuntimeRunning() && !KeyEscape() && frames_left != 0) {
    char* typed = EntryText(0);
    std::string keys = typed ? typed : "";
    TextFree(typed);
    EntryClear();
    if (Pressed(kKeyUp)) keys += '+';
    if (Pressed(kKeyDown)) keys += '-';
    if (Pressed(kKeyRight)) keys += '>';
    if (Pressed(kKeyLeft)) keys += '<';
    for (char key : keys) Command(key);
    std::string line = StateLine(file);
    if (line != last) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
      last = line;
    }
#if __has_include("tessark/basic2d.h") && __has_include("tessark/text.h")
    ScreenClear(ColourRgb(16, 16, 32));
    InkSet(ColourRgb(255, 255, 255), 0);
    TextPrintAt(16, 12, "Music demo - Escape quits");
    TextPrintAt(16, 44, line.c_str());
    TextPrintAt(16, 92, "P play   L loop   Space pause/resume   S stop");
    TextPrintAt(16, 116, "Up/Down or +/- volume   Left/Right or >/< speed");
#endif
    FrameSync();
    if (frames_left > 0) --frames_left;
  }
}
