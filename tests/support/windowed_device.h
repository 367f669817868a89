// A device for tests that draw but do not need a window of their own: windowed, software
// vertex processing, one X8R8G8B8 back buffer of the given size; flags are the present flags
// (D3DPRESENTFLAG_LOCKABLE_BACKBUFFER to read the back buffer).
#pragma once

#include "platform/d3d9/d3d9.h"

namespace tessark::testing {

inline HRESULT CreateWindowedDevice(IDirect3D9* d3d, UINT width, UINT height,
                                    IDirect3DDevice9** device, DWORD flags = 0) {
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.Flags = flags;
  return d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                           device);
}

}  // namespace tessark::testing
