// The one device set-up for tests and benchmarks that draw but do not need a window of their
// own: windowed, one back buffer of the given size and format, copied on present (so that a
// part of it can be presented), with a D24S8 depth-stencil buffer when depth is asked for;
// flags are the present flags (D3DPRESENTFLAG_LOCKABLE_BACKBUFFER to read the back buffer).
#pragma once

#include "platform/d3d9/d3d9.h"

namespace tessark::testing {

inline HRESULT CreateWindowedDevice(IDirect3D9* d3d, UINT width, UINT height,
                                    IDirect3DDevice9** device, DWORD flags = 0,
                                    D3DFORMAT format = D3DFMT_X8R8G8B8, bool depth = false) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = format;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = depth;
  pp.AutoDepthStencilFormat = depth ? D3DFMT_D24S8 : D3DFMT_UNKNOWN;
  pp.Flags = flags;
  return d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                           device);
}

}  // namespace tessark::testing
