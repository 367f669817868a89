// Byte text to code points for the GDI stand-in. Single-byte character sets read bytes 128 to
// 255 as Windows-1252; the double-byte sets (Shift-JIS, Hangul, GB2312, Big5) decode through
// iconv with the platform's code pages. Bytes that do not decode are dropped.
#include <iconv.h>

#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

namespace {

// Code points of bytes 0x80 to 0x9F in Windows-1252 (the five unassigned bytes map to
// themselves, as the platform's conversion does).
constexpr std::uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* CodePage(int charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET:
      return "CP932";
    case HANGUL_CHARSET:
      return "CP949";
    case GB2312_CHARSET:
      return "CP936";
    case CHINESEBIG5_CHARSET:
      return "CP950";
    default:
      return nullptr;
  }
}

// An open iconv conversion, closed when it goes.
struct Converter {
  iconv_t handle;
  explicit Converter(const char* from) : handle(iconv_open("UTF-32LE", from)) {}
  ~Converter() {
    if (handle != reinterpret_cast<iconv_t>(-1)) iconv_close(handle);
  }
  bool ok() const { return handle != reinterpret_cast<iconv_t>(-1); }
};

void DecodeDoubleByte(const char* text, int count, const char* code_page,
                      std::vector<std::uint32_t>& out) {
  Converter converter(code_page);
  if (!converter.ok()) return;
  char* in = const_cast<char*>(text);
  std::size_t in_left = static_cast<std::size_t>(count);
  while (in_left > 0) {
    std::uint32_t code = 0;
    char* out_ptr = reinterpret_cast<char*>(&code);
    std::size_t out_left = sizeof code;
    // One character at a time: the output room holds exactly one code point.
    const char* before = in;
    iconv(converter.handle, &in, &in_left, &out_ptr, &out_left);
    if (out_left == 0) {
      out.push_back(code);
      continue;
    }
    if (in == before && in_left > 0) {
      // An invalid or cut-off sequence: drop one byte and start afresh.
      ++in;
      --in_left;
      iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

}  // namespace

std::vector<std::uint32_t> TextDecode(const char* text, int count, int charset) {
  std::vector<std::uint32_t> codes;
  if (!text || count <= 0) return codes;
  codes.reserve(static_cast<std::size_t>(count));
  if (const char* code_page = CodePage(charset)) {
    DecodeDoubleByte(text, count, code_page, codes);
    return codes;
  }
  for (int i = 0; i < count; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    codes.push_back(byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return codes;
}

}  // namespace gdi
