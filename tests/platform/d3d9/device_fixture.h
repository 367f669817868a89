// A headless software device for the rasteriser and device tests: a windowed 64 by 64
// X8R8G8B8 lockable back buffer with a D24S8 depth buffer, and helpers to draw quads and read
// pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/raster.h"
#include "tests/support/windowed_device.h"

struct TlVertex {  // XYZRHW | DIFFUSE | TEX1 (0x144), the 28-byte screen-space vertex
  float x, y, z, rhw;
  DWORD colour;
  float u, v;
};

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { Create(64, 64, D3DFMT_X8R8G8B8); }
  void TearDown() override {
    device_.Reset();
    d3d_.Reset();
    d3d9::testing::RestoreAll();
  }

  void Create(UINT w, UINT h, D3DFORMAT format) {
    device_.Reset();
    d3d_ = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    ASSERT_EQ(
        tessark::testing::CreateWindowedDevice(d3d_.Get(), w, h, device_.Put(),
                                               D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, format, true),
        D3D_OK);
    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetFVF(0x144);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
  }

  // Reads one pixel of the back buffer as stored.
  std::uint32_t Pixel(int x, int y) {
    Ref<IDirect3DSurface9> back;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
    D3DLOCKED_RECT lr;
    EXPECT_EQ(back->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::uint32_t v = 0;
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    auto* row = static_cast<BYTE*>(lr.pBits) + y * lr.Pitch;
    if (desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_X1R5G5B5) {
      v = reinterpret_cast<std::uint16_t*>(row)[x];
    } else {
      v = reinterpret_cast<std::uint32_t*>(row)[x];
    }
    back->UnlockRect();
    return v;
  }

  // Pixels of the back buffer that differ from the background colour.
  int CountNot(std::uint32_t background) {
    int n = 0;
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) n += Pixel(x, y) != background;
    }
    return n;
  }

  void Clear(std::uint32_t colour) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
  }

  // A texture filled with the given texels (row after row) in A8R8G8B8.
  Ref<IDirect3DTexture9> Texture(UINT w, UINT h, const std::vector<std::uint32_t>& texels,
                                 D3DFORMAT format = D3DFMT_A8R8G8B8) {
    Ref<IDirect3DTexture9> t;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, t.Put(), nullptr),
              D3D_OK);
    if (format == D3DFMT_A8R8G8B8) {
      D3DLOCKED_RECT lr;
      EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
      for (UINT y = 0; y < h; ++y) {
        for (UINT x = 0; x < w; ++x) {
          reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
              texels[y * w + x];
        }
      }
      t->UnlockRect(0);
    }
    return t;
  }

  // A screen-space quad over pixels [left, right) x [top, bottom), shifted by half a pixel.
  void Quad(float left, float top, float right, float bottom, DWORD colour = 0xFFFFFFFF,
            float u1 = 1.0f, float v1 = 1.0f) {
    TlVertex v[4] = {{left - 0.5f, top - 0.5f, 0.5f, 1.0f, colour, 0, 0},
                     {right - 0.5f, top - 0.5f, 0.5f, 1.0f, colour, u1, 0},
                     {left - 0.5f, bottom - 0.5f, 0.5f, 1.0f, colour, 0, v1},
                     {right - 0.5f, bottom - 0.5f, 0.5f, 1.0f, colour, u1, v1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
  }

  // A square of the given side centred on (cx, cy) (before the half-pixel shift), turned by
  // angle radians, mapping the whole texture.
  void TurnedQuad(float cx, float cy, float side, float angle, DWORD colour) {
    const float c = std::cos(angle), s = std::sin(angle);
    const float corner[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    TlVertex v[4];
    for (int k = 0; k < 4; ++k) {
      const float dx = (corner[k][0] - 0.5f) * side, dy = (corner[k][1] - 0.5f) * side;
      v[k] = TlVertex{cx + dx * c - dy * s - 0.5f,
                      cy + dx * s + dy * c - 0.5f,
                      0.5f,
                      1,
                      colour,
                      corner[k][0],
                      corner[k][1]};
    }
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
  }

  // The back buffer's 64x64 pixels as stored, row after row.
  std::vector<std::uint32_t> Pixels() {
    std::vector<std::uint32_t> out(64 * 64);
    for (int p = 0; p < 64 * 64; ++p) out[p] = Pixel(p % 64, p / 64);
    return out;
  }

  // The diffuse colour tints the texture's colour and alpha, which blend over the target by
  // source alpha; an alpha test that always passes can then be switched on to send the same
  // drawing through the general per-pixel pipeline instead of the span loops.
  void UseTintedBlending() {
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
  }

  // draw(general) draws a scene through the span loops (false) or the general per-pixel
  // pipeline (true) and answers the target's pixels: the span loops, eight pixels at a time
  // where the processor allows, four at a time and one at a time, give exactly what the
  // pipeline gives.
  template <typename Draw>
  void ExpectFastMatchesGeneral(Draw draw) {
    const std::vector<std::uint32_t> general = draw(true);
    for (int width : {8, 4, 1}) {
      d3d9::testing::UseWideSpans(width == 8);
      d3d9_internal::SimdSpansAllowed() = width > 1;
      const std::vector<std::uint32_t> fast = draw(false);
      int differing = 0;
      for (std::size_t p = 0; p < fast.size(); ++p) differing += fast[p] != general[p];
      EXPECT_EQ(differing, 0) << width << " pixels at a time";
    }
    d3d9::testing::UseWideSpans(true);
    d3d9_internal::SimdSpansAllowed() = true;
  }

  // Draws a quad (colour 0x01010101) as a strip, filled as one polygon by the 2D path when
  // blending is off, and as a list of its two triangles, walked one by one and added up: the
  // same pixels, each drawn once. i names the case in failures.
  void ExpectStripCoversItsTriangles(const TlVertex* v, int i) {
    TlVertex list[6] = {v[0], v[1], v[2], v[2], v[1], v[3]};
    device_->SetTexture(0, nullptr);  // reads as white: the diffuse colour is drawn
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    Clear(0);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
    std::vector<std::uint32_t> strip(64 * 64);
    for (int p = 0; p < 64 * 64; ++p) strip[p] = Pixel(p % 64, p / 64) & 0xFF;
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Clear(0);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, list, sizeof(TlVertex)), D3D_OK);
    for (int p = 0; p < 64 * 64; ++p) {
      const std::uint32_t listed = Pixel(p % 64, p / 64) & 0xFF;
      ASSERT_LE(listed, 1u) << i << ": pixel drawn twice at " << p % 64 << "," << p / 64;
      ASSERT_EQ(strip[p], listed) << i << ": " << p % 64 << "," << p / 64;
    }
  }

  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
};
