// The runtime's string functions. Each returns a new text made through the core's TextAlloc
// (the caller gives it back with TextFree); a null argument counts as the empty text, and
// counts and positions outside the text are clamped rather than read past its end.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/text/text_state.h"
#include "tessark/text.h"

namespace tessark {

namespace {

using tessark::text::State;
using tessark::text::TextMake;
using tessark::text::TextNew;

// The longest text TextSpaces makes: far beyond any use, and small enough to always allocate.
constexpr std::int32_t kMaxSpaces = 1 << 24;

std::size_t Length(const char* text) {
  return text ? std::strlen(text) : 0;
}

char* Printed(const char* format, auto value) {
  char buffer[64];
  int n = std::snprintf(buffer, sizeof buffer, format, value);
  return TextMake(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// Converts each character of a copy of text.
char* Mapped(const char* text, int (*convert)(int)) {
  const std::size_t length = Length(text);
  char* out = TextMake(text, length);
  if (!out) return nullptr;
  for (std::size_t i = 0; i < length; ++i)
    out[i] = static_cast<char>(convert(static_cast<unsigned char>(out[i])));
  return out;
}

// The next token of the text TextFirstToken keeps, skipping leading delimiters.
char* TokenNext(const char* delimiters) {
  std::string& text = State().token_text;
  std::size_t& at = State().token_position;
  const char* set = delimiters ? delimiters : "";
  auto is_delimiter = [&](char c) { return std::strchr(set, c) != nullptr && c != 0; };
  while (at < text.size() && is_delimiter(text[at])) ++at;
  const std::size_t start = at;
  while (at < text.size() && !is_delimiter(text[at])) ++at;
  return TextMake(text.data() + start, at - start);
}

}  // namespace

char* TextLeft(const char* text, std::int32_t count) {
  const std::size_t n = count <= 0 ? 0 : std::min<std::size_t>(count, Length(text));
  return TextMake(text, n);
}

char* TextRight(const char* text, std::int32_t count) {
  const std::size_t length = Length(text);
  const std::size_t n = count <= 0 ? 0 : std::min<std::size_t>(count, length);
  return TextMake(text ? text + (length - n) : nullptr, n);
}

char* TextMid(const char* text, std::int32_t position) {
  const std::size_t length = Length(text);
  if (position < 1 || static_cast<std::size_t>(position) > length) return TextMake(nullptr, 0);
  return TextMake(text + position - 1, 1);
}

char* TextUpper(const char* text) {
  return Mapped(text, std::toupper);
}

char* TextLower(const char* text) {
  return Mapped(text, std::tolower);
}

char* TextFromInteger(std::int32_t value) {
  return Printed("%d", value);
}

char* TextFromFloat(float value) {
  return Printed("%.12g", static_cast<double>(value));
}

char* TextFromDouble(double value) {
  return Printed("%.16g", value);
}

char* TextHex(std::uint32_t value) {
  return Printed("%X", value);
}

char* TextBinary(std::uint32_t value) {
  char digits[32];
  for (int i = 0; i < 32; ++i) digits[i] = (value >> (31 - i)) & 1 ? '1' : '0';
  return TextMake(digits, sizeof digits);
}

char* TextChar(std::int32_t code) {
  const char c = static_cast<char>(code & 0xFF);
  return TextMake(&c, c ? 1 : 0);
}

std::int32_t TextCode(const char* text) {
  return text ? static_cast<unsigned char>(text[0]) : 0;
}

std::int32_t TextLength(const char* text) {
  return static_cast<std::int32_t>(std::min<std::size_t>(Length(text), 0x7FFFFFFF));
}

float TextValue(const char* text) {
  return text ? std::strtof(text, nullptr) : 0.0f;
}

char* TextSpaces(std::int32_t count) {
  const std::size_t n = static_cast<std::size_t>(std::clamp(count, 0, kMaxSpaces));
  char* out = TextNew(n);
  if (out) std::memset(out, ' ', n);
  return out;
}

char* TextFirstToken(const char* text, const char* delimiters) {
  State().token_text = text ? text : "";
  State().token_position = 0;
  return TokenNext(delimiters);
}

char* TextNextToken(const char* delimiters) {
  return TokenNext(delimiters);
}

char* TextReverse(const char* text) {
  const std::size_t length = Length(text);
  char* out = TextMake(text, length);
  if (out) std::reverse(out, out + length);
  return out;
}

std::int32_t TextFind(const char* text, const char* search) {
  if (!text || !search || !*search) return 0;
  const char* found = std::strstr(text, search);
  return found ? static_cast<std::int32_t>(found - text) + 1 : 0;
}

}  // namespace tessark
