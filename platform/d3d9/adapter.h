// The one adapter of the software device: its desktop mode, mode list and caps, shared by the
// Direct3D object and the device, and the test hooks that replace them.
#pragma once

#include <vector>

#include "platform/d3d9/d3d9.h"

namespace d3d9_internal {

struct AdapterInfo {
  D3DDISPLAYMODE desktop;
  std::vector<D3DDISPLAYMODE> modes;  // enumeration order
};

// The survey (made once from the real desktop, or the test hook's list).
const AdapterInfo& Adapter();
// The device caps (test hooks applied).
D3DCAPS9 Caps();
// A test hook's forced CreateDevice result for these flags, or D3D_OK.
HRESULT ForcedCreateFailure(DWORD behaviour_flags);

}  // namespace d3d9_internal
