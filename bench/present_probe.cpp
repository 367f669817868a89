// Loaded into the game by game_present (LD_PRELOAD): every call that puts a frame on the screen
// writes the monotonic time at which it returned, as 8 bytes, to the descriptor named by
// PRESENT_PROBE_FD. The game itself is not changed, so the same probe measures any build.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

int ProbeFd() {
  static int fd = [] {
    const char* text = std::getenv("PRESENT_PROBE_FD");
    return text ? std::atoi(text) : -1;
  }();
  return fd;
}

void Stamp() {
  int fd = ProbeFd();
  if (fd < 0) return;
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  std::uint64_t ns = static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
                     static_cast<std::uint64_t>(ts.tv_nsec);
  if (write(fd, &ns, sizeof ns) < 0) {
    // The benchmark has gone; the game goes on unmeasured.
  }
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int SDL_UpdateWindowSurface(SDL_Window* window) {
  static auto real = Next<int (*)(SDL_Window*)>("SDL_UpdateWindowSurface");
  int r = real(window);
  Stamp();
  return r;
}

int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int count) {
  static auto real =
      Next<int (*)(SDL_Window*, const SDL_Rect*, int)>("SDL_UpdateWindowSurfaceRects");
  int r = real(window, rects, count);
  Stamp();
  return r;
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
  static auto real = Next<void (*)(SDL_Renderer*)>("SDL_RenderPresent");
  real(renderer);
  Stamp();
}

void SDL_GL_SwapWindow(SDL_Window* window) {
  static auto real = Next<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
  real(window);
  Stamp();
}

}  // extern "C"
