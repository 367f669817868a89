// The rasteriser and pixel pipeline of the software device: triangle, line and point coverage
// (integer pixel centres, top-left rule, 8 bits of sub-pixel precision), perspective-correct
// attributes, texture sampling (wrap/mirror/clamp/border, point and linear, mip levels), the
// texture-stage operations, alpha test, depth test and write, blending and the colour write
// mask. A triangle whose state matches what a 2D frame is made of (one texture stage, point
// sampling or an exact texel mapping, a constant vertex colour, no depth, opaque or
// source-alpha blending into a 32-bit target) is drawn by a specialised span loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace d3d9_internal {

// A texel index under an address mode; -1 means the border colour.
inline int Address(int i, int n, DWORD mode) {
  if (i >= 0 && i < n) return i;
  switch (mode) {
    case D3DTADDRESS_CLAMP:
      return i < 0 ? 0 : n - 1;
    case D3DTADDRESS_BORDER:
      return -1;
    case D3DTADDRESS_MIRROR: {
      int m = i % (2 * n);
      if (m < 0) m += 2 * n;
      return m < n ? m : 2 * n - 1 - m;
    }
    case D3DTADDRESS_MIRRORONCE: {
      int m = i < 0 ? -i - 1 : i;
      return m < n ? m : n - 1;
    }
    default: {
      int m = i % n;
      return m < 0 ? m + n : m;
    }
  }
}

// A vertex in screen space: position, reciprocal w, colour (r, g, b, a in 0..255) and two sets
// of texture coordinates.
struct Vertex {
  float x, y, z, rhw;
  float colour[4];
  float tex[2][2];
};

// The attributes a primitive carries to each pixel, by slot: q (rhw, or 1 for an affine
// triangle), z, the diffuse colour (r, g, b, a), then u and v of each texture coordinate set.
// Across a triangle the slots after z hold the value times q, so that they interpolate
// perspective-correctly; the pixel pipeline sees them divided back.
enum AttrSlot : int {
  kAttrQ = 0,
  kAttrZ = 1,
  kAttrColour = 2,  // four slots
  kAttrTex = 6,     // two slots a coordinate set
  kAttrCount = 10,
};
constexpr int TexUSlot(int set) {
  return kAttrTex + 2 * set;
}
constexpr int TexVSlot(int set) {
  return kAttrTex + 2 * set + 1;
}

struct ColourArgs {
  int r, g, b, a;
};

struct SamplerSetup {
  IDirect3DBaseTexture9* texture = nullptr;
  DWORD address_u = D3DTADDRESS_WRAP, address_v = D3DTADDRESS_WRAP;
  DWORD mag = D3DTEXF_POINT, min = D3DTEXF_POINT, mip = D3DTEXF_NONE, max_level = 0;
  DWORD border = 0;
  int coord_set = 0;
  // Per triangle: the level sampled and the filter chosen for it.
  const std::uint32_t* texels = nullptr;
  int width = 1, height = 1;
  bool linear = false;
};

// A quad's corners in strip order (0 and 3 opposite) as its vertices give them: position,
// reciprocal w, diffuse colour and the texture coordinates the first stage reads.
struct QuadCorners {
  float x[4], y[4], rhw[4], u[4], v[4];
  DWORD colour[4];
};

struct StageSetup {
  DWORD colour_op, colour_arg1, colour_arg2, alpha_op, alpha_arg1, alpha_arg2;
  bool uses_texture;
};

class Pipeline {
 public:
  // Takes what it needs from the state; false when nothing drawn could be visible.
  bool Setup(const DeviceState& state, IDirect3DSurface9* target, IDirect3DSurface9* depth,
             const PALETTEENTRY* palette);
  // Gives the palette to the textures' levels again (a set-up found again by its key may meet a
  // texture made since at a freed one's address).
  void ApplyPalette(const PALETTEENTRY* palette);
  // Takes the stages' textures from the state again, the rest of the set-up unchanged (the same
  // as a new Setup when only textures were set since).
  void TakeTextures(const DeviceState& state, const PALETTEENTRY* palette);
  // Clip-space position to screen space through the viewport.
  void Project(const float* clip, Vertex& v) const;
  void Triangle(const Vertex& a, const Vertex& b, const Vertex& c, bool cull);
  // A two-triangle strip drawn as one quad when it can be; false: draw the triangles.
  // block_only: only when the quad's pixels are copied or blended texel for pixel, or take one
  // colour, which its triangles give to the bit too.
  bool QuadStrip(const Vertex* const strip[4], bool block_only = false);
  void Line(const Vertex& a, const Vertex& b);
  void Point(const Vertex& a);
  // Before each draw: what TexelRect needs of the first stage's texture as it is now; answers
  // whether TexelRect may take quads in this draw.
  bool PrepareRects();
  // An upright rectangle of one colour whose texture is read texel for pixel with texel centres
  // on pixel centres (or not read at all) is copied or blended straight from the texture, the
  // same pixels as its two triangles give; false when the quad is not such a rectangle (nothing
  // is drawn then).
  bool TexelRect(const QuadCorners& q);
  // The coordinate set the first stage reads.
  int FirstCoordSet() const { return samplers_[0].coord_set; }

 private:
  // The state's pieces, taken one at a time by Setup; false: nothing drawn could be visible.
  bool SetupTarget(const DeviceState& state, IDirect3DSurface9* target, IDirect3DSurface9* depth);
  void SetupStages(const DeviceState& state, const PALETTEENTRY* palette);
  bool SetupOutput(const DeviceState& state);
  bool PlainState() const;
  void ChooseLevels(const Vertex* const v[3]);
  bool Convex(const Vertex* const* v, int n, const float* flat_colour);
  void GuardBandTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
  void ShadePixel(int x, int y, const float* attributes);
  std::uint32_t Sample(SamplerSetup& s, float u, float v) const;
  bool FastSpanPossible(const Vertex* const v[3]) const;
  // The one colour a line or point from a to b draws, straight into a 32-bit target under the
  // simple state (depth tested or not) with no texture read; false when its pixels need
  // ShadePixel.
  bool PlainColour(const Vertex& a, const Vertex& b, std::uint32_t& colour) const;
  // Writes (or blends) a colour from PlainColour at a pixel inside the clip rectangle, at depth
  // z when depth is tested.
  void PlainPixel(int x, int y, std::uint32_t colour, float z);
  // A line of one colour from pixel centre to pixel centre inside the clip rectangle, under the
  // simple state with no texture; false (nothing drawn) for any other line.
  bool LineOnCentres(const Vertex& a, const Vertex& b);

  // Target.
  IDirect3DSurface9* target_ = nullptr;
  BYTE* bits_ = nullptr;
  UINT pitch_ = 0;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  bool target32_ = false, dest_has_alpha_ = false;
  RECT clip_ = {};  // viewport, scissor and target bounds; right and bottom exclusive
  // Depth.
  float* depth_ = nullptr;
  IDirect3DSurface9* depth_surface_ = nullptr;
  UINT depth_width_ = 0;
  bool z_test_ = false, z_write_ = false;
  DWORD z_func_ = D3DCMP_LESSEQUAL;
  // Stages and samplers.
  StageSetup stages_[kD3dStageCount] = {};
  int stage_count_ = 0;
  SamplerSetup samplers_[kD3dStageCount];
  ColourArgs tfactor_ = {};
  bool flat_ = false;
  // Alpha test, blending, write mask.
  bool alpha_test_ = false;
  DWORD alpha_func_ = D3DCMP_ALWAYS;
  int alpha_ref_ = 0;
  bool blend_ = false, separate_alpha_ = false;
  DWORD src_blend_ = D3DBLEND_ONE, dst_blend_ = D3DBLEND_ZERO, blend_op_ = D3DBLENDOP_ADD;
  DWORD src_blend_alpha_ = D3DBLEND_ONE, dst_blend_alpha_ = D3DBLEND_ZERO,
        blend_op_alpha_ = D3DBLENDOP_ADD;
  ColourArgs blend_factor_ = {};
  DWORD write_mask_ = 0xF;
  bool last_pixel_ = true;
  DWORD cull_ = D3DCULL_CCW;
  D3DVIEWPORT9 viewport_ = {};
  // The simple 2D case: one modulate or select stage, no depth, no alpha test; plain: the
  // same with depth allowed.
  bool simple_state_ = false, plain_state_ = false;
  bool block_only_ = false;  // see QuadStrip
  // LineOnCentres may draw: plain, opaque, depth (if tested) as wide as the target's rows and
  // compared by <=, < or always. Its colour is the diffuse colour's bytes or'ed with line_fill_:
  // 255 in the channels the stage does not take from diffuse.
  bool line_on_centres_ = false;
  std::uint32_t line_fill_ = 0;
  float line_lo_[4] = {}, line_hi_[4] = {};  // the clip rectangle's pixels: x, y, x, y
  // TexelRect's view of the first stage, set by PrepareRects.
  bool rect_textured_ = false, rect_colour_diffuse_ = false, rect_alpha_diffuse_ = false;
  const std::uint32_t* rect_texels_ = nullptr;
  int rect_width_ = 1, rect_height_ = 1;
};

// What a draw's set-up is made from: the bindings (target, depth surface, palette, and a count
// the device moves on whenever one of them is replaced), the viewport and scissor, the render
// states Setup reads and, for each enabled stage, its states, its sampler's states and its
// texture. Two draws whose keys are equal byte for byte get the same set-up.
struct SetupKey {
  struct Stage {
    IDirect3DBaseTexture9* texture;
    DWORD stage[7];
    DWORD sampler[7];
  };
  static constexpr int kRenderStates = 21;
  IDirect3DSurface9* target;
  IDirect3DSurface9* depth;
  const PALETTEENTRY* palette;
  std::uint64_t bindings;
  D3DVIEWPORT9 viewport;
  RECT scissor;
  DWORD render[kRenderStates];
  DWORD stage_count;
  Stage stages[kD3dStageCount];

  // Gathers the key of the state (stages up to the first disabled one).
  void Make(const DeviceState& state, IDirect3DSurface9* target, IDirect3DSurface9* depth,
            const PALETTEENTRY* palette, std::uint64_t bindings);
  // The bytes that count: the header and the enabled stages.
  std::size_t Size() const;
  // Whether the first size bytes of both keys are the same (size a multiple of eight).
  bool Equals(const SetupKey& other, std::size_t size) const;
};

// The set-ups of the last few distinct states drawn with. A draw whose state generation is the
// last draw's uses that set-up at once; otherwise its state's key is looked up among the kept
// ones, so that a state switched away and back (a sprite paste turning blending on and off
// around each quad) finds its set-up again.
struct SetupCache {
  static constexpr int kEntries = 4;
  struct Entry {
    Pipeline pipe;
    SetupKey key;
    bool valid = false, visible = false;
  };
  Entry entries[kEntries];
  int last = 0;  // the entry the last draw used
  int next = 0;  // the entry replaced next when no key matches
  bool has_generation = false;
  std::uint64_t generation = 0;  // the state generation of the last draw
  SetupKey scratch;
};

}  // namespace d3d9_internal
