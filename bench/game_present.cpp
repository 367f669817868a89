// The real game as a player runs it: the kettlebrim program in a virtual X display (Xvfb), on
// whatever way to the screen it chooses there. A probe loaded into it (present_probe.cpp)
// reports the time of every frame put on the screen. Each run measures the start-up to the
// first frame, then the title screen, then (after a click) play; the figures are the medians
// of the runs:
//   first frame <ms>       exec to the first frame put on the screen (the window, still black)
//   first picture <ms>     exec to the first frame that shows the game (anything but black)
//   fps <n>                frames a second over both measured stretches
//   p99 interval <ms>      99th percentile of the time between two frames
//   cpu title <percent>    processor use on the title screen, percent of one core
//   cpu play <percent>     the same in play
//   peak rss <MiB>         the program's peak resident memory
// Options: --game=<program> (another build of the game), --runs=<n>. Without Xvfb it says so
// and does nothing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kSettleSeconds = 1.0;
constexpr double kMeasureSeconds = 5.0;

std::string g_game = KETTLEBRIM_PATH;
int g_runs = 3;

struct Figures {
  double first_frame_ms = 0, first_picture_ms = 0, fps = 0, p99_interval_ms = 0, cpu_title = 0,
         cpu_play = 0, peak_rss_mib = 0;
};
std::vector<Figures> g_figures;

std::uint64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
         static_cast<std::uint64_t>(ts.tv_nsec);
}

bool OnPath(const char* program) {
  std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& folder, int keep_fd) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
  int null = open("/dev/null", O_RDWR);
  dup2(null, 1);
  dup2(null, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != keep_fd) close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    usleep(20000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

int FreeDisplay() {
  for (int n = 140; n < 240; ++n) {
    std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
    if (access(lock.c_str(), F_OK) != 0 && access(sock.c_str(), F_OK) != 0) return n;
  }
  return -1;
}

bool ServerAnswers(int display) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "/tmp/.X11-unix/X%d", display);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t close_paren = text.rfind(')');
  if (close_paren == std::string::npos) return 0;
  std::istringstream fields(text.substr(close_paren + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::strtod(field.c_str(), nullptr);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double PeakRssMib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

// Frame times arriving from the probe.
class Frames {
 public:
  explicit Frames(int fd) : fd_(fd) {}
  // Reads what has arrived, waiting until the given time.
  void Until(std::uint64_t deadline) {
    for (;;) {
      std::uint64_t now = NowNs();
      int wait_ms = now >= deadline ? 0 : static_cast<int>((deadline - now) / 1000000 + 1);
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, wait_ms) <= 0) {
        if (NowNs() >= deadline) return;
        continue;
      }
      std::uint64_t stamp;
      if (read(fd_, &stamp, sizeof stamp) != static_cast<ssize_t>(sizeof stamp)) return;
      constexpr std::uint64_t kFirstPicture = 1ull << 63;  // set by the probe
      if (stamp & kFirstPicture) first_picture = stamp & ~kFirstPicture;
      times.push_back(stamp & ~kFirstPicture);
    }
  }
  std::vector<std::uint64_t> times;
  std::uint64_t first_picture = 0;

 private:
  int fd_;
};

void Intervals(const std::vector<std::uint64_t>& times, std::uint64_t from, std::uint64_t to,
               std::vector<double>* intervals, int* frames) {
  for (std::size_t i = 0; i < times.size(); ++i) {
    if (times[i] < from || times[i] > to) continue;
    ++*frames;
    if (i > 0 && times[i - 1] >= from)
      intervals->push_back(static_cast<double>(times[i] - times[i - 1]) / 1e6);
  }
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool RunOnce(Figures* out, std::string* why) {
  int display = FreeDisplay();
  if (display < 0) return *why = "no free display number", false;
  pid_t xvfb = Spawn(
      {"Xvfb", ":" + std::to_string(display), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
      {}, "", -1);
  for (int i = 0; i < 200 && !ServerAnswers(display); ++i) usleep(20000);
  usleep(100000);  // the server finishes its set-up after it starts listening
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return Stop(xvfb), *why = "no pipe", false;

  std::string game_dir = g_game.substr(0, g_game.rfind('/'));
  std::string display_env = "DISPLAY=:" + std::to_string(display);
  std::vector<std::string> env = {display_env, "LD_PRELOAD=" PRESENT_PROBE_PATH,
                                  "PRESENT_PROBE_FD=" + std::to_string(pipe_fds[1])};
  std::uint64_t start = NowNs();
  pid_t game = Spawn({g_game}, env, game_dir, pipe_fds[1]);
  close(pipe_fds[1]);
  Frames frames(pipe_fds[0]);
  bool ok = false;
  do {
    while (frames.first_picture == 0 && NowNs() < start + 10000000000ull)
      frames.Until(NowNs() + 50000000ull);
    if (frames.first_picture == 0) {
      *why = "no picture within 10 s";
      break;
    }
    out->first_frame_ms = static_cast<double>(frames.times.front() - start) / 1e6;
    out->first_picture_ms = static_cast<double>(frames.first_picture - start) / 1e6;
    std::vector<double> intervals;
    int counted = 0;
    double measured_s = 0;

    frames.Until(NowNs() + static_cast<std::uint64_t>(kSettleSeconds * 1e9));
    std::uint64_t from = NowNs();
    double cpu = CpuSeconds(game);
    frames.Until(from + static_cast<std::uint64_t>(kMeasureSeconds * 1e9));
    std::uint64_t to = NowNs();
    out->cpu_title = 100.0 * (CpuSeconds(game) - cpu) / (static_cast<double>(to - from) / 1e9);
    Intervals(frames.times, from, to, &intervals, &counted);
    measured_s += static_cast<double>(to - from) / 1e9;

    // A click anywhere outside the pot starts play.
    std::string click = display_env + " xdotool search --onlyvisible --pid " +
                        std::to_string(game) + " | head -1 | xargs -I{} sh -c '" + display_env +
                        " xdotool mousemove --window {} 320 60 mousedown 1 sleep 0.1 mouseup 1'"
                        " >/dev/null 2>&1";
    if (std::system(click.c_str()) != 0) {
      *why = "could not click the title screen";
      break;
    }
    frames.Until(NowNs() + static_cast<std::uint64_t>(kSettleSeconds * 1e9));
    from = NowNs();
    cpu = CpuSeconds(game);
    frames.Until(from + static_cast<std::uint64_t>(kMeasureSeconds * 1e9));
    to = NowNs();
    out->cpu_play = 100.0 * (CpuSeconds(game) - cpu) / (static_cast<double>(to - from) / 1e9);
    Intervals(frames.times, from, to, &intervals, &counted);
    measured_s += static_cast<double>(to - from) / 1e9;

    out->fps = counted / measured_s;
    std::sort(intervals.begin(), intervals.end());
    if (!intervals.empty()) {
      auto at = [&](double q) {
        return intervals[static_cast<std::size_t>(q * static_cast<double>(intervals.size() - 1))];
      };
      out->p99_interval_ms = at(0.99);
      std::printf("intervals: p1 %.2f  p50 %.2f  p90 %.2f  p99 %.2f  max %.2f ms\n", at(0.01),
                  at(0.5), at(0.9), at(0.99), at(1.0));
    }
    out->peak_rss_mib = PeakRssMib(game);
    ok = true;
  } while (false);
  close(pipe_fds[0]);
  Stop(game);
  Stop(xvfb);
  return ok;
}

void GameUnderXvfb(benchmark::State& state) {
  for (auto _ : state) {
    Figures f;
    std::string why;
    if (!RunOnce(&f, &why)) {
      state.SkipWithError(why.c_str());
      return;
    }
    g_figures.push_back(f);
    std::printf(
        "run: first frame %.0f ms, first picture %.0f ms, fps %.2f, p99 interval %.2f ms, cpu "
        "title %.1f %%, "
        "cpu play %.1f %%, peak rss %.1f MiB\n",
        f.first_frame_ms, f.first_picture_ms, f.fps, f.p99_interval_ms, f.cpu_title, f.cpu_play,
        f.peak_rss_mib);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--game=", 7) == 0) {
      g_game = argv[i] + 7;
    } else if (std::strncmp(argv[i], "--runs=", 7) == 0) {
      g_runs = std::max(1, std::atoi(argv[i] + 7));
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (!OnPath("Xvfb") || !OnPath("xdotool")) {
    std::printf("skipped: Xvfb or xdotool is missing, so the game cannot be run on a display\n");
    return 0;
  }
  signal(SIGPIPE, SIG_IGN);
  benchmark::RegisterBenchmark("GameUnderXvfb", GameUnderXvfb)
      ->Iterations(g_runs)
      ->Unit(benchmark::kSecond)
      ->UseRealTime();
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_figures.empty()) return 1;
  auto median = [](double Figures::*field) {
    std::vector<double> v;
    for (const Figures& f : g_figures) v.push_back(f.*field);
    return Median(v);
  };
  std::printf("first frame %.0f\n", median(&Figures::first_frame_ms));
  std::printf("first picture %.0f\n", median(&Figures::first_picture_ms));
  std::printf("fps %.2f\n", median(&Figures::fps));
  std::printf("p99 interval %.2f\n", median(&Figures::p99_interval_ms));
  std::printf("cpu title %.1f\n", median(&Figures::cpu_title));
  std::printf("cpu play %.1f\n", median(&Figures::cpu_play));
  std::printf("peak rss %.1f\n", median(&Figures::peak_rss_mib));
  return 0;
}
