// Drawing text: TextPrintAt's quads from the glyph atlas in batches of 50 characters, the
// double-byte path that draws with GDI straight onto the render surface, centred text and text
// placed in 3D space through the device's transform.
#include <cstring>
#include <vector>

#include "runtime/text/text_state.h"
#include "tessark/text.h"

namespace tessark::text {

namespace {

// More vertices than this in the buffer, and the batch is drawn (the 50th character).
constexpr int kBatchFlushAt = 294;
// 3D text: pixels of the atlas per world unit.
constexpr float kWorldUnitsPerPixel = 1.0f;

// 0xAARRGGBB to the GDI colour 0x00BBGGRR.
COLORREF GdiColour(std::uint32_t colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

D3DCOLOR VertexColour() {
  const TextState& s = State();
  if (s.background_colour != 0) return 0xFFFFFFFFu;
  return s.ink_colour != 0 ? s.ink_colour : 0xFF010101u;
}

// Writes one character's two triangles: (bottom-left, top-left, bottom-right) and (top-right,
// bottom-right, top-left), both clockwise on screen.
void QuadWrite(QuadVertex* v, float left, float top, float right, float bottom, const float* uv,
               D3DCOLOR colour) {
  const QuadVertex bl{left, bottom, kGlyphZ, 1.0f, colour, uv[0], uv[3]};
  const QuadVertex tl{left, top, kGlyphZ, 1.0f, colour, uv[0], uv[1]};
  const QuadVertex br{right, bottom, kGlyphZ, 1.0f, colour, uv[2], uv[3]};
  const QuadVertex tr{right, top, kGlyphZ, 1.0f, colour, uv[2], uv[1]};
  v[0] = bl;
  v[1] = tl;
  v[2] = br;
  v[3] = tr;
  v[4] = br;
  v[5] = tl;
}

// Converts a 16-bit surface row to 32-bit pixels and back, for GDI drawing on 16-bit targets.
std::uint32_t Widen565(std::uint16_t p) {
  std::uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}
std::uint16_t Narrow565(std::uint32_t p) {
  return static_cast<std::uint16_t>((((p >> 19) & 0x1F) << 11) | (((p >> 10) & 0x3F) << 5) |
                                    ((p >> 3) & 0x1F));
}

}  // namespace

void QuadsDraw(std::int32_t x, std::int32_t y, const char* text) {
  TextState& s = State();
  if (!s.device || !s.vertex_buffer || !s.save_block || !s.text_block) return;
  IDirect3DDevice9* d = s.device.Get();
  s.save_block->Capture();
  s.text_block->Apply();
  d->SetVertexShader(nullptr);
  d->SetFVF(kQuadFvf);
  d->SetStreamSource(0, s.vertex_buffer.Get(), 0, sizeof(QuadVertex));
  void* data = nullptr;
  if (FAILED(s.vertex_buffer->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data) {
    s.save_block->Apply();
    return;
  }
  auto* vertices = static_cast<QuadVertex*>(data);
  const D3DCOLOR colour = VertexColour();
  const float tex_w = static_cast<float>(s.texture_width);
  const float tex_h = static_cast<float>(s.texture_height);
  float pen_x = static_cast<float>(x);
  float pen_y = static_cast<float>(y);
  UINT triangles = 0;
  bool locked = true;
  for (const char* c = text; *c; ++c) {
    const auto ch = static_cast<unsigned char>(*c);
    if (ch == 10) {
      pen_x = static_cast<float>(x);
      pen_y += (s.glyph_table[32][3] - s.glyph_table[32][1]) * tex_h;
      continue;
    }
    if (ch < 32) continue;
    const float* uv = s.glyph_table[ch];
    const float w = (uv[2] - uv[0]) * tex_w / s.texture_scale;
    const float h = (uv[3] - uv[1]) * tex_h / s.texture_scale;
    QuadWrite(vertices + triangles * 3, pen_x - 0.5f, pen_y - 0.5f, pen_x + w - 0.5f,
              pen_y + h - 0.5f, uv, colour);
    triangles += 2;
    pen_x += static_cast<float>(s.glyph_widths[ch]);
    if (triangles * 3 > kBatchFlushAt) {
      s.vertex_buffer->Unlock();
      locked = false;
      d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
      triangles = 0;
      data = nullptr;
      if (FAILED(s.vertex_buffer->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data) break;
      vertices = static_cast<QuadVertex*>(data);
      locked = true;
    }
  }
  if (locked) {
    s.vertex_buffer->Unlock();
    if (triangles > 0) d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
  }
  s.save_block->Apply();
}

void DoubleByteDraw(std::int32_t x, std::int32_t y, const char* text) {
  TextState& s = State();
  IDirect3DSurface9* surface = s.core ? s.core->render_surface : nullptr;
  if (!surface) return;
  D3DSURFACE_DESC desc{};
  if (FAILED(surface->GetDesc(&desc))) return;
  const bool wide = desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8;
  if (!wide && desc.Format != D3DFMT_R5G6B5) return;
  D3DLOCKED_RECT locked{};
  if (FAILED(surface->LockRect(&locked, nullptr, 0))) return;
  const int width = static_cast<int>(desc.Width);
  const int height = static_cast<int>(desc.Height);
  // A 16-bit surface is drawn through a 32-bit copy of itself.
  std::vector<std::uint32_t> copy;
  void* bits = locked.pBits;
  int pitch = locked.Pitch;
  if (!wide) {
    copy.resize(static_cast<std::size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
      auto* line = reinterpret_cast<const std::uint16_t*>(static_cast<BYTE*>(locked.pBits) +
                                                          static_cast<std::ptrdiff_t>(row) * pitch);
      for (int column = 0; column < width; ++column)
        copy[static_cast<std::size_t>(row) * width + column] = Widen565(line[column]);
    }
    bits = copy.data();
    pitch = width * 4;
  }
  if (HDC dc = gdi::CreateDcOnPixels(bits, width, height, pitch)) {
    HGDIOBJ old_font = SelectObject(dc, s.gdi_font.get());
    SetTextColor(dc, GdiColour(s.ink_colour));
    SetBkColor(dc, GdiColour(s.background_colour));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    const auto length = static_cast<UINT>(std::strlen(text));
    UINT options = 0;
    RECT cell{};
    if (s.opaque == 1) {
      SetBkMode(dc, OPAQUE);
      SIZE extent{};
      GetTextExtentPoint32A(dc, text, static_cast<int>(length), &extent);
      cell = RECT{x, y, x + extent.cx, y + extent.cy};
      options = ETO_OPAQUE;
    } else {
      SetBkMode(dc, TRANSPARENT);
    }
    ExtTextOutA(dc, x, y, options, options ? &cell : nullptr, text, length, nullptr);
    if (old_font) SelectObject(dc, old_font);
    DeleteDC(dc);
  }
  if (!wide) {
    for (int row = 0; row < height; ++row) {
      auto* line = reinterpret_cast<std::uint16_t*>(
          static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch);
      for (int column = 0; column < width; ++column)
        line[column] = Narrow565(copy[static_cast<std::size_t>(row) * width + column]);
    }
  }
  surface->UnlockRect();
}

}  // namespace tessark::text

namespace tessark {

using tessark::text::State;

void TextPrintAt(std::int32_t x, std::int32_t y, const char* text) {
  tessark::text::InkTake();
  if (!text) return;
  tessark::text::AtlasEnsure();
  if (State().double_byte && State().gdi_font) {
    tessark::text::DoubleByteDraw(x, y, text);
    return;
  }
  tessark::text::QuadsDraw(x, y, text);
}

void TextCentreAt(std::int32_t x, std::int32_t y, const char* text) {
  TextPrintAt(x - TextWidth(text) / 2, y, text);
}

void Text3DSetWorld(const float matrix[16]) {
  if (!matrix || !State().positional) return;
  std::memcpy(State().positional->m, matrix, sizeof(float) * 16);
}

void Text3D(const char* text) {
  using namespace tessark::text;
  TextState& s = State();
  InkTake();
  if (text) AtlasEnsure();
  if (!text || !s.device || !s.positional || !s.vertex_buffer || !s.save_block || !s.text_block)
    return;
  IDirect3DDevice9* d = s.device.Get();
  // The string lies in the world's x-y plane, x to the right and y up, one unit per atlas
  // pixel, the top-left of its first cell at the origin; the positional block places it.
  D3DMATRIX old_world{};
  DWORD old_lighting = TRUE;
  d->GetTransform(D3DTS_WORLD, &old_world);
  d->GetRenderState(D3DRS_LIGHTING, &old_lighting);
  s.save_block->Capture();
  s.text_block->Apply();
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetTransform(D3DTS_WORLD, s.positional.get());
  d->SetVertexShader(nullptr);
  d->SetFVF(kWorldFvf);
  d->SetStreamSource(0, s.vertex_buffer.Get(), 0, sizeof(WorldVertex));
  const D3DCOLOR colour = VertexColour();
  const float tex_w = static_cast<float>(s.texture_width);
  const float tex_h = static_cast<float>(s.texture_height);
  float pen_x = 0;
  float pen_y = 0;
  UINT triangles = 0;
  void* data = nullptr;
  auto flush = [&]() {
    if (data) s.vertex_buffer->Unlock();
    if (data && triangles > 0) d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
    data = nullptr;
    triangles = 0;
  };
  for (const char* c = text; *c; ++c) {
    const auto ch = static_cast<unsigned char>(*c);
    if (ch == 10) {
      pen_x = 0;
      pen_y -= (s.glyph_table[32][3] - s.glyph_table[32][1]) * tex_h * kWorldUnitsPerPixel;
      continue;
    }
    if (ch < 32) continue;
    if (!data && (FAILED(s.vertex_buffer->Lock(0, 0, &data, D3DLOCK_DISCARD)) || !data)) break;
    const float* uv = s.glyph_table[ch];
    const float w = (uv[2] - uv[0]) * tex_w / s.texture_scale * kWorldUnitsPerPixel;
    const float h = (uv[3] - uv[1]) * tex_h / s.texture_scale * kWorldUnitsPerPixel;
    auto* v = static_cast<WorldVertex*>(data) + triangles * 3;
    const WorldVertex bl{pen_x, pen_y - h, 0, colour, uv[0], uv[3]};
    const WorldVertex tl{pen_x, pen_y, 0, colour, uv[0], uv[1]};
    const WorldVertex br{pen_x + w, pen_y - h, 0, colour, uv[2], uv[3]};
    const WorldVertex tr{pen_x + w, pen_y, 0, colour, uv[2], uv[1]};
    v[0] = bl;
    v[1] = tl;
    v[2] = br;
    v[3] = tr;
    v[4] = br;
    v[5] = tl;
    triangles += 2;
    pen_x += static_cast<float>(s.glyph_widths[ch]) * kWorldUnitsPerPixel;
    if (triangles * 3 > kBatchFlushAt) flush();
  }
  flush();
  s.save_block->Apply();
  d->SetRenderState(D3DRS_LIGHTING, old_lighting);
  d->SetTransform(D3DTS_WORLD, &old_world);
}

}  // namespace tessark
