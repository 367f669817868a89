// Sprites in the running runtime: the modules are started by RuntimeOpen (so ImageLink and the
// sprite pass come from the module table) and FrameSync runs the sprite pass in its place.
#include <SDL_image.h>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/tessark.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

using tessark::testing::RuntimeFixture;
using SpriteFrames = RuntimeFixture;

std::uint32_t BackBufferPixel(int x, int y) {
  IDirect3DSurface9* back = tessark::CoreDataGet()->back_buffer_surface;
  return back->Decoded()[static_cast<std::size_t>(y) * back->Width() + x] & 0xFFFFFFu;
}

void WriteWhite(const char* path) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(s, nullptr, 0xFFFFFFFFu);
  IMG_SavePNG(s, path);
  SDL_FreeSurface(s);
}

TEST_F(SpriteFrames, KeptSpritesAreDrawnByFrameSync) {
  ASSERT_EQ(open_result_, 0);
  WriteWhite("frame_white.png");
  ImageLoad("frame_white.png", 2, 1);
  ASSERT_EQ(error_word_, 0);

  // A paste shows at once, in the frame being drawn.
  ImagePaste(2, 10, 10, 1);
  EXPECT_EQ(BackBufferPixel(12, 12), 0xFFFFFFu);

  // Sprites last: the next frame begins with the backdrop colour (the first sprite switched the
  // background to clearing), then the pass draws the kept sprite.
  FrameSpritesLast();
  SpriteSet(1, 100, 100, 2);
  tessark::testing::RunFrames(1);
  EXPECT_EQ(BackBufferPixel(105, 105), 0xFFFFFFu);
  EXPECT_EQ(BackBufferPixel(12, 12), 0x000080u);

  // A sprite deleted right after its paste leaves nothing for the pass.
  SpriteDelete(1);
  SpriteSet(1, 200, 100, 2);
  SpritePaste(1, 200, 100);
  EXPECT_EQ(BackBufferPixel(205, 105), 0xFFFFFFu);
  SpriteDelete(1);
  tessark::Modules().display.DisplayDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f,
                                                    0);
  tessark::testing::RunFrames(1);
  EXPECT_EQ(BackBufferPixel(205, 105), 0u);
  EXPECT_EQ(error_word_, 0);
}

}  // namespace
