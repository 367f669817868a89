// Playing sounds through the module, checked by what the mixer makes heard.
#include <chrono>
#include <thread>

#include "tests/runtime/sound/sound_fixture.h"

namespace sound_test {
namespace {

using tessark::sound::Update;

TEST_F(SoundTest, VolumeSeventyFiveIsTwentyFourDecibelsDown) {
  SoundLoad(Write16("sine.wav", Sine(kRate, 441, kRate)).c_str(), 1);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(SoundVolume(1), 100);
  SoundSetVolume(1, 75);
  EXPECT_EQ(SoundVolume(1), 75);
  LONG volume = 0;
  Entry(1)->sound->buffers[0]->GetVolume(&volume);
  EXPECT_EQ(volume, -2400);
  SoundLoop(1);
  auto out = Pull(8820);
  EXPECT_NEAR(20 * std::log10(Peak(out, 0) / 32767), -24.0, 0.05);
  EXPECT_NEAR(20 * std::log10(Peak(out, 1) / 32767), -24.0, 0.05);

  SoundSetVolume(1, 101);
  EXPECT_EQ(Error(), 3005);
  EXPECT_EQ(SoundVolume(1), 75);
  Entry(1)->sound->buffers[0]->GetVolume(&volume);
  EXPECT_EQ(volume, -2400);
  SoundSetVolume(1, 0);
  Entry(1)->sound->buffers[0]->GetVolume(&volume);
  EXPECT_EQ(volume, -9600);
}

TEST_F(SoundTest, PanAndSpeedAreHeard) {
  SoundLoad(Write16("sine.wav", Sine(kRate, 441, kRate)).c_str(), 1);
  SoundSetPan(1, -10000);
  EXPECT_EQ(SoundPan(1), -10000);
  SoundLoop(1);
  auto out = Pull(4410);
  EXPECT_GT(Peak(out, 0), 30900);  // full scale, as the device's end-of-mix limiter gives it
  EXPECT_EQ(Peak(out, 1), 0);
  SoundSetPan(1, 10001);
  EXPECT_EQ(Error(), 3007);

  // Recorded at 22050, played at 44100: 22050 frames last half a second of output.
  SoundLoad(Write16("ramp.wav", Ramp(22050), 22050).c_str(), 2);
  EXPECT_EQ(SoundSpeed(2), 22050);
  SoundSetSpeed(2, 44100);
  EXPECT_EQ(SoundSpeed(2), 44100);
  SoundStop(1);
  SoundPlay(2);
  out = Pull(22100);
  EXPECT_EQ(out[2 * 1000], 1000);
  EXPECT_EQ(out[2 * 22049], 22049);
  EXPECT_EQ(out[2 * 22050], 0);
  SoundSetSpeed(2, 99);
  EXPECT_EQ(Error(), 3006);
  SoundSetSpeed(2, 100001);
  EXPECT_EQ(Error(), 3006);
  EXPECT_EQ(SoundSpeed(2), 44100);
}

TEST_F(SoundTest, PlayRestartsAndPlayingFallsAtTheUpdateAfterTheEnd) {
  SoundLoad(Write16("ramp.wav", Ramp(4410)).c_str(), 1);
  SoundPlay(1);
  EXPECT_EQ(SoundPlaying(1), 1);
  auto out = Pull(1000);
  EXPECT_EQ(out[2 * 999], 999);
  SoundPlay(1);  // from the start again
  out = Pull(10);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2 * 9], 9);
  Update();
  EXPECT_EQ(SoundPlaying(1), 1);
  Pull(4400);  // the last frame has been heard
  EXPECT_EQ(SoundPlaying(1), 1);
  Update();
  EXPECT_EQ(SoundPlaying(1), 0);
  EXPECT_EQ(SoundLooping(1), 0);
}

TEST_F(SoundTest, LoopsKeepPlayingUntilStopped) {
  SoundLoad(Write16("ramp.wav", Ramp(1000)).c_str(), 1);
  SoundLoop(1);
  EXPECT_EQ(SoundLooping(1), 1);
  for (int frame = 0; frame < 10; ++frame) {
    auto out = Pull(735);
    Update();
    ASSERT_EQ(SoundPlaying(1), 1);
  }
  // 7350 frames heard: the loop wrapped without a gap and stands at frame 350.
  auto out = Pull(2);
  EXPECT_EQ(out[0], 350);
  SoundStop(1);
  EXPECT_EQ(SoundPlaying(1), 0);
  EXPECT_EQ(SoundLooping(1), 0);
  EXPECT_EQ(Peak(Pull(100), 0), 0);
  SoundResume(1);  // plays once from where it was stopped: the start
  EXPECT_EQ(Pull(3)[2 * 2], 2);
}

TEST_F(SoundTest, LoopWindowIsKeptByTheUpdate) {
  // 10000 frames of 16-bit mono: 20000 bytes. The window is bytes 1000..5000.
  SoundLoad(Write16("ramp.wav", Ramp(10000)).c_str(), 1);
  SoundLoop(1, 1000, 5000);
  auto out = Pull(10);
  EXPECT_EQ(out[0], 0);  // it starts at 0; the update moves it into the window
  Update();
  EXPECT_EQ(Pull(1)[0], 500);
  Pull(2000);  // now at frame 2501: byte 5002, past the end of the window
  Update();
  EXPECT_EQ(Pull(1)[0], 500);
  Pull(1000);
  Update();  // inside the window: left alone
  EXPECT_EQ(Pull(1)[0], 1501);
}

TEST_F(SoundTest, PauseAndResume) {
  SoundLoad(Write16("ramp.wav", Ramp(4000)).c_str(), 1);
  SoundPlay(1);
  Pull(100);
  SoundPause(1);
  EXPECT_EQ(SoundPaused(1), 1);
  EXPECT_EQ(SoundPlaying(1), 1);
  EXPECT_EQ(Peak(Pull(50), 0), 0);
  SoundResume(1);
  EXPECT_EQ(SoundPaused(1), 0);
  EXPECT_EQ(Pull(1)[0], 100);
  SoundPlayFrom(1, 2000);
  EXPECT_EQ(Pull(1)[0], 1000);
  SoundPlayFrom(1, -1);
  EXPECT_EQ(Error(), 3000);
}

TEST_F(SoundTest, IdsAreChecked) {
  SoundPlay(0);
  EXPECT_EQ(Error(), 3001);
  SoundPlay(22000001);
  EXPECT_EQ(Error(), 3001);
  SoundPlay(7);
  EXPECT_EQ(Error(), 3004);
  EXPECT_EQ(SoundExists(7), 0);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(SoundExists(0), 0);
  EXPECT_EQ(Error(), 3001);
  EXPECT_EQ(GetSoundPositionX(7), 0.0f);
  EXPECT_EQ(Error(), 0);  // a notice records nothing over 0
  SoundDelete(7);
  EXPECT_EQ(Error(), 3004);
}

TEST_F(SoundTest, ClonesPlayOnTheirOwnAndOutliveTheirSource) {
  SoundLoad(Write16("ramp.wav", Ramp(4000)).c_str(), 1);
  SoundSetVolume(1, 50);
  SoundClone(2, 1);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(SoundVolume(2), 50);
  SoundClone(2, 1);
  EXPECT_EQ(Error(), 3003);
  SoundClone(0, 1);
  EXPECT_EQ(Error(), 3001);
  SoundDelete(1);
  EXPECT_EQ(SoundExists(1), 0);
  SoundSetVolume(2, 100);
  SoundPlay(2);
  EXPECT_EQ(Pull(11)[2 * 10], 10);
  SoundToData(1, 2, nullptr);  // no copy to fill: nothing happens
  SoundDataCopy copy{};
  EXPECT_EQ(SoundToData(1, 2, &copy), 1);
  EXPECT_EQ(copy.size, 8000);
  EXPECT_EQ(copy.samples_per_second, 44100);
  EXPECT_EQ(copy.bits_per_second, 44100 * 16);
  std::int16_t third = 0;
  std::memcpy(&third, copy.data + 6, 2);
  EXPECT_EQ(third, 3);
  SoundToData(0, 2, &copy);
  EXPECT_EQ(copy.data, nullptr);
}

TEST_F(SoundTest, LostBuffersAreRestoredAndRefilledOnPlay) {
  SoundLoad(Write16("ramp.wav", Ramp(4000)).c_str(), 1);
  dsound::testing::LoseBuffer(Entry(1)->sound->buffers[0].get(), 2);
  SoundPlay(1);
  auto out = Pull(100);
  EXPECT_EQ(out[2 * 50], 50);
  EXPECT_EQ(out[2 * 99], 99);
}

TEST_F(SoundTest, SoundsMadeFromData) {
  auto samples = Ramp(2000);
  SoundFromData(3, 4000, samples.data(), 1, 1, 22050, 44100, 2, 16);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(SoundVolume(3), 100);
  SoundSetSpeed(3, 44100);
  SoundPlay(3);
  EXPECT_EQ(Pull(1000)[2 * 999], 999);
  // A format no buffer can take leaves no entry behind.
  SoundFromData(4, 4000, samples.data(), 1, 0, 22050, 44100, 2, 16);
  EXPECT_EQ(Error(), 3002);
  EXPECT_EQ(SoundExists(4), 0);
}

class Sound3DTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    SoundLoad3D(Write16("sine.wav", Sine(kRate, 441, kRate)).c_str(), 1);
    ASSERT_EQ(Error(), 0);
    ASSERT_TRUE(Entry(1)->buffer_3d);
  }
  D3DVECTOR Sent() {
    D3DVECTOR p{};
    Entry(1)->buffer_3d->GetPosition(&p);
    return p;
  }
};

TEST_F(Sound3DTest, SmallMovesAreKeptButNotSent) {
  EXPECT_EQ(SoundIs3D(1), 1);
  EXPECT_EQ(SoundPan(1), 0);
  SoundSetPosition(1, 0.5f, 0, 0);
  EXPECT_FLOAT_EQ(SoundPositionX(1), 0.5f);
  EXPECT_FLOAT_EQ(GetSoundPositionX(1), 0.005f);
  EXPECT_EQ(Sent().x, 0.0f);
  SoundSetPosition(1, 10, 0, 0);
  EXPECT_FLOAT_EQ(Sent().x, 0.1f);
  SoundSetPosition(1, 18, 0, 0);  // 0.08 from what was sent
  EXPECT_FLOAT_EQ(Sent().x, 0.1f);
  EXPECT_FLOAT_EQ(SoundPositionX(1), 18.0f);
}

TEST_F(Sound3DTest, ChangesAreHeardAfterEverySecondUpdate) {
  SoundLoop(1);
  SoundSetPosition(1, 400, 0, 0);  // 4 units to the right: 12 dB down, right ear louder
  auto out = Pull(4410);
  EXPECT_GT(Peak(out, 0), 30900);  // still at full level (through the end-of-mix limiter)
  Update();
  out = Pull(4410);
  EXPECT_GT(Peak(out, 0), 30900);
  Update();
  out = Pull(4410);
  EXPECT_NEAR(Peak(out, 1), 32767 / 4.0, 20);
  EXPECT_LT(Peak(out, 0), Peak(out, 1) / 5);

  // Turned to face +x, the listener has the sound straight ahead.
  ListenerSetAngle(0, 90, 0);
  EXPECT_EQ(ListenerAngleY(), 90.0f);
  D3DVECTOR front{}, top{};
  tessark::sound::State().listener->GetOrientation(&front, &top);
  EXPECT_NEAR(front.x, 1.0f, 1e-6);
  EXPECT_NEAR(front.z, 0.0f, 1e-6);
  EXPECT_NEAR(top.y, 1.0f, 1e-6);
  Update();
  Update();
  out = Pull(4410);
  EXPECT_NEAR(Peak(out, 0), Peak(out, 1), 2);

  ListenerSetPosition(400, 0, 0);
  EXPECT_FLOAT_EQ(ListenerPositionX(), 400.0f);
  SoundSetScale(2.0f);
  float min_distance = 0, max_distance = 0;
  Entry(1)->buffer_3d->GetMinDistance(&min_distance);
  Entry(1)->buffer_3d->GetMaxDistance(&max_distance);
  EXPECT_EQ(min_distance, 2.0f);
  EXPECT_EQ(max_distance, 6000.0f);
}

class NoDeviceTest : public SoundTest {
 protected:
  dsound::testing::Output Output() override { return dsound::testing::Output::kAbsent; }
};

TEST_F(NoDeviceTest, EveryOperationReturnsQuietly) {
  EXPECT_EQ(tessark::sound::Device(), nullptr);
  SoundLoad(Write16("ramp.wav", Ramp(100)).c_str(), 1);
  SoundPlay(1);
  SoundPlay(0);
  SoundSetVolume(1, 500);
  SoundLoop(1);
  tessark::sound::Update();
  EXPECT_EQ(SoundExists(1), 0);
  EXPECT_EQ(SoundPlaying(1), 0);
  EXPECT_EQ(Error(), 0);
}

class RealDeviceTest : public SoundTest {
 protected:
  void SetUp() override {
    // Headless whatever the environment says: SDL's dummy output plays in real time.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SoundTest::SetUp();
  }
  dsound::testing::Output Output() override { return dsound::testing::Output::kDevice; }
};

TEST_F(RealDeviceTest, PlaysOnSdlsOutput) {
  // Under SDL's dummy driver the output consumes sound in real time on its own thread.
  ASSERT_NE(tessark::sound::Device(), nullptr);
  SoundLoad(Write16("ramp.wav", Ramp(441)).c_str(), 1);
  SoundPlay(1);
  for (int i = 0; i < 100 && SoundPlaying(1); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tessark::sound::Update();
  }
  EXPECT_EQ(SoundPlaying(1), 0);
}

}  // namespace
}  // namespace sound_test
