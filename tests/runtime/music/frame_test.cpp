// The music module inside the running runtime: constructed with the others, updated by every
// FrameSync, heard through the sound module's device, and destroyed by RuntimeClose.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/dshow/dshow.h"
#include "runtime/core/core.h"
#include "runtime/core/errors.h"
#include "runtime/runtime_wire.h"
#include "tessark/tessark.h"
#include "tests/platform/dshow/music_files.h"
#include "tests/support/runtime_fixture.h"

namespace {

using tessark::testing::RuntimeFixture;

TEST_F(RuntimeFixture, FrameSyncNoticesTheEndOfAMusic) {
  ASSERT_EQ(open_result_, 0);
  music_files::ScratchFolder folder("music_frame_test");
  std::string tone = folder / "tone.wav";
  ASSERT_TRUE(music_files::WriteTone(tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.1, 441));
  tessark::MusicLoad(tone.c_str(), 5);
  ASSERT_EQ(error_word_, 0);
  tessark::PlayMusic(5);
  // The output plays in real time: a tenth of a second of music ends within a few frames of
  // it being heard.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (tessark::MusicPlaying(5) && std::chrono::steady_clock::now() < deadline) {
    tessark::testing::RunFrames(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(tessark::MusicPlaying(5));
  EXPECT_TRUE(tessark::MusicExists(5));
}

TEST_F(RuntimeFixture, RuntimeCloseReleasesEveryMusic) {
  ASSERT_EQ(open_result_, 0);
  music_files::ScratchFolder folder("music_close_test");
  std::string tone = folder / "tone.wav";
  ASSERT_TRUE(music_files::WriteTone(tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0, 441));
  tessark::MusicLoad(tone.c_str(), 1);
  tessark::MusicLoop(1);
  EXPECT_EQ(dshow::testing::LiveGraphs(), 1);
  tessark::RuntimeClose();
  EXPECT_EQ(dshow::testing::LiveGraphs(), 0);
  tessark::RuntimeWire();
  tessark::ErrorWordSet(&error_word_);
  open_result_ = tessark::RuntimeOpen(1, 640, 480, 32, nullptr, "");
}

}  // namespace
