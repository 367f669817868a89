// The public view of the error word: its current code and a sentence for every code.
#include <algorithm>
#include <iterator>

#include "runtime/core/errors.h"
#include "tessark/errors.h"

namespace tessark {

namespace {

struct CodeSentence {
  std::int32_t code;
  const char* text;
};

using namespace error;

// Sorted by code.
constexpr CodeSentence kSentences[] = {
    {kNone, "No runtime error has been raised."},
    {kArrayElementSizeZero, "The array has an element size of 0."},
    {kTextFailed, "The text operation failed."},
    {kFileMissing, "The file does not exist."},
    {kArrayMissing, "There is no such array."},
    {kSpriteCreateFailed, "The animated sprite could not be created."},
    {kSpriteIdOutOfRange, "The sprite id is outside 1 to 22000000."},
    {kSpriteMissing, "There is no sprite with that id."},
    {kSpriteBackgroundModeInvalid, "The sprite background mode is outside 0 to 2."},
    {kSpriteTransparentFlagInvalid, "The sprite transparency flag is neither 0 nor 1."},
    {kSpriteScaleOutOfRange, "The sprite scale is outside 0 to 250000 percent."},
    {kSpriteSizeNegative, "The sprite width or height is negative."},
    {kSpriteAlphaOutOfRange, "The sprite alpha is outside 0 to 255."},
    {kSpriteColourOutOfRange, "A sprite colour component is outside 0 to 255."},
    {kSpriteDelayOutOfRange, "The sprite animation delay is outside 0 to 22000000."},
    {kSpriteVertexOutOfRange, "The sprite vertex number is outside 0 to 3."},
    {kSpriteAcrossOutOfRange, "The number of frames across is outside 1 to 22000000."},
    {kSpriteDownOutOfRange, "The number of frames down is outside 1 to 22000000."},
    {kSpriteSheetImageOutOfRange, "The frame sheet's image id is outside 0 to 22000000."},
    {kSpriteIdInUse, "A sprite with that id exists already."},
    {kImageSaveFailed, "The image could not be saved."},
    {kImageIdOutOfRange, "The image id (or frame) is outside 1 to 22000000."},
    {kImageMissing, "There is no image with that id."},
    {kImageGrabTooLarge, "The grab rectangle is larger than the render target."},
    {kImageLoadFailed, "The image file could not be loaded."},
    {kImageNoData, "The image holds no data."},
    {kBitmapIdOutOfRange, "The bitmap id is outside its range."},
    {kBitmapMissing, "There is no bitmap with that id."},
    {kBitmapLoadFailed, "The bitmap file could not be loaded."},
    {kDisplaySizeInvalid, "The display width or height is 0 or less."},
    {kDisplayDepthInvalid, "The display depth is not 16, 24 or 32."},
    {kDisplayWindowedFlagInvalid, "The windowed flag is neither 0 nor 1."},
    {kDisplayMode16Unsupported, "No 16-bit display mode fits that size."},
    {kDisplayMode32Unsupported, "No 32-bit display mode fits that size."},
    {kDisplayVertexProcessingInvalid, "The vertex processing mode is unknown."},
    {kDisplayLockableFlagInvalid, "The lockable flag is neither 0 nor 1."},
    {kDisplayInterfaceMissing, "There is no graphics interface to set the display up with."},
    {kDisplayDeviceFailed, "The graphics device could not be created."},
    {kDisplayDeviceNotAvailable, "The graphics device is not available."},
    {kDisplayOutOfVideoMemory, "There is not enough video memory for the graphics device."},
    {kDisplayDepth24Unsupported, "A 24-bit display depth is not supported."},
    {kSoundOffsetOutOfRange, "The sound play offset is outside 0 to 22000000."},
    {kSoundIdOutOfRange, "The sound id is outside its range."},
    {kSoundLoadFailed, "The sound could not be loaded."},
    {kSoundIdInUse, "A sound with that id exists already."},
    {kSoundMissing, "There is no sound with that id."},
    {kSoundVolumeOutOfRange, "The sound volume is outside 0 to 100."},
    {kSoundSpeedOutOfRange, "The sound rate is outside 100 to 100000."},
    {kSoundPanOutOfRange, "The sound pan is outside -10000 to 10000."},
    {kSoundNotRecorded, "The sound is not a recording, or its recording is gone."},
    {kSoundCloneLost, "The cloned sound could not be found after it was added."},
    {kMusicIdOutOfRange, "The music id is outside 1 to 22000000."},
    {kMusicLoadFailed, "The music could not be loaded."},
    {kMusicIdInUse, "Music with that id exists already."},
    {kMusicMissing, "There is no music with that id."},
    {kMusicSpeedNegative, "The music speed is negative."},
    {kMusicTrackOutOfRange, "The track number is outside 1 to 22000000."},
    {kControllerNotFound, "No controller of that name was found."},
    {kForceFeedbackUnavailable, "No force-feedback controller is in use."},
    {kForceMagnitudeOutOfRange, "The force magnitude is outside 0 to 100."},
    {kForceDurationNegative, "The force duration is negative."},
    {kForceAngleOutOfRange, "The force angle is outside 0 to 360."},
    {kMemblockNumberOutOfRange, "The memory block number is outside its range."},
    {kMemblockExists, "A memory block with that number exists already."},
    {kMemblockMissing, "There is no memory block with that number."},
    {kMemblockAllocFailed, "The memory block could not be made."},
    {kMemblockPositionOutOfRange, "The position or length is outside the memory block."},
    {kMemblockSizeInvalid, "The memory block size is 0 or less."},
    {kMemblockByteOutOfRange, "The byte value is outside 0 to 255."},
    {kMemblockWordOutOfRange, "The word value is outside 0 to 65535."},
    {kMeshIdOutOfRange, "The mesh number is outside its range."},
    {kMeshMissing, "The mesh holds no data."},
    {kFileListingEnded, "The file listing has already reached its end."},
    {kDirectorySetFailed, "The folder could not be entered."},
    {kFileNumberInUse, "That file number is already open."},
    {kFileNotOpen, "No file is open under that number."},
    {kFileReadFailed, "Reading the file failed."},
    {kFileWriteFailed, "Writing the file failed."},
    {kFileNumberOutOfRange, "The file number is outside 1 to 64."},
};

static_assert(std::is_sorted(std::begin(kSentences), std::end(kSentences),
                             [](const CodeSentence& a, const CodeSentence& b) {
                               return a.code < b.code;
                             }),
              "the sentence table is searched by halves");

constexpr const char* kUnknownCode = "The runtime raises no error with that code.";

}  // namespace

std::int32_t ErrorCode() {
  const std::int32_t* word = ErrorWordAddress();
  return word ? *word : 0;
}

const char* ErrorText(std::int32_t code) {
  const auto* found = std::lower_bound(
      std::begin(kSentences), std::end(kSentences), code,
      [](const CodeSentence& entry, std::int32_t wanted) { return entry.code < wanted; });
  if (found == std::end(kSentences) || found->code != code) return kUnknownCode;
  return found->text;
}

}  // namespace tessark
