// The public error query: the word's current code and a sentence for every named code.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "runtime/core/errors.h"
#include "tessark/errors.h"

using namespace tessark;

namespace tessark {
namespace {

// Every named code; a code added to errors.h without a sentence shows up here as the general one.
constexpr std::int32_t kAllCodes[] = {
    error::kArrayElementSizeZero,
    error::kArrayMissing,
    error::kTextFailed,
    error::kFileMissing,
    error::kSpriteCreateFailed,
    error::kSpriteIdOutOfRange,
    error::kSpriteMissing,
    error::kSpriteBackgroundModeInvalid,
    error::kSpriteTransparentFlagInvalid,
    error::kSpriteScaleOutOfRange,
    error::kSpriteSizeNegative,
    error::kSpriteAlphaOutOfRange,
    error::kSpriteColourOutOfRange,
    error::kSpriteDelayOutOfRange,
    error::kSpriteVertexOutOfRange,
    error::kSpriteAcrossOutOfRange,
    error::kSpriteDownOutOfRange,
    error::kSpriteSheetImageOutOfRange,
    error::kSpriteIdInUse,
    error::kImageSaveFailed,
    error::kImageIdOutOfRange,
    error::kImageMissing,
    error::kImageGrabTooLarge,
    error::kImageLoadFailed,
    error::kImageNoData,
    error::kBitmapIdOutOfRange,
    error::kBitmapMissing,
    error::kBitmapLoadFailed,
    error::kDisplaySizeInvalid,
    error::kDisplayDepthInvalid,
    error::kDisplayWindowedFlagInvalid,
    error::kDisplayMode16Unsupported,
    error::kDisplayMode32Unsupported,
    error::kDisplayVertexProcessingInvalid,
    error::kDisplayLockableFlagInvalid,
    error::kDisplayInterfaceMissing,
    error::kDisplayDeviceFailed,
    error::kDisplayDeviceNotAvailable,
    error::kDisplayOutOfVideoMemory,
    error::kDisplayDepth24Unsupported,
    error::kSoundOffsetOutOfRange,
    error::kSoundIdOutOfRange,
    error::kSoundLoadFailed,
    error::kSoundIdInUse,
    error::kSoundMissing,
    error::kSoundVolumeOutOfRange,
    error::kSoundSpeedOutOfRange,
    error::kSoundPanOutOfRange,
    error::kSoundNotRecorded,
    error::kSoundCloneLost,
    error::kMusicIdOutOfRange,
    error::kMusicLoadFailed,
    error::kMusicIdInUse,
    error::kMusicMissing,
    error::kMusicSpeedNegative,
    error::kMusicTrackOutOfRange,
    error::kControllerNotFound,
    error::kForceFeedbackUnavailable,
    error::kForceMagnitudeOutOfRange,
    error::kForceDurationNegative,
    error::kForceAngleOutOfRange,
    error::kMemblockNumberOutOfRange,
    error::kMemblockExists,
    error::kMemblockMissing,
    error::kMemblockAllocFailed,
    error::kMemblockPositionOutOfRange,
    error::kMemblockSizeInvalid,
    error::kMemblockByteOutOfRange,
    error::kMemblockWordOutOfRange,
    error::kMeshIdOutOfRange,
    error::kMeshMissing,
    error::kFileListingEnded,
    error::kDirectorySetFailed,
    error::kFileNumberInUse,
    error::kFileNotOpen,
    error::kFileReadFailed,
    error::kFileWriteFailed,
    error::kFileNumberOutOfRange,
};

class ErrorQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ErrorWordAddress();
    ErrorWordSet(&word_);
  }
  void TearDown() override { ErrorWordSet(saved_); }

  std::int32_t word_ = 0;
  std::int32_t* saved_ = nullptr;
};

TEST_F(ErrorQuery, CodeIsTheLatestErrorAndNoticesLeaveIt) {
  EXPECT_EQ(ErrorCode(), error::kNone);
  RuntimeError(error::kSoundIdOutOfRange);
  RuntimeError(error::kSpriteIdOutOfRange);
  EXPECT_EQ(ErrorCode(), 301);
  RuntimeNotice("ignored");
  EXPECT_EQ(ErrorCode(), 301);
  word_ = 0;  // the game may clear the word itself between checks
  EXPECT_EQ(ErrorCode(), 0);
}

TEST(ErrorQueryWithoutWord, ReadsZeroAndDropsReports) {
  std::int32_t* saved = ErrorWordAddress();
  ErrorWordSet(nullptr);
  RuntimeError(error::kImageLoadFailed);
  EXPECT_EQ(ErrorCode(), 0);
  ErrorWordSet(saved);
}

TEST(ErrorSentences, EveryCodeHasItsOwnSentence) {
  const std::string unknown = ErrorText(-1);
  ASSERT_FALSE(unknown.empty());
  std::set<std::string> seen;
  for (std::int32_t code : kAllCodes) {
    const char* text = ErrorText(code);
    ASSERT_NE(text, nullptr) << code;
    EXPECT_NE(unknown, text) << "no sentence for " << code;
    EXPECT_EQ(text[std::strlen(text) - 1], '.') << code;
    EXPECT_TRUE(seen.insert(text).second) << "two codes share the sentence of " << code;
  }
  EXPECT_NE(unknown, ErrorText(error::kNone));
}

TEST(ErrorSentences, CodesTheRuntimeNeverRaisesGetTheGeneralSentence) {
  const std::string unknown = ErrorText(-1);
  for (std::int32_t code : {1, 52, 54, 3505, 3507, 8214, 2147483647}) {
    EXPECT_EQ(unknown, ErrorText(code)) << code;
  }
}

}  // namespace
}  // namespace tessark
