/// @file
/// Key and mouse-button names: the scan codes KeyState and KeyScancode use, and the bits of
/// MouseButtons. A scan code names a key's place on the keyboard, not the character it types:
/// key::kA is the key to the left of S whatever the keyboard layout, and KeyState(key::kA) is true
/// while it is held. Typed characters come from EntryText. The values are the set-1 make codes,
/// with 128 added for the extended keys, so they fit 0 to 255. The guide has them as a table.
#pragma once

#include <cstdint>

/// Scan codes of the keys, for KeyState and KeyScancode.
namespace tessark::key {

/// Escape
inline constexpr std::int32_t kEscape = 1;
/// 1
inline constexpr std::int32_t k1 = 2;
/// 2
inline constexpr std::int32_t k2 = 3;
/// 3
inline constexpr std::int32_t k3 = 4;
/// 4
inline constexpr std::int32_t k4 = 5;
/// 5
inline constexpr std::int32_t k5 = 6;
/// 6
inline constexpr std::int32_t k6 = 7;
/// 7
inline constexpr std::int32_t k7 = 8;
/// 8
inline constexpr std::int32_t k8 = 9;
/// 9
inline constexpr std::int32_t k9 = 10;
/// 0
inline constexpr std::int32_t k0 = 11;
/// - _
inline constexpr std::int32_t kMinus = 12;
/// = +
inline constexpr std::int32_t kEquals = 13;
/// Backspace
inline constexpr std::int32_t kBackspace = 14;
/// Tab
inline constexpr std::int32_t kTab = 15;
/// Q
inline constexpr std::int32_t kQ = 16;
/// W
inline constexpr std::int32_t kW = 17;
/// E
inline constexpr std::int32_t kE = 18;
/// R
inline constexpr std::int32_t kR = 19;
/// T
inline constexpr std::int32_t kT = 20;
/// Y
inline constexpr std::int32_t kY = 21;
/// U
inline constexpr std::int32_t kU = 22;
/// I
inline constexpr std::int32_t kI = 23;
/// O
inline constexpr std::int32_t kO = 24;
/// P
inline constexpr std::int32_t kP = 25;
/// [ {
inline constexpr std::int32_t kLeftBracket = 26;
/// ] }
inline constexpr std::int32_t kRightBracket = 27;
/// Return (Enter on the main keys)
inline constexpr std::int32_t kReturn = 28;
/// left Control
inline constexpr std::int32_t kLeftControl = 29;
/// A
inline constexpr std::int32_t kA = 30;
/// S
inline constexpr std::int32_t kS = 31;
/// D
inline constexpr std::int32_t kD = 32;
/// F
inline constexpr std::int32_t kF = 33;
/// G
inline constexpr std::int32_t kG = 34;
/// H
inline constexpr std::int32_t kH = 35;
/// J
inline constexpr std::int32_t kJ = 36;
/// K
inline constexpr std::int32_t kK = 37;
/// L
inline constexpr std::int32_t kL = 38;
/// ; :
inline constexpr std::int32_t kSemicolon = 39;
/// ' "
inline constexpr std::int32_t kApostrophe = 40;
/// ` ~
inline constexpr std::int32_t kGrave = 41;
/// left Shift
inline constexpr std::int32_t kLeftShift = 42;
/// backslash and |, above Return
inline constexpr std::int32_t kBackslash = 43;
/// Z
inline constexpr std::int32_t kZ = 44;
/// X
inline constexpr std::int32_t kX = 45;
/// C
inline constexpr std::int32_t kC = 46;
/// V
inline constexpr std::int32_t kV = 47;
/// B
inline constexpr std::int32_t kB = 48;
/// N
inline constexpr std::int32_t kN = 49;
/// M
inline constexpr std::int32_t kM = 50;
/// , <
inline constexpr std::int32_t kComma = 51;
/// . >
inline constexpr std::int32_t kPeriod = 52;
/// / ?
inline constexpr std::int32_t kSlash = 53;
/// right Shift
inline constexpr std::int32_t kRightShift = 54;
/// * on the number pad
inline constexpr std::int32_t kPadMultiply = 55;
/// left Alt
inline constexpr std::int32_t kLeftAlt = 56;
/// space bar
inline constexpr std::int32_t kSpace = 57;
/// Caps Lock
inline constexpr std::int32_t kCapsLock = 58;
/// F1
inline constexpr std::int32_t kF1 = 59;
/// F2
inline constexpr std::int32_t kF2 = 60;
/// F3
inline constexpr std::int32_t kF3 = 61;
/// F4
inline constexpr std::int32_t kF4 = 62;
/// F5
inline constexpr std::int32_t kF5 = 63;
/// F6
inline constexpr std::int32_t kF6 = 64;
/// F7
inline constexpr std::int32_t kF7 = 65;
/// F8
inline constexpr std::int32_t kF8 = 66;
/// F9
inline constexpr std::int32_t kF9 = 67;
/// F10
inline constexpr std::int32_t kF10 = 68;
/// Num Lock
inline constexpr std::int32_t kNumLock = 69;
/// Scroll Lock
inline constexpr std::int32_t kScrollLock = 70;
/// 7 on the number pad
inline constexpr std::int32_t kPad7 = 71;
/// 8 on the number pad
inline constexpr std::int32_t kPad8 = 72;
/// 9 on the number pad
inline constexpr std::int32_t kPad9 = 73;
/// - on the number pad
inline constexpr std::int32_t kPadMinus = 74;
/// 4 on the number pad
inline constexpr std::int32_t kPad4 = 75;
/// 5 on the number pad
inline constexpr std::int32_t kPad5 = 76;
/// 6 on the number pad
inline constexpr std::int32_t kPad6 = 77;
/// + on the number pad
inline constexpr std::int32_t kPadPlus = 78;
/// 1 on the number pad
inline constexpr std::int32_t kPad1 = 79;
/// 2 on the number pad
inline constexpr std::int32_t kPad2 = 80;
/// 3 on the number pad
inline constexpr std::int32_t kPad3 = 81;
/// 0 on the number pad
inline constexpr std::int32_t kPad0 = 82;
/// . on the number pad
inline constexpr std::int32_t kPadPoint = 83;
/// < > beside left Shift (102-key keyboards)
inline constexpr std::int32_t kLessGreater = 86;
/// F11
inline constexpr std::int32_t kF11 = 87;
/// F12
inline constexpr std::int32_t kF12 = 88;
/// F13
inline constexpr std::int32_t kF13 = 100;
/// F14
inline constexpr std::int32_t kF14 = 101;
/// F15
inline constexpr std::int32_t kF15 = 102;
/// Kana (Japanese keyboards)
inline constexpr std::int32_t kKana = 112;
/// / ? (Brazilian keyboards)
inline constexpr std::int32_t kAbntC1 = 115;
/// Convert (Japanese keyboards)
inline constexpr std::int32_t kConvert = 121;
/// No Convert (Japanese keyboards)
inline constexpr std::int32_t kNoConvert = 123;
/// Yen (Japanese keyboards)
inline constexpr std::int32_t kYen = 125;
/// . on the number pad (Brazilian keyboards)
inline constexpr std::int32_t kAbntC2 = 126;
/// = on the number pad
inline constexpr std::int32_t kPadEquals = 141;
/// previous track
inline constexpr std::int32_t kPreviousTrack = 144;
/// at sign (Japanese keyboards)
inline constexpr std::int32_t kAt = 145;
/// : (Japanese keyboards)
inline constexpr std::int32_t kColon = 146;
/// _ (Japanese keyboards)
inline constexpr std::int32_t kUnderline = 147;
/// Kanji (Japanese keyboards)
inline constexpr std::int32_t kKanji = 148;
/// Stop
inline constexpr std::int32_t kStop = 149;
/// AX (Japanese keyboards)
inline constexpr std::int32_t kAx = 150;
/// unlabelled key (Japanese keyboards)
inline constexpr std::int32_t kUnlabeled = 151;
/// next track
inline constexpr std::int32_t kNextTrack = 153;
/// Enter on the number pad
inline constexpr std::int32_t kPadEnter = 156;
/// right Control
inline constexpr std::int32_t kRightControl = 157;
/// mute
inline constexpr std::int32_t kMute = 160;
/// calculator
inline constexpr std::int32_t kCalculator = 161;
/// play/pause
inline constexpr std::int32_t kPlayPause = 162;
/// media stop
inline constexpr std::int32_t kMediaStop = 164;
/// volume down
inline constexpr std::int32_t kVolumeDown = 174;
/// volume up
inline constexpr std::int32_t kVolumeUp = 176;
/// web home
inline constexpr std::int32_t kWebHome = 178;
/// , on the number pad
inline constexpr std::int32_t kPadComma = 179;
/// / on the number pad
inline constexpr std::int32_t kPadDivide = 181;
/// Print Screen / SysRq
inline constexpr std::int32_t kPrintScreen = 183;
/// right Alt (AltGr)
inline constexpr std::int32_t kRightAlt = 184;
/// Pause
inline constexpr std::int32_t kPause = 197;
/// Home
inline constexpr std::int32_t kHome = 199;
/// up arrow
inline constexpr std::int32_t kUp = 200;
/// Page Up
inline constexpr std::int32_t kPageUp = 201;
/// left arrow
inline constexpr std::int32_t kLeft = 203;
/// right arrow
inline constexpr std::int32_t kRight = 205;
/// End
inline constexpr std::int32_t kEnd = 207;
/// down arrow
inline constexpr std::int32_t kDown = 208;
/// Page Down
inline constexpr std::int32_t kPageDown = 209;
/// Insert
inline constexpr std::int32_t kInsert = 210;
/// Delete
inline constexpr std::int32_t kDelete = 211;
/// left Windows/Super
inline constexpr std::int32_t kLeftSuper = 219;
/// right Windows/Super
inline constexpr std::int32_t kRightSuper = 220;
/// Menu (application key)
inline constexpr std::int32_t kMenu = 221;
/// power
inline constexpr std::int32_t kPower = 222;
/// sleep
inline constexpr std::int32_t kSleep = 223;
/// wake
inline constexpr std::int32_t kWake = 227;
/// web search
inline constexpr std::int32_t kWebSearch = 229;
/// web favourites
inline constexpr std::int32_t kWebFavorites = 230;
/// web refresh
inline constexpr std::int32_t kWebRefresh = 231;
/// web stop
inline constexpr std::int32_t kWebStop = 232;
/// web forward
inline constexpr std::int32_t kWebForward = 233;
/// web back
inline constexpr std::int32_t kWebBack = 234;
/// my computer
inline constexpr std::int32_t kMyComputer = 235;
/// mail
inline constexpr std::int32_t kMail = 236;
/// media select
inline constexpr std::int32_t kMediaSelect = 237;

}  // namespace tessark::key

/// The bits of MouseButtons: a held button's bit is set; several can be held at once.
namespace tessark::mouse {

/// The left (primary) button.
inline constexpr std::int32_t kLeft = 1;
/// The right button.
inline constexpr std::int32_t kRight = 2;
/// The middle button (pressing the wheel).
inline constexpr std::int32_t kMiddle = 4;
/// The fourth button (often "back" on the side of the mouse).
inline constexpr std::int32_t kFourth = 8;

}  // namespace tessark::mouse
