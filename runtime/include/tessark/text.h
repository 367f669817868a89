/// @file
/// Text: the font and its style, drawing strings on the back buffer, measuring them, the print
/// engine's input line and the runtime's string functions. Every text these functions return is
/// new, made by the runtime; give it back with TextFree. Nothing here records an error: a font
/// that cannot be found falls back to a default face, and a null text counts as "".
#pragma once

#include <cstdint>

#include "tessark/core.h"

namespace tessark {

// Font and style. Each setter rebuilds the glyph atlas (TextSetSize only when the size changes).
/// Selects a font family by name.
void TextSetFont(const char* name);
/// Selects a font family by name for a character set.
void TextSetFontCharset(const char* name, std::int32_t charset);
/// Sets the size in points; at most 100.
void TextSetSize(std::uint32_t size);
/// Plain style.
void TextSetNormal();
/// Bold style.
void TextSetBold();
/// Italic style.
void TextSetItalic();
/// Bold italic style.
void TextSetBoldItalic();
/// Text is drawn on a box of the ink's background colour.
void TextSetOpaque();
/// Text is drawn without a background box (the default).
void TextSetTransparent();
/// Sets the text colour only until the next drawing call: TextPrintAt, TextCentreAt and Text3D
/// take the ink again, so this does not colour printed text. To colour text, set the ink:
/// `InkSet(ColourRgb(255, 200, 0), 0)` before TextPrintAt.
void TextSetColour(std::int32_t alpha, std::int32_t red, std::int32_t green, std::int32_t blue);

// Drawing: x, y is the top-left of the first character cell; a line feed starts a new line.
/// Draws the text at x, y in the ink.
void TextPrintAt(std::int32_t x, std::int32_t y, const char* text);
/// Draws the text centred on x, with its top at y.
void TextCentreAt(std::int32_t x, std::int32_t y, const char* text);
/// Draws the text in 3D space, placed by Text3DSetWorld (the identity at first).
void Text3D(const char* text);
/// Sets the world matrix 3D text is placed with.
void Text3DSetWorld(const float matrix[16]);

// Queries.
/// The width of the text in pixels in the current font.
std::int32_t TextWidth(const char* text);
/// The height of the text in pixels in the current font.
std::int32_t TextHeight(const char* text);
/// The current font's name, as a new text.
char* TextFontName();
/// The current size in points.
std::int32_t TextSize();
/// The current style: bold * 2 + italic.
std::int32_t TextStyle();
/// Whether text is drawn opaque.
bool TextIsOpaque();
/// Fills the runtime's check list with the names of the installed font families.
void TextFontList();

// The print engine: reads a line typed into the window, echoing it at the print cursor, until
// Enter or Escape.
/// The line typed, as a new text; "" when the window closes first.
char* PrintInputLine();
/// The line typed, as an integer; 0 when it is not a number.
std::int32_t PrintInputInteger();
/// The line typed, as a real number; 0 when it is not a number.
float PrintInputReal();

// String functions. Positions count from 1; counts beyond the text are cut to it.
/// The first count characters, as a new text.
char* TextLeft(const char* text, std::int32_t count);
/// The last count characters, as a new text.
char* TextRight(const char* text, std::int32_t count);
/// The one character at position, as a new text; "" outside the text.
char* TextMid(const char* text, std::int32_t position);
/// The text in capitals, as a new text.
char* TextUpper(const char* text);
/// The text in small letters, as a new text.
char* TextLower(const char* text);
/// The value written as "%d", as a new text.
char* TextFromInteger(std::int32_t value);
/// The value written as "%.12g", as a new text.
char* TextFromFloat(float value);
/// The value written as "%.16g", as a new text.
char* TextFromDouble(double value);
/// The value in hexadecimal ("%X"), as a new text.
char* TextHex(std::uint32_t value);
/// The value as 32 binary digits, as a new text.
char* TextBinary(std::uint32_t value);
/// The one-character text of a character code, as a new text.
char* TextChar(std::int32_t code);
/// The code of the first character; 0 for "".
std::int32_t TextCode(const char* text);
/// The number of characters.
std::int32_t TextLength(const char* text);
/// The number the text starts with; 0 when it starts with none.
float TextValue(const char* text);
/// count spaces, as a new text; "" for a count of 0 or less.
char* TextSpaces(std::int32_t count);
/// Starts splitting text at any of delimiters; the first piece, as a new text ("" when none).
char* TextFirstToken(const char* text, const char* delimiters);
/// The next piece of the text TextFirstToken started on, as a new text; "" after the last.
char* TextNextToken(const char* delimiters);
/// The text backwards, as a new text.
char* TextReverse(const char* text);
/// The position of search in text, counting from 1; 0 when absent.
std::int32_t TextFind(const char* text, const char* search);

}  // namespace tessark
