// The audio mixer interface (speaker volume and other lines of the system's mixer devices).
// This system offers no mixer devices: mixerGetNumDevs answers 0 and every call on a device
// answers that the device id is bad, as the platform does on a machine without one. Names,
// structures and numeric values are the platform's.
#pragma once

#include <cstdint>

#include "platform/mmio/mmsystem.h"
#include "platform/win32/win_types.h"

struct Win32Mixer;
using HMIXER = Win32Mixer*;
using HMIXEROBJ = Win32Mixer*;
using LPHMIXER = HMIXER*;

#ifndef MMSYSERR_BADDEVICEID
#define MMSYSERR_BADDEVICEID 2
#endif
#define MIXERR_BASE 1024
#define MIXERR_INVALLINE (MIXERR_BASE + 0)
#define MIXERR_INVALCONTROL (MIXERR_BASE + 1)

#define MAXPNAMELEN 32
#define MIXER_SHORT_NAME_CHARS 16
#define MIXER_LONG_NAME_CHARS 64

#define CALLBACK_WINDOW 0x00010000L
#define MIXER_OBJECTF_HMIXER 0x80000000L
#define MIXER_GETLINEINFOF_COMPONENTTYPE 0x00000003L
#define MIXER_GETLINECONTROLSF_ONEBYTYPE 0x00000002L
#define MIXER_SETCONTROLDETAILSF_VALUE 0x00000000L
#define MIXERLINE_COMPONENTTYPE_DST_SPEAKERS 4
#define MIXERCONTROL_CONTROLTYPE_VOLUME 0x50030001L

struct MIXERCAPSA {
  WORD wMid;
  WORD wPid;
  DWORD vDriverVersion;
  CHAR szPname[MAXPNAMELEN];
  DWORD fdwSupport;
  DWORD cDestinations;
};

struct MIXERLINEA {
  DWORD cbStruct;
  DWORD dwDestination;
  DWORD dwSource;
  DWORD dwLineID;
  DWORD fdwLine;
  std::uintptr_t dwUser;
  DWORD dwComponentType;
  DWORD cChannels;
  DWORD cConnections;
  DWORD cControls;
  CHAR szShortName[MIXER_SHORT_NAME_CHARS];
  CHAR szName[MIXER_LONG_NAME_CHARS];
  struct {
    DWORD dwType;
    DWORD dwDeviceID;
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
  } Target;
};

struct MIXERCONTROLA {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD dwControlType;
  DWORD fdwControl;
  DWORD cMultipleItems;
  CHAR szShortName[MIXER_SHORT_NAME_CHARS];
  CHAR szName[MIXER_LONG_NAME_CHARS];
  union {
    struct {
      LONG lMinimum;
      LONG lMaximum;
    } s1;
    struct {
      DWORD dwMinimum;
      DWORD dwMaximum;
    } s2;
    DWORD dwReserved[6];
  } Bounds;
  union {
    DWORD cSteps;
    DWORD cbCustomData;
    DWORD dwReserved[6];
  } Metrics;
};

struct MIXERLINECONTROLSA {
  DWORD cbStruct;
  DWORD dwLineID;
  union {
    DWORD dwControlID;
    DWORD dwControlType;
  };
  DWORD cControls;
  DWORD cbmxctrl;
  MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
  DWORD cbStruct;
  DWORD dwControlID;
  DWORD cChannels;
  union {
    HWND hwndOwner;
    DWORD cMultipleItems;
  };
  DWORD cbDetails;
  LPVOID paDetails;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
  DWORD dwValue;
};

// The number of mixer devices: none.
UINT mixerGetNumDevs();
// Opens mixer device id: MMSYSERR_BADDEVICEID (there is none); *mixer is set to null.
MMRESULT mixerOpen(LPHMIXER mixer, UINT id, std::uintptr_t callback, std::uintptr_t instance,
                   DWORD flags);
MMRESULT mixerGetDevCapsA(std::uintptr_t id, MIXERCAPSA* caps, UINT size);
MMRESULT mixerGetLineInfoA(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);
// Closes a mixer handle: MMSYSERR_INVALHANDLE for any (none can have been opened).
MMRESULT mixerClose(HMIXER mixer);

namespace mci::testing {

// A mixer device for tests of the code that drives one: while a table is installed, every mixer
// call above goes to it instead of answering that there is no device. Null uninstalls it.
struct MixerFunctions {
  UINT (*count)();
  MMRESULT(*open)
  (LPHMIXER mixer, UINT id, std::uintptr_t callback, std::uintptr_t instance, DWORD flags);
  MMRESULT (*caps)(std::uintptr_t id, MIXERCAPSA* caps, UINT size);
  MMRESULT (*line_info)(HMIXEROBJ mixer, MIXERLINEA* line, DWORD flags);
  MMRESULT (*line_controls)(HMIXEROBJ mixer, MIXERLINECONTROLSA* controls, DWORD flags);
  MMRESULT (*set_details)(HMIXEROBJ mixer, MIXERCONTROLDETAILS* details, DWORD flags);
  MMRESULT (*close)(HMIXER mixer);
};
void InstallMixer(const MixerFunctions* functions);

}  // namespace mci::testing
