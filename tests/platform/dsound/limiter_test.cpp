// The end of the mix: quiet and moderate levels pass bit for bit, loud overlapping sounds are
// squeezed below full scale instead of being clipped flat.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"
#include "tests/platform/dsound/headless_device.h"

namespace {

using dsound::Ref;
constexpr DWORD kRate = kHeadlessRate;

class Limiter : public HeadlessDevice {
 protected:
  // Plays a mono 16-bit buffer of samples at the output rate, from its start.
  void Play(const std::vector<std::int16_t>& samples) {
    Ref<IDirectSoundBuffer8> buffer = Mono16(samples, kRate, DSBCAPS_CTRLVOLUME);
    ASSERT_TRUE(buffer);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffers_.push_back(buffer);
  }
  // The left channel of frames of output.
  std::vector<std::int16_t> PullLeft(DWORD frames) {
    std::vector<std::int16_t> out(frames * 2), left(frames);
    dsound::testing::MixerPull(device_.get(), out.data(), frames);
    for (DWORD i = 0; i < frames; ++i) left[i] = out[2 * i];
    return left;
  }

  std::vector<Ref<IDirectSoundBuffer8>> buffers_;
};

TEST_F(Limiter, LevelsBelowTheKneePassBitForBit) {
  // Every level from -29000 to 29000 (just under -1 dBFS, 29205), alone and as a sum of two.
  std::vector<std::int16_t> ramp;
  for (int v = -29000; v <= 29000; v += 7) ramp.push_back(static_cast<std::int16_t>(v));
  Play(ramp);
  EXPECT_EQ(PullLeft(static_cast<DWORD>(ramp.size())), ramp);
  std::vector<std::int16_t> half(ramp.size());
  for (std::size_t i = 0; i < ramp.size(); ++i) half[i] = static_cast<std::int16_t>(ramp[i] / 2);
  Play(half);
  Play(std::vector<std::int16_t>(ramp.begin(), ramp.end()));
  std::vector<std::int16_t> sum = PullLeft(static_cast<DWORD>(ramp.size()));
  for (std::size_t i = 0; i < ramp.size(); i += 97) {
    const int expected = half[i] + ramp[i];
    if (std::abs(expected) < 29200) {
      EXPECT_EQ(sum[i], expected) << i;
    }
  }
}

TEST_F(Limiter, LoudOverlappingSoundsNeverReachFullScale) {
  // Four full-scale tones in phase: a sum four times full scale.
  std::vector<std::int16_t> tone(4410);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = static_cast<std::int16_t>(std::lrint(32767 * std::sin(2 * M_PI * 441 * i / kRate)));
  }
  for (int i = 0; i < 4; ++i) Play(tone);
  const std::vector<std::int16_t> heard = PullLeft(4410);
  int peak = 0, at_full_scale = 0;
  for (std::size_t i = 0; i < heard.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(heard[i])));
    if (heard[i] >= 32767 || heard[i] <= -32767) ++at_full_scale;
    // Louder in, louder out: the squeeze keeps the wave's shape, rising where it rises.
    if (i > 0 && tone[i] > tone[i - 1]) {
      EXPECT_GE(heard[i], heard[i - 1]) << i;
    }
  }
  EXPECT_EQ(at_full_scale, 0);
  EXPECT_GT(peak, 32000);  // squeezed, not turned down
}

}  // namespace
