// Runtime errors: what went wrong, for a game that wants to know. A failing operation returns
// its failure value and records a code in the runtime's one error word; nothing is shown, the
// program goes on, and a later error overwrites an earlier one. The codes are named below.
#pragma once

#include <cstdint>

namespace tessark {

// The code of the most recent runtime error; 0 when none has been raised (or the runtime is not
// open).
std::int32_t ErrorCode();

// One sentence saying what a code means; a general sentence for a code the runtime never raises.
// The text is the runtime's own and lives for the whole program: do not free it.
const char* ErrorText(std::int32_t code);

}  // namespace tessark

// Every code the modules raise. A code shared by several modules names the condition they share
// (a memory-block transfer raises the image, sound and bitmap modules' codes for their objects).
namespace tessark::error {

inline constexpr std::int32_t kNone = 0;

// Arrays (memory-block transfers).
inline constexpr std::int32_t kArrayElementSizeZero = 53;
inline constexpr std::int32_t kArrayMissing = 109;

// Text.
inline constexpr std::int32_t kTextFailed = 101;

// Numbered files.
inline constexpr std::int32_t kFileMissing = 105;

// Sprites.
inline constexpr std::int32_t kSpriteCreateFailed = 300;
inline constexpr std::int32_t kSpriteIdOutOfRange = 301;
inline constexpr std::int32_t kSpriteMissing = 302;
inline constexpr std::int32_t kSpriteBackgroundModeInvalid = 303;
inline constexpr std::int32_t kSpriteTransparentFlagInvalid = 304;
inline constexpr std::int32_t kSpriteScaleOutOfRange = 311;
inline constexpr std::int32_t kSpriteSizeNegative = 312;
inline constexpr std::int32_t kSpriteAlphaOutOfRange = 314;
inline constexpr std::int32_t kSpriteColourOutOfRange = 315;
inline constexpr std::int32_t kSpriteDelayOutOfRange = 316;
inline constexpr std::int32_t kSpriteVertexOutOfRange = 317;
inline constexpr std::int32_t kSpriteAcrossOutOfRange = 318;
inline constexpr std::int32_t kSpriteDownOutOfRange = 319;
inline constexpr std::int32_t kSpriteSheetImageOutOfRange = 320;
inline constexpr std::int32_t kSpriteIdInUse = 321;

// Images.
inline constexpr std::int32_t kImageSaveFailed = 500;
inline constexpr std::int32_t kImageIdOutOfRange = 501;
inline constexpr std::int32_t kImageMissing = 502;
inline constexpr std::int32_t kImageGrabTooLarge = 504;
inline constexpr std::int32_t kImageLoadFailed = 506;
inline constexpr std::int32_t kImageNoData = 507;

// Bitmaps.
inline constexpr std::int32_t kBitmapIdOutOfRange = 1001;
inline constexpr std::int32_t kBitmapMissing = 1002;
inline constexpr std::int32_t kBitmapLoadFailed = 1003;

// The display.
inline constexpr std::int32_t kDisplaySizeInvalid = 1501;
inline constexpr std::int32_t kDisplayDepthInvalid = 1502;
inline constexpr std::int32_t kDisplayWindowedFlagInvalid = 1503;
inline constexpr std::int32_t kDisplayMode16Unsupported = 1505;
inline constexpr std::int32_t kDisplayMode32Unsupported = 1507;
inline constexpr std::int32_t kDisplayVertexProcessingInvalid = 1508;
inline constexpr std::int32_t kDisplayLockableFlagInvalid = 1509;
inline constexpr std::int32_t kDisplayInterfaceMissing = 1510;
inline constexpr std::int32_t kDisplayDeviceFailed = 1511;
inline constexpr std::int32_t kDisplayDeviceNotAvailable = 1512;
inline constexpr std::int32_t kDisplayOutOfVideoMemory = 1513;
inline constexpr std::int32_t kDisplayDepth24Unsupported = 1514;

// Sounds.
inline constexpr std::int32_t kSoundOffsetOutOfRange = 3000;
inline constexpr std::int32_t kSoundIdOutOfRange = 3001;
inline constexpr std::int32_t kSoundLoadFailed = 3002;
inline constexpr std::int32_t kSoundIdInUse = 3003;
inline constexpr std::int32_t kSoundMissing = 3004;
inline constexpr std::int32_t kSoundVolumeOutOfRange = 3005;
inline constexpr std::int32_t kSoundSpeedOutOfRange = 3006;
inline constexpr std::int32_t kSoundPanOutOfRange = 3007;
inline constexpr std::int32_t kSoundNotRecorded = 3008;
inline constexpr std::int32_t kSoundCloneLost = 3021;

// Music.
inline constexpr std::int32_t kMusicIdOutOfRange = 3501;
inline constexpr std::int32_t kMusicLoadFailed = 3502;
inline constexpr std::int32_t kMusicIdInUse = 3503;
inline constexpr std::int32_t kMusicMissing = 3504;
inline constexpr std::int32_t kMusicSpeedNegative = 3506;
inline constexpr std::int32_t kMusicTrackOutOfRange = 3508;

// Input.
inline constexpr std::int32_t kControllerNotFound = 4001;
inline constexpr std::int32_t kForceFeedbackUnavailable = 4101;
inline constexpr std::int32_t kForceMagnitudeOutOfRange = 4102;
inline constexpr std::int32_t kForceDurationNegative = 4103;
inline constexpr std::int32_t kForceAngleOutOfRange = 4104;

// Memory blocks.
inline constexpr std::int32_t kMemblockNumberOutOfRange = 5101;
inline constexpr std::int32_t kMemblockExists = 5102;
inline constexpr std::int32_t kMemblockMissing = 5103;
inline constexpr std::int32_t kMemblockAllocFailed = 5104;
inline constexpr std::int32_t kMemblockPositionOutOfRange = 5105;
inline constexpr std::int32_t kMemblockSizeInvalid = 5106;
inline constexpr std::int32_t kMemblockByteOutOfRange = 5107;
inline constexpr std::int32_t kMemblockWordOutOfRange = 5108;

// Meshes (memory-block transfers).
inline constexpr std::int32_t kMeshIdOutOfRange = 7001;
inline constexpr std::int32_t kMeshMissing = 7003;

// Files and folders.
inline constexpr std::int32_t kFileListingEnded = 8002;
inline constexpr std::int32_t kDirectorySetFailed = 8003;
inline constexpr std::int32_t kFileNumberInUse = 8203;
inline constexpr std::int32_t kFileNotOpen = 8204;
inline constexpr std::int32_t kFileReadFailed = 8211;
inline constexpr std::int32_t kFileWriteFailed = 8212;
inline constexpr std::int32_t kFileNumberOutOfRange = 8213;

}  // namespace tessark::error
