/// @file
/// Tessark: the game-facing API. Plain functions, named noun-first (ImageLoad, FrameSync ...).
/// Each module's operations live in a header of their own; this one brings in all of them.
#pragma once

#include "tessark/core.h"
#include "tessark/errors.h"

#if __has_include("tessark/display.h")
#include "tessark/display.h"
#endif
#if __has_include("tessark/basic2d.h")
#include "tessark/basic2d.h"
#endif
#if __has_include("tessark/text.h")
#include "tessark/text.h"
#endif
#if __has_include("tessark/image.h")
#include "tessark/image.h"
#endif
#if __has_include("tessark/sprite.h")
#include "tessark/sprite.h"
#endif
#if __has_include("tessark/input.h")
#include "tessark/input.h"
#endif
#include "tessark/keys.h"
#if __has_include("tessark/system.h")
#include "tessark/system.h"
#endif
#if __has_include("tessark/sound.h")
#include "tessark/sound.h"
#endif
#if __has_include("tessark/music.h")
#include "tessark/music.h"
#endif
#if __has_include("tessark/file.h")
#include "tessark/file.h"
#endif
#if __has_include("tessark/ftp.h")
#include "tessark/ftp.h"
#endif
#if __has_include("tessark/memblock.h")
#include "tessark/memblock.h"
#endif
#if __has_include("tessark/bitmap.h")
#include "tessark/bitmap.h"
#endif
