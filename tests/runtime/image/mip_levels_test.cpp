// Mip-mapped loads of keyed files: the file is decoded once and every level made from that
// picture, which must give exactly the levels that stretching the file itself over each level
// (with the colour key, point filtering for the top level) gives.
#include <cstdint>
#include <vector>

#include "platform/d3dx9/d3dx9.h"
#include "tests/runtime/image/image_fixture.h"

namespace image_test {
namespace {

using MipLevels = ImageModules;

// Every level's decoded texels.
std::vector<std::vector<std::uint32_t>> Levels(IDirect3DTexture9* texture) {
  std::vector<std::vector<std::uint32_t>> out;
  for (DWORD l = 0; l < texture->GetLevelCount(); ++l) {
    IDirect3DSurface9* level = texture->Level(0, l);
    const std::uint32_t* texels = level->Decoded();
    out.emplace_back(texels, texels + level->Width() * level->Height());
  }
  return out;
}

// Keyed pictures of odd and even sizes, a black (key) pattern among colours, loaded whole
// (ImageLoad) and at a third of their size (ImageLoadFree's divisor).
TEST_F(MipLevels, KeyedLevelsMatchEachLevelStretchedFromTheFile) {
  const struct {
    const char* file;
    int w, h, divisor;
  } cases[] = {{"pictures/levels_a.bmp", 37, 21, 0},
               {"pictures/levels_b.bmp", 64, 32, 0},
               {"pictures/levels_c.bmp", 50, 45, 3}};
  tessark::ImageServices& q = tessark::Modules().image_services;
  for (const auto& c : cases) {
    WritePicture(c.file, c.w, c.h, [](int x, int y) {
      return (x * y) % 5 == 0
                 ? 0xFF000000u
                 : 0xFF000000u | static_cast<std::uint32_t>(x * 0x0B0705 + y * 0x030911);
    });
    std::int32_t id = 40;
    if (c.divisor == 0) {
      ImageLoad(c.file, id, 0);
    } else {
      id = ImageLoadFree(c.file, c.divisor);
    }
    ASSERT_EQ(error_word_, 0) << c.file;
    auto* loaded = static_cast<IDirect3DTexture9*>(q.ImageTexture(id));
    ASSERT_NE(loaded, nullptr) << c.file;
    D3DSURFACE_DESC desc{};
    loaded->GetLevelDesc(0, &desc);

    Ref<IDirect3DTexture9> want;
    ASSERT_EQ(D3DXCreateTexture(device_.Get(), desc.Width, desc.Height, 0, 0, desc.Format,
                                D3DPOOL_MANAGED, want.Put()),
              D3D_OK);
    ASSERT_EQ(want->GetLevelCount(), loaded->GetLevelCount()) << c.file;
    for (DWORD l = 0; l < want->GetLevelCount(); ++l) {
      ASSERT_EQ(
          D3DXLoadSurfaceFromFileA(want->Level(0, l), nullptr, nullptr, c.file, nullptr,
                                   l == 0 ? D3DX_FILTER_POINT : D3DX_DEFAULT, 0xFF000000u, nullptr),
          D3D_OK);
    }
    EXPECT_EQ(Levels(loaded), Levels(want.Get())) << c.file;
    EXPECT_EQ(ImageWidth(id), c.w) << c.file;  // the file's size, not the texture's
  }
}

}  // namespace
}  // namespace image_test
