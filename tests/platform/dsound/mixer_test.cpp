// What the mixer makes heard: levels, pan, resampling, looping, 3D placement, and the buffer
// semantics the runtime relies on (cursors, status, locks, duplicates, lost buffers).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"
#include "tests/platform/dsound/headless_device.h"

namespace {

using dsound::Ref;
constexpr DWORD kRate = kHeadlessRate;

struct Heard {
  std::vector<std::int16_t> samples;  // interleaved stereo
  double Peak(int channel, std::size_t from = 0) const {
    double peak = 0;
    for (std::size_t i = from * 2 + channel; i < samples.size(); i += 2) {
      peak = std::max(peak, std::fabs(static_cast<double>(samples[i])));
    }
    return peak;
  }
  std::int16_t At(std::size_t frame, int channel) const { return samples[frame * 2 + channel]; }
};

class MixerTest : public HeadlessDevice {
 protected:
  Heard Pull(DWORD frames) {
    Heard h;
    h.samples.resize(frames * 2);
    dsound::testing::MixerPull(device_.get(), h.samples.data(), frames);
    return h;
  }

  static std::vector<std::int16_t> Sine(DWORD frames, double hz, DWORD rate, double amp = 32767) {
    std::vector<std::int16_t> s(frames);
    for (DWORD i = 0; i < frames; ++i) {
      s[i] = static_cast<std::int16_t>(std::lrint(amp * std::sin(2 * M_PI * hz * i / rate)));
    }
    return s;
  }
};

TEST_F(MixerTest, VolumeIsHundredthsOfADecibel) {
  auto b = Mono16(Sine(kRate, 441, kRate), kRate);
  ASSERT_EQ(b->SetVolume(-2400), DS_OK);
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  Heard h = Pull(4410);
  // -24 dB is a gain of 10^(-1.2): a full-scale sine peaks near 2068.
  double expected = 32767 * std::pow(10.0, -1.2);
  EXPECT_NEAR(h.Peak(0), expected, 3);
  EXPECT_NEAR(h.Peak(1), expected, 3);
  EXPECT_NEAR(20 * std::log10(h.Peak(0) / 32767), -24.0, 0.05);

  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);
  EXPECT_EQ(Pull(1000).Peak(0), 0);
  LONG volume = 0;
  b->GetVolume(&volume);
  EXPECT_EQ(volume, -10000);
}

TEST_F(MixerTest, PanAttenuatesTheOppositeSide) {
  auto b = Mono16(Sine(kRate, 441, kRate), kRate);
  b->Play(0, 0, DSBPLAY_LOOPING);
  ASSERT_EQ(b->SetPan(DSBPAN_LEFT), DS_OK);
  Heard h = Pull(4410);
  // Full scale passes the end-of-mix limiter at about -0.5 dBFS (30986).
  EXPECT_GT(h.Peak(0), 30900);
  EXPECT_EQ(h.Peak(1), 0);
  ASSERT_EQ(b->SetPan(2000), DS_OK);  // right: left 20 dB down
  h = Pull(4410);
  EXPECT_NEAR(h.Peak(0), 3277, 3);
  EXPECT_GT(h.Peak(1), 30900);
  EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
}

TEST_F(MixerTest, FrequencyResamplesToTheOutputRate) {
  // 22050 samples of a ramp recorded at 22050 Hz last one second; at 44100 Hz half of one.
  std::vector<std::int16_t> ramp(22050);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i);
  auto b = Mono16(ramp, 22050);
  b->Play(0, 0, 0);
  Heard h = Pull(2000);
  EXPECT_NEAR(h.At(1000, 0), 500, 1);  // two output frames per source frame
  EXPECT_NEAR(h.At(1001, 0), 500, 1);  // interpolated halfway

  b->Stop();
  b->SetCurrentPosition(0);
  ASSERT_EQ(b->SetFrequency(44100), DS_OK);
  b->Play(0, 0, 0);
  h = Pull(22100);
  EXPECT_EQ(h.At(1000, 0), 1000);
  EXPECT_EQ(h.At(22049, 0), 22049);
  EXPECT_EQ(h.At(22050, 0), 0);  // over after 22050 output frames: twice as fast
  DWORD status = 1;
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);

  DWORD frequency = 0;
  b->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 44100u);
  EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  b->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 22050u);
}

TEST_F(MixerTest, LoopingIsGaplessAndOneShotsStop) {
  // A 100-frame ramp at the output rate loops back to its first sample with no hole.
  std::vector<std::int16_t> ramp(100);
  for (int i = 0; i < 100; ++i)
    ramp[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(100 * (i + 1));
  auto b = Mono16(ramp, kRate);
  b->Play(0, 0, DSBPLAY_LOOPING);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
  Heard h = Pull(1000);
  for (std::size_t f = 0; f < 1000; ++f) {
    ASSERT_EQ(h.At(f, 0), 100 * static_cast<int>(f % 100 + 1)) << f;
  }
  DWORD play = 0;
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);  // 1000 frames = 10 loops exactly

  b->Play(0, 0, 0);  // once more, no longer looping: stops at the end
  h = Pull(200);
  EXPECT_EQ(h.At(99, 0), 10000);
  EXPECT_EQ(h.At(100, 0), 0);
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);
}

TEST_F(MixerTest, CursorsAndTwoPartLocks) {
  std::vector<std::int16_t> zeros(1000);
  auto b = Mono16(zeros, kRate);
  EXPECT_EQ(b->SetCurrentPosition(2001), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->SetCurrentPosition(1001), DS_OK);  // rounds down to a whole frame
  DWORD play = 0, write = 0;
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 1000u);
  EXPECT_NE(write, play);

  void *p1 = nullptr, *p2 = nullptr;
  DWORD b1 = 0, b2 = 0;
  ASSERT_EQ(b->Lock(1900, 200, &p1, &b1, &p2, &b2, 0), DS_OK);
  EXPECT_EQ(b1, 100u);
  EXPECT_EQ(b2, 100u);
  std::memset(p1, 0x11, b1);
  std::memset(p2, 0x22, b2);
  // The mixer does not see the bytes until Unlock.
  b->SetCurrentPosition(1900);
  b->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(Pull(10).At(0, 0), 0);
  ASSERT_EQ(b->Unlock(p1, b1, p2, b2), DS_OK);
  b->Stop();
  b->SetCurrentPosition(1900);
  b->Play(0, 0, DSBPLAY_LOOPING);
  Heard h = Pull(100);
  EXPECT_EQ(h.At(0, 0), 0x1111);
  EXPECT_EQ(h.At(50, 0), 0x2222);  // wrapped to the start
  EXPECT_EQ(b->Lock(2000, 10, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 2001, &p1, &b1, &p2, &b2, 0), DSERR_INVALIDPARAM);
}

// A streaming buffer keeps its frames in its ring: caps, cursors and locks address the ring,
// where the next frame played is the play cursor.
TEST_F(MixerTest, StreamingBuffersLockTheirRing) {
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
  DSBUFFERDESC desc{sizeof desc, DSBCAPS_CTRLVOLUME, 1001, 0, &f, {}};
  Ref<IDirectSoundBuffer8> b;
  ASSERT_EQ(device_->CreateStreamingBuffer(&desc, &b), DS_OK);
  DSBCAPS caps{};
  b->GetCaps(&caps);
  EXPECT_EQ(caps.dwBufferBytes, 1000u);  // 500 whole frames
  std::vector<std::int16_t> ramp(300);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i);
  ASSERT_EQ(b->StreamWrite(ramp.data(), 300, b->StreamFlush()), 300u);
  b->Play(0, 0, 0);
  Pull(100);
  DWORD play = 0, write = 0;
  b->GetCurrentPosition(&play, &write);
  EXPECT_EQ(play, 200u);
  EXPECT_EQ(write, (200u + 882u) % 1000u);  // 10 ms ahead, round the ring

  void *p1 = nullptr, *p2 = nullptr;
  DWORD b1 = 0, b2 = 0;
  ASSERT_EQ(b->Lock(0, 100, &p1, &b1, &p2, &b2, DSBLOCK_FROMWRITECURSOR), DS_OK);
  EXPECT_EQ(static_cast<std::int16_t*>(p1)[0], 41);  // frame 41 of the ring
  ASSERT_EQ(b->Unlock(p1, b1, p2, b2), DS_OK);
  // Frames changed under a lock are the ones heard.
  ASSERT_EQ(b->Lock(play, 20, &p1, &b1, &p2, &b2, 0), DS_OK);
  for (DWORD i = 0; i < b1 / 2; ++i) static_cast<std::int16_t*>(p1)[i] = 7777;
  ASSERT_EQ(b->Unlock(p1, b1, p2, b2), DS_OK);
  Heard h = Pull(20);
  EXPECT_EQ(h.At(0, 0), 7777);
  EXPECT_EQ(h.At(10, 0), 110);
}

TEST_F(MixerTest, DuplicatesShareDataButNotSettings) {
  auto a = Mono16(std::vector<std::int16_t>(1000, 1000), kRate);
  Ref<IDirectSoundBuffer8> b;
  ASSERT_EQ(device_->DuplicateSoundBuffer(a.get(), &b), DS_OK);
  void* p = nullptr;
  DWORD n = 0;
  a->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
  auto* s = static_cast<std::int16_t*>(p);
  for (DWORD i = 0; i < n / 2; ++i) s[i] = 3000;
  a->Unlock(p, n, nullptr, 0);
  b->SetVolume(DSBVOLUME_MIN);
  b->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(Pull(10).At(5, 0), 0);
  b->SetVolume(0);
  EXPECT_EQ(Pull(10).At(5, 0), 3000);
  a->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_EQ(Pull(10).At(5, 0), 6000);
  // Releasing the original leaves the duplicate playing the shared data.
  a.reset();
  EXPECT_EQ(Pull(10).At(5, 0), 3000);
}

TEST_F(MixerTest, LostBuffersRefuseUntilRestored) {
  auto b = Mono16(std::vector<std::int16_t>(100, 500), kRate);
  b->Play(0, 0, DSBPLAY_LOOPING);
  dsound::testing::LoseBuffer(b.get(), 2);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_BUFFERLOST));
  EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
  void* p = nullptr;
  DWORD n = 0;
  EXPECT_EQ(b->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DSERR_BUFFERLOST);
  EXPECT_EQ(b->Restore(), DSERR_BUFFERLOST);
  EXPECT_EQ(b->Restore(), DSERR_BUFFERLOST);
  EXPECT_EQ(b->Restore(), DS_OK);
  EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
}

TEST_F(MixerTest, FormatsAndControlsAreChecked) {
  WAVEFORMATEX stereo{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
  DSBUFFERDESC desc{sizeof desc, DSBCAPS_CTRL3D, 4000, 0, &stereo, {}};
  Ref<IDirectSoundBuffer8> b;
  EXPECT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);  // 3D is mono
  WAVEFORMATEX odd{WAVE_FORMAT_PCM, 1, 22050, 66150, 3, 24, 0};
  desc = {sizeof desc, 0, 4000, 0, &odd, {}};
  EXPECT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), DSERR_BADFORMAT);
  desc = {sizeof desc, 0, 0, 0, &stereo, {}};
  EXPECT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);
  desc = {sizeof desc, 0, 4000, 0, &stereo, {}};
  ASSERT_EQ(device_->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
  EXPECT_EQ(b->SetVolume(0), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(b->SetPan(0), DSERR_CONTROLUNAVAIL);
  Ref<IDirectSound3DBuffer8> b3;
  EXPECT_TRUE(FAILED(b->Query3DBuffer(&b3)));

  // The primary buffer takes the output format at priority level.
  Ref<IDirectSoundBuffer8> primary;
  DSBUFFERDESC pd{sizeof pd, DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
  ASSERT_EQ(device_->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
  WAVEFORMATEX out{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
  ASSERT_EQ(primary->SetFormat(&out), DS_OK);
  WAVEFORMATEX got{};
  primary->GetFormat(&got, sizeof got, nullptr);
  EXPECT_EQ(got.nSamplesPerSec, 22050u);
  EXPECT_EQ(got.wBitsPerSample, 16);
}

class Mixer3DTest : public MixerTest {
 protected:
  void SetUp() override {
    MixerTest::SetUp();
    DSBUFFERDESC pd{sizeof pd, DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr, {}};
    Ref<IDirectSoundBuffer8> primary;
    ASSERT_EQ(device_->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
    ASSERT_EQ(primary->QueryListener(&listener_), DS_OK);
    voice_ = Mono16(Sine(kRate, 441, kRate), kRate,
                    DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY);
    ASSERT_EQ(voice_->Query3DBuffer(&b3_), DS_OK);
    voice_->Play(0, 0, DSBPLAY_LOOPING);
  }
  Ref<IDirectSound3DListener8> listener_;
  Ref<IDirectSoundBuffer8> voice_;
  Ref<IDirectSound3DBuffer8> b3_;
};

TEST_F(Mixer3DTest, DistanceAttenuatesSixDecibelsPerDoubling) {
  Heard near = Pull(4410);
  // At the listener: full level (as the end-of-mix limiter gives it), centred.
  EXPECT_GT(near.Peak(0), 30900);
  EXPECT_GT(near.Peak(1), 30900);
  b3_->SetPosition(0, 0, 2, DS3D_IMMEDIATE);
  EXPECT_NEAR(Pull(4410).Peak(0), 32767 / 2.0, 20);
  b3_->SetPosition(0, 0, 4, DS3D_IMMEDIATE);
  EXPECT_NEAR(Pull(4410).Peak(0), 32767 / 4.0, 20);
  b3_->SetMaxDistance(2, DS3D_IMMEDIATE);  // no quieter beyond the maximum distance
  EXPECT_NEAR(Pull(4410).Peak(0), 32767 / 2.0, 20);
}

TEST_F(Mixer3DTest, DeferredSettingsWaitForTheCommit) {
  b3_->SetPosition(5, 0, 0, DS3D_DEFERRED);
  Heard before = Pull(4410);
  EXPECT_NEAR(before.Peak(0), before.Peak(1), 2);
  D3DVECTOR p{};
  b3_->GetPosition(&p);
  EXPECT_EQ(p.x, 5.0f);  // reads back what was set
  ASSERT_EQ(listener_->CommitDeferredSettings(), DS_OK);
  Heard after = Pull(4410);
  EXPECT_GT(after.Peak(1), 5 * after.Peak(0));  // to the right: the left ear hears less
  // Turning the listener around puts the sound on the left.
  listener_->SetOrientation(0, 0, -1, 0, 1, 0, DS3D_IMMEDIATE);
  Heard turned = Pull(4410);
  EXPECT_GT(turned.Peak(0), 5 * turned.Peak(1));
}

}  // namespace
