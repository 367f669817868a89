// Recording on the "waveaudio" device from a test source: memory is taken as the recording
// goes, the recording ends cleanly when no more can be had, and the wave file it saves says
// what it holds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/mci/mci.h"

namespace {

std::int16_t g_next = 0;  // the test source's next sample: a count

std::uint32_t Dword(const std::vector<char>& f, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, f.data() + at, 4);
  return v;
}

TEST(WaveAudio, LongRecordingsTakeMemoryAsTheyGoAndEndWhenItRunsOut) {
  g_next = 0;
  mci::testing::SetCaptureSource([](std::int16_t* s, int n) {
    for (int i = 0; i < n; ++i) s[i] = g_next++;
  });
  mci::testing::SetRecordingMemory(3 * 44100);  // three seconds of 16-bit mono at 22050 Hz
  char answer[64];
  ASSERT_EQ(mciSendStringA("open new type waveaudio alias rec", answer, sizeof answer, nullptr),
            0u);
  // 24.8 days asked for: nothing is taken for them up front.
  EXPECT_EQ(mciSendStringA("record rec to 2147483647", nullptr, 0, nullptr), 0u);
  mciSendStringA("status rec length", answer, sizeof answer, nullptr);
  EXPECT_STREQ(answer, "3000");
  mciSendStringA("status rec mode", answer, sizeof answer, nullptr);
  EXPECT_STREQ(answer, "stopped");

  const std::string path = (std::filesystem::temp_directory_path() /
                            ("recording_" + std::to_string(::getpid()) + ".wav"))
                               .string();
  EXPECT_EQ(mciSendStringA(("save rec " + path).c_str(), nullptr, 0, nullptr), 0u);
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  const std::uint32_t data = 3 * 44100;
  ASSERT_EQ(file.size(), 44u + data);
  EXPECT_EQ(Dword(file, 4), 36u + data);
  EXPECT_EQ(Dword(file, 40), data);
  for (std::size_t k : {std::size_t{0}, std::size_t{22050}, std::size_t{66149}}) {
    std::int16_t sample = 0;
    std::memcpy(&sample, file.data() + 44 + 2 * k, 2);
    EXPECT_EQ(sample, static_cast<std::int16_t>(k)) << k;
  }

  // Not even the first second to be had: the command fails.
  mci::testing::SetRecordingMemory(1);
  EXPECT_EQ(mciSendStringA("record rec to 1000", nullptr, 0, nullptr),
            static_cast<MCIERROR>(MCIERR_OUT_OF_MEMORY));
  EXPECT_EQ(mciSendStringA("close rec", nullptr, 0, nullptr), 0u);
  mci::testing::SetRecordingMemory(0);
  mci::testing::SetCaptureSource(nullptr);
}

}  // namespace
