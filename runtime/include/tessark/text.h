// The text module's game-facing operations: the font and its style, drawing strings on the
// back buffer, measuring them, the print engine's input line and the runtime's string
// functions. Every text these functions return is new, made by the runtime; give it back with
// TextFree when done with it.
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Font and style. Each setter rebuilds the glyph atlas (TextSetSize only when the size changes).
void TextSetFont(const char* name);
void TextSetFontCharset(const char* name, std::int32_t charset);
void TextSetSize(std::uint32_t size);  // at most 100
void TextSetNormal();
void TextSetBold();
void TextSetItalic();
void TextSetBoldItalic();
void TextSetOpaque();
void TextSetTransparent();
void TextSetColour(std::int32_t alpha, std::int32_t red, std::int32_t green, std::int32_t blue);

// Drawing: x, y is the top-left of the first character cell; a line feed starts a new line.
void TextPrintAt(std::int32_t x, std::int32_t y, const char* text);
void TextCentreAt(std::int32_t x, std::int32_t y, const char* text);
// Draws the text in 3D space, placed by Text3DSetWorld (the identity at first).
void Text3D(const char* text);
void Text3DSetWorld(const float matrix[16]);

// Queries.
std::int32_t TextWidth(const char* text);
std::int32_t TextHeight(const char* text);
char* TextFontName();
std::int32_t TextSize();
std::int32_t TextStyle();  // bold * 2 + italic
bool TextIsOpaque();
// Fills the runtime's check list with the names of the installed font families.
void TextFontList();

// The print engine: reads a line typed into the window, echoing it at the print cursor, until
// Enter or Escape.
char* PrintInputLine();
std::int32_t PrintInputInteger();
float PrintInputReal();

// String functions. Positions count from 1; a null text counts as "".
char* TextLeft(const char* text, std::int32_t count);
char* TextRight(const char* text, std::int32_t count);
char* TextMid(const char* text, std::int32_t position);  // the one character there
char* TextUpper(const char* text);
char* TextLower(const char* text);
char* TextFromInteger(std::int32_t value);  // "%d"
char* TextFromFloat(float value);           // "%.12g"
char* TextFromDouble(double value);         // "%.16g"
char* TextHex(std::uint32_t value);         // "%X"
char* TextBinary(std::uint32_t value);      // 32 digits
char* TextChar(std::int32_t code);
std::int32_t TextCode(const char* text);  // code of the first character, 0 for ""
std::int32_t TextLength(const char* text);
float TextValue(const char* text);
char* TextSpaces(std::int32_t count);
char* TextFirstToken(const char* text, const char* delimiters);
char* TextNextToken(const char* delimiters);
char* TextReverse(const char* text);
std::int32_t TextFind(const char* text, const char* search);  // 0 when absent

}  // namespace tessark
