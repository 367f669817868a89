// The audio mixer interface on a system without mixer devices: the device count is 0, and a
// device id or handle given anyway is refused as bad, never acted on.
#include "platform/mci/mixer.h"

UINT mixerGetNumDevs() {
  return 0;
}

MMRESULT mixerOpen(LPHMIXER mixer, UINT /*id*/, std::uintptr_t /*callback*/,
                   std::uintptr_t /*instance*/, DWORD /*flags*/) {
  if (mixer) *mixer = nullptr;
  return MMSYSERR_BADDEVICEID;
}

MMRESULT mixerGetDevCapsA(std::uintptr_t /*id*/, MIXERCAPSA* caps, UINT /*size*/) {
  return caps ? MMSYSERR_BADDEVICEID : MMSYSERR_INVALPARAM;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ /*mixer*/, MIXERLINEA* line, DWORD /*flags*/) {
  return line ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ /*mixer*/, MIXERLINECONTROLSA* controls, DWORD /*flags*/) {
  return controls ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerSetControlDetails(HMIXEROBJ /*mixer*/, MIXERCONTROLDETAILS* details,
                                DWORD /*flags*/) {
  return details ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerClose(HMIXER /*mixer*/) {
  return MMSYSERR_INVALHANDLE;
}
