// The device's settable state (render, sampler and texture-stage states, textures, transforms,
// viewport, material, scissor, vertex format and streams) and state blocks. While a state block
// is being recorded the settings go into the block only, as the platform does.
#include <algorithm>
#include <cstring>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"

using namespace d3d9_internal;

namespace {

int TransformIndex(D3DTRANSFORMSTATETYPE t) {
  switch (t) {
    case D3DTS_WORLD:
      return kTransformWorld;
    case D3DTS_VIEW:
      return kTransformView;
    case D3DTS_PROJECTION:
      return kTransformProjection;
    default:
      return -1;
  }
}

// Render states that belong to vertex processing; the rest are pixel states.
bool IsVertexRenderState(DWORD s) {
  switch (s) {
    case D3DRS_CULLMODE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_AMBIENT:
    case D3DRS_COLORVERTEX:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_CLIPPING:
    case D3DRS_LIGHTING:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
    case D3DRS_VERTEXBLEND:
    case D3DRS_CLIPPLANEENABLE:
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_MULTISAMPLEANTIALIAS:
    case D3DRS_MULTISAMPLEMASK:
    case D3DRS_POINTSIZE_MAX:
    case D3DRS_INDEXEDVERTEXBLENDENABLE:
    case D3DRS_TWEENFACTOR:
      return true;
    default:
      return false;
  }
}

}  // namespace

DeviceState& IDirect3DDevice9::Recorded(IDirect3DStateBlock9** block) {
  *block = recording_.Get();
  if (recording_) return recording_->state;
  StateChanged();  // the caller is about to change the device's own state
  return state_;
}

HRESULT IDirect3DDevice9::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kD3dRenderStateCount) return D3DERR_INVALIDCALL;
  // A value repeated (most calls: callers set their whole state before each draw) returns at
  // once; the rest goes to a call of its own, so that this path needs no stack frame.
  if (!recording_ && state_.render[state] == value) [[likely]] {
    return D3D_OK;
  }
  return ChangeRenderState(state, value);
}

HRESULT IDirect3DDevice9::ChangeRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (!recording_) {
    ValueChanged(state, state_.render[state], value);
    state_.render[state] = value;
    return D3D_OK;
  }
  recording_->state.render[state] = value;
  recording_->mask.render[state] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (state >= kD3dRenderStateCount || !value) return D3DERR_INVALIDCALL;
  *value = state_.render[state];
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kD3dSamplerCount || type >= kD3dSamplerStateCount) return D3DERR_INVALIDCALL;
  if (!recording_) {
    if (state_.sampler[sampler][type] != value) {
      ValueChanged(0x10000 | sampler << 8 | type, state_.sampler[sampler][type], value);
      state_.sampler[sampler][type] = value;
    }
    return D3D_OK;
  }
  recording_->state.sampler[sampler][type] = value;
  recording_->mask.sampler[sampler][type] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (sampler >= kD3dSamplerCount || type >= kD3dSamplerStateCount || !value) {
    return D3DERR_INVALIDCALL;
  }
  *value = state_.sampler[sampler][type];
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                               DWORD value) {
  if (stage >= kD3dStageCount || type >= kD3dStageStateCount) return D3DERR_INVALIDCALL;
  if (!recording_) {
    if (state_.stage[stage][type] != value) {
      ValueChanged(0x20000 | stage << 8 | type, state_.stage[stage][type], value);
      state_.stage[stage][type] = value;
    }
    return D3D_OK;
  }
  recording_->state.stage[stage][type] = value;
  recording_->mask.stage[stage][type] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                               DWORD* value) {
  if (stage >= kD3dStageCount || type >= kD3dStageStateCount || !value) return D3DERR_INVALIDCALL;
  *value = state_.stage[stage][type];
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (stage >= kD3dSamplerCount) return D3DERR_INVALIDCALL;
  if (!recording_) {
    if (state_.texture[stage].Get() != texture) {
      state_.texture[stage] = Ref<IDirect3DBaseTexture9>(texture);
      textures_changed_ = true;  // the next draw's set-up takes the new textures
    }
    return D3D_OK;
  }
  recording_->state.texture[stage] = Ref<IDirect3DBaseTexture9>(texture);
  recording_->mask.texture[stage] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  if (stage >= kD3dSamplerCount || !texture) return D3DERR_INVALIDCALL;
  *texture = state_.texture[stage].Get();
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  int i = TransformIndex(state);
  if (i < 0) return D3D_OK;  // texture and further world matrices: kept by no draw path
  IDirect3DStateBlock9* b;
  Recorded(&b).transform[i] = *matrix;
  if (b) b->mask.transform[i] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  int i = TransformIndex(state);
  if (i < 0) {
    *matrix = D3DMATRIX{};
    matrix->_11 = matrix->_22 = matrix->_33 = matrix->_44 = 1.0f;
    return D3D_OK;
  }
  *matrix = state_.transform[i];
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetViewport(const D3DVIEWPORT9* viewport) {
  if (!viewport || !render_target_) return D3DERR_INVALIDCALL;
  std::uint64_t right = std::uint64_t{viewport->X} + viewport->Width;
  std::uint64_t bottom = std::uint64_t{viewport->Y} + viewport->Height;
  if (viewport->Width == 0 || viewport->Height == 0 || right > render_target_->Width() ||
      bottom > render_target_->Height() || !(viewport->MinZ >= 0.0f) || !(viewport->MaxZ <= 1.0f)) {
    return D3DERR_INVALIDCALL;
  }
  IDirect3DStateBlock9* b;
  Recorded(&b).viewport = *viewport;
  if (b) b->mask.viewport = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetViewport(D3DVIEWPORT9* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = state_.viewport;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetMaterial(const D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  IDirect3DStateBlock9* b;
  Recorded(&b).material = *material;
  if (b) b->mask.material = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetMaterial(D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = state_.material;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetScissorRect(const RECT* rect) {
  if (!rect) return D3DERR_INVALIDCALL;
  IDirect3DStateBlock9* b;
  Recorded(&b).scissor = *rect;
  if (b) b->mask.scissor = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetScissorRect(RECT* rect) {
  if (!rect) return D3DERR_INVALIDCALL;
  *rect = state_.scissor;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetFVF(DWORD fvf) {
  if (!recording_) {
    if (state_.fvf != fvf) {
      state_.fvf = fvf;
      StateChanged();
    }
    return D3D_OK;
  }
  recording_->state.fvf = fvf;
  recording_->mask.fvf = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetFVF(DWORD* fvf) {
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = state_.fvf;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetVertexShader(const void* shader) {
  return shader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT IDirect3DDevice9::SetPixelShader(const void* shader) {
  return shader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT IDirect3DDevice9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                          UINT stride) {
  if (stream >= static_cast<UINT>(kStreamCount) || stride > 255) return D3DERR_INVALIDCALL;
  // No draw's set-up reads the streams: setting one leaves the generation where it is.
  if (!recording_) {
    state_.stream[stream] = StreamSource{Ref<IDirect3DVertexBuffer9>(buffer), offset, stride};
    return D3D_OK;
  }
  recording_->state.stream[stream] =
      StreamSource{Ref<IDirect3DVertexBuffer9>(buffer), offset, stride};
  recording_->mask.stream[stream] = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer,
                                          UINT* offset, UINT* stride) {
  if (stream >= static_cast<UINT>(kStreamCount) || !buffer || !offset || !stride) {
    return D3DERR_INVALIDCALL;
  }
  const StreamSource& s = state_.stream[stream];
  *buffer = s.buffer.Get();
  if (*buffer) (*buffer)->AddRef();
  *offset = s.offset;
  *stride = s.stride;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetPaletteEntries(UINT palette, const PALETTEENTRY* entries) {
  if (!entries || palette > 0xFFFF) return D3DERR_INVALIDCALL;
  if (palettes_.size() <= palette) palettes_.resize(palette + 1);
  std::copy(entries, entries + 256, palettes_[palette].begin());
  BindingsChanged();
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetCurrentTexturePalette(UINT palette) {
  if (palette >= palettes_.size()) return D3DERR_INVALIDCALL;
  current_palette_ = palette;
  BindingsChanged();
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// State blocks
// ---------------------------------------------------------------------------------------------

HRESULT IDirect3DDevice9::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
  if (!block) return D3DERR_INVALIDCALL;
  *block = nullptr;
  if (type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE || recording_) return D3DERR_INVALIDCALL;
  auto* b = new IDirect3DStateBlock9(this);
  StateMask& m = b->mask;
  bool all = type == D3DSBT_ALL, pixel = type == D3DSBT_PIXELSTATE,
       vertex = type == D3DSBT_VERTEXSTATE;
  for (DWORD i = 1; i < kD3dRenderStateCount; ++i) {
    bool v = IsVertexRenderState(i);
    m.render[i] = all || (vertex && v) || (pixel && !v);
  }
  for (DWORD s = 0; s < kD3dSamplerCount; ++s) {
    for (DWORD t = 1; t < kD3dSamplerStateCount; ++t) m.sampler[s][t] = all || pixel;
    m.texture[s] = all;
  }
  for (DWORD s = 0; s < kD3dStageCount; ++s) {
    for (DWORD t = 1; t < kD3dStageStateCount; ++t) {
      bool v = t == D3DTSS_TEXCOORDINDEX || t == D3DTSS_TEXTURETRANSFORMFLAGS;
      m.stage[s][t] = all || (vertex && v) || (pixel && !v);
    }
  }
  m.fvf = all || vertex;
  for (bool& s : m.stream) s = all;
  for (bool& t : m.transform) t = all;
  m.viewport = m.material = m.scissor = all;
  b->Capture();
  *block = b;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::BeginStateBlock() {
  if (recording_) return D3DERR_INVALIDCALL;
  recording_ = Ref<IDirect3DStateBlock9>::Adopt(new IDirect3DStateBlock9(this));
  recording_->state = state_;  // unrecorded parts are never applied; start from the device's
  return D3D_OK;
}

HRESULT IDirect3DDevice9::EndStateBlock(IDirect3DStateBlock9** block) {
  if (!block || !recording_) return D3DERR_INVALIDCALL;
  *block = recording_.Detach();
  return D3D_OK;
}

IDirect3DStateBlock9::IDirect3DStateBlock9(IDirect3DDevice9* device) : device_(device) {
  device_->blocks_.push_back(this);
}

IDirect3DStateBlock9::~IDirect3DStateBlock9() {
  if (device_) std::erase(device_->blocks_, this);
}

HRESULT IDirect3DStateBlock9::Capture() {
  if (!device_) return D3DERR_INVALIDCALL;
  return Copy(device_->state_, state);
}

HRESULT IDirect3DStateBlock9::Apply() {
  if (!device_) return D3DERR_INVALIDCALL;
  device_->StateChanged();
  return Copy(state, device_->state_);
}

void IDirect3DStateBlock9::ListEntries() {
  for (DWORD i = 0; i < kD3dRenderStateCount; ++i) {
    if (mask.render[i]) render_list_.push_back(static_cast<std::uint16_t>(i));
  }
  for (DWORD s = 0; s < kD3dSamplerCount; ++s) {
    for (DWORD t = 0; t < kD3dSamplerStateCount; ++t) {
      if (mask.sampler[s][t]) sampler_list_.push_back(static_cast<std::uint16_t>(s << 8 | t));
    }
  }
  for (DWORD s = 0; s < kD3dStageCount; ++s) {
    for (DWORD t = 0; t < kD3dStageStateCount; ++t) {
      if (mask.stage[s][t]) stage_list_.push_back(static_cast<std::uint16_t>(s << 8 | t));
    }
  }
  listed_ = true;
}

// Copies the parts the mask names from one state to the other.
HRESULT IDirect3DStateBlock9::Copy(const DeviceState& from, DeviceState& to) {
  if (!listed_ && device_->recording_.Get() != this) ListEntries();
  if (listed_) {
    for (std::uint16_t i : render_list_) to.render[i] = from.render[i];
    for (std::uint16_t e : sampler_list_)
      to.sampler[e >> 8][e & 0xFF] = from.sampler[e >> 8][e & 0xFF];
    for (std::uint16_t e : stage_list_) to.stage[e >> 8][e & 0xFF] = from.stage[e >> 8][e & 0xFF];
  } else {  // still being recorded: the mask may grow yet
    for (DWORD i = 0; i < kD3dRenderStateCount; ++i) {
      if (mask.render[i]) to.render[i] = from.render[i];
    }
    for (DWORD s = 0; s < kD3dSamplerCount; ++s) {
      for (DWORD t = 0; t < kD3dSamplerStateCount; ++t) {
        if (mask.sampler[s][t]) to.sampler[s][t] = from.sampler[s][t];
      }
    }
    for (DWORD s = 0; s < kD3dStageCount; ++s) {
      for (DWORD t = 0; t < kD3dStageStateCount; ++t) {
        if (mask.stage[s][t]) to.stage[s][t] = from.stage[s][t];
      }
    }
  }
  for (DWORD s = 0; s < kD3dSamplerCount; ++s) {
    if (mask.texture[s]) to.texture[s] = from.texture[s];
  }
  if (mask.fvf) to.fvf = from.fvf;
  for (int s = 0; s < kStreamCount; ++s) {
    if (mask.stream[s]) to.stream[s] = from.stream[s];
  }
  for (int t = 0; t < kTransformCount; ++t) {
    if (mask.transform[t]) to.transform[t] = from.transform[t];
  }
  if (mask.viewport) to.viewport = from.viewport;
  if (mask.material) to.material = from.material;
  if (mask.scissor) to.scissor = from.scissor;
  return D3D_OK;
}
