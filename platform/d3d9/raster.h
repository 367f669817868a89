// The software device's drawing: vertex fetch and fixed-function transform, clipping, and the
// rasteriser with its pixel pipeline (texture stages, alpha test, depth, blending).
// Rasterisation follows the platform: pixel centres at integer coordinates, the top-left fill
// rule, attributes interpolated perspective-correctly by rhw.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/pixel.h"

namespace d3d9_internal {

// Exact round(x / 255) for x in 0 .. 255 * 255 * 2; every colour product goes through it so
// that all paths agree to the bit.
inline std::uint32_t Div255(std::uint32_t x) {
  return (x + 128 + ((x + 128) >> 8)) >> 8;
}

// The size in bytes of one vertex of this format; 0 when the format has no position.
UINT FvfSize(DWORD fvf);

// Draws count primitives of type from vertex data (stride bytes apart) with the device's state
// into the colour target and, when depth testing, the depth surface. generation names the
// state as it is (see IDirect3DDevice9::StateChanged): while it holds, the last draw's set-up is
// used again; otherwise the set-up is looked up in the cache by the values it is made from,
// bindings counting the changes of target, depth surface and palette. textures_changed: a
// stage's texture may have been set since the last draw (the generation left as it was). Answers
// D3D_OK or D3DERR_INVALIDCALL (nothing drawn) for a format it cannot draw.
HRESULT DrawPrimitives(const DeviceState& state, std::uint64_t generation, std::uint64_t bindings,
                       bool textures_changed, SetupCache& cache, IDirect3DSurface9* target,
                       IDirect3DSurface9* depth, const PALETTEENTRY* palette, D3DPRIMITIVETYPE type,
                       UINT count, const BYTE* data, UINT stride);

// Whether span loops may work eight pixels at a time where the processor can (on by default;
// tests switch it off to check the four-wide loops against the same results).
bool& WideSpansAllowed();
// Whether span loops may use SIMD at all (on by default; tests switch it off to check the
// scalar loops against the same results).
bool& SimdSpansAllowed();
// Whether upright texel-for-pixel quads may go straight to the block loops from the vertices
// (on by default; tests switch it off to check them against the polygon path).
bool& TexelRectsAllowed();

// Fills a rectangle of a colour render target (already clipped to it) with a colour.
void FillColour(IDirect3DSurface9* target, const RECT& rect, D3DCOLOR colour);
// Fills a rectangle of a depth-stencil surface.
void FillDepth(IDirect3DSurface9* depth, const RECT& rect, bool z, float z_value, bool stencil,
               DWORD stencil_value);

}  // namespace d3d9_internal
