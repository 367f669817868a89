// Media control commands: the "waveaudio" device recording from SDL's default capture device
// (open a new element, record to a position, stop, save, close), by command message or by
// command string. A system without a capture device answers as the platform does when no
// input is suitable. A recording takes memory as it goes and ends by itself at the length
// asked for, at the most a wave file holds (about 27 hours), or when memory runs out, keeping
// what it has; "record" fails with MCIERR_OUT_OF_MEMORY when not even its first second can be
// had. "cdaudio" answers as a system without an audio CD drive: opening it fails with
// MCIERR_INVALID_DEVICE_NAME, and every later "cdaudio" command ("set cdaudio time format
// tmsf", "status cdaudio number of tracks", "play cdaudio from 1 to 2", "pause cdaudio", "stop
// cdaudio" ...) fails the same way with an empty answer, which reads as 0 tracks. The mixer
// interface is in mixer.h. Depends on SDL2 and the mmio stand-in's wave writer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/win_types.h"

using MCIDEVICEID = UINT;
using MCIERROR = DWORD;

#define MCI_OPEN 0x0803
#define MCI_CLOSE 0x0804
#define MCI_PLAY 0x0806
#define MCI_STOP 0x0808
#define MCI_RECORD 0x080F
#define MCI_SAVE 0x0813
#define MCI_STATUS 0x0814

#define MCI_NOTIFY 0x00000001L
#define MCI_WAIT 0x00000002L
#define MCI_FROM 0x00000004L
#define MCI_TO 0x00000008L
#define MCI_OPEN_SHAREABLE 0x00000100L
#define MCI_OPEN_ELEMENT 0x00000200L
#define MCI_OPEN_ALIAS 0x00000400L
#define MCI_OPEN_TYPE 0x00002000L
#define MCI_SAVE_FILE 0x00000100L
#define MCI_STATUS_ITEM 0x00000100L
#define MCI_STATUS_LENGTH 0x00000001L
#define MCI_STATUS_MODE 0x00000004L

#define MCI_MODE_NOT_READY 524
#define MCI_MODE_STOP 525
#define MCI_MODE_PLAY 526
#define MCI_MODE_RECORD 527

#define MCIERR_BASE 256
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_UNRECOGNIZED_KEYWORD (MCIERR_BASE + 3)
#define MCIERR_UNRECOGNIZED_COMMAND (MCIERR_BASE + 5)
#define MCIERR_HARDWARE (MCIERR_BASE + 6)
#define MCIERR_INVALID_DEVICE_NAME (MCIERR_BASE + 7)
#define MCIERR_OUT_OF_MEMORY (MCIERR_BASE + 8)
#define MCIERR_MISSING_PARAMETER (MCIERR_BASE + 61)
#define MCIERR_FILE_NOT_SAVED (MCIERR_BASE + 30)
#define MCIERR_UNSUPPORTED_FUNCTION (MCIERR_BASE + 18)
#define MCIERR_WAVE_INPUTSUNSUITABLE (MCIERR_BASE + 72)
#define MCIERR_NULL_PARAMETER_BLOCK (MCIERR_BASE + 41)

struct MCI_OPEN_PARMSA {
  std::uintptr_t dwCallback;
  MCIDEVICEID wDeviceID;
  LPCSTR lpstrDeviceType;
  LPCSTR lpstrElementName;
  LPCSTR lpstrAlias;
};
struct MCI_GENERIC_PARMS {
  std::uintptr_t dwCallback;
};
struct MCI_RECORD_PARMS {
  std::uintptr_t dwCallback;
  DWORD dwFrom;
  DWORD dwTo;
};
struct MCI_SAVE_PARMSA {
  std::uintptr_t dwCallback;
  LPCSTR lpfilename;
};
struct MCI_STATUS_PARMS {
  std::uintptr_t dwCallback;
  std::uintptr_t dwReturn;
  DWORD dwItem;
  DWORD dwTrack;
};

// Sends a command message to a device (MCI_OPEN creates one; its id comes back in the open
// parameters). 0 on success, else an MCIERR code.
MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, std::uintptr_t flags,
                         std::uintptr_t params);
// The same commands as text: "open new type waveaudio alias rec", "record rec to 5000",
// "stop rec", "save rec c:\x.wav wait", "close rec", "status rec mode".
MCIERROR mciSendStringA(LPCSTR command, LPSTR answer, UINT answer_size, HWND callback);

namespace mci::testing {
// Feeds recordings from fill instead of the capture device: when the recording starts, it is
// asked for mono 16-bit samples at 22050 Hz, count at a time, until the recording is done (its
// length, or the memory it may take). Null restores the capture device.
using CaptureSource = void (*)(std::int16_t* samples, int count);
void SetCaptureSource(CaptureSource source);
// Lets a recording take at most bytes of memory, as if the machine had no more; 0 removes the
// limit.
void SetRecordingMemory(std::size_t bytes);
}  // namespace mci::testing
