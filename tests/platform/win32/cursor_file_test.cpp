// The .cur reader: well-formed bitmap and PNG cursors, the best-size choice and scaling, and
// files that are truncated, garbled or absurd (which give no cursor and never crash).
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/cursor_file.h"
#include "platform/win32/user.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, int v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct Image {
  int width, height, hot_x, hot_y;
  Bytes data;
};

// A cursor file (type 2) holding the images, each with its hotspot.
Bytes CursorFile(const std::vector<Image>& images, int type = 2) {
  Bytes file(6 + 16 * images.size());
  Put16(file, 2, type);
  Put16(file, 4, static_cast<int>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    std::size_t at = 6 + 16 * i;
    file[at] = static_cast<std::uint8_t>(images[i].width & 0xFF);
    file[at + 1] = static_cast<std::uint8_t>(images[i].height & 0xFF);
    Put16(file, at + 4, images[i].hot_x);
    Put16(file, at + 6, images[i].hot_y);
    Put32(file, at + 8, static_cast<std::uint32_t>(images[i].data.size()));
    Put32(file, at + 12, static_cast<std::uint32_t>(file.size()));
    file.insert(file.end(), images[i].data.begin(), images[i].data.end());
  }
  return file;
}

// A 32-bit bitmap image: pixel(x, y) gives 0xAARRGGBB; an all-clear AND mask.
Bytes Dib32(int w, int h, std::uint32_t (*pixel)(int, int)) {
  std::size_t mask_stride = ((w + 31) / 32) * 4;
  Bytes b(40 + static_cast<std::size_t>(w) * h * 4 + mask_stride * h);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<std::uint32_t>(w));
  Put32(b, 8, static_cast<std::uint32_t>(h * 2));
  Put16(b, 12, 1);
  Put16(b, 14, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      Put32(b, 40 + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4, pixel(x, y));
  return b;
}

// A 1-bit bitmap: black and white palette; colour bit and mask bit per pixel.
Bytes Dib1(int w, int h, bool (*white)(int, int), bool (*clear)(int, int)) {
  std::size_t stride = ((w + 31) / 32) * 4;
  Bytes b(40 + 8 + stride * h * 2);
  Put32(b, 0, 40);
  Put32(b, 4, static_cast<std::uint32_t>(w));
  Put32(b, 8, static_cast<std::uint32_t>(h * 2));
  Put16(b, 12, 1);
  Put16(b, 14, 1);
  Put32(b, 44, 0x00FFFFFF);  // palette: 0 black, 1 white
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::size_t row = static_cast<std::size_t>(h - 1 - y);
      if (white(x, y)) b[48 + row * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      if (clear(x, y))
        b[48 + stride * h + row * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  return b;
}

Bytes Png(int w, int h) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(s, nullptr, 0x80FF0000u);
  std::vector<std::uint8_t> out(1 << 16);
  SDL_RWops* rw = SDL_RWFromMem(out.data(), static_cast<int>(out.size()));
  IMG_SavePNG_RW(s, rw, 0);
  out.resize(static_cast<std::size_t>(SDL_RWtell(rw)));
  SDL_RWclose(rw);
  SDL_FreeSurface(s);
  return out;
}

std::uint32_t Gradient(int x, int y) {
  return 0xFF000000u | static_cast<std::uint32_t>(x << 16) | static_cast<std::uint32_t>(y);
}

TEST(CursorFile, ReadsA32BitImageWithItsHotspot) {
  Bytes file = CursorFile({{32, 32, 3, 7, Dib32(32, 32, Gradient)}});
  auto image = win32::ParseCursorFile(file.data(), file.size(), 32, 32);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->hotspot_x, 3);
  EXPECT_EQ(image->hotspot_y, 7);
  EXPECT_EQ(image->pixels[0], Gradient(0, 0)) << "rows are stored bottom-up";
  EXPECT_EQ(image->pixels[31 * 32 + 5], Gradient(5, 31));
}

TEST(CursorFile, OneBitImagesUseTheMaskForTransparency) {
  Bytes dib = Dib1(
      32, 32, [](int x, int) { return x < 16; }, [](int, int y) { return y >= 16; });
  Bytes file = CursorFile({{32, 32, 0, 0, dib}});
  auto image = win32::ParseCursorFile(file.data(), file.size(), 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels[0], 0xFFFFFFFFu);            // white, opaque
  EXPECT_EQ(image->pixels[20], 0xFF000000u);           // black, opaque
  EXPECT_EQ(image->pixels[20 * 32 + 20], 0u);          // black under the mask: clear
  EXPECT_EQ(image->pixels[20 * 32 + 2], 0xFF000000u);  // white under the mask inverts: black
}

TEST(CursorFile, PicksTheNearestSizeAndScales) {
  Bytes file = CursorFile(
      {{20, 20, 1, 1, Dib32(20, 20, Gradient)}, {40, 40, 20, 20, Dib32(40, 40, Gradient)}});
  auto image = win32::ParseCursorFile(file.data(), file.size(), 32, 32);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->hotspot_x, 16) << "40 x 40 is nearer; its hotspot scales with it";
  auto own = win32::ParseCursorFile(file.data(), file.size(), 0, 0);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->width, 40);
}

TEST(CursorFile, ReadsPngImages) {
  Bytes file = CursorFile({{24, 24, 2, 3, Png(24, 24)}});
  auto image = win32::ParseCursorFile(file.data(), file.size(), 0, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 24);
  EXPECT_EQ(image->pixels[5], 0x80FF0000u);
}

TEST(CursorFile, BadFilesGiveNothing) {
  Bytes good = CursorFile({{32, 32, 3, 7, Dib32(32, 32, Gradient)}});
  for (std::size_t cut = 0; cut < good.size(); cut += 97)
    EXPECT_FALSE(win32::ParseCursorFile(good.data(), cut, 32, 32)) << "cut at " << cut;

  Bytes absurd = good;
  Put32(absurd, 6 + 16 + 4, 100000);  // the bitmap claims to be 100000 pixels wide
  EXPECT_FALSE(win32::ParseCursorFile(absurd.data(), absurd.size(), 32, 32));

  Bytes offset = good;
  Put32(offset, 6 + 12, 0xFFFFFFF0u);  // image offset far past the end
  EXPECT_FALSE(win32::ParseCursorFile(offset.data(), offset.size(), 32, 32));

  Bytes count = good;
  Put16(count, 4, 65535);  // more entries than the file holds
  EXPECT_FALSE(win32::ParseCursorFile(count.data(), count.size(), 32, 32));

  Bytes depth = good;
  Put16(depth, 6 + 16 + 14, 7);  // 7 bits a pixel
  EXPECT_FALSE(win32::ParseCursorFile(depth.data(), depth.size(), 32, 32));

  Bytes huge_png = CursorFile({{0, 0, 0, 0, Png(8, 8)}});
  std::size_t ihdr = 6 + 16 + 16;
  huge_png[ihdr] = 0x7F;  // width 0x7F000008
  EXPECT_FALSE(win32::ParseCursorFile(huge_png.data(), huge_png.size(), 0, 0));

  Bytes garbage(300, 0xAB);
  EXPECT_FALSE(win32::ParseCursorFile(garbage.data(), garbage.size(), 32, 32));
  EXPECT_FALSE(win32::ParseCursorFile(nullptr, 100, 32, 32));
}

TEST(LoadImage, LoadsCursorFilesAndRefusesBadOnes) {
  ASSERT_TRUE(win32::VideoReady());
  std::string dir = "/tmp/cursor_test_" + std::to_string(getpid());
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  Bytes good = CursorFile({{32, 32, 3, 7, Dib32(32, 32, Gradient)}});
  auto write = [&](const std::string& name, const Bytes& b) {
    FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  };
  write("Arrow.cur", good);
  write("bad.cur", Bytes(good.begin(), good.begin() + 60));
  write("empty.cur", Bytes());

  // Names are found without regard to case.
  HCURSOR cursor = reinterpret_cast<HCURSOR>(win32::LoadImageA(
      nullptr, (dir + "/arrow.cur").c_str(), IMAGE_CURSOR, 32, 32, LR_LOADFROMFILE));
  EXPECT_NE(cursor, nullptr);
  for (const char* name : {"bad.cur", "empty.cur", "missing.cur"})
    EXPECT_EQ(win32::LoadImageA(nullptr, (dir + "/" + name).c_str(), IMAGE_CURSOR, 32, 32,
                                LR_LOADFROMFILE),
              nullptr)
        << name;
  EXPECT_EQ(
      win32::LoadImageA(nullptr, (dir + "/arrow.cur").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
      nullptr);

  HCURSOR before = win32::SetCursor(cursor);
  EXPECT_EQ(win32::GetCursor(), cursor);
  EXPECT_TRUE(win32::DestroyCursor(cursor));
  EXPECT_EQ(win32::GetCursor(), nullptr) << "destroying the current cursor clears it";
  EXPECT_FALSE(win32::DestroyCursor(cursor));
  win32::SetCursor(before);

  for (const char* name : {"Arrow.cur", "bad.cur", "empty.cur"})
    std::remove((dir + "/" + name).c_str());
  rmdir(dir.c_str());
}

TEST(LoadCursor, SystemCursorsAreSharedAndStay) {
  HCURSOR arrow = win32::LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(win32::LoadCursorA(nullptr, IDC_ARROW), arrow);
  EXPECT_NE(win32::LoadCursorA(nullptr, IDC_WAIT), arrow);
  EXPECT_TRUE(win32::DestroyCursor(arrow));
  EXPECT_EQ(win32::LoadCursorA(nullptr, IDC_ARROW), arrow);
  EXPECT_EQ(win32::LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
  EXPECT_EQ(win32::LoadIconA(nullptr, MAKEINTRESOURCEA(101)), nullptr);
}

TEST(ShowCursor, KeepsTheDisplayCount) {
  int start = win32::ShowCursor(TRUE) - 1;
  EXPECT_EQ(win32::ShowCursor(FALSE), start);
  EXPECT_EQ(win32::ShowCursor(FALSE), start - 1);
  EXPECT_EQ(win32::ShowCursor(FALSE), start - 2);
  EXPECT_EQ(win32::ShowCursor(TRUE), start - 1);
  EXPECT_EQ(win32::ShowCursor(TRUE), start);
}

}  // namespace
