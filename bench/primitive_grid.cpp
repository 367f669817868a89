// Every 2D primitive a game draws, full-window (640 by 480) and small (32 by 32), opaque and
// blended, timed three ways in one run: through the runtime's own calls onto its software
// device, through SDL2's software renderer drawing the same thing (SDL_RenderGeometry for the
// gradient, points for circles and ellipses, glyph-sized copies for text), and the machine's
// limit, a memset (fills) or memcpy (copies and blends) of the bytes drawn. Ends with a table:
// each primitive's time three ways and its ratios to SDL2 and to the limit.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/side_by_side.h"
#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/errors.h"
#include "runtime/runtime_wire.h"
#include "tessark/basic2d.h"
#include "tessark/core.h"
#include "tessark/image.h"
#include "tessark/sprite.h"
#include "tessark/text.h"

namespace {

using side_by_side::MakePicture;
using side_by_side::Picture;

constexpr int kW = 640, kH = 480, kSmall = 32, kAt = 100;  // small things drawn at (kAt, kAt)
constexpr int kDots = 1000;
const char kLine[] = "The quick brown fox jumps over the lazy dog 012345";  // 50 characters
constexpr int kTextLines = 30, kTextColumns = 80;

// Picture ids: an opaque and a blended one at full size and small, a half-size one for the
// scaled sprite, and one for rotating.
enum : std::int32_t { kOpaqueFull = 1, kBlendFull, kOpaqueSmall, kBlendSmall, kHalfSmall, kTurn };

// One primitive drawn the three ways.
struct Case {
  std::string name;
  std::function<void()> runtime, sdl, limit;
};

// The limit's buffers: a full window's bytes, twice.
std::vector<std::uint32_t>& Source() {
  static std::vector<std::uint32_t> v(static_cast<std::size_t>(kW) * kH, 0x80402010u);
  return v;
}
std::vector<std::uint32_t>& Dest() {
  static std::vector<std::uint32_t> v(static_cast<std::size_t>(kW) * kH);
  return v;
}
std::function<void()> Memset(std::size_t pixels) {
  return [pixels] {
    std::memset(Dest().data(), 0x5A, pixels * 4);
    benchmark::ClobberMemory();
  };
}
std::function<void()> Memcpy(std::size_t pixels) {
  return [pixels] {
    std::memcpy(Dest().data(), Source().data(), pixels * 4);
    benchmark::ClobberMemory();
  };
}

// The points of a circle or ellipse outline about (x, y), about one a pixel.
std::vector<SDL_Point> Outline(int x, int y, int rx, int ry) {
  std::vector<SDL_Point> points;
  const int n = static_cast<int>(2 * 3.14159265 * std::max(rx, ry));
  for (int i = 0; i < n; ++i) {
    const double t = 2 * 3.14159265 * i / n;
    points.push_back(
        SDL_Point{x + static_cast<int>(rx * std::cos(t)), y + static_cast<int>(ry * std::sin(t))});
  }
  return points;
}

// The SDL side: its renderer and the same pictures as textures.
struct SdlSide {
  side_by_side::SdlSoftware sdl{kW, kH};
  SDL_Renderer* r = sdl.renderer;
  std::vector<SDL_Texture*> textures;
  SDL_Texture* Keep(SDL_Texture* t) {
    textures.push_back(t);
    return t;
  }
  ~SdlSide() {
    for (SDL_Texture* t : textures) SDL_DestroyTexture(t);
  }

  void Flush() { SDL_RenderFlush(r); }
  // A quad of four corner colours (top-left, top-right, bottom-left, bottom-right).
  void Gradient(int l, int t, int w, int h, const SDL_Color (&c)[4], SDL_BlendMode mode) {
    const float fl = static_cast<float>(l), ft = static_cast<float>(t);
    const float fr = static_cast<float>(l + w), fb = static_cast<float>(t + h);
    const SDL_Vertex v[4] = {{{fl, ft}, c[0], {0, 0}},
                             {{fr, ft}, c[1], {0, 0}},
                             {{fl, fb}, c[2], {0, 0}},
                             {{fr, fb}, c[3], {0, 0}}};
    const int index[6] = {0, 1, 2, 2, 1, 3};
    SDL_SetRenderDrawBlendMode(r, mode);
    SDL_RenderGeometry(r, nullptr, v, 4, index, 6);
    Flush();
  }
  void Copy(SDL_Texture* t, int x, int y, int w, int h, double angle = 0) {
    const SDL_Rect d{x, y, w, h};
    SDL_RenderCopyEx(r, t, nullptr, &d, angle, nullptr, SDL_FLIP_NONE);
    Flush();
  }
};

// The runtime opened headless with the pictures loaded, for the whole run.
void OpenRuntime() {
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  static std::int32_t error_word = 0;
  tessark::RuntimeWire();
  tessark::ErrorWordSet(&error_word);
  if (tessark::RuntimeOpen(0, kW, kH, 32, win32::GetModuleHandleA(nullptr), "") != 0) {
    std::fprintf(stderr, "the runtime did not open\n");
    std::exit(1);
  }
  auto load = [](std::int32_t id, const Picture& p) {
    tessark::ImageSetData(id, p.w, p.h, 32, reinterpret_cast<const std::uint8_t*>(p.texels.data()));
  };
  load(kOpaqueFull, MakePicture(kW, kH, 0));
  load(kBlendFull, MakePicture(kW, kH, 2));
  load(kOpaqueSmall, MakePicture(kSmall, kSmall, 0));
  load(kBlendSmall, MakePicture(kSmall, kSmall, 2));
  load(kHalfSmall, MakePicture(kSmall / 2, kSmall / 2, 2));
  load(kTurn, MakePicture(kH, kH, 2));
  tessark::TextSetSize(12);
}

// The sprite the sprite cases paste: image, scale (percent) and angle, its alpha.
void SpriteCase(std::int32_t image, float x_percent, float y_percent, float angle, int alpha, int x,
                int y) {
  constexpr std::int32_t kSprite = 1;
  tessark::SpriteSet(kSprite, x, y, image);
  tessark::SpriteHide(kSprite);
  tessark::SpriteStretch(kSprite, x_percent, y_percent);
  tessark::SpriteRotate(kSprite, angle);
  tessark::SpriteSetAlpha(kSprite, alpha);
  tessark::SpritePaste(kSprite, x, y);
}

std::vector<Case> MakeCases(SdlSide& s) {
  std::vector<Case> cases;
  const std::size_t full = static_cast<std::size_t>(kW) * kH, small = kSmall * kSmall;
  SDL_Renderer* r = s.r;
  // Clear and boxes.
  cases.push_back({"clear", [] { tessark::ScreenClear(0xFF336699); },
                   [&s, r] {
                     SDL_SetRenderDrawColor(r, 0x33, 0x66, 0x99, 0xFF);
                     SDL_RenderClear(r);
                     s.Flush();
                   },
                   Memset(full)});
  for (bool big : {true, false}) {
    const int x = big ? 0 : kAt, y = big ? 0 : kAt, w = big ? kW : kSmall, h = big ? kH : kSmall;
    const std::string size = big ? " full" : " 32";
    const std::size_t pixels = big ? full : small;
    // SDL's side of the boxes: one rectangle of the boxes' colour, copied or blended.
    auto fill = [&s, r, x, y, w, h](SDL_BlendMode mode, std::uint8_t a) {
      return [&s, r, x, y, w, h, mode, a] {
        const SDL_Rect rect{x, y, w, h};
        SDL_SetRenderDrawBlendMode(r, mode);
        SDL_SetRenderDrawColor(r, 0x33, 0x66, 0x99, a);
        SDL_RenderFillRect(r, &rect);
        s.Flush();
      };
    };
    cases.push_back({"box" + size,
                     [=] {
                       tessark::InkSet(0xFF336699, 0);
                       tessark::BoxDraw(x, y, x + w, y + h);
                     },
                     fill(SDL_BLENDMODE_NONE, 0xFF), Memset(pixels)});
    // The runtime's blended box is a gradient box of one colour.
    cases.push_back({"box blended" + size,
                     [=] {
                       const std::uint32_t c = 0x80336699;
                       tessark::BoxGradientDraw(x, y, x + w, y + h, c, c, c, c);
                     },
                     fill(SDL_BLENDMODE_BLEND, 0x80), Memcpy(pixels)});
    for (bool blend : {false, true}) {
      const std::uint8_t a = blend ? 0x80 : 0xFF;
      const std::uint32_t alpha = static_cast<std::uint32_t>(a) << 24;
      // BoxGradientDraw's corners: bottom-left, top-left, bottom-right, top-right.
      cases.push_back(
          {std::string("gradient") + (blend ? " blended" : "") + size,
           [=] {
             tessark::BoxGradientDraw(x, y, x + w, y + h, alpha | 0x0000FF, alpha | 0xFF0000,
                                      alpha | 0xFFFFFF, alpha | 0x00FF00);
           },
           [&s, x, y, w, h, a, blend] {
             const SDL_Color c[4] = {
                 {255, 0, 0, a}, {0, 255, 0, a}, {0, 0, 255, a}, {255, 255, 255, a}};
             s.Gradient(x, y, w, h, c, blend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
           },
           blend ? Memcpy(pixels) : Memset(pixels)});
    }
    // Lines: the diagonal of the window, or of the small square.
    cases.push_back({"line" + size,
                     [=] {
                       tessark::InkSet(0xFFFFFFFF, 0);
                       tessark::LineDraw(x, y, x + w - 1, y + h - 1);
                     },
                     [&s, r, x, y, w, h] {
                       SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_NONE);
                       SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
                       SDL_RenderDrawLine(r, x, y, x + w - 1, y + h - 1);
                       s.Flush();
                     },
                     Memset(static_cast<std::size_t>(w))});
    // Circles and ellipses as large as the area allows.
    const int cx = x + w / 2, cy = y + h / 2, radius = h / 2 - 1;
    for (bool ellipse : {false, true}) {
      const int rx = ellipse ? w / 2 - 1 : radius;
      auto points = std::make_shared<std::vector<SDL_Point>>(Outline(cx, cy, rx, radius));
      cases.push_back({(ellipse ? "ellipse" : "circle") + size,
                       [=] {
                         tessark::InkSet(0xFFFFFFFF, 0);
                         ellipse ? tessark::EllipseDraw(cx, cy, rx, radius)
                                 : tessark::CircleDraw(cx, cy, radius);
                       },
                       [&s, r, points] {
                         SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_NONE);
                         SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
                         SDL_RenderDrawPoints(r, points->data(), static_cast<int>(points->size()));
                         s.Flush();
                       },
                       Memset(points->size())});
    }
    // Pastes and sprites.
    for (bool blend : {false, true}) {
      const std::int32_t image =
          big ? (blend ? kBlendFull : kOpaqueFull) : (blend ? kBlendSmall : kOpaqueSmall);
      SDL_Texture* t = s.Keep(s.sdl.Upload(MakePicture(w, h, blend ? 2 : 0), blend));
      cases.push_back({std::string("paste") + (blend ? " blended" : "") + size,
                       [=] { tessark::ImagePaste(image, x, y, blend ? 1 : 0); },
                       [&s, t, x, y, w, h] { s.Copy(t, x, y, w, h); }, Memcpy(pixels)});
    }
    const std::int32_t sprite_image = big ? kBlendFull : kBlendSmall;
    SDL_Texture* sprite = s.Keep(s.sdl.Upload(MakePicture(w, h, 2), true));
    cases.push_back({"sprite" + size, [=] { SpriteCase(sprite_image, 100, 100, 0, 255, x, y); },
                     [&s, sprite, x, y, w, h] { s.Copy(sprite, x, y, w, h); }, Memcpy(pixels)});
    // Scaled: a picture half the small size drawn twice as large, or stretched over the window.
    SDL_Texture* half = s.Keep(s.sdl.Upload(MakePicture(kSmall / 2, kSmall / 2, 2), true));
    const float sx = 100.0f * w / (kSmall / 2), sy = 100.0f * h / (kSmall / 2);
    cases.push_back({"sprite scaled" + size, [=] { SpriteCase(kHalfSmall, sx, sy, 0, 255, x, y); },
                     [&s, half, x, y, w, h] { s.Copy(half, x, y, w, h); }, Memcpy(pixels)});
    // Rotated by 30 degrees about its centre: a 480 by 480 picture, or the small one.
    const int side = big ? kH : kSmall, rx0 = big ? (kW - kH) / 2 : x;
    const std::int32_t turn_image = big ? kTurn : kBlendSmall;
    SDL_Texture* turn = s.Keep(s.sdl.Upload(MakePicture(side, side, 2), true));
    cases.push_back({"sprite rotated" + size,
                     [=] {
                       constexpr std::int32_t kSprite = 1;
                       tessark::SpriteSet(kSprite, rx0, y, turn_image);
                       tessark::SpriteHide(kSprite);
                       tessark::SpriteSetOffset(kSprite, side / 2, side / 2);
                       SpriteCase(turn_image, 100, 100, 30, 255, rx0 + side / 2, y + side / 2);
                     },
                     [&s, turn, rx0, y, side] { s.Copy(turn, rx0, y, side, side, 30); },
                     Memcpy(static_cast<std::size_t>(side) * side)});
    SDL_Texture* faded = s.Keep(s.sdl.Upload(MakePicture(w, h, 2), true));
    SDL_SetTextureAlphaMod(faded, 128);
    cases.push_back({"sprite alpha" + size,
                     [=] { SpriteCase(sprite_image, 100, 100, 0, 128, x, y); },
                     [&s, faded, x, y, w, h] { s.Copy(faded, x, y, w, h); }, Memcpy(pixels)});
  }
  // Dots: a thousand single pixels along a spiral.
  auto dots = std::make_shared<std::vector<SDL_Point>>();
  for (int i = 0; i < kDots; ++i) {
    dots->push_back(SDL_Point{kW / 2 + static_cast<int>(i * 0.2 * std::cos(i * 0.1)),
                              kH / 2 + static_cast<int>(i * 0.2 * std::sin(i * 0.1))});
  }
  cases.push_back({"dot x1000",
                   [dots] {
                     for (const SDL_Point& p : *dots) tessark::DotDrawColour(p.x, p.y, 0xFFFFFFFF);
                   },
                   [&s, r, dots] {
                     SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
                     for (const SDL_Point& p : *dots) SDL_RenderDrawPoint(r, p.x, p.y);
                     s.Flush();
                   },
                   Memset(kDots)});
  // Text: one line of 50 characters, and a window of 30 lines of 80; SDL2 copies a glyph-sized
  // piece of a texture for each character.
  SDL_Texture* glyphs = s.Keep(s.sdl.Upload(MakePicture(128, 128, 3), true));
  for (bool big : {false, true}) {
    std::string row;
    while (row.size() < (big ? kTextColumns : 50u)) row += kLine;
    row.resize(big ? kTextColumns : 50u);
    const int lines = big ? kTextLines : 1;
    cases.push_back({big ? "text 30x80" : "text 50",
                     [row, lines] {
                       for (int i = 0; i < lines; ++i) tessark::TextPrintAt(0, i * 16, row.c_str());
                     },
                     [&s, r, glyphs, row, lines] {
                       for (int i = 0; i < lines; ++i) {
                         for (std::size_t c = 0; c < row.size(); ++c) {
                           const SDL_Rect from{(row[c] % 16) * 8, (row[c] / 16 % 8) * 16, 7, 14};
                           const SDL_Rect to{static_cast<int>(c) * 7, i * 16, 7, 14};
                           SDL_RenderCopy(r, glyphs, &from, &to);
                         }
                       }
                       s.Flush();
                     },
                     Memcpy(row.size() * lines * 7 * 14)});
  }
  return cases;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  OpenRuntime();
  std::vector<Case> cases;
  {
    SdlSide sdl;
    cases = MakeCases(sdl);
    const char* kWays[3] = {"tessark", "sdl2", "limit"};
    for (const Case& c : cases) {
      for (int way = 0; way < 3; ++way) {
        const std::function<void()>& fn = way == 0 ? c.runtime : way == 1 ? c.sdl : c.limit;
        benchmark::RegisterBenchmark((c.name + "/" + kWays[way]).c_str(),
                                     [fn](benchmark::State& state) {
                                       for (auto _ : state) fn();
                                     })
            ->Unit(benchmark::kMicrosecond);
      }
    }
    side_by_side::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Processor time: on a shared machine the steadier measure.
    std::printf("\n%-24s %12s %12s %12s %9s %9s\n", "primitive (us)", "tessark", "sdl2", "limit",
                "/sdl2", "/limit");
    for (const Case& c : cases) {
      const double t = reporter.Cpu(c.name + "/tessark"), q = reporter.Cpu(c.name + "/sdl2"),
                   l = reporter.Cpu(c.name + "/limit");
      if (t <= 0) continue;
      std::printf("%-24s %12.2f %12.2f %12.2f %9.2f %9.2f\n", c.name.c_str(), t, q, l,
                  q > 0 ? t / q : 0.0, l > 0 ? t / l : 0.0);
    }
    cases.clear();  // the cases hold the SDL side
  }
  tessark::RuntimeClose();
  benchmark::Shutdown();
  return 0;
}
