// DDS files made here with hand-picked DXT blocks and mip levels that are not a scaled copy of
// level 0: a texture in the file's own format takes every block and level as it is.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "tests/support/windowed_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A DXT1 block: two RGB565 end colours and sixteen 2-bit indices.
Bytes Block(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices) {
  Bytes b = {static_cast<std::uint8_t>(c0), static_cast<std::uint8_t>(c0 >> 8),
             static_cast<std::uint8_t>(c1), static_cast<std::uint8_t>(c1 >> 8)};
  Put32(b, indices);
  return b;
}

// The levels of an 8 by 8 DXT1 file: four blocks, then one block each for 4 by 4 and 2 by 2.
// The end colours are in the three-colour order (c0 <= c1) and the indices mixed, which an
// encoder would not reproduce from the decoded pixels.
std::vector<Bytes> Levels() {
  Bytes top;
  const std::uint16_t colours[4][2] = {
      {0x0010, 0xF800}, {0x07E0, 0x07E1}, {0x001F, 0xFFFF}, {0x1234, 0x4321}};
  for (int i = 0; i < 4; ++i) {
    Bytes b = Block(colours[i][0], colours[i][1], 0x1B1B1B1Bu * (i + 1));
    top.insert(top.end(), b.begin(), b.end());
  }
  return {top, Block(0x0001, 0xF81F, 0x9C9C9C9C), Block(0x0400, 0x0800, 0xE4E4E4E4)};
}

Bytes DdsFile(const std::vector<Bytes>& levels) {
  Bytes d = {'D', 'D', 'S', ' '};
  Put32(d, 124);
  Put32(d, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);
  Put32(d, 8);  // height
  Put32(d, 8);  // width
  Put32(d, static_cast<std::uint32_t>(levels[0].size()));
  Put32(d, 0);
  Put32(d, static_cast<std::uint32_t>(levels.size()));
  for (int i = 0; i < 11; ++i) Put32(d, 0);
  Put32(d, 32);
  Put32(d, 0x4);  // four-character code
  d.insert(d.end(), {'D', 'X', 'T', '1'});
  for (int i = 0; i < 5; ++i) Put32(d, 0);
  Put32(d, 0x1000 | 0x400000 | 0x8);  // texture, mip-map, complex
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  for (const Bytes& level : levels) d.insert(d.end(), level.begin(), level.end());
  return d;
}

class DdsLevels : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    ASSERT_EQ(tessark::testing::CreateWindowedDevice(d3d_.Get(), 64, 64, device_.Put()), D3D_OK);
    mkdir("d3dx_files", 0755);
    FILE* f = std::fopen(kPath, "wb");
    ASSERT_NE(f, nullptr);
    const Bytes file = DdsFile(Levels());
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  void TearDown() override { d3d9::testing::RestoreAll(); }

  // The bytes of a texture level, rows of blocks packed.
  static Bytes LevelBytes(IDirect3DTexture9* t, UINT level) {
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(level, &desc);
    const std::size_t row = (desc.Width + 3) / 4 * 8, rows = (desc.Height + 3) / 4;
    D3DLOCKED_RECT locked{};
    if (FAILED(t->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return {};
    Bytes out;
    for (std::size_t y = 0; y < rows; ++y) {
      const auto* p = static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch;
      out.insert(out.end(), p, p + row);
    }
    t->UnlockRect(level);
    return out;
  }

  static constexpr const char* kPath = "d3dx_files/levels.dds";
  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
};

TEST_F(DdsLevels, TexturesOfTheFilesFormatKeepItsBlocksAndLevels) {
  const std::vector<Bytes> levels = Levels();
  Ref<IDirect3DTexture9> t;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_.Get(), kPath, D3DX_DEFAULT, D3DX_DEFAULT,
                                         D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                         D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, t.Put()),
            D3D_OK);
  EXPECT_EQ(info.Format, D3DFMT_DXT1);
  EXPECT_EQ(info.MipLevels, 3u);
  ASSERT_EQ(t->GetLevelCount(), 4u);  // the whole chain: the file's three, then 1 by 1
  for (UINT level = 0; level < 3; ++level) {
    EXPECT_EQ(LevelBytes(t.Get(), level), levels[level]) << "level " << level;
  }
  // The last level is filtered down from the file's last one (a block of one colour).
  D3DSURFACE_DESC desc{};
  t->GetLevelDesc(3, &desc);
  EXPECT_EQ(desc.Width, 1u);

  // One level loaded into a texture of its own size, as an exact image: the same blocks.
  Ref<IDirect3DTexture9> single;
  ASSERT_EQ(
      D3DXCreateTexture(device_.Get(), 8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, single.Put()),
      D3D_OK);
  const RECT whole{0, 0, 8, 8};
  ASSERT_EQ(D3DXLoadSurfaceFromFileA(single->Level(0, 0), nullptr, &whole, kPath, nullptr,
                                     D3DX_FILTER_POINT, 0, nullptr),
            D3D_OK);
  EXPECT_EQ(LevelBytes(single.Get(), 0), levels[0]);

  // Another format, or a colour key, goes through the pixels: decoded, converted, the file's
  // own level 1 still used for level 1.
  Ref<IDirect3DTexture9> argb;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_.Get(), kPath, D3DX_DEFAULT, D3DX_DEFAULT, 3, 0,
                                         D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                         D3DX_DEFAULT, 0, nullptr, nullptr, argb.Put()),
            D3D_OK);
  // Level 1 of the file: end colours 0x0001 (nearly black) and 0xF81F (magenta) in the
  // three-colour order; its first row's indices (0x9C, lowest bits first) are 0, 3, 1, 2:
  // the first colour, transparent black, the second colour.
  const std::uint32_t* row = argb->Level(0, 1)->Decoded();
  EXPECT_EQ(row[0], 0xFF000008u);
  EXPECT_EQ(row[1], 0x00000000u);
  EXPECT_EQ(row[2], 0xFFFF00FFu);
}

}  // namespace
