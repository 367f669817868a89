// Render targets of any size and stretched copies between surfaces, nearest and bilinear.
#include <cstdint>
#include <cstring>

#include "tests/platform/d3d9/device_fixture.h"

namespace {

// A lockable X8R8G8B8 render target of w x h holding pixels (row after row).
Ref<IDirect3DSurface9> Target(IDirect3DDevice9* device, UINT w, UINT h,
                              const std::vector<std::uint32_t>& pixels) {
  Ref<IDirect3DSurface9> rt;
  EXPECT_EQ(device->CreateRenderTarget(w, h, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                       rt.Put(), nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr{};
  if (!rt || FAILED(rt->LockRect(&lr, nullptr, 0))) return rt;
  for (UINT y = 0; y < h && !pixels.empty(); ++y) {
    std::memcpy(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch, pixels.data() + y * w, w * 4);
  }
  rt->UnlockRect();
  return rt;
}

TEST_F(DeviceTest, RenderTargetsOfAnySizeTakeDrawingOfTheirOwnSize) {
  Ref<IDirect3DSurface9> odd = Target(device_.Get(), 3, 97, {});
  ASSERT_TRUE(odd);
  ASSERT_EQ(device_->SetRenderTarget(0, odd.Get()), D3D_OK);
  D3DVIEWPORT9 vp{};
  device_->GetViewport(&vp);
  EXPECT_EQ(vp.Width, 3u);
  EXPECT_EQ(vp.Height, 97u);
  ASSERT_EQ(device_->SetDepthStencilSurface(nullptr), D3D_OK);
  Clear(0xFF00FF00);  // the clear stays inside the 3 x 97 target
  D3DLOCKED_RECT lr{};
  ASSERT_EQ(odd->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  std::uint32_t corner;
  std::memcpy(&corner, static_cast<BYTE*>(lr.pBits) + 96 * lr.Pitch + 2 * 4, 4);
  odd->UnlockRect();
  EXPECT_EQ(corner, 0xFF00FF00u);
  Ref<IDirect3DSurface9> none;
  EXPECT_EQ(device_->CreateRenderTarget(0, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                        none.Put(), nullptr),
            D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, StretchedCopiesNearestAndBilinear) {
  Ref<IDirect3DSurface9> two = Target(device_.Get(), 2, 1, {0xFF000000u, 0xFFFF00FFu});
  Ref<IDirect3DSurface9> back;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  // 2 texels onto 8 pixels. Nearest: the first four take texel 0, the rest texel 1.
  RECT wide{0, 0, 8, 1};
  ASSERT_EQ(device_->StretchRect(two.Get(), nullptr, back.Get(), &wide, D3DTEXF_NONE), D3D_OK);
  EXPECT_EQ(Pixel(3, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(4, 0), 0xFFFF00FFu);
  // Bilinear: pixel x samples texel position (x + 0.5) / 4 - 0.5, clamped to the rectangle.
  // x = 3 is 0.375 of the way (weight 96 of 256): 255 * 96 / 256 = 96; x = 4 is 0.625: 159.
  RECT below{0, 1, 8, 2};
  ASSERT_EQ(device_->StretchRect(two.Get(), nullptr, back.Get(), &below, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(Pixel(0, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(3, 1), 0xFF600060u);
  EXPECT_EQ(Pixel(4, 1), 0xFF9F009Fu);
  EXPECT_EQ(Pixel(7, 1), 0xFFFF00FFu);
  // Shrinking by half averages neighbours; an unscaled copy is exact whatever the filter.
  Ref<IDirect3DSurface9> four =
      Target(device_.Get(), 4, 1, {0xFF000000u, 0xFF0000FEu, 0xFF00FE00u, 0xFF00FE00u});
  RECT half{0, 2, 2, 3};
  ASSERT_EQ(device_->StretchRect(four.Get(), nullptr, back.Get(), &half, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(Pixel(0, 2), 0xFF00007Fu);
  EXPECT_EQ(Pixel(1, 2), 0xFF00FE00u);
  RECT same{0, 3, 4, 4};
  ASSERT_EQ(device_->StretchRect(four.Get(), nullptr, back.Get(), &same, D3DTEXF_LINEAR), D3D_OK);
  EXPECT_EQ(Pixel(1, 3), 0xFF0000FEu);
  EXPECT_EQ(device_->StretchRect(four.Get(), nullptr, back.Get(), &same,
                                 static_cast<D3DTEXTUREFILTERTYPE>(D3DTEXF_LINEAR + 1)),
            D3DERR_INVALIDCALL);
}

}  // namespace
