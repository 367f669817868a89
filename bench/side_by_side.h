// What the benchmarks that set our drawing beside SDL2's software renderer share: test pictures,
// an SDL2 software renderer on a 32-bit surface with textures uploaded from those pictures, and
// a console reporter that keeps each benchmark's median time so that main can compare them.
#pragma once

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace side_by_side {

// A picture as 0xAARRGGBB texels.
struct Picture {
  int w, h;
  std::vector<std::uint32_t> texels;
};

// A w by h picture with patterned colour; its alpha by kind: 0 opaque, 1 a pot (clear top
// third, a disc with a half-clear rim), 2 a token (a disc with a soft edge), 3 a digit (every
// third texel clear), 4 a ring (alpha 200).
inline Picture MakePicture(int w, int h, int kind) {
  Picture p{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t a = 255;
      float dx = (x + 0.5f) / w - 0.5f, dy = (y + 0.5f) / h - 0.5f;
      float r = std::sqrt(dx * dx + dy * dy);
      if (kind == 1) a = y < h / 3 ? 0 : (r < 0.45f ? 255 : (r < 0.5f ? 128 : 0));
      if (kind == 2)
        a = r < 0.4f ? 255 : (r < 0.5f ? static_cast<std::uint32_t>((0.5f - r) * 2550) : 0);
      if (kind == 3) a = (x + y) % 3 ? 255 : 0;
      if (kind == 4) a = (r > 0.4f && r < 0.5f) ? 200 : 0;
      std::uint32_t c = static_cast<std::uint32_t>((x * 7 + kind * 40) & 255) << 16 |
                        static_cast<std::uint32_t>((y * 5 + kind * 80) & 255) << 8 |
                        static_cast<std::uint32_t>((x ^ y) & 255);
      p.texels[static_cast<std::size_t>(y) * w + x] = a << 24 | c;
    }
  }
  return p;
}

// SDL2's software renderer drawing into a w by h ARGB8888 surface.
struct SdlSoftware {
  SDL_Surface* target = nullptr;
  SDL_Renderer* renderer = nullptr;

  SdlSoftware(int w, int h) {
    target = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    renderer = SDL_CreateSoftwareRenderer(target);
  }
  ~SdlSoftware() {
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
  }
  SdlSoftware(const SdlSoftware&) = delete;
  SdlSoftware& operator=(const SdlSoftware&) = delete;

  // A texture of the picture, drawn blended (source alpha) or copied; the caller destroys it.
  SDL_Texture* Upload(const Picture& p, bool blend) {
    SDL_Surface* s =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(p.texels.data()), p.w, p.h,
                                           32, p.w * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Texture* t = SDL_CreateTextureFromSurface(renderer, s);
    SDL_FreeSurface(s);
    SDL_SetTextureBlendMode(t, blend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
    return t;
  }
};

// Keeps each benchmark's time per iteration (single runs, or the median when only aggregates
// are reported) by name, wall and processor.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Iteration && r.aggregate_name != "median") continue;
      wall_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
      cpu_[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
    }
  }
  // The median over the repetitions, in the benchmark's unit; 0 when it did not run.
  double Wall(const std::string& name) const { return Median(wall_, name); }
  double Cpu(const std::string& name) const { return Median(cpu_, name); }

 private:
  static double Median(const std::map<std::string, std::vector<double>>& m,
                       const std::string& name) {
    auto it = m.find(name);
    if (it == m.end() || it->second.empty()) return 0.0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  std::map<std::string, std::vector<double>> wall_, cpu_;
};

}  // namespace side_by_side
