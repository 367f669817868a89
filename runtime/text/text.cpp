// The text module's entries (Constructor, PassCoreData, RefreshD3D, Destructor), its binding
// into the module table, and the font, style and colour setters and queries.
#include <algorithm>
#include <cstring>

#include "runtime/core/check_list.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/text/text_state.h"
#include "tessark/text.h"

namespace tessark::text {

namespace {

TextState g_state;

constexpr BYTE kDoubleByteCharsets[] = {SHIFTJIS_CHARSET, HANGUL_CHARSET, GB2312_CHARSET,
                                        CHINESEBIG5_CHARSET};

bool IsDoubleByte(std::int32_t charset) {
  return std::find(std::begin(kDoubleByteCharsets), std::end(kDoubleByteCharsets), charset) !=
         std::end(kDoubleByteCharsets);
}

void Constructor(void*) {
  StateInit();
}

void SetErrorHandler(std::int32_t* error_word) {
  State().error_word = error_word;
}

void PassCoreData(CoreData* core) {
  State().core = core;
  FontRebuild();
}

void RefreshD3D(std::int32_t stage) {
  if (stage == 0) {
    StateRelease();
    return;
  }
  CoreData* core = State().core;
  std::int32_t* error_word = State().error_word;
  StateInit();
  State().core = core;
  State().error_word = error_word;
  FontRebuild();
}

void Destructor() {
  StateRelease();
}

// Copies a face name into the state: at most 79 characters, the rest zeroed.
void FontNameSet(const char* name) {
  TextState& s = State();
  std::memset(s.font_name, 0, sizeof s.font_name);
  std::strncpy(s.font_name, name, kFontNameSize - 1);
}

void StyleSet(BYTE bold, BYTE italic) {
  State().bold = bold;
  State().italic = italic;
  FontChosen();
}

}  // namespace

TextState& State() {
  return g_state;
}

void StateInit() {
  TextState& s = g_state;
  StateRelease();
  s = TextState();
  FontNameSet(kInitialFont);
  if (IDirect3DDevice9 * (*device)() = Modules().display.DisplayDevice) {
    s.device = Ref<IDirect3DDevice9>(device());
    if (s.device) s.device->GetDirect3D(s.d3d.Put());
  }
  s.positional = std::make_unique<D3DMATRIX>();
  for (int i = 0; i < 4; ++i) s.positional->m[i][i] = 1.0f;
  s.work = std::make_unique<char[]>(kWorkBufferSize);
}

void StateRelease() {
  TextState& s = g_state;
  s.work.reset();
  s.positional.reset();
  s.font_texture.Reset();
  s.vertex_buffer.Reset();
  s.gdi_font.reset();
  s.save_block.Reset();
  s.text_block.Reset();
  s.d3d.Reset();
  s.device.Reset();
}

void FontRebuild() {
  g_state.atlas_stale = true;
}

void FontChosen() {
  FontRebuild();
  // The font the next build makes is made meanwhile, its glyphs rendered, on the GDI worker:
  // a game sets its font and loads its pictures before its first text.
  gdi::FontPrepare(FontRequest());
}

void FontSelect(const char* name, std::int32_t charset) {
  FontNameSet(name);
  g_state.charset = charset;
  // A character set, once named, is kept for later fonts from the moment it is set, not from
  // whenever the atlas is next built.
  if (charset != 0) g_state.kept_charset = charset;
}

void AtlasEnsure() {
  TextState& s = g_state;
  if (!s.atlas_stale) return;
  s.atlas_stale = false;
  s.font_texture.Reset();
  s.vertex_buffer.Reset();
  FontTextureBuild();
  VertexBufferBuild();
}

LOGFONTA FontRequest() {
  const TextState& s = g_state;
  int height = 0;
  DWORD charset = 0;
  if (s.charset != 0) {
    height = static_cast<int>(s.size);
    charset = static_cast<DWORD>(s.charset);
  } else if (s.kept_charset == 0) {
    height = static_cast<int>(static_cast<float>(s.size) * s.texture_scale);
  } else {
    // The character height from points at the device's pixels per inch, as the platform's
    // MulDiv rounds it.
    HDC screen = CreateCompatibleDC(nullptr);
    int per_inch =
        static_cast<int>(static_cast<float>(GetDeviceCaps(screen, LOGPIXELSY)) * s.texture_scale);
    DeleteDC(screen);
    std::int64_t product = static_cast<std::int64_t>(s.size) * per_inch;
    height = -static_cast<int>((product + 36) / 72);
    charset = static_cast<DWORD>(s.kept_charset);
  }
  LOGFONTA request{};
  request.lfHeight = height;
  request.lfWeight = s.bold ? FW_BOLD : FW_NORMAL;
  request.lfItalic = s.italic ? 1 : 0;
  request.lfCharSet = static_cast<BYTE>(charset);
  request.lfOutPrecision = OUT_DEFAULT_PRECIS;
  request.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  request.lfQuality = NONANTIALIASED_QUALITY;
  request.lfPitchAndFamily = VARIABLE_PITCH;
  // As CreateFontA takes a face name: at most its first 31 characters.
  std::memcpy(request.lfFaceName, s.font_name, strnlen(s.font_name, LF_FACESIZE - 1));
  return request;
}

HFONT GdiFontCreate() {
  TextState& s = g_state;
  const LOGFONTA request = FontRequest();
  if (s.charset != 0) s.kept_charset = s.charset;
  s.double_byte = IsDoubleByte(s.kept_charset) ? 1 : 0;
  if (HFONT prepared = gdi::FontPreparedTake(request)) return prepared;
  return CreateFontIndirectA(&request);
}

char* TextNew(std::size_t length) {
  if (length >= 0x7FFFFFFF) return nullptr;
  char* text = nullptr;
  TextAllocFn alloc =
      g_state.core && g_state.core->TextAlloc ? g_state.core->TextAlloc : tessark::TextAlloc;
  alloc(&text, static_cast<std::int32_t>(length + 1));
  return text;
}

char* TextMake(const char* source, std::size_t length) {
  char* text = TextNew(length);
  if (text && source && length) std::memcpy(text, source, length);
  return text;
}

void InkTake() {
  TextState& s = g_state;
  if (!s.core) return;
  if (s.core->ink != s.ink_colour) {
    s.ink_colour = s.core->ink;
    if (s.background_colour != 0) FontRebuild();
  }
  if (s.core->background_ink != s.background_colour) {
    s.background_colour = s.core->background_ink;
    FontRebuild();
  }
}

void Wire(ModuleTable& table) {
  table.text.Constructor = Constructor;
  table.text.SetErrorHandler = SetErrorHandler;
  table.text.PassCoreData = PassCoreData;
  table.text.RefreshD3D = RefreshD3D;
  table.text.Destructor = Destructor;
  table.text_services.PrintText = PrintText;
  table.text_services.PrintFontSelect = PrintFontSelect;
  table.text_services.TextRelease = StateRelease;
  table.text_services.PrintBitmapPaint = PrintBitmapPaint;
  table.text_services.PrintBitmapRelease = PrintBitmapRelease;
}

}  // namespace tessark::text

namespace tessark {

using tessark::text::FontRebuild;
using tessark::text::State;

void TextSetFont(const char* name) {
  if (!name) return;
  tessark::text::FontNameSet(name);
  tessark::text::FontChosen();
}

void TextSetFontCharset(const char* name, std::int32_t charset) {
  if (!name) return;
  tessark::text::FontSelect(name, charset);
  tessark::text::FontChosen();
}

void TextSetSize(std::uint32_t size) {
  if (size == State().size) return;
  State().size = std::min(size, tessark::text::kMaxSize);
  tessark::text::FontChosen();
}

void TextSetNormal() {
  tessark::text::StyleSet(0, 0);
}
void TextSetBold() {
  tessark::text::StyleSet(1, 0);
}
void TextSetItalic() {
  tessark::text::StyleSet(0, 1);
}
void TextSetBoldItalic() {
  tessark::text::StyleSet(1, 1);
}

void TextSetOpaque() {
  State().opaque = 1;
  FontRebuild();
}

void TextSetTransparent() {
  State().opaque = 0;
  FontRebuild();
}

void TextSetColour(std::int32_t alpha, std::int32_t red, std::int32_t green, std::int32_t blue) {
  State().ink_colour =
      static_cast<std::uint32_t>(alpha) * 0x1000000u + static_cast<std::uint32_t>(red) * 0x10000u +
      static_cast<std::uint32_t>(green) * 0x100u + static_cast<std::uint32_t>(blue);
}

std::int32_t TextWidth(const char* text) {
  if (!text) return 0;
  tessark::text::AtlasEnsure();
  std::int32_t width = 0;
  for (const char* c = text; *c; ++c) {
    auto ch = static_cast<unsigned char>(*c);
    if (ch > 31) width += State().glyph_widths[ch];
  }
  return width;
}

std::int32_t TextHeight(const char* text) {
  if (!text) return 0;
  tessark::text::AtlasEnsure();
  std::int32_t height = 0;
  for (const char* c = text; *c; ++c) {
    auto ch = static_cast<unsigned char>(*c);
    if (ch > 31) height = std::max(height, State().glyph_heights[ch]);
  }
  return height;
}

char* TextFontName() {
  return tessark::text::TextMake(State().font_name, std::strlen(State().font_name));
}

std::int32_t TextSize() {
  return static_cast<std::int32_t>(State().size);
}

std::int32_t TextStyle() {
  return State().bold * 2 + State().italic;
}

bool TextIsOpaque() {
  return State().opaque;
}

void TextFontList() {
  // Two passes over the installed families: count them, then copy each name into the list.
  struct Pass {
    bool copy = false;
    std::int32_t count = 0;
  } pass;
  LOGFONTA filter{};
  filter.lfCharSet = DEFAULT_CHARSET;
  auto visit = [](const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param) -> int {
    auto* p = reinterpret_cast<Pass*>(param);
    if (p->copy) {
      auto length = static_cast<std::int32_t>(std::strlen(font->lfFaceName));
      // Room for the terminator too: an entry's size counts its buffer only while it is
      // the initial empty text, so ask for one more than the name's length.
      tessark::CheckListGrow(p->count, length + 1);
      tessark::CoreData* core = tessark::CoreDataGet();
      if (!core->check_list) return 0;
      tessark::CheckListEntry& entry = core->check_list[p->count];
      if (!entry.text || entry.text_size < length + 1) return 0;
      std::memcpy(entry.text, font->lfFaceName, static_cast<std::size_t>(length) + 1);
    }
    ++p->count;
    return 1;
  };
  HDC dc = CreateCompatibleDC(nullptr);
  EnumFontFamiliesExA(dc, &filter, visit, reinterpret_cast<LPARAM>(&pass), 0);
  tessark::CoreData* core = tessark::CoreDataGet();
  const std::int32_t total = pass.count;
  pass.copy = true;
  pass.count = 0;
  if (total > 0) {
    tessark::CheckListGrow(total - 1, 0);
    EnumFontFamiliesExA(dc, &filter, visit, reinterpret_cast<LPARAM>(&pass), 0);
  }
  DeleteDC(dc);
  core->check_list_count = pass.count;
  core->check_list_in_use = 1;
  core->check_list_has_values = 0;
}

}  // namespace tessark
