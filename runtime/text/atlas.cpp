// The glyph atlas: the characters 32 to 255 of the current font rendered with GDI into a
// 32-bit bitmap, laid out in rows, and copied into the font texture (in the 4-4-4-4 layout the
// module prefers, or another format the device offers); and the text vertex buffer with the two
// state blocks that save the caller's states and set the text states.
#include <algorithm>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/text/text_state.h"

namespace tessark::text {

namespace {

// The formats tried, in order, when the device refuses the first choice.
constexpr D3DFORMAT kFormatFallbacks[] = {D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2, D3DFMT_A1R5G5B5,
                                          D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A2B10G10R10,
                                          D3DFMT_X8R8G8B8, D3DFMT_R8G8B8,   D3DFMT_R5G6B5,
                                          D3DFMT_R3G3B2,   D3DFMT_X4R4G4B4, D3DFMT_G16R16};

// Horizontal room left after each character in the layout.
constexpr int kGapSingleByte = 16;
constexpr int kGapDoubleByte = 2;

D3DFORMAT RenderFormat() {
  TextState& s = State();
  D3DSURFACE_DESC desc{};
  if (s.core && s.core->render_surface && SUCCEEDED(s.core->render_surface->GetDesc(&desc)))
    return desc.Format;
  return D3DFMT_X8R8G8B8;
}

D3DFORMAT FormatChoose() {
  TextState& s = State();
  if (!s.d3d) return D3DFMT_A4R4G4B4;
  const D3DFORMAT adapter = RenderFormat();
  auto accepted = [&](D3DFORMAT format) {
    return SUCCEEDED(
        s.d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapter, 0, D3DRTYPE_TEXTURE, format));
  };
  D3DFORMAT format = D3DFMT_A4R4G4B4;
  if (accepted(format)) return format;
  for (D3DFORMAT candidate : kFormatFallbacks) {
    format = candidate;
    if (accepted(format)) break;
  }
  return format;
}

// A colour's red, green and blue as 4-bit values packed red * 256 + green * 16 + blue.
std::uint16_t Pack444(std::uint32_t colour) {
  return static_cast<std::uint16_t>((((colour >> 20) & 0xF) << 8) | (((colour >> 12) & 0xF) << 4) |
                                    ((colour >> 4) & 0xF));
}

// Widens a 4-4-4-4 texel to 8-8-8-8.
std::uint32_t Widen4444(std::uint16_t texel) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 16; shift += 4)
    out |= ((texel >> shift) & 0xFu) * 0x11u << (shift * 2);
  return out;
}

// A 4-4-4-4 texel in the texture's own format, in the low 16 or all 32 bits: the 4-4-4-4 layout
// as it is, other formats the same colour and alpha in their own layout. 0 bytes for a format the
// atlas cannot be written in.
struct Encoded {
  std::uint32_t value = 0;
  int bytes = 0;
};

Encoded Encode(D3DFORMAT format, std::uint16_t texel) {
  std::uint32_t argb = Widen4444(texel);
  std::uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  switch (format) {
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
      return {texel, 2};
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
      return {((a >= 0x80) << 15) | ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3), 2};
    case D3DFMT_R5G6B5:
      return {((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3), 2};
    case D3DFMT_A8R3G3B2:
      return {(a << 8) | ((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6), 2};
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
      return {argb, 4};
    default:
      return {};
  }
}

// Writes the atlas bitmap into the locked texture. A glyph pixel's coverage is the upper four
// bits of its blue byte, so every texel is one of sixteen: the background for none, else the
// glyph colour at that coverage. They are encoded once.
void TextureFill(const std::uint32_t* pixels, std::uint32_t size) {
  TextState& s = State();
  const bool coloured = s.background_colour != 0;
  const std::uint16_t glyph = coloured ? Pack444(s.ink_colour) : 0xFFF;
  const std::uint16_t background = coloured && s.opaque ? Pack444(s.background_colour) : 0;
  Encoded texels[16];
  for (std::uint32_t n = 0; n < 16; ++n)
    texels[n] =
        Encode(s.texture_format, static_cast<std::uint16_t>(n ? (n << 12) + glyph : background));
  const int bytes = texels[0].bytes;
  if (bytes == 0) return;  // a format the atlas cannot be written in stays empty
  D3DLOCKED_RECT locked{};
  if (FAILED(s.font_texture->LockRect(0, &locked, nullptr, 0))) return;
  for (std::uint32_t row = 0; row < size; ++row) {
    const std::uint32_t* in = pixels + static_cast<std::size_t>(row) * size;
    auto* line = static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(row) * locked.Pitch;
    if (bytes == 2) {
      auto* out = reinterpret_cast<std::uint16_t*>(line);
      for (std::uint32_t column = 0; column < size; ++column)
        out[column] = static_cast<std::uint16_t>(texels[(in[column] >> 4) & 0xF].value);
    } else {
      auto* out = reinterpret_cast<std::uint32_t*>(line);
      for (std::uint32_t column = 0; column < size; ++column)
        out[column] = texels[(in[column] >> 4) & 0xF].value;
    }
  }
  s.font_texture->UnlockRect(0);
}

}  // namespace

void FontTextureBuild() {
  TextState& s = State();
  ++s.atlas_builds;
  gdi::DcOwner dc(CreateCompatibleDC(nullptr));
  if (!dc) return;
  SetMapMode(dc.get(), MM_TEXT);
  gdi::ObjectOwner font(GdiFontCreate());
  HGDIOBJ old_font = font ? SelectObject(dc.get(), font.get()) : nullptr;
  SetTextAlign(dc.get(), TA_LEFT | TA_TOP);

  // The size of the texture follows the height of the font's cell.
  SIZE g{};
  GetTextExtentPoint32A(dc.get(), "g", 1, &g);
  std::uint32_t size = g.cy > 40 ? 1024 : g.cy > 15 ? 512 : 256;
  s.texture_scale = 1.0f;
  D3DCAPS9 caps{};
  if (s.device && SUCCEEDED(s.device->GetDeviceCaps(&caps)) && caps.MaxTextureWidth > 0 &&
      caps.MaxTextureWidth < size) {
    s.texture_scale = static_cast<float>(caps.MaxTextureWidth) / static_cast<float>(size);
    size = caps.MaxTextureWidth;
  }
  s.texture_width = s.texture_height = size;

  s.texture_format = FormatChoose();
  s.font_texture.Reset();
  if (!s.device ||
      FAILED(s.device->CreateTexture(size, size, 1, 0, s.texture_format, D3DPOOL_MANAGED,
                                     s.font_texture.Put(), nullptr))) {
    s.font_texture.Reset();
    RuntimeNotice("Unable to create font texture in text library");
  }

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = static_cast<LONG>(size);
  info.bmiHeader.biHeight = -static_cast<LONG>(size);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  gdi::ObjectOwner bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  HGDIOBJ old_bitmap = bitmap ? SelectObject(dc.get(), bitmap.get()) : nullptr;
  SetTextColor(dc.get(), RGB(255, 255, 255));
  SetBkColor(dc.get(), RGB(0, 0, 0));

  const int width = static_cast<int>(size);
  const int height = static_cast<int>(size);
  const int gap = s.charset == 0 ? kGapSingleByte : kGapDoubleByte;
  int x = 0;
  int y = 0;
  for (int ch = kFirstGlyph; ch < kGlyphCount; ++ch) {
    const char text = static_cast<char>(ch);
    SIZE cell{};
    GetTextExtentPoint32A(dc.get(), &text, 1, &cell);
    int cx = cell.cx;
    const int cy = cell.cy;
    int extra = 0;
    int shift = 0;
    if (s.italic) {
      extra = cy / 4;
      shift = cy / 8;
      cx = cx + static_cast<int>(s.size) / 3 + 5;
    }
    if (cx + x + 1 > width) {
      y = y + cy + 2;
      x = 0;
    }
    ExtTextOutA(dc.get(), x + shift, y, ETO_OPAQUE, nullptr, &text, 1, nullptr);
    float* rect = s.glyph_table[ch];
    if (y + cy + 1 <= height) {
      rect[0] = static_cast<float>(x) / static_cast<float>(width);
      rect[1] = static_cast<float>(y) / static_cast<float>(height);
      rect[2] = static_cast<float>(x + cx + 1) / static_cast<float>(width);
      rect[3] = static_cast<float>(y + cy + 1) / static_cast<float>(height);
    } else {
      // The rows ran past the bottom of the texture: the character keeps its advance but
      // draws nothing, rather than texels of whatever the texture wraps to.
      rect[0] = rect[1] = rect[2] = rect[3] = 0.0f;
    }
    s.glyph_widths[ch] =
        static_cast<std::int32_t>(static_cast<float>(cx - extra) / s.texture_scale);
    s.glyph_heights[ch] = cy;
    x = x + cx + gap;
  }

  if (s.font_texture && bits) TextureFill(static_cast<const std::uint32_t*>(bits), size);

  if (old_bitmap) SelectObject(dc.get(), old_bitmap);
  if (old_font) SelectObject(dc.get(), old_font);
  s.gdi_font = std::move(font);
}

void VertexBufferBuild() {
  TextState& s = State();
  if (!s.device) return;
  if (!s.vertex_buffer &&
      FAILED(s.device->CreateVertexBuffer(kVertexBufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                                          0, D3DPOOL_DEFAULT, s.vertex_buffer.Put(), nullptr))) {
    s.vertex_buffer.Reset();
    RuntimeNotice("Unable to create vertex buffer for text library");
  }
  s.save_block.Reset();
  s.text_block.Reset();
  // Both blocks record the same states: the save block captures the caller's values of them
  // before text is drawn and puts them back after; the text block sets the text's values.
  for (Ref<IDirect3DStateBlock9>* block : {&s.save_block, &s.text_block}) {
    IDirect3DDevice9* d = s.device.Get();
    if (FAILED(d->BeginStateBlock())) continue;
    d->SetTexture(0, s.font_texture.Get());
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, s.opaque == 1 ? FALSE : TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d->SetRenderState(D3DRS_CLIPPING, TRUE);
    d->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    d->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_FOGENABLE, FALSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    if (FAILED(d->EndStateBlock(block->Put()))) block->Reset();
  }
}

}  // namespace tessark::text
