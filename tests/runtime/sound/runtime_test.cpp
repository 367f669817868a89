// The sound module inside the whole runtime: constructed by RuntimeOpen with the window,
// updated by FrameSync, playing on SDL's (dummy) output in real time, as the game uses it.
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/runtime/sound/sound_fixture.h"
#include "tests/support/runtime_fixture.h"

namespace sound_test {
namespace {

class SoundInRuntime : public tessark::testing::RuntimeFixture {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    RuntimeFixture::SetUp();
    folder_ =
        std::filesystem::temp_directory_path() / ("sound_runtime_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    RuntimeFixture::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Write16(const std::string& name, const std::vector<std::int16_t>& samples) {
    auto bytes = Samples16(samples);
    auto file = PcmWave(1, 22050, 16, bytes, static_cast<std::uint32_t>(bytes.size()));
    std::string path = (folder_ / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
  }
  std::filesystem::path folder_;
};

TEST_F(SoundInRuntime, MusicLoopsWhileEffectsPlayOverIt) {
  ASSERT_NE(tessark::Modules().sound.Update, nullptr);
  if (open_result_ != 0) GTEST_SKIP() << "the runtime opened without its modules";
  ASSERT_NE(tessark::sound::Device(), nullptr);
  SoundLoad(Write16("music.wav", Sine(22050, 220, 22050, 8000)).c_str(), 4);
  SoundLoad(Write16("pop.wav", Sine(441, 880, 22050, 8000)).c_str(), 1);
  EXPECT_EQ(error_word_, 0);
  SoundLoop(4);
  SoundSetVolume(4, 75);
  SoundPlay(1);
  // The output plays in real time: frames go by until the 20 ms effect is over (at most 2 s).
  for (int i = 0; i < 200 && SoundPlaying(1); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tessark::testing::RunFrames(1);
  }
  EXPECT_EQ(SoundPlaying(1), 0);
  EXPECT_EQ(SoundPlaying(4), 1);
  EXPECT_EQ(SoundLooping(4), 1);
  EXPECT_EQ(SoundVolume(4), 75);
  EXPECT_EQ(error_word_, 0);
}

}  // namespace
}  // namespace sound_test
