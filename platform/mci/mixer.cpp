// The audio mixer interface on a system without mixer devices: the device count is 0, and a
// device id or handle given anyway is refused as bad, never acted on.
#include "platform/mci/mixer.h"

namespace {

const mci::testing::MixerFunctions* g_installed = nullptr;

}  // namespace

void mci::testing::InstallMixer(const MixerFunctions* functions) {
  g_installed = functions;
}

UINT mixerGetNumDevs() {
  if (g_installed) return g_installed->count();
  return 0;
}

MMRESULT mixerOpen(LPHMIXER mixer, UINT id, std::uintptr_t callback, std::uintptr_t instance,
                   DWORD flags) {
  if (g_installed) return g_installed->open(mixer, id, callback, instance, flags);
  if (mixer) *mixer = nullptr;
  return MMSYSERR_BADDEVICEID;
}

MMRESULT mixerGetDevCapsA(std::uintptr_t id, MIXERCAPSA* caps, UINT size) {
  if (g_installed) return g_installed->caps(id, caps, size);
  return caps ? MMSYSERR_BADDEVICEID : MMSYSERR_INVALPARAM;
}

MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags) {
  if (g_installed) return g_installed->line_info(mixer, line, flags);
  return line ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags) {
  if (g_installed) return g_installed->line_controls(mixer, controls, flags);
  return controls ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerSetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (g_installed) return g_installed->set_details(mixer, details, flags);
  return details ? MMSYSERR_INVALHANDLE : MMSYSERR_INVALPARAM;
}

MMRESULT mixerClose(HMIXER mixer) {
  if (g_installed) return g_installed->close(mixer);
  return MMSYSERR_INVALHANDLE;
}
