// Sprites and pastes: a demo of the image and sprite modules. It makes its own pictures at start
// (a JPEG backdrop, a PNG token with soft edges, a BMP badge on black and a PNG frame sheet),
// then each frame pastes the backdrop, pastes the badge and the token opaque and transparent,
// and draws a rotating token, a fading token, a ring of turning tokens and an animated sprite
// that the sprite pass draws at FrameSync. Escape or the close box ends it.
//
// TESSARK_SCREENSHOT=file.png saves the screen after a second of frames and ends the demo.
#include <SDL.h>
#include <SDL_image.h>
#include <sys/stat.h>
#include <tessark/tessark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace tessark;

namespace {

enum : std::int32_t { kBackdrop = 1, kToken, kBadge, kSheet, kScreen = 99 };

// Writes a w by h picture with pixels fn(x, y) (0xAARRGGBB) as PNG, BMP or JPEG by extension.
template <typename Fn>
void MakePicture(const char* path, int w, int h, Fn fn) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!s) return;
  for (int y = 0; y < h; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < w; ++x) row[x] = fn(x, y);
  }
  const std::size_t n = std::strlen(path);
  if (std::strcmp(path + n - 4, ".png") == 0) {
    IMG_SavePNG(s, path);
  } else if (SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0)) {
    if (std::strcmp(path + n - 4, ".jpg") == 0) {
      IMG_SaveJPG(rgb, path, 90);
    } else {
      SDL_SaveBMP(rgb, path);
    }
    SDL_FreeSurface(rgb);
  }
  SDL_FreeSurface(s);
}

std::uint32_t Argb(int a, int r, int g, int b) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(r) << 16 |
         static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

void MakePictures() {
  mkdir("SpritesDemo", 0755);
  MakePicture("SpritesDemo/backdrop.jpg", 640, 480, [](int x, int y) {
    const bool check = ((x / 40) + (y / 40)) % 2 == 0;
    return Argb(255, 30 + y / 6, 40 + (check ? 30 : 0), 90 + x / 8);
  });
  // A round token: opaque inside, soft over its last few pixels.
  MakePicture("SpritesDemo/token.png", 64, 64, [](int x, int y) {
    const double d = std::hypot(x - 31.5, y - 31.5);
    const int alpha = d < 24 ? 255 : d < 32 ? static_cast<int>((32 - d) * 32) : 0;
    const bool stripe = (x / 8) % 2 == 0;
    return Argb(alpha, 240, stripe ? 180 : 90, 40);
  });
  // A badge on black: black is the colour key, so it drops out when pasted transparent.
  MakePicture("SpritesDemo/badge.bmp", 96, 64, [](int x, int y) {
    const bool inside = std::abs(x - 48) + std::abs(y - 32) < 30;
    return inside ? Argb(255, 60, 200, 90 + y) : Argb(255, 0, 0, 0);
  });
  // Four frames of 64 by 64: a bar that turns.
  MakePicture("SpritesDemo/sheet.png", 256, 64, [](int x, int y) {
    const int frame = x / 64, fx = x % 64 - 32, fy = y - 32;
    const double a = frame * 3.14159265 / 4;
    const double along = fx * std::cos(a) + fy * std::sin(a);
    const double across = -fx * std::sin(a) + fy * std::cos(a);
    const bool bar = std::abs(along) < 28 && std::abs(across) < 6;
    const bool frame_edge = fx == -32 || fy == -32 || fx == 31 || fy == 31;
    return bar          ? Argb(255, 255, 255, 255)
           : frame_edge ? Argb(255, 200, 60, 200)
                        : Argb(90, 0, 0, 0);
  });
}

}  // namespace

void GameMain() {
  FrameSetRate(60);
  MakePictures();
  ImageLoad("SpritesDemo\\backdrop.jpg", kBackdrop, 1);
  ImageLoad("SpritesDemo\\token.png", kToken, 1);
  ImageLoad("SpritesDemo\\badge.bmp", kBadge, 1);
  SpriteCreateAnimated(3, "SpritesDemo\\sheet.png", 4, 1, kSheet);
  SpriteSet(3, 520, 380, kSheet);

  const char* screenshot = std::getenv("TESSARK_SCREENSHOT");
  for (int frame = 0; RuntimeRunning(); ++frame) {
    ImagePaste(kBackdrop, 0, 0, 0);
    // Pastes: the badge and the token, opaque on the left, transparent on the right.
    ImagePaste(kBadge, 20, 20, 0);
    ImagePaste(kBadge, 140, 20, 1);
    ImagePaste(kToken, 260, 20, 0);
    ImagePaste(kToken, 360, 20, 1);

    // A rotating token, turned about its centre.
    SpriteSet(1, 120, 250, kToken);
    SpriteSetOffset(1, 32, 32);
    SpriteRotate(1, static_cast<float>((frame * 3) % 360));
    SpritePaste(1, 120, 250);
    // A fading token.
    SpriteSetAlpha(1, static_cast<std::int32_t>(127.5 + 127.5 * std::sin(frame * 0.05)));
    SpriteRotate(1, 0.0f);
    SpritePaste(1, 260, 250);
    SpriteSetAlpha(1, 255);
    // A ring of tokens, each turned to face outward, half size.
    SpriteScale(1, 50.0f);
    SpriteSetOffset(1, 32, 32);
    for (int i = 0; i < 12; ++i) {
      const float angle = static_cast<float>(i * 30 + frame);
      const double radians = angle * 3.14159265 / 180.0;
      SpriteRotate(1, angle);
      SpritePaste(1, 440 + static_cast<int>(90 * std::sin(radians)),
                  250 - static_cast<int>(90 * std::cos(radians)));
    }
    SpriteDelete(1);

    // The animated sprite is kept: the sprite pass draws it during FrameSync.
    SpritePlay(3, 1, 4, 150);

    if (screenshot && frame == 60) {
      ImageGrab(kScreen, 0, 0, 640, 480);
      ImageSave(kScreen, screenshot);
      return;
    }
    FrameSync();
  }
}
