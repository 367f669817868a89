// The quad renderer: every image paste, sprite paste, sprite pass and texture paste ends in
// QuadDraw, which draws records as two-triangle strips straight from their vertices with a
// fixed render-state block. A paste draws its one record where it lies (the module's paste
// record, or a copy of the sprite on the stack) rather than through the draw list, which would
// only be filled to be emptied again; it allocates nothing.
#include <cmath>

#include "runtime/sprite/sprite_state.h"

namespace tessark::sprite {

namespace {

// Sine and cosine of an angle in degrees: whole degrees 0..359 from the tables.
void AngleCosSin(float angle, float* c, float* s) {
  const SpriteState& state = State();
  if (angle >= 0.0f && angle < 360.0f && angle == std::floor(angle)) {
    const int i = static_cast<int>(angle);
    *c = state.cos_table[i];
    *s = state.sin_table[i];
    return;
  }
  const double radians = static_cast<double>(angle) * 0.017453292;
  *c = static_cast<float>(std::cos(radians));
  *s = static_cast<float>(std::sin(radians));
}

// The four corner positions of a record for position (x, y), before rotation.
void Corners(const SpriteRecord& r, std::int32_t x, std::int32_t y, float out[4][2]) {
  std::int32_t left, top, right, bottom;
  if (r.size_x == 0) {
    const auto w = static_cast<std::int32_t>(static_cast<float>(r.width) * r.scale_x);
    const auto h = static_cast<std::int32_t>(static_cast<float>(r.height) * r.scale_y);
    const auto ox = static_cast<std::int32_t>(static_cast<float>(r.offset_x) * r.scale_x);
    const auto oy = static_cast<std::int32_t>(static_cast<float>(r.offset_y) * r.scale_y);
    left = x - ox;
    top = y - oy;
    right = left + w;
    bottom = top + h;
  } else {
    left = x - r.offset_x;
    top = y - r.offset_y;
    right = x + r.size_x - r.offset_x;
    bottom = y + r.size_y - r.offset_y;
  }
  const float l = static_cast<float>(left) - 0.5f, t = static_cast<float>(top) - 0.5f;
  const float rr = static_cast<float>(right) - 0.5f, b = static_cast<float>(bottom) - 0.5f;
  out[0][0] = l, out[0][1] = t;
  out[1][0] = rr, out[1][1] = t;
  out[2][0] = l, out[2][1] = b;
  out[3][0] = rr, out[3][1] = b;
}

void SetRenderStates(IDirect3DDevice9* d, bool linear) {
  d->SetVertexShader(nullptr);
  d->SetFVF(kQuadFvf);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  d->SetRenderState(D3DRS_DITHERENABLE, FALSE);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  d->SetRenderState(D3DRS_COLORVERTEX, TRUE);
  d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  d->SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
  d->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
  d->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
  d->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  const DWORD filter = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  d->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
  d->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
  d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
}

// Fills the record for a one-off draw: everything zero, then the defaults of a paste.
void PasteDefaults(SpriteRecord& r, float extent_u, float extent_v) {
  r = SpriteRecord{};
  r.device = State().device;
  r.alpha = r.red = r.green = r.blue = 255;
  r.scale_x = r.scale_y = 1.0f;
  r.visible = 1;
  r.extent_u = extent_u;
  r.extent_v = extent_v;
  ResetVertices(r);
}

}  // namespace

void ResetVertices(SpriteRecord& r) {
  for (QuadVertex& v : r.vertices) {
    v.diffuse = 0xFFFFFFFFu;
    v.z = 0.5f;
    v.rhw = 1.0f;
  }
  r.vertices[0].u = 0.0f, r.vertices[0].v = 0.0f;
  r.vertices[1].u = r.extent_u, r.vertices[1].v = 0.0f;
  r.vertices[2].u = 0.0f, r.vertices[2].v = r.extent_v;
  r.vertices[3].u = r.extent_u, r.vertices[3].v = r.extent_v;
}

void TextureCoordinates(SpriteRecord& r) {
  float u0 = 0.0f, v0 = 0.0f, u1 = r.extent_u, v1 = r.extent_v;
  if (r.sheet && r.across > 0 && r.down > 0) {
    const std::int32_t cells = r.across * r.down;
    const std::int32_t cell = (r.frame >= 1 && r.frame <= cells ? r.frame : 1) - 1;
    const float cu = r.extent_u / static_cast<float>(r.across);
    const float cv = r.extent_v / static_cast<float>(r.down);
    u0 = cu * static_cast<float>(cell % r.across);
    v0 = cv * static_cast<float>(cell / r.across);
    u1 = u0 + cu;
    v1 = v0 + cv;
  }
  if (r.mirror) std::swap(u0, u1);
  if (r.flip) std::swap(v0, v1);
  r.vertices[0].u = u0, r.vertices[0].v = v0;
  r.vertices[1].u = u1, r.vertices[1].v = v0;
  r.vertices[2].u = u0, r.vertices[2].v = v1;
  r.vertices[3].u = u1, r.vertices[3].v = v1;
}

void Diffuse(SpriteRecord& r) {
  const std::uint32_t colour =
      static_cast<std::uint32_t>(r.alpha) << 24 | static_cast<std::uint32_t>(r.red) << 16 |
      static_cast<std::uint32_t>(r.green) << 8 | static_cast<std::uint32_t>(r.blue);
  for (QuadVertex& v : r.vertices) v.diffuse = colour;
}

void QuadCorners(SpriteRecord& r, std::int32_t x, std::int32_t y) {
  float corners[4][2];
  if (r.angle == 0.0f) {
    Corners(r, x, y, corners);
    for (int i = 0; i < 4; ++i) {
      r.vertices[i].x = corners[i][0];
      r.vertices[i].y = corners[i][1];
    }
    return;
  }
  Corners(r, 0, 0, corners);
  float c, s;
  AngleCosSin(r.angle, &c, &s);
  for (int i = 0; i < 4; ++i) {
    const float cx = corners[i][0], cy = corners[i][1];
    r.vertices[i].x = cx * c - cy * s + static_cast<float>(x);
    r.vertices[i].y = cx * s + cy * c + static_cast<float>(y);
  }
}

void QuadDraw(SpriteRecord* records, std::size_t count) {
  SpriteState& state = State();
  if (count > 0 && records[0].device) {
    IDirect3DDevice9* d = records[0].device;
    SetRenderStates(d, state.filter);
    bool blending = true;
    for (std::size_t i = 0; i < count; ++i) {
      SpriteRecord& r = records[i];
      if (!r.visible) continue;
      if ((r.transparent != 0) != blending) {
        blending = r.transparent != 0;
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, blending ? TRUE : FALSE);
      }
      if (r.image_id != 0) {
        // By id at every draw, so a reloaded image shows and a deleted one shows no texture.
        r.texture = state.images.texture ? state.images.texture(r.image_id) : nullptr;
        d->SetTexture(0, r.texture);
      } else if (r.texture) {
        d->SetTexture(0, r.texture);
      }
      d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, r.vertices, sizeof(QuadVertex));
    }
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  }
  if (state.device) state.device->SetRenderState(D3DRS_ZENABLE, TRUE);
}

void QuadDraw(std::vector<SpriteRecord>& list) {
  QuadDraw(list.data(), list.size());
  list.clear();
}

void PasteRoutine(std::int32_t id, std::int32_t x, std::int32_t y, float extent_u, float extent_v,
                  std::int32_t transparent) {
  SpriteState& state = State();
  SpriteRecord& r = state.paste_record;
  PasteDefaults(r, extent_u, extent_v);
  r.x = static_cast<float>(x);
  r.y = static_cast<float>(y);
  r.image_id = id;
  r.width = state.images.width ? state.images.width(id) : 0;
  r.height = state.images.height ? state.images.height(id) : 0;
  r.texture = state.images.texture ? state.images.texture(id) : nullptr;
  r.transparent = transparent == 1 ? 1 : 0;
  QuadCorners(r, x, y);
  QuadDraw(&r, 1);
}

void TexturePaste(IDirect3DBaseTexture9* texture, float extent_u, float extent_v, std::int32_t left,
                  std::int32_t top, std::int32_t right, std::int32_t bottom) {
  SpriteState& state = State();
  SpriteRecord& r = state.paste_record;
  PasteDefaults(r, extent_u, extent_v < 0.0f ? 1.0f : extent_v);
  if (extent_v < 0.0f) {
    // The whole height upside down: v runs from 1 at the top to 0 at the bottom.
    r.vertices[0].v = r.vertices[1].v = 1.0f;
    r.vertices[2].v = r.vertices[3].v = 0.0f;
  }
  r.texture = texture;
  r.x = static_cast<float>(left);
  r.y = static_cast<float>(top);
  r.size_x = right - left;
  r.size_y = bottom - top;
  QuadCorners(r, left, top);
  QuadDraw(&r, 1);
}

}  // namespace tessark::sprite
