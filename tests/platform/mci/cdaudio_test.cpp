// "cdaudio" and the mixer interface on a system without an audio CD drive or mixer devices:
// every command fails with an empty answer, and no mixer can be opened.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/mci/mci.h"
#include "platform/mci/mixer.h"

namespace {

TEST(CdAudio, EveryCommandFailsWithAnEmptyAnswer) {
  const char* commands[] = {
      "open cdaudio",
      "set cdaudio time format tmsf",
      "status cdaudio number of tracks",
      "status cdaudio mode",
      "play cdaudio from 1 to 2",
      "play cdaudio from 12",
      "pause cdaudio",
      "resume cdaudio",
      "stop cdaudio",
      "close cdaudio",
  };
  for (const char* command : commands) {
    SCOPED_TRACE(command);
    char answer[256];
    std::memset(answer, 'x', sizeof answer);
    EXPECT_EQ(mciSendStringA(command, answer, sizeof answer, nullptr), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_STREQ(answer, "");
  }
  // The same by command message.
  MCI_OPEN_PARMSA open{};
  open.lpstrDeviceType = "cdaudio";
  EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, reinterpret_cast<std::uintptr_t>(&open)),
            MCIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(open.wDeviceID, 0u);
}

TEST(CdAudio, WaveAudioStillOpensBesideIt) {
  char answer[16] = {};
  ASSERT_EQ(mciSendStringA("open new type waveaudio alias rec", answer, sizeof answer, nullptr),
            0u);
  EXPECT_STRNE(answer, "");
  EXPECT_EQ(mciSendStringA("close rec", nullptr, 0, nullptr), 0u);
}

TEST(Mixer, ThereAreNoMixerDevices) {
  EXPECT_EQ(mixerGetNumDevs(), 0u);
  HMIXER mixer = reinterpret_cast<HMIXER>(1);
  EXPECT_EQ(mixerOpen(&mixer, 0, 0, 0, CALLBACK_WINDOW),
            static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
  EXPECT_EQ(mixer, nullptr);
  MIXERCAPSA caps{};
  EXPECT_NE(mixerGetDevCapsA(0, &caps, sizeof caps), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  EXPECT_NE(mixerGetLineInfoA(nullptr, &line, MIXER_GETLINEINFOF_COMPONENTTYPE),
            static_cast<MMRESULT>(MMSYSERR_NOERROR));
  MIXERLINECONTROLSA controls{};
  EXPECT_NE(mixerGetLineControlsA(nullptr, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE),
            static_cast<MMRESULT>(MMSYSERR_NOERROR));
  MIXERCONTROLDETAILS details{};
  EXPECT_NE(mixerSetControlDetails(nullptr, &details, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(mixerClose(nullptr), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

}  // namespace
