// The device the mixer tests share: a sound device on the headless output (no audio device is
// opened; a test pulls the mix itself) at 44.1 kHz, and mono 16-bit buffers made from samples.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"

inline constexpr DWORD kHeadlessRate = 44100;

class HeadlessDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    dsound::testing::SetOutput(dsound::testing::Output::kHeadless, kHeadlessRate);
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device_, nullptr), DS_OK);
    ASSERT_EQ(device_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
  }
  void TearDown() override { dsound::testing::SetOutput(dsound::testing::Output::kDevice); }

  // A mono 16-bit buffer holding samples at rate (null, with a test failure, when refused).
  dsound::Ref<IDirectSoundBuffer8> Mono16(const std::vector<std::int16_t>& samples, DWORD rate,
                                          DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                                                        DSBCAPS_CTRLFREQUENCY) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
    DSBUFFERDESC desc{sizeof desc, flags, static_cast<DWORD>(samples.size() * 2), 0, &f, {}};
    dsound::Ref<IDirectSoundBuffer8> buffer;
    EXPECT_EQ(device_->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    if (!buffer) return buffer;
    void* p1 = nullptr;
    DWORD b1 = 0;
    EXPECT_EQ(buffer->Lock(0, 0, &p1, &b1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    std::memcpy(p1, samples.data(), b1);
    EXPECT_EQ(buffer->Unlock(p1, b1, nullptr, 0), DS_OK);
    return buffer;
  }

  dsound::Ref<IDirectSound8> device_;
};
