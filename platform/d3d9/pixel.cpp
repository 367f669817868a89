// The rasteriser and pixel pipeline; see pixel.h. Written by hand: the device's results must
// follow the platform's rasterisation rules to the pixel, which no library here offers.
#include "platform/d3d9/pixel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/d3d9/formats.h"
#include "platform/d3d9/raster.h"
#include "platform/d3d9/spans.h"

namespace d3d9_internal {

namespace {

bool Compare(DWORD func, float a, float b) {
  switch (func) {
    case D3DCMP_NEVER:
      return false;
    case D3DCMP_LESS:
      return a < b;
    case D3DCMP_EQUAL:
      return a == b;
    case D3DCMP_LESSEQUAL:
      return a <= b;
    case D3DCMP_GREATER:
      return a > b;
    case D3DCMP_NOTEQUAL:
      return a != b;
    case D3DCMP_GREATEREQUAL:
      return a >= b;
    default:
      return true;
  }
}

ColourArgs Unpack(std::uint32_t c) {
  return ColourArgs{static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                    static_cast<int>(c & 0xFF), static_cast<int>(c >> 24)};
}
std::uint32_t Pack(const ColourArgs& c) {
  return static_cast<std::uint32_t>(c.a) << 24 | static_cast<std::uint32_t>(c.r) << 16 |
         static_cast<std::uint32_t>(c.g) << 8 | static_cast<std::uint32_t>(c.b);
}
int Clamp255(int v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}
int ToByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 255.0f) return 255;
  return static_cast<int>(f + 0.5f);
}
int Mul(int a, int b) {
  return static_cast<int>(Div255(static_cast<std::uint32_t>(a * b)));
}

int OpChannel(DWORD op, int x, int y, int alpha_diffuse, int alpha_texture, int alpha_factor,
              int alpha_current) {
  switch (op) {
    case D3DTOP_SELECTARG1:
      return x;
    case D3DTOP_SELECTARG2:
      return y;
    case D3DTOP_MODULATE:
      return Mul(x, y);
    case D3DTOP_MODULATE2X:
      return std::min(255, 2 * Mul(x, y));
    case D3DTOP_MODULATE4X:
      return std::min(255, 4 * Mul(x, y));
    case D3DTOP_ADD:
      return std::min(255, x + y);
    case D3DTOP_ADDSIGNED:
      return Clamp255(x + y - 128);
    case D3DTOP_ADDSIGNED2X:
      return Clamp255(2 * (x + y - 128));
    case D3DTOP_SUBTRACT:
      return std::max(0, x - y);
    case D3DTOP_ADDSMOOTH:
      return Clamp255(x + y - Mul(x, y));
    case D3DTOP_BLENDDIFFUSEALPHA:
      return Mul(x, alpha_diffuse) + Mul(y, 255 - alpha_diffuse);
    case D3DTOP_BLENDTEXTUREALPHA:
      return Mul(x, alpha_texture) + Mul(y, 255 - alpha_texture);
    case D3DTOP_BLENDFACTORALPHA:
      return Mul(x, alpha_factor) + Mul(y, 255 - alpha_factor);
    case D3DTOP_BLENDTEXTUREALPHAPM:
      return std::min(255, x + Mul(y, 255 - alpha_texture));
    case D3DTOP_BLENDCURRENTALPHA:
      return Mul(x, alpha_current) + Mul(y, 255 - alpha_current);
    default:
      return Mul(x, y);
  }
}

// Blend factor for one channel (index 0..2 colour, 3 alpha).
int Factor(DWORD f, int channel, const ColourArgs& s, const ColourArgs& d, const ColourArgs& k,
           bool source_side) {
  const int sv[4] = {s.r, s.g, s.b, s.a};
  const int dv[4] = {d.r, d.g, d.b, d.a};
  const int kv[4] = {k.r, k.g, k.b, k.a};
  switch (f) {
    case D3DBLEND_ZERO:
      return 0;
    case D3DBLEND_ONE:
      return 255;
    case D3DBLEND_SRCCOLOR:
      return sv[channel];
    case D3DBLEND_INVSRCCOLOR:
      return 255 - sv[channel];
    case D3DBLEND_SRCALPHA:
      return s.a;
    case D3DBLEND_INVSRCALPHA:
      return 255 - s.a;
    case D3DBLEND_DESTALPHA:
      return d.a;
    case D3DBLEND_INVDESTALPHA:
      return 255 - d.a;
    case D3DBLEND_DESTCOLOR:
      return dv[channel];
    case D3DBLEND_INVDESTCOLOR:
      return 255 - dv[channel];
    case D3DBLEND_SRCALPHASAT:
      return channel == 3 ? 255 : std::min(s.a, 255 - d.a);
    case D3DBLEND_BOTHSRCALPHA:
      return source_side ? s.a : 255 - s.a;
    case D3DBLEND_BOTHINVSRCALPHA:
      return source_side ? 255 - s.a : s.a;
    case D3DBLEND_BLENDFACTOR:
      return kv[channel];
    case D3DBLEND_INVBLENDFACTOR:
      return 255 - kv[channel];
    default:
      return source_side ? 255 : 0;
  }
}

int BlendChannel(DWORD op, int s, int fs, int d, int fd) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return Clamp255(Mul(s, fs) - Mul(d, fd));
    case D3DBLENDOP_REVSUBTRACT:
      return Clamp255(Mul(d, fd) - Mul(s, fs));
    case D3DBLENDOP_MIN:
      return std::min(s, d);
    case D3DBLENDOP_MAX:
      return std::max(s, d);
    default:
      return std::min<int>(255,
                           static_cast<int>(Div255(static_cast<std::uint32_t>(s * fs + d * fd))));
  }
}

bool ArgIsTexture(DWORD arg) {
  return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
}

// Whether an op reads its first or second argument.
bool UsesArg1(DWORD op) {
  return op != D3DTOP_SELECTARG2;
}
bool UsesArg2(DWORD op) {
  return op != D3DTOP_SELECTARG1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Set-up
// ---------------------------------------------------------------------------------------------

bool Pipeline::Setup(const DeviceState& s, IDirect3DSurface9* target, IDirect3DSurface9* depth,
                     const PALETTEENTRY* palette) {
  if (!SetupTarget(s, target, depth)) return false;
  SetupStages(s, palette);
  tfactor_ = Unpack(s.render[D3DRS_TEXTUREFACTOR]);
  flat_ = s.render[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  if (!SetupOutput(s)) return false;
  plain_state_ = PlainState();
  simple_state_ = plain_state_ && !z_test_;
  line_lo_[0] = line_lo_[2] = static_cast<float>(clip_.left);
  line_lo_[1] = line_lo_[3] = static_cast<float>(clip_.top);
  line_hi_[0] = line_hi_[2] = static_cast<float>(clip_.right - 1);
  line_hi_[1] = line_hi_[3] = static_cast<float>(clip_.bottom - 1);
  line_on_centres_ =
      plain_state_ && !blend_ &&
      (!z_test_ ||
       (pitch_ == 4 * depth_width_ &&
        (z_func_ == D3DCMP_LESSEQUAL || z_func_ == D3DCMP_LESS || z_func_ == D3DCMP_ALWAYS)));
  if (plain_state_) {
    auto reads_diffuse = [](DWORD op, DWORD a1, DWORD a2) {
      return (op != D3DTOP_SELECTARG2 && a1 == D3DTA_DIFFUSE) ||
             (op != D3DTOP_SELECTARG1 && a2 == D3DTA_DIFFUSE);
    };
    const StageSetup& s0 = stages_[0];
    line_fill_ = (reads_diffuse(s0.colour_op, s0.colour_arg1, s0.colour_arg2) ? 0u : 0xFFFFFFu) |
                 (reads_diffuse(s0.alpha_op, s0.alpha_arg1, s0.alpha_arg2) ? 0u : 0xFF000000u);
  }
  return true;
}

// The colour target, the viewport and scissor clip, and the depth surface when depth is tested.
bool Pipeline::SetupTarget(const DeviceState& s, IDirect3DSurface9* target,
                           IDirect3DSurface9* depth) {
  target_ = target;
  format_ = target->Format();
  if (!IsRenderTargetFormat(format_)) return false;
  bits_ = target->Bits();
  pitch_ = target->Pitch();
  target32_ = format_ == D3DFMT_A8R8G8B8 || format_ == D3DFMT_X8R8G8B8;
  dest_has_alpha_ = format_ == D3DFMT_A8R8G8B8 || format_ == D3DFMT_A1R5G5B5;

  viewport_ = s.viewport;
  LONG tw = static_cast<LONG>(target->Width()), th = static_cast<LONG>(target->Height());
  clip_.left = std::max<LONG>(0, static_cast<LONG>(viewport_.X));
  clip_.top = std::max<LONG>(0, static_cast<LONG>(viewport_.Y));
  clip_.right = std::min<LONG>(tw, static_cast<LONG>(viewport_.X + viewport_.Width));
  clip_.bottom = std::min<LONG>(th, static_cast<LONG>(viewport_.Y + viewport_.Height));
  if (s.render[D3DRS_SCISSORTESTENABLE]) {
    clip_.left = std::max(clip_.left, s.scissor.left);
    clip_.top = std::max(clip_.top, s.scissor.top);
    clip_.right = std::min(clip_.right, s.scissor.right);
    clip_.bottom = std::min(clip_.bottom, s.scissor.bottom);
  }

  z_test_ = depth != nullptr && s.render[D3DRS_ZENABLE] != D3DZB_FALSE;
  z_write_ = z_test_ && s.render[D3DRS_ZWRITEENABLE] != 0;
  z_func_ = s.render[D3DRS_ZFUNC];
  if (z_test_) {
    depth_ = depth->Depth();
    depth_surface_ = depth;
    depth_width_ = depth->Width();
    clip_.right = std::min(clip_.right, static_cast<LONG>(depth->Width()));
    clip_.bottom = std::min(clip_.bottom, static_cast<LONG>(depth->Height()));
  }
  return clip_.left < clip_.right && clip_.top < clip_.bottom;
}

// The enabled texture stages, up to the first disabled one, and the sampler of each that reads
// its texture.
void Pipeline::SetupStages(const DeviceState& s, const PALETTEENTRY* palette) {
  stage_count_ = 0;
  for (DWORD i = 0; i < kD3dStageCount; ++i) {
    const DWORD* st = s.stage[i];
    if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    StageSetup& stage = stages_[i];
    // At the first stage the current colour is the diffuse colour: named so, the 2D span
    // loops see the stage they handle (the default second argument is current).
    auto arg = [i](DWORD a) {
      return i == 0 && (a & D3DTA_SELECTMASK) == D3DTA_CURRENT
                 ? (a & ~static_cast<DWORD>(D3DTA_SELECTMASK)) | D3DTA_DIFFUSE
                 : a;
    };
    stage.colour_op = st[D3DTSS_COLOROP];
    stage.colour_arg1 = arg(st[D3DTSS_COLORARG1]);
    stage.colour_arg2 = arg(st[D3DTSS_COLORARG2]);
    stage.alpha_op = st[D3DTSS_ALPHAOP];
    stage.alpha_arg1 = arg(st[D3DTSS_ALPHAARG1]);
    stage.alpha_arg2 = arg(st[D3DTSS_ALPHAARG2]);
    bool alpha_on = stage.alpha_op != D3DTOP_DISABLE;
    stage.uses_texture = (UsesArg1(stage.colour_op) && ArgIsTexture(stage.colour_arg1)) ||
                         (UsesArg2(stage.colour_op) && ArgIsTexture(stage.colour_arg2)) ||
                         (alpha_on && UsesArg1(stage.alpha_op) && ArgIsTexture(stage.alpha_arg1)) ||
                         (alpha_on && UsesArg2(stage.alpha_op) && ArgIsTexture(stage.alpha_arg2)) ||
                         stage.colour_op == D3DTOP_BLENDTEXTUREALPHA ||
                         stage.colour_op == D3DTOP_BLENDTEXTUREALPHAPM;
    SamplerSetup& sm = samplers_[i];
    sm = SamplerSetup{};
    sm.texture = stage.uses_texture ? s.texture[i].Get() : nullptr;
    sm.address_u = s.sampler[i][D3DSAMP_ADDRESSU];
    sm.address_v = s.sampler[i][D3DSAMP_ADDRESSV];
    sm.mag = s.sampler[i][D3DSAMP_MAGFILTER];
    sm.min = s.sampler[i][D3DSAMP_MINFILTER];
    sm.mip = s.sampler[i][D3DSAMP_MIPFILTER];
    sm.max_level = s.sampler[i][D3DSAMP_MAXMIPLEVEL];
    sm.border = s.sampler[i][D3DSAMP_BORDERCOLOR];
    sm.coord_set = std::min<int>(1, static_cast<int>(st[D3DTSS_TEXCOORDINDEX] & 0xFFFF));
    ++stage_count_;
  }
  ApplyPalette(palette);
}

void Pipeline::TakeTextures(const DeviceState& s, const PALETTEENTRY* palette) {
  for (int i = 0; i < stage_count_; ++i) {
    samplers_[i].texture = stages_[i].uses_texture ? s.texture[i].Get() : nullptr;
  }
  ApplyPalette(palette);
}

void Pipeline::ApplyPalette(const PALETTEENTRY* palette) {
  for (int i = 0; i < stage_count_; ++i) {
    IDirect3DBaseTexture9* t = samplers_[i].texture;
    if (!t) continue;
    // Only paletted levels read the palette; the others need not be told.
    const D3DFORMAT f = t->Level(0, 0)->Format();
    if (f != D3DFMT_P8 && f != D3DFMT_A8P8) continue;
    for (UINT f = 0; f < (t->GetType() == D3DRTYPE_CUBETEXTURE ? 6u : 1u); ++f) {
      for (DWORD l = 0; l < t->GetLevelCount(); ++l) t->Level(f, l)->SetPalette(palette);
    }
  }
}

namespace {

// Every render state Setup and the pieces it calls read; a state left out here would let a
// draw reuse a set-up made under another value of it.
constexpr D3DRENDERSTATETYPE kSetupRenderStates[SetupKey::kRenderStates] = {
    D3DRS_SCISSORTESTENABLE, D3DRS_ZENABLE,
    D3DRS_ZWRITEENABLE,      D3DRS_ZFUNC,
    D3DRS_TEXTUREFACTOR,     D3DRS_SHADEMODE,
    D3DRS_ALPHATESTENABLE,   D3DRS_ALPHAFUNC,
    D3DRS_ALPHAREF,          D3DRS_ALPHABLENDENABLE,
    D3DRS_SRCBLEND,          D3DRS_DESTBLEND,
    D3DRS_BLENDOP,           D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_SRCBLENDALPHA,     D3DRS_DESTBLENDALPHA,
    D3DRS_BLENDOPALPHA,      D3DRS_BLENDFACTOR,
    D3DRS_COLORWRITEENABLE,  D3DRS_LASTPIXEL,
    D3DRS_CULLMODE,
};

}  // namespace

// No padding: keys are compared byte for byte.
static_assert(sizeof(SetupKey::Stage) == 8 + 14 * 4 && sizeof(SetupKey::Stage) % 8 == 0);
static_assert(offsetof(SetupKey, stages) ==
              4 * 8 + sizeof(D3DVIEWPORT9) + sizeof(RECT) + (SetupKey::kRenderStates + 1) * 4);
static_assert(offsetof(SetupKey, stages) % 8 == 0);

void SetupKey::Make(const DeviceState& s, IDirect3DSurface9* target_surface,
                    IDirect3DSurface9* depth_surface, const PALETTEENTRY* palette_entries,
                    std::uint64_t binding_count) {
  target = target_surface;
  depth = depth_surface;
  palette = palette_entries;
  bindings = binding_count;
  viewport = s.viewport;
  scissor = s.scissor;
  for (int i = 0; i < kRenderStates; ++i) render[i] = s.render[kSetupRenderStates[i]];
  DWORD n = 0;
  for (; n < kD3dStageCount; ++n) {
    const DWORD* st = s.stage[n];
    if (st[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    const DWORD* sm = s.sampler[n];
    Stage& k = stages[n];
    k.texture = s.texture[n].Get();
    k.stage[0] = st[D3DTSS_COLOROP];
    k.stage[1] = st[D3DTSS_COLORARG1];
    k.stage[2] = st[D3DTSS_COLORARG2];
    k.stage[3] = st[D3DTSS_ALPHAOP];
    k.stage[4] = st[D3DTSS_ALPHAARG1];
    k.stage[5] = st[D3DTSS_ALPHAARG2];
    k.stage[6] = st[D3DTSS_TEXCOORDINDEX];
    k.sampler[0] = sm[D3DSAMP_ADDRESSU];
    k.sampler[1] = sm[D3DSAMP_ADDRESSV];
    k.sampler[2] = sm[D3DSAMP_MAGFILTER];
    k.sampler[3] = sm[D3DSAMP_MINFILTER];
    k.sampler[4] = sm[D3DSAMP_MIPFILTER];
    k.sampler[5] = sm[D3DSAMP_MAXMIPLEVEL];
    k.sampler[6] = sm[D3DSAMP_BORDERCOLOR];
  }
  stage_count = n;
}

std::size_t SetupKey::Size() const {
  return offsetof(SetupKey, stages) + stage_count * sizeof(Stage);
}

bool SetupKey::Equals(const SetupKey& other, std::size_t size) const {
  // Word by word, all of them: no call, no early branch to mispredict.
  const auto* a = reinterpret_cast<const unsigned char*>(this);
  const auto* b = reinterpret_cast<const unsigned char*>(&other);
  std::uint64_t differ = 0;
  for (std::size_t i = 0; i < size; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    differ |= x ^ y;
  }
  return differ == 0;
}

// Alpha test, blending, the write mask, culling; false when no channel is written.
bool Pipeline::SetupOutput(const DeviceState& s) {
  alpha_test_ = s.render[D3DRS_ALPHATESTENABLE] != 0;
  alpha_func_ = s.render[D3DRS_ALPHAFUNC];
  alpha_ref_ = static_cast<int>(s.render[D3DRS_ALPHAREF] & 0xFF);
  blend_ = s.render[D3DRS_ALPHABLENDENABLE] != 0;
  src_blend_ = s.render[D3DRS_SRCBLEND];
  dst_blend_ = s.render[D3DRS_DESTBLEND];
  blend_op_ = s.render[D3DRS_BLENDOP];
  separate_alpha_ = s.render[D3DRS_SEPARATEALPHABLENDENABLE] != 0;
  src_blend_alpha_ = separate_alpha_ ? s.render[D3DRS_SRCBLENDALPHA] : src_blend_;
  dst_blend_alpha_ = separate_alpha_ ? s.render[D3DRS_DESTBLENDALPHA] : dst_blend_;
  blend_op_alpha_ = separate_alpha_ ? s.render[D3DRS_BLENDOPALPHA] : blend_op_;
  blend_factor_ = Unpack(s.render[D3DRS_BLENDFACTOR]);
  write_mask_ = s.render[D3DRS_COLORWRITEENABLE] & 0xF;
  last_pixel_ = s.render[D3DRS_LASTPIXEL] != 0;
  cull_ = s.render[D3DRS_CULLMODE];
  return write_mask_ != 0;
}

bool Pipeline::PlainState() const {
  // The 2D case the span loop handles: one stage that modulates or selects texture and
  // diffuse, no alpha test, all channels written, opaque or source-alpha blending (and no
  // depth, checked by the caller).
  auto simple_op = [](DWORD op, DWORD a1, DWORD a2) {
    DWORD s1 = a1 & ~0u, s2 = a2 & ~0u;
    bool plain1 = s1 == D3DTA_TEXTURE || s1 == D3DTA_DIFFUSE;
    bool plain2 = s2 == D3DTA_TEXTURE || s2 == D3DTA_DIFFUSE;
    if (op == D3DTOP_SELECTARG1) return plain1;
    if (op == D3DTOP_SELECTARG2) return plain2;
    if (op == D3DTOP_MODULATE) return plain1 && plain2 && s1 != s2;
    return false;
  };
  const StageSetup& s0 = stages_[0];
  bool blend_simple =
      !blend_ || (src_blend_ == D3DBLEND_SRCALPHA && dst_blend_ == D3DBLEND_INVSRCALPHA &&
                  blend_op_ == D3DBLENDOP_ADD && !separate_alpha_);
  return target32_ && !alpha_test_ && write_mask_ == 0xF && blend_simple && stage_count_ == 1 &&
         simple_op(s0.colour_op, s0.colour_arg1, s0.colour_arg2) &&
         simple_op(s0.alpha_op, s0.alpha_arg1, s0.alpha_arg2);
}

void Pipeline::Project(const float* c, Vertex& v) const {
  float w = c[3];
  float rhw = w != 0.0f ? 1.0f / w : 0.0f;
  v.x = static_cast<float>(viewport_.X) +
        (1.0f + c[0] * rhw) * static_cast<float>(viewport_.Width) * 0.5f;
  v.y = static_cast<float>(viewport_.Y) +
        (1.0f - c[1] * rhw) * static_cast<float>(viewport_.Height) * 0.5f;
  v.z = viewport_.MinZ + c[2] * rhw * (viewport_.MaxZ - viewport_.MinZ);
  v.rhw = rhw;
}

// ---------------------------------------------------------------------------------------------
// Sampling
// ---------------------------------------------------------------------------------------------

void Pipeline::ChooseLevels(const Vertex* const v[3]) {
  for (int i = 0; i < stage_count_; ++i) {
    SamplerSetup& s = samplers_[i];
    s.texels = nullptr;
    if (!s.texture) continue;
    IDirect3DSurface9* top = s.texture->Level(0, 0);
    DWORD levels = s.texture->GetLevelCount();
    DWORD base = std::min<DWORD>(levels - 1, std::max(s.max_level, s.texture->GetLOD()));
    double rho = 1.0;  // texels per pixel at level 0
    if (v) {
      int set = s.coord_set;
      double du1 = v[1]->tex[set][0] - v[0]->tex[set][0],
             dv1 = v[1]->tex[set][1] - v[0]->tex[set][1];
      double du2 = v[2]->tex[set][0] - v[0]->tex[set][0],
             dv2 = v[2]->tex[set][1] - v[0]->tex[set][1];
      double tex_area = std::fabs(du1 * dv2 - du2 * dv1) * top->Width() * top->Height();
      double screen_area = std::fabs((double(v[1]->x) - v[0]->x) * (double(v[2]->y) - v[0]->y) -
                                     (double(v[2]->x) - v[0]->x) * (double(v[1]->y) - v[0]->y));
      if (screen_area > 0) rho = std::sqrt(tex_area / screen_area);
    }
    DWORD level = base;
    if (s.mip != D3DTEXF_NONE && levels > 1 && rho > 1.0) {
      double lod = std::log2(rho);
      level = std::min<DWORD>(levels - 1, base + static_cast<DWORD>(lod + 0.5));
    }
    bool minify = rho > 1.0 + 1e-6;
    DWORD filter = minify ? s.min : s.mag;
    s.linear = filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC;
    IDirect3DSurface9* surface = s.texture->Level(0, level);
    s.texels = surface->Decoded();
    s.width = static_cast<int>(surface->Width());
    s.height = static_cast<int>(surface->Height());
  }
}

std::uint32_t Pipeline::Sample(SamplerSetup& s, float u, float v) const {
  if (!s.texels) return 0xFFFFFFFFu;  // no texture: the stage reads opaque white
  auto texel = [&](int x, int y) -> std::uint32_t {
    x = Address(x, s.width, s.address_u);
    y = Address(y, s.height, s.address_v);
    if (x < 0 || y < 0) return s.border;
    return s.texels[y * s.width + x];
  };
  float fu = u * static_cast<float>(s.width);
  float fv = v * static_cast<float>(s.height);
  if (!std::isfinite(fu) || !std::isfinite(fv)) return s.border;
  fu = std::clamp(fu, -1e8f, 1e8f);
  fv = std::clamp(fv, -1e8f, 1e8f);
  if (!s.linear) {
    return texel(static_cast<int>(std::floor(fu)), static_cast<int>(std::floor(fv)));
  }
  fu -= 0.5f;
  fv -= 0.5f;
  float x0f = std::floor(fu), y0f = std::floor(fv);
  int x0 = static_cast<int>(x0f), y0 = static_cast<int>(y0f);
  int wx = static_cast<int>((fu - x0f) * 256.0f + 0.5f);
  int wy = static_cast<int>((fv - y0f) * 256.0f + 0.5f);
  std::uint32_t t00 = texel(x0, y0), t10 = texel(x0 + 1, y0), t01 = texel(x0, y0 + 1),
                t11 = texel(x0 + 1, y0 + 1);
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    int c00 = (t00 >> shift) & 0xFF, c10 = (t10 >> shift) & 0xFF;
    int c01 = (t01 >> shift) & 0xFF, c11 = (t11 >> shift) & 0xFF;
    int top = c00 * (256 - wx) + c10 * wx;
    int bottom = c01 * (256 - wx) + c11 * wx;
    int c = (top * (256 - wy) + bottom * wy + 32768) >> 16;
    out |= static_cast<std::uint32_t>(c) << shift;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Per pixel
// ---------------------------------------------------------------------------------------------

void Pipeline::ShadePixel(int x, int y, const float* a) {
  float* zp = nullptr;
  float z = 0.0f;
  if (z_test_) {
    zp = depth_ + static_cast<std::size_t>(y) * depth_width_ + x;
    z = std::clamp(a[kAttrZ], 0.0f, 1.0f);
    if (!Compare(z_func_, z, *zp)) return;
  }
  const float* colour = a + kAttrColour;
  ColourArgs diffuse{ToByte(colour[0]), ToByte(colour[1]), ToByte(colour[2]), ToByte(colour[3])};
  ColourArgs current = diffuse;
  for (int i = 0; i < stage_count_; ++i) {
    const StageSetup& st = stages_[i];
    ColourArgs tex{255, 255, 255, 255};
    if (st.uses_texture) {
      int set = samplers_[i].coord_set;
      tex = Unpack(Sample(samplers_[i], a[TexUSlot(set)], a[TexVSlot(set)]));
    }
    auto arg = [&](DWORD which) {
      ColourArgs v;
      switch (which & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE:
          v = diffuse;
          break;
        case D3DTA_TEXTURE:
          v = tex;
          break;
        case D3DTA_TFACTOR:
          v = tfactor_;
          break;
        case D3DTA_SPECULAR:
          v = ColourArgs{0, 0, 0, 0};
          break;
        default:
          v = current;
          break;  // current, temp
      }
      if (which & D3DTA_COMPLEMENT) v = ColourArgs{255 - v.r, 255 - v.g, 255 - v.b, 255 - v.a};
      if (which & D3DTA_ALPHAREPLICATE) v = ColourArgs{v.a, v.a, v.a, v.a};
      return v;
    };
    ColourArgs c1 = arg(st.colour_arg1), c2 = arg(st.colour_arg2);
    ColourArgs next;
    next.r = OpChannel(st.colour_op, c1.r, c2.r, diffuse.a, tex.a, tfactor_.a, current.a);
    next.g = OpChannel(st.colour_op, c1.g, c2.g, diffuse.a, tex.a, tfactor_.a, current.a);
    next.b = OpChannel(st.colour_op, c1.b, c2.b, diffuse.a, tex.a, tfactor_.a, current.a);
    if (st.alpha_op == D3DTOP_DISABLE) {
      next.a = current.a;
    } else {
      int x1 = arg(st.alpha_arg1).a, x2 = arg(st.alpha_arg2).a;
      next.a = OpChannel(st.alpha_op, x1, x2, diffuse.a, tex.a, tfactor_.a, current.a);
    }
    current = next;
  }
  if (alpha_test_ &&
      !Compare(alpha_func_, static_cast<float>(current.a), static_cast<float>(alpha_ref_))) {
    return;
  }
  if (z_write_) {
    *zp = z;
    depth_surface_->LowerDepthFloor(z);
  }

  BYTE* row = bits_ + static_cast<std::size_t>(y) * pitch_;
  std::uint32_t dest_raw;
  if (target32_) {
    std::memcpy(&dest_raw, row + 4 * x, 4);
  } else {
    std::uint16_t p;
    std::memcpy(&p, row + 2 * x, 2);
    dest_raw = format_ == D3DFMT_R5G6B5 ? Unpack565(p) : Unpack1555(p, format_ == D3DFMT_A1R5G5B5);
  }
  ColourArgs d = Unpack(dest_raw);
  if (!dest_has_alpha_) d.a = 255;
  ColourArgs out = current;
  if (blend_) {
    const int sv[4] = {current.r, current.g, current.b, current.a};
    const int dv[4] = {d.r, d.g, d.b, d.a};
    int o[4];
    for (int ch = 0; ch < 4; ++ch) {
      DWORD sf = ch == 3 ? src_blend_alpha_ : src_blend_;
      DWORD df = ch == 3 ? dst_blend_alpha_ : dst_blend_;
      DWORD op = ch == 3 ? blend_op_alpha_ : blend_op_;
      o[ch] = BlendChannel(op, sv[ch], Factor(sf, ch, current, d, blend_factor_, true), dv[ch],
                           Factor(df, ch, current, d, blend_factor_, false));
    }
    out = ColourArgs{o[0], o[1], o[2], o[3]};
  }
  if (write_mask_ != 0xF) {
    ColourArgs keep = Unpack(dest_raw);
    if (!(write_mask_ & D3DCOLORWRITEENABLE_RED)) out.r = keep.r;
    if (!(write_mask_ & D3DCOLORWRITEENABLE_GREEN)) out.g = keep.g;
    if (!(write_mask_ & D3DCOLORWRITEENABLE_BLUE)) out.b = keep.b;
    if (!(write_mask_ & D3DCOLORWRITEENABLE_ALPHA)) out.a = keep.a;
  }
  std::uint32_t packed = Pack(out);
  if (target32_) {
    std::memcpy(row + 4 * x, &packed, 4);
  } else {
    std::uint16_t p = format_ == D3DFMT_R5G6B5 ? Pack565(packed) : Pack1555(packed);
    std::memcpy(row + 2 * x, &p, 2);
  }
}

void Pipeline::PlainPixel(int x, int y, std::uint32_t colour, float z) {
  if (z_test_) {
    float* zp = depth_ + static_cast<std::size_t>(y) * depth_width_ + x;
    z = std::clamp(z, 0.0f, 1.0f);
    if (!Compare(z_func_, z, *zp)) return;
    if (z_write_) {
      *zp = z;
      depth_surface_->LowerDepthFloor(z);
    }
  }
  auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + static_cast<std::size_t>(y) * pitch_) + x;
  if (!blend_) {
    *dst = colour;
    return;
  }
  SpanParams p{};
  p.ea = colour >> 24, p.er = (colour >> 16) & 0xFF, p.eg = (colour >> 8) & 0xFF;
  p.eb = colour & 0xFF;
  p.dest_alpha = dest_has_alpha_;
  SimpleSpan(dst, 1, p, true, false);
}

// ---------------------------------------------------------------------------------------------
// Lines and points
// ---------------------------------------------------------------------------------------------

namespace {

// floor() without a library call, for values far inside the range of long.
inline long FloorToLong(double x) {
  auto t = static_cast<long>(x);
  return t - (static_cast<double>(t) > x);
}

// The minor coordinate of a plain line's steps walked in integers: floor(N / Q) kept as a
// quotient and a remainder, N growing by the same amount each step. Taken only when the ends
// lie on a 1/256 grid well inside +-16384, where the line's floating-point formula is off by
// far less than 1/Q: the two then agree on every step except where N / Q is an integer exactly
// (the formula may land just below it), and there the caller takes the formula's answer.
struct MinorWalk {
  long long q = 0, r = 0, den = 1, q_step = 0, r_step = 0;

  static bool OnGrid(double v) {
    // Below 2^22 in magnitude v * 256 converts to an integer exactly when it is whole.
    return std::fabs(v) < 16384.0 &&
           v * 256.0 == static_cast<double>(static_cast<long long>(v * 256.0));
  }
  static void FloorDiv(long long n, long long d, long long& q, long long& r) {
    q = n / d;
    r = n % d;
    if (r < 0) r += d, --q;
  }
  // From step m of a line from start to end along the major axis, minor0 to minor1 across it,
  // m moving by step; false when the walk would not be exact.
  bool Start(double start, double end, double minor0, double minor1, long m, long step) {
    for (double v : {start, end, minor0, minor1}) {
      if (!OnGrid(v)) return false;
    }
    constexpr long long kS = 256;
    const auto s = static_cast<long long>(start * kS), e = static_cast<long long>(end * kS);
    const auto a = static_cast<long long>(minor0 * kS), b = static_cast<long long>(minor1 * kS);
    const long long d = e - s;
    if (d == 0) return false;
    // minor0 + (minor1 - minor0) * (m - start) / (end - start) + 1/2, over one denominator.
    long long n = a * d + (b - a) * (m * kS - s) + d * kS / 2, dn = (b - a) * kS * step;
    den = kS * d;
    if (den < 0) n = -n, dn = -dn, den = -den;
    FloorDiv(n, den, q, r);
    // Along the major axis the minor coordinate moves at most one a step (|dn| <= den): the
    // step's quotient is -1, 0 or 1, settled without a division.
    if (dn >= 0 && dn < den) {
      q_step = 0, r_step = dn;
    } else if (dn < 0 && dn >= -den) {
      q_step = -1, r_step = dn + den;
    } else if (dn == den) {
      q_step = 1, r_step = 0;
    } else {
      FloorDiv(dn, den, q_step, r_step);
    }
    return true;
  }
  void Next() {
    q += q_step;
    r += r_step;
    if (r >= den) r -= den, ++q;
  }
};

// The steps i_first to i_last of a plain line, from minor coordinate q with remainder r at
// byte offset at: put(offset) draws a pixel; by_formula(i) draws a step the walk cannot
// settle. Kept apart so that the loop's few values live in registers.
template <bool kClipped, typename Put, typename Formula>
void WalkSteps(long i_first, long i_last, long q, long long r, const MinorWalk& walk,
               std::ptrdiff_t at, std::ptrdiff_t at_step, std::ptrdiff_t minor_unit, long lo,
               long hi, Put put, Formula& by_formula) {
  const long long den = walk.den, r_step = walk.r_step;
  const auto q_step = static_cast<long>(walk.q_step);
  for (long i = i_first; i <= i_last; ++i) {
    if (r == 0) [[unlikely]] {
      by_formula(i);
    } else if (!kClipped || (q >= lo && q <= hi)) {
      put(at);
    }
    if (kClipped) q += q_step;
    r += r_step;
    at += at_step;
    if (r >= den) {
      r -= den;
      if (kClipped) ++q;
      at += minor_unit;
    }
  }
}

// Up to n steps of a plain line inside the clip rectangle from byte offset at with remainder r,
// straight into a 32-bit target and, where depth is tested or written, a depth buffer as wide
// as its rows at the same offset (kTest 1: drawn where z <= depth, 2: where z < depth, 0:
// everywhere; kWrite: z stored where drawn); stops before a step whose remainder is 0 (the
// formula's), which the caller may know never comes (stops false). Answers the steps taken, at
// and r moved past them. Every value lives in a register: the target's stores cannot touch
// them.
template <int kTest, bool kWrite>
[[gnu::noinline]] long PlainRun(BYTE* bits, float* depth, std::ptrdiff_t& at_io, long long& r_io,
                                long n, std::ptrdiff_t at_step, std::ptrdiff_t minor_unit,
                                long long r_step, long long den, std::uint32_t colour, float z,
                                bool stops) {
  std::ptrdiff_t at = at_io;
  long long r = r_io;
  auto put = [bits, depth, colour, z](std::ptrdiff_t p) {
    if constexpr (kTest != 0 || kWrite) {
      auto* zp = reinterpret_cast<float*>(reinterpret_cast<BYTE*>(depth) + p);
      if constexpr (kTest != 0) {
        if (!(kTest == 1 ? z <= *zp : z < *zp)) return;
      }
      if constexpr (kWrite) *zp = z;
    }
    std::memcpy(bits + p, &colour, 4);
  };
  if (r == 0 || n <= 0) return 0;
  long left = n;  // counted down: the loops keep no step number
  if (r_step == 0) {
    // The minor coordinate moves the same way at every step (level, upright and diagonal
    // lines): the remainder stays as it is.
    do {
      put(at);
      at += at_step;
    } while (--left != 0);
  } else if (!stops) {
    do {
      put(at);
      r += r_step;
      if (r >= den) r -= den, at += minor_unit;
      at += at_step;
    } while (--left != 0);
  } else {
    do {
      put(at);
      r += r_step;
      if (r >= den) r -= den, at += minor_unit;
      at += at_step;
    } while (--left != 0 && r != 0);
  }
  at_io = at;
  r_io = r;
  return n - left;
}

using PlainRunFn = long (*)(BYTE*, float*, std::ptrdiff_t&, long long&, long, std::ptrdiff_t,
                            std::ptrdiff_t, long long, long long, std::uint32_t, float, bool);

// PlainRun for a depth test (0: none, or one every pixel passes; 1: <=; 2: <) and whether z is
// written.
PlainRunFn ChooseRun(int test, bool write) {
  static constexpr PlainRunFn kRuns[3][2] = {{PlainRun<0, false>, PlainRun<0, true>},
                                             {PlainRun<1, false>, PlainRun<1, true>},
                                             {PlainRun<2, false>, PlainRun<2, true>}};
  return kRuns[test][write ? 1 : 0];
}

// How a line or point at depth z (clamped) meets the depth test: 0 when untested or when it
// passes at every pixel (z against the lowest value the depth surface may hold), 1 or 2 when
// each pixel is compared by <= or <, -1 for another comparison.
int DepthTestFor(bool z_test, DWORD func, float z, const IDirect3DSurface9* depth) {
  if (!z_test || func == D3DCMP_ALWAYS) return 0;
  if (func == D3DCMP_LESSEQUAL) return z <= depth->DepthFloor() ? 0 : 1;
  if (func == D3DCMP_LESS) return z < depth->DepthFloor() ? 0 : 2;
  return -1;
}

// Whether a line from a to b has its ends on whole pixels inside lo..hi (x, y, x, y; inclusive)
// and one colour, depth and rhw along it; if so its ends (ax, ay, bx, by) and its colour's bytes
// as ToByte gives them.
bool PlainEnds(const Vertex& a, const Vertex& b, const float* lo, const float* hi, int* ends,
               std::uint32_t& colour) {
#ifdef __SSE2__
  auto pair = [](const float* p) {  // two floats in the low lanes
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  };
  const __m128 v = _mm_movelh_ps(pair(&a.x), pair(&b.x));
  const __m128i whole = _mm_cvttps_epi32(v);  // out of range or NaN: not equal to v below
  const __m128 on_grid =
      _mm_and_ps(_mm_cmpeq_ps(_mm_cvtepi32_ps(whole), v),
                 _mm_and_ps(_mm_cmpge_ps(v, _mm_loadu_ps(lo)), _mm_cmple_ps(v, _mm_loadu_ps(hi))));
  // z, rhw and the colour: two overlapping loads of each vertex.
  const __m128 same = _mm_and_ps(_mm_cmpeq_ps(_mm_loadu_ps(&a.z), _mm_loadu_ps(&b.z)),
                                 _mm_cmpeq_ps(_mm_loadu_ps(a.colour), _mm_loadu_ps(b.colour)));
  static_assert(offsetof(Vertex, colour) == offsetof(Vertex, z) + 8);
  if (_mm_movemask_ps(_mm_and_ps(on_grid, same)) != 0xF) return false;
  ends[0] = _mm_cvtsi128_si32(whole);
  ends[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 1));
  ends[2] = _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 2));
  ends[3] = _mm_cvtsi128_si32(_mm_shuffle_epi32(whole, 3));
  // ToByte of each channel: max takes 0 for NaN.
  __m128 c = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(a.colour), _mm_setzero_ps()), _mm_set1_ps(255.0f));
  __m128i bytes = _mm_cvttps_epi32(_mm_add_ps(c, _mm_set1_ps(0.5f)));
  bytes = _mm_shuffle_epi32(bytes, _MM_SHUFFLE(3, 0, 1, 2));  // b, g, r, a
  bytes = _mm_packs_epi32(bytes, bytes);
  colour = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(bytes, bytes)));
  return true;
#else
  const float v[4] = {a.x, a.y, b.x, b.y};
  for (int k = 0; k < 4; ++k) {
    if (!(v[k] >= lo[k] && v[k] <= hi[k])) return false;
    ends[k] = static_cast<int>(v[k]);
    if (static_cast<float>(ends[k]) != v[k]) return false;
  }
  if (a.z != b.z || a.rhw != b.rhw) return false;
  for (int k = 0; k < 4; ++k) {
    if (a.colour[k] != b.colour[k]) return false;
  }
  colour = static_cast<std::uint32_t>(ToByte(a.colour[3])) << 24 |
           static_cast<std::uint32_t>(ToByte(a.colour[0])) << 16 |
           static_cast<std::uint32_t>(ToByte(a.colour[1])) << 8 |
           static_cast<std::uint32_t>(ToByte(a.colour[2]));
  return true;
#endif
}

// The minor coordinate the line's formula gives at major coordinate m: where along the line m
// lies, rounded to the nearest pixel.
long FormulaMinor(long m, double start, double span, double minor0, double minor1, double& t) {
  t = span != 0.0 ? std::clamp((m - start) / span, 0.0, 1.0) : 0.0;
  return FloorToLong(minor0 + (minor1 - minor0) * t + 0.5);
}

// The byte offset of the formula's pixel at major coordinate m of a line on whole pixels from
// (first, minor0) over d and m_delta. Rarely asked: kept out of the caller's registers.
[[gnu::noinline]] std::ptrdiff_t FormulaOffset(long m, long first, long d, long minor0,
                                               long m_delta, std::ptrdiff_t major_unit,
                                               std::ptrdiff_t minor_unit) {
  double t;
  const long minor =
      FormulaMinor(m, static_cast<double>(first), static_cast<double>(d),
                   static_cast<double>(minor0), static_cast<double>(minor0 + m_delta), t);
  return m * major_unit + minor * minor_unit;
}

void VertexAttributes(const Vertex& v, float* out) {
  out[kAttrQ] = v.rhw;
  out[kAttrZ] = v.z;
  for (int i = 0; i < 4; ++i) out[kAttrColour + i] = v.colour[i];
  for (int set = 0; set < 2; ++set) {
    out[TexUSlot(set)] = v.tex[set][0];
    out[TexVSlot(set)] = v.tex[set][1];
  }
}

}  // namespace

void Pipeline::Point(const Vertex& a) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || std::fabs(a.x) > 1e8f ||
      std::fabs(a.y) > 1e8f) {
    return;
  }
  int x = static_cast<int>(std::floor(a.x + 0.5f)), y = static_cast<int>(std::floor(a.y + 0.5f));
  if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
  ChooseLevels(nullptr);
  std::uint32_t plain;
  if (PlainColour(a, a, plain)) {
    PlainPixel(x, y, plain, a.z);
    return;
  }
  float attrs[kAttrCount];
  VertexAttributes(a, attrs);
  ShadePixel(x, y, attrs);
}

// The line as Line below draws it, with the ends on whole pixels and inside the clip rectangle:
// every step's pixel is inside, the end steps' pixels are the ends, and the minor coordinate
// is walked over a denominator of twice the length.
bool Pipeline::LineOnCentres(const Vertex& a, const Vertex& b) {
  if (!line_on_centres_ || samplers_[0].texture) return false;
  // Whole ends, and one colour, depth and rhw along the line (as PlainColour asks).
  int ends[4];
  std::uint32_t colour;
  if (!PlainEnds(a, b, line_lo_, line_hi_, ends, colour)) return false;
  colour |= line_fill_;
  samplers_[0].texels = nullptr;  // what ChooseLevels leaves a stage with no texture
  const long ax = ends[0], ay = ends[1], bx = ends[2], by = ends[3];
  const long dx = bx - ax, dy = by - ay;
  const bool x_major = std::labs(dx) >= std::labs(dy);
  const long first = x_major ? ax : ay, d = x_major ? dx : dy;
  const long minor0 = x_major ? ay : ax, m = x_major ? dy : dx;
  const long length = std::labs(d), count = length + (last_pixel_ ? 1 : 0);
  if (count == 0) return true;
  if (length == 0) {
    PlainPixel(static_cast<int>(ax), static_cast<int>(ay), colour, a.z);
    return true;
  }
  const long step = d >= 0 ? 1 : -1;
  const auto pitch = static_cast<std::ptrdiff_t>(pitch_);
  const std::ptrdiff_t major_unit = x_major ? 4 : pitch, minor_unit = x_major ? pitch : 4;
  // Step i's minor coordinate is minor0 + floor((2 m i + length) / (2 length)): MinorWalk's
  // fractions over a smaller denominator, so that their remainders are 0 at the same steps.
  const long long den = 2LL * length;
  long long r = length;
  const long q_step = m == length ? 1 : (m >= 0 ? 0 : -1);
  const long long r_step = m == length ? 0 : (m >= 0 ? 2LL * m : 2LL * m + den);
  std::ptrdiff_t at = first * major_unit + minor0 * minor_unit;
  const std::ptrdiff_t at_step = step * major_unit + q_step * minor_unit;
  const float z = std::clamp(a.z, 0.0f, 1.0f);
  const PlainRunFn run = ChooseRun(DepthTestFor(z_test_, z_func_, z, depth_surface_), z_write_);
  // Over an odd length every remainder is odd: never 0.
  const bool stops = length % 2 == 0;
  for (long i = 0;;) {
    i += run(bits_, depth_, at, r, count - i, at_step, minor_unit, r_step, den, colour, z, stops);
    if (i >= count) break;
    // A step whose fraction is whole: the formula's pixel, which its rounding may put one
    // below the walk's.
    std::ptrdiff_t at_formula =
        FormulaOffset(first + step * i, first, d, minor0, m, major_unit, minor_unit);
    long long r_formula = 1;
    run(bits_, depth_, at_formula, r_formula, 1, 0, 0, 0, 1, colour, z, false);
    r += r_step;
    at += at_step;
    if (r >= den) r -= den, at += minor_unit;
    ++i;
  }
  if (z_write_) depth_surface_->LowerDepthFloor(z);
  return true;
}

// A line steps along its major axis one pixel at a time from the pixel nearest its start; the
// pixel nearest its end is drawn only when the last-pixel state is on.
void Pipeline::Line(const Vertex& a, const Vertex& b) {
  if (LineOnCentres(a, b)) return;
  for (float f : {a.x, a.y, b.x, b.y}) {
    if (!std::isfinite(f) || std::fabs(f) > 1e8f) return;
  }
  ChooseLevels(nullptr);
  std::uint32_t plain;
  const bool is_plain = PlainColour(a, b, plain);
  bool x_major = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
  double start = x_major ? a.x : a.y, end = x_major ? b.x : b.y;
  double minor0 = x_major ? a.y : a.x, minor1 = x_major ? b.y : b.x;
  long first = FloorToLong(start + 0.5), last = FloorToLong(end + 0.5);
  long step = last >= first ? 1 : -1;
  long count = std::labs(last - first) + (last_pixel_ ? 1 : 0);
  long lo = x_major ? clip_.left : clip_.top, hi = (x_major ? clip_.right : clip_.bottom) - 1;
  double span = end - start;
  // Only the steps whose major coordinate lies inside the clip rectangle.
  long i_begin = step > 0 ? std::max(0L, lo - first) : std::max(0L, first - hi);
  long i_end = step > 0 ? std::min(count - 1, hi - first) : std::min(count - 1, first - lo);
  // The step's place along the line and its minor coordinate, by the line's formula.
  auto minor_at = [&](long m, double& t) {
    return FormulaMinor(m, start, span, minor0, minor1, t);
  };
  MinorWalk walk;
  if (is_plain && i_begin <= i_end &&
      walk.Start(start, end, minor0, minor1, first + step * i_begin, step)) {
    // Steps whose minor coordinate leaves the clip rectangle draw nothing. The pixel's byte
    // offset in the target moves by fixed strides; a depth buffer as wide as the target's
    // rows is indexed by the same offset over four.
    const long minor_lo = x_major ? clip_.top : clip_.left,
               minor_hi = (x_major ? clip_.bottom : clip_.right) - 1;
    const auto pitch = static_cast<std::ptrdiff_t>(pitch_);
    const std::ptrdiff_t major_unit = x_major ? 4 : pitch, minor_unit = x_major ? pitch : 4;
    // put(offset) draws a pixel; run, when not null, is a PlainRun for the steps inside the
    // clip rectangle.
    auto walk_with = [&](auto put, auto run) {
      auto offset = [&](long m, long n) { return m * major_unit + n * minor_unit; };
      // The step's pixel by the formula, where the walk cannot be trusted: the first and last
      // steps may lie beyond the ends, where the formula holds t at 0 or 1, and where N / Q is
      // whole the formula may round either way.
      auto by_formula = [&](long i) {
        double t;
        const long m = first + step * i, n = minor_at(m, t);
        if (n >= minor_lo && n <= minor_hi) put(offset(m, n));
      };
      auto q = static_cast<long>(walk.q);
      long long r = walk.r;
      const auto q_step = static_cast<long>(walk.q_step);
      const long i_first = std::max(i_begin, 1L), i_last = std::min(i_end, count - 2);
      if (i_begin < i_first) {
        by_formula(i_begin);
        walk.Next();
        q = static_cast<long>(walk.q), r = walk.r;
      }
      if (i_first <= i_last) {
        // The walk's minor coordinate moves one way: its values at the first and last steps
        // tell whether it can leave the clip rectangle.
        // Every step strictly between the ends has its minor coordinate between those of the
        // ends (rounded the same way): when both are inside, so is the walk, no division asked.
        const long end_lo = FloorToLong(std::min(minor0, minor1) + 0.5),
                   end_hi = FloorToLong(std::max(minor0, minor1) + 0.5);
        bool inside = end_lo >= minor_lo && end_hi <= minor_hi;
        if (!inside) {
          const long long k = i_last - i_first, r_last = r + walk.r_step * k;
          const long q_last = q + static_cast<long>(q_step * k + r_last / walk.den);
          inside = std::min(q, q_last) >= minor_lo && std::max(q, q_last) <= minor_hi;
        }
        const std::ptrdiff_t at = offset(first + step * i_first, q),
                             at_step = step * major_unit + q_step * minor_unit;
        bool ran = false;
        if constexpr (!std::is_same_v<decltype(run), std::nullptr_t>) {
          if (inside) {
            std::ptrdiff_t at_now = at;
            long long r_now = r;
            for (long i = i_first;;) {
              i += run(i_last - i + 1, at_now, r_now);
              if (i > i_last) break;
              by_formula(i);  // a step whose remainder is 0
              r_now += walk.r_step;
              at_now += at_step;
              if (r_now >= walk.den) r_now -= walk.den, at_now += minor_unit;
              ++i;
            }
            ran = true;
          }
        }
        if (ran) {
        } else if (inside) {
          WalkSteps<false>(i_first, i_last, q, r, walk, at, at_step, minor_unit, minor_lo, minor_hi,
                           put, by_formula);
        } else {
          WalkSteps<true>(i_first, i_last, q, r, walk, at, at_step, minor_unit, minor_lo, minor_hi,
                          put, by_formula);
        }
      }
      if (i_end > i_last && i_end >= i_first) by_formula(i_end);
    };
    BYTE* const bits = bits_;
    float* const depth = depth_;
    const std::uint32_t colour = plain;
    auto store = [bits, colour](std::ptrdiff_t at) { std::memcpy(bits + at, &colour, 4); };
    // Depth tested: the comparison chosen once for the line. The pixel writer holds its values
    // itself, so that the step loop keeps them in registers across its stores.
    const float z = std::clamp(a.z, 0.0f, 1.0f);
    const bool z_write = z_write_;
    // The steps inside the clip rectangle by a PlainRun.
    const int test = DepthTestFor(z_test_, z_func_, z, depth_surface_);
    const PlainRunFn run_fn = ChooseRun(std::max(test, 0), z_write);
    auto run = [&](long n, std::ptrdiff_t& at, long long& r) {
      const std::ptrdiff_t at_step =
          step * major_unit + static_cast<std::ptrdiff_t>(walk.q_step) * minor_unit;
      return run_fn(bits, depth, at, r, n, at_step, minor_unit, walk.r_step, walk.den, colour, z,
                    true);
    };
    auto tested = [&](auto passes, auto fast) {
      walk_with(
          [z, z_write, depth, store, passes](std::ptrdiff_t at) {
            float* zp = depth + (at >> 2);
            if (!passes(z, *zp)) return;
            if (z_write) *zp = z;
            store(at);
          },
          fast);
    };
    if (blend_ || (z_test_ && (pitch != 4 * static_cast<std::ptrdiff_t>(depth_width_)))) {
      walk_with(
          [&](std::ptrdiff_t at) {
            const std::ptrdiff_t y = at / pitch, x = (at - y * pitch) / 4;
            PlainPixel(static_cast<int>(x), static_cast<int>(y), plain, a.z);
          },
          nullptr);
    } else if (!z_test_) {
      walk_with(store, run);
    } else if (z_func_ == D3DCMP_LESSEQUAL) {
      tested([](float z, float d) { return z <= d; }, run);
    } else if (z_func_ == D3DCMP_LESS) {
      tested([](float z, float d) { return z < d; }, run);
    } else {
      const DWORD func = z_func_;
      tested([func](float z, float d) { return Compare(func, z, d); }, nullptr);
    }
    if (z_write) depth_surface_->LowerDepthFloor(z);
    return;
  }
  float va[kAttrCount], vb[kAttrCount];
  VertexAttributes(a, va);
  VertexAttributes(b, vb);
  for (long i = i_begin; i <= i_end; ++i) {
    long m = first + step * i;
    double t;
    long n = minor_at(m, t);
    int x = static_cast<int>(x_major ? m : n), y = static_cast<int>(x_major ? n : m);
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) continue;
    if (is_plain) {
      PlainPixel(x, y, plain, a.z);
      continue;
    }
    float attrs[kAttrCount];
    float q = static_cast<float>(va[kAttrQ] + (vb[kAttrQ] - va[kAttrQ]) * t);
    attrs[kAttrQ] = q;
    attrs[kAttrZ] = static_cast<float>(va[kAttrZ] + (vb[kAttrZ] - va[kAttrZ]) * t);
    for (int k = kAttrColour; k < kAttrCount; ++k) {
      double pa = va[k] * va[kAttrQ], pb = vb[k] * vb[kAttrQ];
      attrs[k] = q != 0.0f ? static_cast<float>((pa + (pb - pa) * t) / q) : va[k];
    }
    ShadePixel(x, y, attrs);
  }
}

}  // namespace d3d9_internal
