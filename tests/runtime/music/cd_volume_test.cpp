// The speaker volume a CD track's music sets, through a scripted mixer device installed in the
// mixer stand-in (the system has no mixer device, so the runtime would stop at the first step):
// the mixer it opens is closed again whichever later step fails, and the volume control gets
// its share of the range.
#include <gtest/gtest.h>

#include "platform/mci/mixer.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/music/music_state.h"
#include "tessark/music.h"

struct Win32Mixer {
  int unused = 0;
};

namespace {

enum Step { kNone, kOpen, kCaps, kLine, kControls, kSet };

struct ScriptedMixer {
  UINT devices = 0;
  Step fail_at = kNone;
  int opened = 0;
  int closed = 0;
  DWORD value = 0;
  Win32Mixer device;
} g_mixer;

MMRESULT Answer(Step step) {
  return g_mixer.fail_at == step ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

UINT Count() {
  return g_mixer.devices;
}

MMRESULT Open(LPHMIXER mixer, UINT, std::uintptr_t, std::uintptr_t, DWORD) {
  *mixer = nullptr;
  if (g_mixer.fail_at == kOpen) return MMSYSERR_BADDEVICEID;
  ++g_mixer.opened;
  *mixer = &g_mixer.device;
  return MMSYSERR_NOERROR;
}

MMRESULT Caps(std::uintptr_t, MIXERCAPSA*, UINT) {
  return Answer(kCaps);
}

MMRESULT LineInfo(HMIXEROBJ, MIXERLINEA* line, DWORD) {
  line->dwLineID = 7;
  return Answer(kLine);
}

MMRESULT LineControls(HMIXEROBJ, MIXERLINECONTROLSA* controls, DWORD) {
  controls->pamxctrl->dwControlID = 9;
  controls->pamxctrl->Bounds.s2.dwMinimum = 0;
  controls->pamxctrl->Bounds.s2.dwMaximum = 1000;
  return Answer(kControls);
}

MMRESULT SetDetails(HMIXEROBJ, MIXERCONTROLDETAILS* details, DWORD) {
  if (g_mixer.fail_at == kSet) return MMSYSERR_ERROR;
  g_mixer.value = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
  return MMSYSERR_NOERROR;
}

MMRESULT Close(HMIXER mixer) {
  if (mixer != &g_mixer.device) return MMSYSERR_INVALHANDLE;
  ++g_mixer.closed;
  return MMSYSERR_NOERROR;
}

const mci::testing::MixerFunctions kScripted = {Count,        Open,       Caps, LineInfo,
                                                LineControls, SetDetails, Close};

TEST(CdVolume, TheMixerOpenedIsClosedWhicheverStepFails) {
  std::int32_t error = 0;
  tessark::CoreDataDefaults();
  tessark::ErrorWordSet(&error);
  tessark::music::Constructor(nullptr);
  tessark::music::SetErrorHandler(&error);
  tessark::music::PassCoreData(tessark::CoreDataGet());
  tessark::MusicLoadCdTrack(2, 1);
  mci::testing::InstallMixer(&kScripted);
  g_mixer.devices = 1;
  for (Step step : {kCaps, kLine, kControls, kSet, kNone}) {
    SCOPED_TRACE(step);
    g_mixer.fail_at = step;
    g_mixer.opened = g_mixer.closed = 0;
    tessark::SetMusicVolume(1, 40);
    EXPECT_EQ(g_mixer.opened, 1);
    EXPECT_EQ(g_mixer.closed, 1);
  }
  EXPECT_EQ(g_mixer.value, 400u) << "40 % of the control's range";
  g_mixer.fail_at = kOpen;
  g_mixer.opened = g_mixer.closed = 0;
  tessark::SetMusicVolume(1, 50);
  EXPECT_EQ(g_mixer.closed, 0) << "nothing opened, nothing to close";
  EXPECT_EQ(tessark::MusicVolume(1), 50);
  EXPECT_EQ(error, 0);
  mci::testing::InstallMixer(nullptr);
  g_mixer = ScriptedMixer{};
  tessark::music::Destructor();
  tessark::ErrorWordSet(nullptr);
}

}  // namespace
