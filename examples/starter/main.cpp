// The starter: a complete small game on Tessark. A ball drifts around the window; click it to
// score, and each hit plays a tone. It shows the pieces every game uses: the window, a picture
// (drawn here pixel by pixel, as ImageLoad would load it from a file), text, a sound (made from
// samples, as SoundLoad would load a wave file), the mouse, the frame loop, the error word with
// its detail and the error log, and a best score kept in the player's own data folder.
//
// The window's close box or Escape ends it; TESSARK_FRAMES=n ends it after n frames (for running
// it headless: SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy TESSARK_FRAMES=60 ./starter).
#include <tessark/tessark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace tessark;

namespace {

// Ids are the game's own choice: pictures, sprites and sounds are numbered from 1.
constexpr std::int32_t kBallImage = 1;
constexpr std::int32_t kPingSound = 1;
constexpr std::int32_t kBallSize = 64;
constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 480;

// A shaded ball with a transparent surround.
void MakeBallPicture() {
  ImageCreate(kBallImage, kBallSize, kBallSize);
  ImageLock(kBallImage);
  const float centre = kBallSize / 2.0f;
  for (std::int32_t row = 0; row < kBallSize; ++row) {
    for (std::int32_t column = 0; column < kBallSize; ++column) {
      const float dx = column + 0.5f - centre, dy = row + 0.5f - centre;
      const float distance = std::sqrt(dx * dx + dy * dy) / centre;
      if (distance > 1.0f) {
        ImagePixelWrite(kBallImage, row, column, 0, 0, 0, 0);
        continue;
      }
      const auto light = static_cast<std::int32_t>(255 * (1.0f - 0.6f * distance));
      ImagePixelWrite(kBallImage, row, column, 255, light, light / 2, 40);
    }
  }
  ImageUnlock(kBallImage);
}

// A tenth of a second of a fading 880 Hz tone: 16-bit mono samples at 22050 a second.
void MakePingSound() {
  constexpr std::int32_t kRate = 22050;
  std::vector<std::int16_t> samples(kRate / 10);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double fade = 1.0 - static_cast<double>(i) / samples.size();
    samples[i] = static_cast<std::int16_t>(12000 * fade * std::sin(2 * 3.14159265 * 880 * t));
  }
  SoundFromData(kPingSound, static_cast<std::int32_t>(samples.size() * sizeof(std::int16_t)),
                samples.data(), 1 /* PCM */, 1, kRate, kRate * 2, 2, 16);
}

// Every error and notice as it happens, with its code, its sentence and what the call was
// about. A game might show these in a debug overlay; the starter prints them.
void LogReport(const ErrorReport& report, void* /*context*/) {
  if (report.notice) {
    std::fprintf(stderr, "starter: notice: %s\n", report.sentence);
  } else {
    std::fprintf(stderr, "starter: error %d: %s %s\n", report.code, report.sentence, report.detail);
  }
}

// The best score lives in the player's own folder (~/.local/share/starter/best.txt): the
// program's folder may belong to the system.
std::string BestScoreFile() {
  char* folder = DirectoryUserData();
  std::string file = *folder ? std::string(folder) + "/best.txt" : "";
  TextFree(folder);
  return file;
}

std::int32_t BestScoreRead(const std::string& file) {
  std::int32_t best = 0;
  std::ifstream(file) >> best;
  return best;
}

struct Ball {
  float x = 100, y = 80, dx = 3.0f, dy = 2.0f;

  void Move() {
    x += dx;
    y += dy;
    if (x < 0 || x > kWidth - kBallSize) dx = -dx;
    if (y < 0 || y > kHeight - kBallSize) dy = -dy;
  }
  bool Contains(std::int32_t px, std::int32_t py) const {
    const float cx = x + kBallSize / 2.0f - px, cy = y + kBallSize / 2.0f - py;
    return cx * cx + cy * cy <= kBallSize * kBallSize / 4.0f;
  }
};

}  // namespace

// The runtime opens a 640 x 480 window, then calls GameMain; the program ends when it returns.
void GameMain() {
  ErrorLogSet(LogReport);
  WindowSetTitle("Tessark starter");
  MakeBallPicture();
  MakePingSound();
  TextSetSize(20);
  // Nothing is shown to the player when an operation fails: the game asks. The code says which
  // kind of failure; the detail says which call, which id or file, and why.
  if (ErrorCode() != error::kNone)
    std::fprintf(stderr, "starter: set-up: %s (%s)\n", ErrorText(ErrorCode()), ErrorDetail());
  const std::string best_file = BestScoreFile();
  const std::int32_t best = BestScoreRead(best_file);

  const char* frames_text = std::getenv("TESSARK_FRAMES");
  int frames = frames_text ? std::atoi(frames_text) : -1;
  Ball ball;
  std::int32_t score = 0;
  bool was_down = false;
  while (RuntimeRunning() && frames != 0) {
    ball.Move();
    // A click counts once, when the left button goes down.
    const bool down = (MouseButtons() & mouse::kLeft) != 0;
    if (down && !was_down && ball.Contains(MouseX(), MouseY())) {
      ++score;
      SoundPlay(kPingSound);
    }
    was_down = down;

    ScreenClear(ColourRgb(20, 30, 60));
    ImagePaste(kBallImage, static_cast<std::int32_t>(ball.x), static_cast<std::int32_t>(ball.y));
    char line[48];
    std::snprintf(line, sizeof line, "Score: %d   Best: %d", score, score > best ? score : best);
    TextPrintAt(10, 10, line);
    TextPrintAt(10, kHeight - 30, "Click the ball. Escape quits.");
    FrameSync();  // shows the frame and waits for the next one
    if (frames > 0) --frames;
  }
  if (score > best && !best_file.empty()) std::ofstream(best_file) << score << "\n";
  std::printf("starter: score %d, error word %d (%s)\n", score, ErrorCode(),
              ErrorText(ErrorCode()));
}
