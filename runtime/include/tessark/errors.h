/// @file
/// Runtime errors: what went wrong, for a game that wants to know. A failing operation returns
/// its failure value and records a code in the runtime's one error word; nothing is shown, the
/// program goes on, and a later error overwrites an earlier one. The codes are named below.
///
/// Beside the code, ErrorDetail says what failed in words: the call, its id and file, and the
/// system's or decoder's own reason (`ImageLoad("fruit.png", 7): no such file`). A log receives
/// every error and notice as it happens, when the game asks for one: set the environment
/// variable `TESSARK_LOG=1` (standard error) or `TESSARK_LOG=<file>` (appended to that file), or
/// hand a function to ErrorLogSet. With neither, nothing is printed and nothing changes.
#pragma once

#include <cstdint>

namespace tessark {

/// The code of the most recent runtime error; 0 when none has been raised (or the runtime is not
/// open).
std::int32_t ErrorCode();

/// One sentence saying what a code means; a general sentence for a code the runtime never raises.
/// The text is the runtime's own and lives for the whole program: do not free it.
const char* ErrorText(std::int32_t code);

/// What the most recent error was about, in words: `SpriteSet(1, 10, 10, 77): image 77 does not
/// exist`. "" when that error's operation gives no detail (or no error has been raised). The
/// text belongs to the runtime and changes with the next error: copy it to keep it.
const char* ErrorDetail();

/// One error or notice, as the log receives it. The texts live only during the call.
struct ErrorReport {
  bool notice;           ///< a notice: something went wrong that raises no code
  std::int32_t code;     ///< the error code (as ErrorCode will then answer); 0 for a notice
  const char* sentence;  ///< ErrorText(code), or the notice's own text
  const char* detail;    ///< as ErrorDetail; "" for a notice and for operations that give none
};

/// A function that receives every report; context is what ErrorLogSet was given.
using ErrorLogFn = void (*)(const ErrorReport& report, void* context);

/// Hands every later error and notice to log as it happens, on the thread that raised it (the
/// game's). Null turns the callback off; `TESSARK_LOG` prints whether or not a callback is set.
/// The log may call the runtime; reports raised while it runs are not logged again.
void ErrorLogSet(ErrorLogFn log, void* context = nullptr);

}  // namespace tessark

/// Every code the modules raise. A code shared by several modules names the condition they
/// share (a memory-block transfer raises the image, sound and bitmap modules' codes for their
/// objects).
namespace tessark::error {

/// No runtime error has been raised.
inline constexpr std::int32_t kNone = 0;

// Arrays (memory-block transfers).
/// The array has an element size of 0.
inline constexpr std::int32_t kArrayElementSizeZero = 53;
/// There is no such array.
inline constexpr std::int32_t kArrayMissing = 109;

// Text.
/// The text operation failed.
inline constexpr std::int32_t kTextFailed = 101;

// Numbered files.
/// The file does not exist.
inline constexpr std::int32_t kFileMissing = 105;

// Sprites.
/// The animated sprite could not be created.
inline constexpr std::int32_t kSpriteCreateFailed = 300;
/// The sprite id is outside 1 to 22000000.
inline constexpr std::int32_t kSpriteIdOutOfRange = 301;
/// There is no sprite with that id.
inline constexpr std::int32_t kSpriteMissing = 302;
/// The sprite background mode is outside 0 to 2.
inline constexpr std::int32_t kSpriteBackgroundModeInvalid = 303;
/// The sprite transparency flag is neither 0 nor 1.
inline constexpr std::int32_t kSpriteTransparentFlagInvalid = 304;
/// The sprite scale is outside 0 to 250000 percent.
inline constexpr std::int32_t kSpriteScaleOutOfRange = 311;
/// The sprite width or height is negative.
inline constexpr std::int32_t kSpriteSizeNegative = 312;
/// The sprite alpha is outside 0 to 255.
inline constexpr std::int32_t kSpriteAlphaOutOfRange = 314;
/// A sprite colour component is outside 0 to 255.
inline constexpr std::int32_t kSpriteColourOutOfRange = 315;
/// The sprite animation delay is outside 0 to 22000000.
inline constexpr std::int32_t kSpriteDelayOutOfRange = 316;
/// The sprite vertex number is outside 0 to 3.
inline constexpr std::int32_t kSpriteVertexOutOfRange = 317;
/// The number of frames across is outside 1 to 22000000.
inline constexpr std::int32_t kSpriteAcrossOutOfRange = 318;
/// The number of frames down is outside 1 to 22000000.
inline constexpr std::int32_t kSpriteDownOutOfRange = 319;
/// The frame sheet's image id is outside 0 to 22000000.
inline constexpr std::int32_t kSpriteSheetImageOutOfRange = 320;
/// A sprite with that id exists already.
inline constexpr std::int32_t kSpriteIdInUse = 321;

// Images.
/// The image could not be saved.
inline constexpr std::int32_t kImageSaveFailed = 500;
/// The image id (or frame) is outside 1 to 22000000.
inline constexpr std::int32_t kImageIdOutOfRange = 501;
/// There is no image with that id.
inline constexpr std::int32_t kImageMissing = 502;
/// The grab rectangle is larger than the render target.
inline constexpr std::int32_t kImageGrabTooLarge = 504;
/// The image file could not be loaded.
inline constexpr std::int32_t kImageLoadFailed = 506;
/// The image holds no data.
inline constexpr std::int32_t kImageNoData = 507;

// Bitmaps.
/// The bitmap id is outside its range.
inline constexpr std::int32_t kBitmapIdOutOfRange = 1001;
/// There is no bitmap with that id.
inline constexpr std::int32_t kBitmapMissing = 1002;
/// The bitmap file could not be loaded.
inline constexpr std::int32_t kBitmapLoadFailed = 1003;

// The display.
/// The display width or height is 0 or less.
inline constexpr std::int32_t kDisplaySizeInvalid = 1501;
/// The display depth is not 16, 24 or 32.
inline constexpr std::int32_t kDisplayDepthInvalid = 1502;
/// The windowed flag is neither 0 nor 1.
inline constexpr std::int32_t kDisplayWindowedFlagInvalid = 1503;
/// No 16-bit display mode fits that size.
inline constexpr std::int32_t kDisplayMode16Unsupported = 1505;
/// No 32-bit display mode fits that size.
inline constexpr std::int32_t kDisplayMode32Unsupported = 1507;
/// The vertex processing mode is unknown.
inline constexpr std::int32_t kDisplayVertexProcessingInvalid = 1508;
/// The lockable flag is neither 0 nor 1.
inline constexpr std::int32_t kDisplayLockableFlagInvalid = 1509;
/// There is no graphics interface to set the display up with.
inline constexpr std::int32_t kDisplayInterfaceMissing = 1510;
/// The graphics device could not be created.
inline constexpr std::int32_t kDisplayDeviceFailed = 1511;
/// The graphics device is not available.
inline constexpr std::int32_t kDisplayDeviceNotAvailable = 1512;
/// There is not enough video memory for the graphics device.
inline constexpr std::int32_t kDisplayOutOfVideoMemory = 1513;
/// A 24-bit display depth is not supported.
inline constexpr std::int32_t kDisplayDepth24Unsupported = 1514;

// Sounds.
/// The sound play offset is outside 0 to 22000000.
inline constexpr std::int32_t kSoundOffsetOutOfRange = 3000;
/// The sound id is outside its range.
inline constexpr std::int32_t kSoundIdOutOfRange = 3001;
/// The sound could not be loaded.
inline constexpr std::int32_t kSoundLoadFailed = 3002;
/// A sound with that id exists already.
inline constexpr std::int32_t kSoundIdInUse = 3003;
/// There is no sound with that id.
inline constexpr std::int32_t kSoundMissing = 3004;
/// The sound volume is outside 0 to 100.
inline constexpr std::int32_t kSoundVolumeOutOfRange = 3005;
/// The sound rate is outside 100 to 100000.
inline constexpr std::int32_t kSoundSpeedOutOfRange = 3006;
/// The sound pan is outside -10000 to 10000.
inline constexpr std::int32_t kSoundPanOutOfRange = 3007;
/// The sound is not a recording, or its recording is gone.
inline constexpr std::int32_t kSoundNotRecorded = 3008;
/// The cloned sound could not be found after it was added.
inline constexpr std::int32_t kSoundCloneLost = 3021;

// Music.
/// The music id is outside 1 to 22000000.
inline constexpr std::int32_t kMusicIdOutOfRange = 3501;
/// The music could not be loaded.
inline constexpr std::int32_t kMusicLoadFailed = 3502;
/// Music with that id exists already.
inline constexpr std::int32_t kMusicIdInUse = 3503;
/// There is no music with that id.
inline constexpr std::int32_t kMusicMissing = 3504;
/// The music speed is negative.
inline constexpr std::int32_t kMusicSpeedNegative = 3506;
/// The track number is outside 1 to 22000000.
inline constexpr std::int32_t kMusicTrackOutOfRange = 3508;

// Input.
/// No controller of that name was found.
inline constexpr std::int32_t kControllerNotFound = 4001;
/// No force-feedback controller is in use.
inline constexpr std::int32_t kForceFeedbackUnavailable = 4101;
/// The force magnitude is outside 0 to 100.
inline constexpr std::int32_t kForceMagnitudeOutOfRange = 4102;
/// The force duration is negative.
inline constexpr std::int32_t kForceDurationNegative = 4103;
/// The force angle is outside 0 to 360.
inline constexpr std::int32_t kForceAngleOutOfRange = 4104;

// Memory blocks.
/// The memory block number is outside its range.
inline constexpr std::int32_t kMemblockNumberOutOfRange = 5101;
/// A memory block with that number exists already.
inline constexpr std::int32_t kMemblockExists = 5102;
/// There is no memory block with that number.
inline constexpr std::int32_t kMemblockMissing = 5103;
/// The memory block could not be made.
inline constexpr std::int32_t kMemblockAllocFailed = 5104;
/// The position or length is outside the memory block.
inline constexpr std::int32_t kMemblockPositionOutOfRange = 5105;
/// The memory block size is 0 or less.
inline constexpr std::int32_t kMemblockSizeInvalid = 5106;
/// The byte value is outside 0 to 255.
inline constexpr std::int32_t kMemblockByteOutOfRange = 5107;
/// The word value is outside 0 to 65535.
inline constexpr std::int32_t kMemblockWordOutOfRange = 5108;

// Meshes (memory-block transfers).
/// The mesh number is outside its range.
inline constexpr std::int32_t kMeshIdOutOfRange = 7001;
/// The mesh holds no data.
inline constexpr std::int32_t kMeshMissing = 7003;

// Files and folders.
/// The file listing has already reached its end.
inline constexpr std::int32_t kFileListingEnded = 8002;
/// The folder could not be entered.
inline constexpr std::int32_t kDirectorySetFailed = 8003;
/// That file number is already open.
inline constexpr std::int32_t kFileNumberInUse = 8203;
/// No file is open under that number.
inline constexpr std::int32_t kFileNotOpen = 8204;
/// Reading the file failed.
inline constexpr std::int32_t kFileReadFailed = 8211;
/// Writing the file failed.
inline constexpr std::int32_t kFileWriteFailed = 8212;
/// The file number is outside 1 to 64.
inline constexpr std::int32_t kFileNumberOutOfRange = 8213;

}  // namespace tessark::error
