// The text module's state and the helpers its files share. The module renders the characters
// 32 to 255 of the current font with GDI into a bitmap, copies them into one Direct3D texture
// (the glyph atlas) and draws strings as textured quads batched in one dynamic vertex buffer.
// Depends on the GDI and Direct3D stand-ins and the core (CoreData, the module table).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/d3d9/d3d9.h"
#include "platform/gdi/gdi.h"
#include "runtime/core/core_data.h"

namespace tessark::text {

inline constexpr int kFontNameSize = 80;
inline constexpr std::uint32_t kInitialSize = 12;
inline constexpr std::uint32_t kMaxSize = 100;
inline constexpr char kInitialFont[] = "fixedsys";
inline constexpr int kGlyphCount = 256;
inline constexpr int kFirstGlyph = 32;
inline constexpr int kBatchVertices = 300;  // 50 characters of six vertices
inline constexpr UINT kVertexBufferBytes = 8400;
inline constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144
inline constexpr DWORD kWorldFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;    // 0x142
inline constexpr int kWorkBufferSize = 256;
inline constexpr float kGlyphZ = 0.9f;

// The screen-space quad vertex the runtime's 2D drawing shares: 28 bytes.
struct QuadVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};
static_assert(sizeof(QuadVertex) == 28);

// An untransformed vertex for text placed in 3D space.
struct WorldVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};

// The print engine's window-sized memory bitmap: what is printed before the display opens.
using PrintBitmap = gdi::MemoryBitmap;

struct TextState {
  char font_name[kFontNameSize] = {};
  std::uint32_t size = kInitialSize;
  BYTE bold = 0;
  BYTE italic = 0;
  BYTE opaque = 0;
  std::int32_t charset = 0;
  std::int32_t kept_charset = 0;
  BYTE double_byte = 0;
  std::uint32_t ink_colour = 0xFFFFFFFFu;
  std::uint32_t background_colour = 0xFF000000u;

  Ref<IDirect3DTexture9> font_texture;
  std::uint32_t texture_width = 0;
  std::uint32_t texture_height = 0;
  float texture_scale = 1.0f;
  D3DFORMAT texture_format = D3DFMT_UNKNOWN;
  gdi::ObjectOwner gdi_font;
  float glyph_table[kGlyphCount][4] = {};  // left, top, right, bottom in texture coordinates
  std::int32_t glyph_widths[kGlyphCount] = {};
  std::int32_t glyph_heights[kGlyphCount] = {};

  Ref<IDirect3DVertexBuffer9> vertex_buffer;
  Ref<IDirect3DStateBlock9> save_block;
  Ref<IDirect3DStateBlock9> text_block;

  Ref<IDirect3DDevice9> device;
  Ref<IDirect3D9> d3d;
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;

  std::unique_ptr<D3DMATRIX> positional;  // the world matrix of 3D text
  std::unique_ptr<char[]> work;           // the string work buffer
  std::string token_text;                 // what TextFirstToken split, and where it got to
  std::size_t token_position = 0;

  std::unique_ptr<PrintBitmap> print_bitmap;

  bool atlas_stale = false;  // a setting changed since the atlas was built
  int atlas_builds = 0;      // counted for the tests
};

// The one state record.
TextState& State();

// Sets the initial values and takes the device (Constructor's work).
void StateInit();
// Releases every device and GDI resource (RefreshD3D stage 0's work).
void StateRelease();

// Builds the glyph atlas for the current font settings.
void FontTextureBuild();
// Builds the atlas and the vertex buffer again when a setting changed since they were built.
// Every draw and measurement calls it first, so a run of setters (a font, its size, bold)
// costs one build, at the first use.
void AtlasEnsure();
// Makes the vertex buffer (when missing) and records both state blocks again.
void VertexBufferBuild();
// Marks the atlas and the vertex buffer for building again at their next use.
void FontRebuild();
// The same after the game chose a font, its size or style, and the font the next build makes
// prepared meanwhile on the GDI worker.
void FontChosen();
// Names the face and character set (kept for later fonts when not 0), without rebuilding.
void FontSelect(const char* name, std::int32_t charset);
// The GDI font request for the current settings (with the current texture scale).
LOGFONTA FontRequest();
// Creates the GDI font for the current settings (with the current texture scale): the one the
// GDI worker prepared for them, else made here.
HFONT GdiFontCreate();

// A new text of length characters (zeroed, with room for the terminator), made through the
// core's TextAlloc; null when it cannot be made.
char* TextNew(std::size_t length);
// A new text holding a copy of source (null gives "").
char* TextMake(const char* source, std::size_t length);

// Takes the runtime's ink, rebuilding the atlas when its colours depend on it.
void InkTake();

// Draws text (single-byte) as quads at x, y (PrintAt's steps 4 to 6).
void QuadsDraw(std::int32_t x, std::int32_t y, const char* text);
// Draws double-byte text with GDI straight onto the render surface.
void DoubleByteDraw(std::int32_t x, std::int32_t y, const char* text);

// Print engine entries for the core.
void PrintText(const char* text, std::int32_t new_line);
void PrintFontSelect();
bool PrintBitmapPaint(HWND window, const RECT* client);
void PrintBitmapRelease();

}  // namespace tessark::text
