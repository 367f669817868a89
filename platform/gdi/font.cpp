// Fonts of the GDI stand-in: a face name, height, weight, slant and character set matched
// through fontconfig (with the usual Windows face names mapped to their metric-compatible or
// generic families), loaded and sized with FreeType, glyphs rendered on first use, and the list
// of installed families. A positive height is the character cell height: the face is scaled so
// that its OS/2 usWinAscent + usWinDescent spans that many pixels; a negative height is the em.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>
#include <strings.h>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

namespace {

// Heights of a font created with height 0 (the platform's "default size").
constexpr int kDefaultCellHeight = 16;

// A stock font, made on first use.
struct Stock {
  std::unique_ptr<Font> font;
  bool tried = false;
};

// The FreeType library and the stock fonts. They live as long as the process: fonts and device
// contexts held by other static objects may still be released during exit, after any static
// of ours would have gone.
struct FreeTypeLibrary {
  FT_Library library = nullptr;
  Stock system_font, fixed_font, gui_font;
  FreeTypeLibrary() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
};

FreeTypeLibrary& Globals() {
  static FreeTypeLibrary* instance = new FreeTypeLibrary;
  return *instance;
}

FT_Library Library() {
  return Globals().library;
}

// Faces are made and freed under this lock: the FreeType library they share lets nothing else
// run beside either, while glyphs of different faces may be rendered at once.
std::mutex& FaceLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

FcConfig* Config() {
  static const bool ready = FcInit() == FcTrue;
  return ready ? FcConfigGetCurrent() : nullptr;
}

// Windows face names that Linux systems rarely have, and what to look for instead. Names not
// listed here still reach fontconfig first, so an installed face of that name always wins.
struct FaceAlias {
  const char* name;
  const char* families[3];
};
constexpr FaceAlias kAliases[] = {
    {"arial", {"Liberation Sans", "Arimo", "sans-serif"}},
    {"helvetica", {"Liberation Sans", "Arimo", "sans-serif"}},
    {"times new roman", {"Liberation Serif", "Tinos", "serif"}},
    {"times", {"Liberation Serif", "Tinos", "serif"}},
    {"courier new", {"Liberation Mono", "Cousine", "monospace"}},
    {"courier", {"Liberation Mono", "Cousine", "monospace"}},
    {"fixedsys", {"monospace", nullptr, nullptr}},
    {"terminal", {"monospace", nullptr, nullptr}},
    {"lucida console", {"monospace", nullptr, nullptr}},
    {"consolas", {"monospace", nullptr, nullptr}},
    {"system", {"sans-serif", nullptr, nullptr}},
    {"ms sans serif", {"sans-serif", nullptr, nullptr}},
    {"tahoma", {"DejaVu Sans", "sans-serif", nullptr}},
    {"verdana", {"DejaVu Sans", "sans-serif", nullptr}},
    {"ms serif", {"serif", nullptr, nullptr}},
};

// The language fontconfig should cover for a double-byte character set.
const char* CharsetLanguage(int charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET:
      return "ja";
    case HANGUL_CHARSET:
      return "ko";
    case GB2312_CHARSET:
      return "zh-cn";
    case CHINESEBIG5_CHARSET:
      return "zh-tw";
    default:
      return nullptr;
  }
}

struct Match {
  std::string file;
  int index = 0;
  std::string family;
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
};

// Asks fontconfig for the best face for a request.
bool MatchFace(const LOGFONTA& request, Match& out) {
  FcConfig* config = Config();
  if (!config) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  char name[LF_FACESIZE + 1] = {};
  std::memcpy(name, request.lfFaceName, LF_FACESIZE);
  bool aliased = false;
  if (name[0]) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    for (const FaceAlias& alias : kAliases) {
      if (strcasecmp(alias.name, name) != 0) continue;
      aliased = true;
      for (const char* family : alias.families)
        if (family)
          FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    }
  }
  if (!aliased && (request.lfPitchAndFamily & 3) == FIXED_PITCH)
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
  int weight = request.lfWeight > 0 ? static_cast<int>(request.lfWeight) : FW_NORMAL;
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::min(weight, 1000)));
  FcPatternAddInteger(pattern, FC_SLANT, request.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  if (const char* language = CharsetLanguage(request.lfCharSet))
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* text = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch && text;
  if (found) {
    out.file = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch && text)
      out.family = reinterpret_cast<const char*>(text);
    FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &out.weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &out.slant);
  }
  FcPatternDestroy(match);
  return found;
}

// Sizes the face and fills the text metrics the way GDI reports them.
bool SizeFace(Font& font) {
  FT_Face face = font.face;
  const LOGFONTA& request = font.request;
  TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  double upem = face->units_per_EM > 0 ? face->units_per_EM : 1000.0;
  double win_ascent = os2 ? os2->usWinAscent : face->ascender;
  double win_descent = os2 ? os2->usWinDescent : -face->descender;
  if (win_ascent + win_descent <= 0) {
    win_ascent = upem * 0.8;
    win_descent = upem * 0.2;
  }
  const double cell_units = win_ascent + win_descent;
  int height = request.lfHeight == 0 ? kDefaultCellHeight : request.lfHeight;
  double ppem = 0;
  int ascent = 0;
  int descent = 0;
  if (height > 0) {
    ppem = height * upem / cell_units;
    ascent = static_cast<int>(std::lround(win_ascent * height / cell_units));
    descent = height - ascent;
  } else {
    ppem = -static_cast<double>(height);
    ascent = static_cast<int>(std::lround(win_ascent * ppem / upem));
    descent = static_cast<int>(std::lround(win_descent * ppem / upem));
  }
  if (FT_IS_SCALABLE(face)) {
    FT_Size_RequestRec size{};
    size.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
    size.height = std::lround(ppem * 64);
    size.width = size.height;
    if (request.lfWidth > 0 && os2 && os2->xAvgCharWidth > 0)
      size.width = std::lround(request.lfWidth * upem / os2->xAvgCharWidth * 64);
    if (size.height <= 0 || FT_Request_Size(face, &size) != 0) return false;
  } else {
    if (face->num_fixed_sizes <= 0 || FT_Select_Size(face, 0) != 0) return false;
    ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    descent = static_cast<int>(-face->size->metrics.descender >> 6);
    ppem = face->size->metrics.y_ppem;
  }
  TEXTMETRICA& tm = font.metrics;
  tm.tmAscent = ascent;
  tm.tmDescent = descent;
  tm.tmHeight = ascent + descent;
  tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - static_cast<LONG>(std::lround(ppem)));
  tm.tmExternalLeading = 0;
  double scale = ppem / upem;
  tm.tmAveCharWidth = os2 && os2->xAvgCharWidth > 0
                          ? static_cast<LONG>(std::lround(os2->xAvgCharWidth * scale))
                          : static_cast<LONG>(std::lround(ppem / 2));
  tm.tmMaxCharWidth = static_cast<LONG>(std::lround(face->max_advance_width * scale));
  tm.tmWeight = request.lfWeight > 0 ? request.lfWeight : FW_NORMAL;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 32;
  tm.tmLastChar = 255;
  tm.tmDefaultChar = 31;
  tm.tmBreakChar = 32;
  tm.tmItalic = request.lfItalic ? 1 : 0;
  tm.tmUnderlined = request.lfUnderline ? 1 : 0;
  tm.tmStruckOut = request.lfStrikeOut ? 1 : 0;
  // As on the platform, the low bit set means a variable-pitch font; 4 and 2: outline face.
  tm.tmPitchAndFamily = static_cast<BYTE>((FT_IS_FIXED_WIDTH(face) ? 0 : 1) | 2 | 4);
  tm.tmCharSet = request.lfCharSet;
  return true;
}

}  // namespace

void FontMatchingPrepare() {
  // Both are made once, under the initialisation guard of their statics, so a match that comes
  // while this runs waits for it instead of loading them a second time.
  Config();
  Library();
}

std::atomic<int>& LiveCount() {
  static std::atomic<int> count{0};
  return count;
}

Font::~Font() {
  if (!face) return;
  std::lock_guard<std::mutex> guard(FaceLock());
  FT_Done_Face(face);
}

Font* FontCreate(const LOGFONTA& request) {
  FT_Library library = Library();
  if (!library) return nullptr;
  Match match;
  if (!MatchFace(request, match)) return nullptr;
  FT_Face face = nullptr;
  {
    std::lock_guard<std::mutex> guard(FaceLock());
    if (FT_New_Face(library, match.file.c_str(), match.index, &face) != 0) return nullptr;
  }
  auto font = std::make_unique<Font>();
  font->request = request;
  font->face = face;
  font->family = match.family;
  font->file = match.file;
  font->mono = request.lfQuality == NONANTIALIASED_QUALITY;
  int weight = request.lfWeight > 0 ? static_cast<int>(request.lfWeight) : FW_NORMAL;
  font->embolden = weight >= 600 && match.weight < FC_WEIGHT_DEMIBOLD;
  font->oblique = request.lfItalic && match.slant == FC_SLANT_ROMAN;
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && face->num_charmaps > 0)
    FT_Set_Charmap(face, face->charmaps[0]);
  if (!SizeFace(*font)) return nullptr;
  ++LiveCount();
  return font.release();
}

const Glyph& FontGlyph(Font& font, std::uint32_t code) {
  auto found = font.glyphs.find(code);
  if (found != font.glyphs.end()) return found->second;
  Glyph& glyph = font.glyphs[code];
  FT_Face face = font.face;
  FT_UInt index = FT_Get_Char_Index(face, code);
  FT_Int32 flags = font.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
  if (FT_Load_Glyph(face, index, flags) != 0) return glyph;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (font.oblique) FT_GlyphSlot_Oblique(slot);
    if (font.embolden) FT_GlyphSlot_Embolden(slot);
  }
  glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, font.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
    return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.rows, 0);
  for (int row = 0; row < glyph.rows; ++row) {
    const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
    std::uint8_t* out = glyph.coverage.data() + static_cast<std::size_t>(row) * glyph.width;
    for (int column = 0; column < glyph.width; ++column) {
      switch (bitmap.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
          out[column] = (line[column >> 3] & (0x80 >> (column & 7))) ? 255 : 0;
          break;
        case FT_PIXEL_MODE_GRAY:
          out[column] = static_cast<std::uint8_t>(
              bitmap.num_grays == 256 ? line[column]
                                      : line[column] * 255 / std::max(1, bitmap.num_grays - 1));
          break;
        case FT_PIXEL_MODE_BGRA:
          out[column] = line[column * 4 + 3];
          break;
        default:
          break;
      }
    }
  }
  return glyph;
}

Font* StockFont(int index) {
  FreeTypeLibrary& globals = Globals();
  Stock* stock = nullptr;
  LOGFONTA request{};
  request.lfCharSet = ANSI_CHARSET;
  switch (index) {
    case SYSTEM_FONT:
      stock = &globals.system_font;
      request.lfHeight = 16;
      request.lfWeight = FW_BOLD;
      std::strcpy(request.lfFaceName, "System");
      break;
    case SYSTEM_FIXED_FONT:
      stock = &globals.fixed_font;
      request.lfHeight = 15;
      request.lfWeight = FW_NORMAL;
      request.lfPitchAndFamily = FIXED_PITCH;
      std::strcpy(request.lfFaceName, "Fixedsys");
      break;
    case DEFAULT_GUI_FONT:
      stock = &globals.gui_font;
      request.lfHeight = -11;
      request.lfWeight = FW_NORMAL;
      std::strcpy(request.lfFaceName, "MS Sans Serif");
      break;
    default:
      return nullptr;
  }
  if (!stock->tried) {
    stock->tried = true;
    stock->font.reset(FontCreate(request));
    if (stock->font) {
      stock->font->stock = true;
      --LiveCount();
    }
  }
  return stock->font.get();
}

namespace testing {

const char* FontFamily(HFONT font) {
  if (!font || font->kind != Win32GdiObject::Kind::kFont) return "";
  return static_cast<Font*>(font)->family.c_str();
}

const char* FontFile(HFONT font) {
  if (!font || font->kind != Win32GdiObject::Kind::kFont) return "";
  return static_cast<Font*>(font)->file.c_str();
}

int LiveObjects() {
  return LiveCount();
}

}  // namespace testing

}  // namespace gdi

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face_name) {
  LOGFONTA request{};
  request.lfHeight = height;
  request.lfWidth = width;
  request.lfEscapement = escapement;
  request.lfOrientation = orientation;
  request.lfWeight = weight;
  request.lfItalic = italic ? 1 : 0;
  request.lfUnderline = underline ? 1 : 0;
  request.lfStrikeOut = strike_out ? 1 : 0;
  request.lfCharSet = static_cast<BYTE>(charset);
  request.lfOutPrecision = static_cast<BYTE>(out_precision);
  request.lfClipPrecision = static_cast<BYTE>(clip_precision);
  request.lfQuality = static_cast<BYTE>(quality);
  request.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
  if (face_name) std::strncpy(request.lfFaceName, face_name, LF_FACESIZE - 1);
  return CreateFontIndirectA(&request);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  LOGFONTA request = *font;
  request.lfFaceName[LF_FACESIZE - 1] = 0;
  return gdi::FontCreate(request);
}

HGDIOBJ GetStockObject(int index) {
  return gdi::StockFont(index);
}

int EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA proc, LPARAM param, DWORD flags) {
  if (!proc) return 0;
  FcConfig* config = gdi::Config();
  if (!config) return 0;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = pattern && objects ? FcFontList(config, pattern, objects) : nullptr;
  // One entry per family, in name order; a face can list several names, the first is its own.
  std::set<std::string, decltype([](const std::string& a, const std::string& b) {
             return strcasecmp(a.c_str(), b.c_str()) < 0;
           })>
      families;
  for (int i = 0; fonts && i < fonts->nfont; ++i) {
    FcChar8* family = nullptr;
    if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch && family)
      families.insert(reinterpret_cast<const char*>(family));
  }
  if (fonts) FcFontSetDestroy(fonts);
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);
  int result = 1;
  for (const std::string& family : families) {
    if (font && font->lfFaceName[0] &&
        strncasecmp(font->lfFaceName, family.c_str(), LF_FACESIZE) != 0)
      continue;
    LOGFONTA entry{};
    entry.lfWeight = FW_NORMAL;
    entry.lfCharSet = ANSI_CHARSET;
    entry.lfQuality = DEFAULT_QUALITY;
    entry.lfPitchAndFamily = VARIABLE_PITCH;
    std::strncpy(entry.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    TEXTMETRICA metrics{};
    metrics.tmWeight = FW_NORMAL;
    metrics.tmCharSet = ANSI_CHARSET;
    metrics.tmDigitizedAspectX = metrics.tmDigitizedAspectY = 96;
    result = proc(&entry, &metrics, TRUETYPE_FONTTYPE, param);
    if (result == 0) break;
  }
  return result;
}
