// Stretched surface copies of the software device: the scaling half of StretchRect, nearest
// texel (D3DTEXF_NONE, D3DTEXF_POINT) or bilinear (D3DTEXF_LINEAR), read from the source's
// decoded 0xAARRGGBB texels and written in the destination's own format.
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace d3d9_internal {

// Fills rectangle dr of dest from rectangle sr of the source (decoded texels, source_width per
// row). Both rectangles lie inside their surfaces; linear selects bilinear filtering.
void StretchCopy(const std::uint32_t* decoded, UINT source_width, const RECT& sr,
                 IDirect3DSurface9* dest, const RECT& dr, bool linear);

}  // namespace d3d9_internal
