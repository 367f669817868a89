// What a developer is told about a failure: the detail beside the error word at the raise sites
// that matter most, the opt-in log, and the one warning for a call made without an open runtime.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dsound/dsound.h"
#include "runtime/core/errors.h"
#include "tests/support/picture_files.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/temp_folder.h"
#include "tessark/tessark.h"

namespace tessark {
namespace {

using testing::RuntimeFixture;

std::string Detail() {
  return ErrorDetail();
}

// Half a second of 16-bit mono silence as a PCM wave file.
std::string WaveFile() {
  constexpr std::uint32_t kRate = 22050, kBytes = kRate;
  picture_files::Bytes b;
  picture_files::PutText(b, "RIFF");
  picture_files::Put32(b, 36 + kBytes);
  picture_files::PutText(b, "WAVEfmt ");
  picture_files::Put32(b, 16);
  picture_files::Put16(b, 1);
  picture_files::Put16(b, 1);
  picture_files::Put32(b, kRate);
  picture_files::Put32(b, kRate * 2);
  picture_files::Put16(b, 2);
  picture_files::Put16(b, 16);
  picture_files::PutText(b, "data");
  picture_files::Put32(b, kBytes);
  b.resize(b.size() + kBytes);
  return std::string(b.begin(), b.end());
}

TEST_F(RuntimeFixture, DetailsNameTheCallTheIdAndTheReason) {
  TempFolder folder("details");
  const std::string here = folder.root().string();

  ImageLoad("fruit.png", 7);
  EXPECT_EQ(ErrorCode(), error::kImageLoadFailed);
  EXPECT_EQ(Detail(), "ImageLoad(\"fruit.png\", 7): no such file in " + here);
  TempFolder::Write("junk.png", "not a picture at all");
  ImageLoad("junk.png", 7);
  EXPECT_EQ(Detail(), std::string("ImageLoad(\"junk.png\", 7): ") + kNotAPicture);
  std::filesystem::create_directory("pictures");
  ImageLoad("pictures", 7);
  EXPECT_EQ(Detail(), "ImageLoad(\"pictures\", 7): it is a folder, not a file");

  // The code says the id is out of range; the detail says what is really wrong.
  SpriteSet(1, 10, 10, 77);
  EXPECT_EQ(ErrorCode(), error::kImageIdOutOfRange);
  EXPECT_EQ(Detail(), "sprite 1: image 77 does not exist");

  FileOpenRead(1, "best.txt");
  EXPECT_EQ(ErrorCode(), error::kFileMissing);
  EXPECT_EQ(Detail(), "FileOpenRead(1, \"best.txt\"): no such file in " + here);

  MemblockReadByte(9, 0);
  EXPECT_EQ(ErrorCode(), error::kMemblockMissing);
  EXPECT_EQ(Detail(), "memory block 9 does not exist");
  MemblockCopy(256, 1, 0, 0, 1);
  EXPECT_EQ(Detail(), "memory block 256 is outside 1 to 255");

  BitmapLoad("missing.bmp", 3);
  EXPECT_EQ(ErrorCode(), error::kBitmapLoadFailed);
  EXPECT_EQ(Detail(), "BitmapLoad(\"missing.bmp\", 3): no such file in " + here);

  TempFolder::Write("beep.wav", "RIFF....WAVE");
  SoundLoad("beep.wav", 2);
  EXPECT_EQ(ErrorCode(), error::kSoundLoadFailed);
  EXPECT_NE(Detail().find("SoundLoad(\"beep.wav\", 2): not a wave file"), std::string::npos)
      << Detail();

  // An error raised without a detail does not keep the previous one.
  MemblockMake(1, 0);
  EXPECT_EQ(Detail(), "");
}

class NoAudioDevice : public RuntimeFixture {
 protected:
  void SetUp() override {
    dsound::testing::SetOutput(dsound::testing::Output::kAbsent);
    RuntimeFixture::SetUp();
  }
  void TearDown() override {
    RuntimeFixture::TearDown();
    dsound::testing::SetOutput(dsound::testing::Output::kDevice);
  }
};

TEST_F(NoAudioDevice, MusicOfAGoodFileSaysThereIsNoDevice) {
  TempFolder folder("music");
  TempFolder::Write("song.wav", WaveFile());
  MusicLoad("song.wav", 1);
  EXPECT_EQ(ErrorCode(), error::kMusicLoadFailed);
  EXPECT_EQ(Detail(), "MusicLoad(\"song.wav\", 1): there is no audio device");
}

struct Collected {
  std::vector<ErrorReport> reports;
  std::vector<std::string> texts;
};

void Collect(const ErrorReport& report, void* context) {
  auto* collected = static_cast<Collected*>(context);
  collected->reports.push_back(report);
  collected->texts.push_back(std::string(report.sentence) + "|" + report.detail);
  // A report the log raises itself is not logged again.
  RuntimeError(error::kTextFailed);
}

TEST_F(RuntimeFixture, TheLogReceivesErrorsAndNoticesAsTheyHappen) {
  TempFolder folder("log");
  Collected collected;
  ErrorLogSet(Collect, &collected);
  ImageLoad("fruit.png", 7);
  RuntimeNotice("Unable to create font texture in text library");
  FileOpenWrite(2, "taken.txt");
  FileOpenWrite(3, "taken.txt");  // exists now: never replaced, which the log says
  ErrorLogSet(nullptr);
  ImageLoad("fruit.png", 8);

  ASSERT_EQ(collected.reports.size(), 3u);
  EXPECT_FALSE(collected.reports[0].notice);
  EXPECT_EQ(collected.reports[0].code, error::kImageLoadFailed);
  EXPECT_EQ(collected.texts[0], std::string(ErrorText(error::kImageLoadFailed)) +
                                    "|ImageLoad(\"fruit.png\", 7): no such file in " +
                                    folder.root().string());
  EXPECT_TRUE(collected.reports[1].notice);
  EXPECT_EQ(collected.reports[1].code, 0);
  EXPECT_EQ(collected.texts[1], "Unable to create font texture in text library|");
  EXPECT_EQ(collected.texts[2],
            "FileOpenWrite(3, \"taken.txt\"): the file exists, and FileOpenWrite never replaces "
            "one (FileDelete it first)|");
  // The notices left the word to the error the log itself raised.
  EXPECT_EQ(ErrorCode(), error::kImageLoadFailed);
  FileClose(2);
}

TEST_F(RuntimeFixture, TheEnvironmentLogAppendsToAFileAndIsSilentWhenUnset) {
  TempFolder folder("envlog");
  ::testing::internal::CaptureStderr();
  ImageLoad("fruit.png", 7);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  ::setenv("TESSARK_LOG", "run.log", 1);
  ImageLoad("fruit.png", 7);
  RuntimeNotice("a notice");
  ::unsetenv("TESSARK_LOG");
  EXPECT_EQ(TempFolder::Read("run.log"),
            "tessark: error 506 (The image file could not be loaded.): ImageLoad(\"fruit.png\", "
            "7): no such file in " +
                folder.root().string() + "\ntessark: notice: a notice\n");
}

TEST(RuntimeNotOpen, TheFirstCallSaysSoOnceAndTheLoopEnds) {
  std::int32_t word = 0;  // the last open runtime's word went with its test
  ErrorWordSet(&word);
  testing::OpenWarningReset();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(RuntimeRunning());
  FrameSync();
  ImageLoad("fruit.png", 7);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.find("RuntimeRunning was called while the runtime is not open"), 9u) << said;
  EXPECT_NE(said.find("RuntimeStart(argc, argv)"), std::string::npos);
  EXPECT_EQ(said.find("not open", said.find("not open") + 1), std::string::npos) << said;

  // A first call that fails is named by what it reported.
  testing::OpenWarningReset();
  ::testing::internal::CaptureStderr();
  MemblockReadByte(9, 0);
  const std::string named = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(named.find("tessark: a runtime call reported \"memory block 9 does not exist\" "
                       "while the runtime is not open"),
            0u)
      << named;
  ErrorWordSet(nullptr);
}

}  // namespace
}  // namespace tessark
