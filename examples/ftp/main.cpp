// The FTP demo: connects to the server named on the command line (port 21, or the one a
// "host:port" or "[v6]:port" server name gives; passive mode), lists the remote folder and
// downloads one file piece by piece, drawing a progress bar as it goes. The runtime entry takes no
// arguments, so they are read from /proc/self/cmdline:
//
//   example_ftp <server> <user> <password> <remote file> [local file]
//
// The local file defaults to the remote file's name in the working directory (the runtime
// starts in the folder that holds the program). Escape or the close box ends the demo;
// TESSARK_FRAMES=n ends it after n frames (for running it headless).
#include <tessark/tessark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tessark;

namespace {

constexpr int kStepsPerFrame = 2;  // 6 KB a frame: slow enough to watch the bar move
constexpr std::int32_t kBarLeft = 40, kBarTop = 400, kBarRight = 600, kBarBottom = 428;
constexpr std::size_t kShownEntries = 16;

struct Entry {
  std::string name;
  std::int32_t type;
  std::int32_t size;
};

std::vector<std::string> Arguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  std::string current;
  for (char c : all) {
    if (c == '\0') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  return args;
}

// Takes a text the runtime made, as a string.
std::string Take(char* text) {
  std::string copy = text ? text : "";
  TextFree(text);
  return copy;
}

std::vector<Entry> ListFolder() {
  std::vector<Entry> entries;
  for (bool more = FtpFindFirst(); more; more = FtpFindNext())
    entries.push_back({Take(FtpEntryName()), FtpEntryType(), FtpEntrySize()});
  return entries;
}

void Print(std::int32_t x, std::int32_t y, std::uint32_t colour, const std::string& text) {
  InkSet(colour, 0);
  TextPrintAt(x, y, text.c_str());
}

void DrawScreen(const std::string& server, const std::vector<Entry>& entries,
                const std::string& remote, const std::string& status, std::int32_t percent) {
  const std::uint32_t white = ColourRgb(240, 240, 240), grey = ColourRgb(150, 160, 175);
  ScreenClear(ColourRgb(20, 28, 44));
  Print(40, 20, white, "FTP  " + server);
  Print(40, 50, grey, "Remote folder:");
  std::int32_t y = 76;
  for (std::size_t i = 0; i < entries.size() && i < kShownEntries; ++i, y += 18) {
    const Entry& entry = entries[i];
    Print(60, y, entry.type == 1 ? ColourRgb(140, 190, 255) : white, entry.name);
    Print(400, y, grey, entry.type == 1 ? "<folder>" : std::to_string(entry.size) + " bytes");
  }
  if (entries.size() > kShownEntries)
    Print(60, y, grey, "... and " + std::to_string(entries.size() - kShownEntries) + " more");

  Print(kBarLeft, kBarTop - 28, white, "Downloading " + remote + "   " + status);
  InkSet(ColourRgb(90, 100, 120), 0);
  BoxDraw(kBarLeft - 2, kBarTop - 2, kBarRight + 2, kBarBottom + 2);
  InkSet(ColourRgb(10, 14, 24), 0);
  BoxDraw(kBarLeft, kBarTop, kBarRight, kBarBottom);
  if (percent > 0) {
    const std::int32_t fill = kBarLeft + (kBarRight - kBarLeft) * percent / 100;
    BoxGradientDraw(kBarLeft, kBarTop, fill, kBarBottom, ColourRgb(40, 150, 70),
                    ColourRgb(110, 230, 120), ColourRgb(40, 150, 70), ColourRgb(110, 230, 120));
  }
}

}  // namespace

void GameMain() {
  FrameSetRate(60);
  const char* frames_text = std::getenv("TESSARK_FRAMES");
  const long frame_limit = frames_text ? std::strtol(frames_text, nullptr, 10) : -1;
  TextSetFont("arial");
  TextSetSize(16);
  TextSetTransparent();

  const std::vector<std::string> args = Arguments();
  if (args.size() < 5) {
    std::fprintf(stderr, "usage: %s <server> <user> <password> <remote file> [local file]\n",
                 args.empty() ? "example_ftp" : args[0].c_str());
    return;
  }
  const std::string& server = args[1];
  const std::string& remote = args[4];
  const std::string local = args.size() > 5 ? args[5] : remote.substr(remote.rfind('/') + 1);

  std::vector<Entry> entries;
  std::string status;
  std::int32_t percent = 0;
  bool running = false;
  if (!FtpConnect(server.c_str(), args[2].c_str(), args[3].c_str())) {
    status = "could not connect: " + Take(FtpFailureText());
  } else {
    entries = ListFolder();
    FtpFailure();  // a listing that failed is not the download's failure
    running = FtpGetFile(remote.c_str(), local.c_str(), 1);
    status = running ? "0 %" : "failed: " + Take(FtpFailureText());
  }

  for (long frame = 0; RuntimeRunning() && (frame_limit < 0 || frame < frame_limit); ++frame) {
    if (KeyEscape()) break;
    for (int i = 0; running && i < kStepsPerFrame; ++i) {
      FtpProceed();
      const std::int32_t progress = FtpProgress();
      if (progress == -1) {
        // The end of the file keeps the local file; a failed download deletes it and says why.
        running = false;
        const bool failed = FtpFailure();
        percent = failed ? percent : 100;
        status = failed ? "failed: " + Take(FtpFailureText()) : "done, saved as " + local;
      } else {
        percent = progress;
        status = std::to_string(progress) + " %";
      }
    }
    DrawScreen(server, entries, remote, status, percent);
    FrameSync();
  }
  FtpDisconnect();
}
