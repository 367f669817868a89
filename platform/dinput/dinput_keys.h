// Keyboard scan codes of the DirectInput stand-in (DIK_*, the platform's values: the set-1 make
// codes, with 0x80 added for the extended keys) and the translation from SDL's scan codes.
#pragma once

#include <cstdint>

#include "platform/win32/win_types.h"

constexpr BYTE DIK_ESCAPE = 0x01;
constexpr BYTE DIK_1 = 0x02;
constexpr BYTE DIK_2 = 0x03;
constexpr BYTE DIK_3 = 0x04;
constexpr BYTE DIK_4 = 0x05;
constexpr BYTE DIK_5 = 0x06;
constexpr BYTE DIK_6 = 0x07;
constexpr BYTE DIK_7 = 0x08;
constexpr BYTE DIK_8 = 0x09;
constexpr BYTE DIK_9 = 0x0A;
constexpr BYTE DIK_0 = 0x0B;
constexpr BYTE DIK_MINUS = 0x0C;
constexpr BYTE DIK_EQUALS = 0x0D;
constexpr BYTE DIK_BACK = 0x0E;
constexpr BYTE DIK_TAB = 0x0F;
constexpr BYTE DIK_Q = 0x10;
constexpr BYTE DIK_W = 0x11;
constexpr BYTE DIK_E = 0x12;
constexpr BYTE DIK_R = 0x13;
constexpr BYTE DIK_T = 0x14;
constexpr BYTE DIK_Y = 0x15;
constexpr BYTE DIK_U = 0x16;
constexpr BYTE DIK_I = 0x17;
constexpr BYTE DIK_O = 0x18;
constexpr BYTE DIK_P = 0x19;
constexpr BYTE DIK_LBRACKET = 0x1A;
constexpr BYTE DIK_RBRACKET = 0x1B;
constexpr BYTE DIK_RETURN = 0x1C;
constexpr BYTE DIK_LCONTROL = 0x1D;
constexpr BYTE DIK_A = 0x1E;
constexpr BYTE DIK_S = 0x1F;
constexpr BYTE DIK_D = 0x20;
constexpr BYTE DIK_F = 0x21;
constexpr BYTE DIK_G = 0x22;
constexpr BYTE DIK_H = 0x23;
constexpr BYTE DIK_J = 0x24;
constexpr BYTE DIK_K = 0x25;
constexpr BYTE DIK_L = 0x26;
constexpr BYTE DIK_SEMICOLON = 0x27;
constexpr BYTE DIK_APOSTROPHE = 0x28;
constexpr BYTE DIK_GRAVE = 0x29;
constexpr BYTE DIK_LSHIFT = 0x2A;
constexpr BYTE DIK_BACKSLASH = 0x2B;
constexpr BYTE DIK_Z = 0x2C;
constexpr BYTE DIK_X = 0x2D;
constexpr BYTE DIK_C = 0x2E;
constexpr BYTE DIK_V = 0x2F;
constexpr BYTE DIK_B = 0x30;
constexpr BYTE DIK_N = 0x31;
constexpr BYTE DIK_M = 0x32;
constexpr BYTE DIK_COMMA = 0x33;
constexpr BYTE DIK_PERIOD = 0x34;
constexpr BYTE DIK_SLASH = 0x35;
constexpr BYTE DIK_RSHIFT = 0x36;
constexpr BYTE DIK_MULTIPLY = 0x37;
constexpr BYTE DIK_LMENU = 0x38;
constexpr BYTE DIK_SPACE = 0x39;
constexpr BYTE DIK_CAPITAL = 0x3A;
constexpr BYTE DIK_F1 = 0x3B;
constexpr BYTE DIK_F2 = 0x3C;
constexpr BYTE DIK_F3 = 0x3D;
constexpr BYTE DIK_F4 = 0x3E;
constexpr BYTE DIK_F5 = 0x3F;
constexpr BYTE DIK_F6 = 0x40;
constexpr BYTE DIK_F7 = 0x41;
constexpr BYTE DIK_F8 = 0x42;
constexpr BYTE DIK_F9 = 0x43;
constexpr BYTE DIK_F10 = 0x44;
constexpr BYTE DIK_NUMLOCK = 0x45;
constexpr BYTE DIK_SCROLL = 0x46;
constexpr BYTE DIK_NUMPAD7 = 0x47;
constexpr BYTE DIK_NUMPAD8 = 0x48;
constexpr BYTE DIK_NUMPAD9 = 0x49;
constexpr BYTE DIK_SUBTRACT = 0x4A;
constexpr BYTE DIK_NUMPAD4 = 0x4B;
constexpr BYTE DIK_NUMPAD5 = 0x4C;
constexpr BYTE DIK_NUMPAD6 = 0x4D;
constexpr BYTE DIK_ADD = 0x4E;
constexpr BYTE DIK_NUMPAD1 = 0x4F;
constexpr BYTE DIK_NUMPAD2 = 0x50;
constexpr BYTE DIK_NUMPAD3 = 0x51;
constexpr BYTE DIK_NUMPAD0 = 0x52;
constexpr BYTE DIK_DECIMAL = 0x53;
constexpr BYTE DIK_OEM_102 = 0x56;
constexpr BYTE DIK_F11 = 0x57;
constexpr BYTE DIK_F12 = 0x58;
constexpr BYTE DIK_F13 = 0x64;
constexpr BYTE DIK_F14 = 0x65;
constexpr BYTE DIK_F15 = 0x66;
constexpr BYTE DIK_KANA = 0x70;
constexpr BYTE DIK_ABNT_C1 = 0x73;
constexpr BYTE DIK_CONVERT = 0x79;
constexpr BYTE DIK_NOCONVERT = 0x7B;
constexpr BYTE DIK_YEN = 0x7D;
constexpr BYTE DIK_ABNT_C2 = 0x7E;
constexpr BYTE DIK_NUMPADEQUALS = 0x8D;
constexpr BYTE DIK_PREVTRACK = 0x90;
constexpr BYTE DIK_AT = 0x91;
constexpr BYTE DIK_COLON = 0x92;
constexpr BYTE DIK_UNDERLINE = 0x93;
constexpr BYTE DIK_KANJI = 0x94;
constexpr BYTE DIK_STOP = 0x95;
constexpr BYTE DIK_AX = 0x96;
constexpr BYTE DIK_UNLABELED = 0x97;
constexpr BYTE DIK_NEXTTRACK = 0x99;
constexpr BYTE DIK_NUMPADENTER = 0x9C;
constexpr BYTE DIK_RCONTROL = 0x9D;
constexpr BYTE DIK_MUTE = 0xA0;
constexpr BYTE DIK_CALCULATOR = 0xA1;
constexpr BYTE DIK_PLAYPAUSE = 0xA2;
constexpr BYTE DIK_MEDIASTOP = 0xA4;
constexpr BYTE DIK_VOLUMEDOWN = 0xAE;
constexpr BYTE DIK_VOLUMEUP = 0xB0;
constexpr BYTE DIK_WEBHOME = 0xB2;
constexpr BYTE DIK_NUMPADCOMMA = 0xB3;
constexpr BYTE DIK_DIVIDE = 0xB5;
constexpr BYTE DIK_SYSRQ = 0xB7;
constexpr BYTE DIK_RMENU = 0xB8;
constexpr BYTE DIK_PAUSE = 0xC5;
constexpr BYTE DIK_HOME = 0xC7;
constexpr BYTE DIK_UP = 0xC8;
constexpr BYTE DIK_PRIOR = 0xC9;
constexpr BYTE DIK_LEFT = 0xCB;
constexpr BYTE DIK_RIGHT = 0xCD;
constexpr BYTE DIK_END = 0xCF;
constexpr BYTE DIK_DOWN = 0xD0;
constexpr BYTE DIK_NEXT = 0xD1;
constexpr BYTE DIK_INSERT = 0xD2;
constexpr BYTE DIK_DELETE = 0xD3;
constexpr BYTE DIK_LWIN = 0xDB;
constexpr BYTE DIK_RWIN = 0xDC;
constexpr BYTE DIK_APPS = 0xDD;
constexpr BYTE DIK_POWER = 0xDE;
constexpr BYTE DIK_SLEEP = 0xDF;
constexpr BYTE DIK_WAKE = 0xE3;
constexpr BYTE DIK_WEBSEARCH = 0xE5;
constexpr BYTE DIK_WEBFAVORITES = 0xE6;
constexpr BYTE DIK_WEBREFRESH = 0xE7;
constexpr BYTE DIK_WEBSTOP = 0xE8;
constexpr BYTE DIK_WEBFORWARD = 0xE9;
constexpr BYTE DIK_WEBBACK = 0xEA;
constexpr BYTE DIK_MYCOMPUTER = 0xEB;
constexpr BYTE DIK_MAIL = 0xEC;
constexpr BYTE DIK_MEDIASELECT = 0xED;

// Alternative names the platform gives some keys.
constexpr BYTE DIK_BACKSPACE = DIK_BACK;
constexpr BYTE DIK_NUMPADSTAR = DIK_MULTIPLY;
constexpr BYTE DIK_LALT = DIK_LMENU;
constexpr BYTE DIK_CAPSLOCK = DIK_CAPITAL;
constexpr BYTE DIK_NUMPADMINUS = DIK_SUBTRACT;
constexpr BYTE DIK_NUMPADPLUS = DIK_ADD;
constexpr BYTE DIK_NUMPADPERIOD = DIK_DECIMAL;
constexpr BYTE DIK_NUMPADSLASH = DIK_DIVIDE;
constexpr BYTE DIK_RALT = DIK_RMENU;
constexpr BYTE DIK_UPARROW = DIK_UP;
constexpr BYTE DIK_PGUP = DIK_PRIOR;
constexpr BYTE DIK_LEFTARROW = DIK_LEFT;
constexpr BYTE DIK_RIGHTARROW = DIK_RIGHT;
constexpr BYTE DIK_DOWNARROW = DIK_DOWN;
constexpr BYTE DIK_PGDN = DIK_NEXT;

namespace dinput {

// The scan code of an SDL scan code (an SDL_Scancode value), 0 for keys the keyboard format
// has no place for.
BYTE DikFromSdlScancode(int sdl_scancode);

}  // namespace dinput
