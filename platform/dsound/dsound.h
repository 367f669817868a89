// The sound device: DirectSound 8's objects on SDL2 audio. One SDL audio output per device;
// a mixer on SDL's audio thread plays every secondary buffer with the platform's semantics
// (byte play cursors, once or looping, volume and pan in hundredths of a decibel, frequency,
// duplicates sharing data, 3D buffers and a listener heard as distance attenuation and panning).
// Names, structures and numeric values are the platform's; objects are plain C++ classes,
// reference-counted and held in dsound::Ref. Depends on mmsystem.h (WAVEFORMATEX) and SDL2.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dsound/ref.h"
#include "platform/mmio/mmsystem.h"
#include "platform/win32/win_types.h"

#ifndef D3DVECTOR_DEFINED
#define D3DVECTOR_DEFINED
struct D3DVECTOR {
  float x;
  float y;
  float z;
};
#endif

// Result codes.
#define DS_OK S_OK
#define DS_NO_VIRTUALIZATION ((HRESULT)0x0878000AL)
#define DSERR_ALLOCATED ((HRESULT)0x8878000AL)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001EL)
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_INVALIDCALL ((HRESULT)0x88780032L)
#define DSERR_GENERIC E_FAIL
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046L)
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_BADFORMAT ((HRESULT)0x88780064L)
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NODRIVER ((HRESULT)0x88780078L)
#define DSERR_BUFFERLOST ((HRESULT)0x88780096L)
#define DSERR_UNINITIALIZED ((HRESULT)0x887800AAL)

// Cooperative levels.
#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

// Buffer capabilities.
#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRL3D 0x00000010
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100
#define DSBCAPS_CTRLFX 0x00000200
#define DSBCAPS_STICKYFOCUS 0x00004000
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000
#define DSBCAPS_MUTE3DATMAXDISTANCE 0x00020000
#define DSBCAPS_LOCDEFER 0x00040000

#define DSBPLAY_LOOPING 0x00000001
#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004
#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

#define DSBFREQUENCY_ORIGINAL 0
#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 100000
#define DSBPAN_LEFT -10000
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBVOLUME_MIN -10000
#define DSBVOLUME_MAX 0
#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

// 3D.
#define DS3D_IMMEDIATE 0x00000000
#define DS3D_DEFERRED 0x00000001
#define DS3DMODE_NORMAL 0x00000000
#define DS3DMODE_HEADRELATIVE 0x00000001
#define DS3DMODE_DISABLE 0x00000002
#define DS3D_MINDISTANCEFACTOR 1.175494351e-38f
#define DS3D_DEFAULTDISTANCEFACTOR 1.0f
#define DS3D_MINROLLOFFFACTOR 0.0f
#define DS3D_MAXROLLOFFFACTOR 10.0f
#define DS3D_DEFAULTROLLOFFFACTOR 1.0f
#define DS3D_MINDOPPLERFACTOR 0.0f
#define DS3D_MAXDOPPLERFACTOR 10.0f
#define DS3D_DEFAULTDOPPLERFACTOR 1.0f
#define DS3D_DEFAULTMINDISTANCE 1.0f
#define DS3D_DEFAULTMAXDISTANCE 1000000000.0f
#define DS3D_DEFAULTCONEANGLE 360
#define DS3D_DEFAULTCONEOUTSIDEVOLUME 0

// The default 3D algorithm is the null GUID.
inline constexpr GUID DS3DALG_DEFAULT = {};

struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  LPWAVEFORMATEX lpwfxFormat;
  GUID guid3DAlgorithm;
};

struct DSBCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwUnlockTransferRate;
  DWORD dwPlayCpuOverhead;
};

struct DS3DBUFFER {
  DWORD dwSize;
  D3DVECTOR vPosition;
  D3DVECTOR vVelocity;
  DWORD dwInsideConeAngle;
  DWORD dwOutsideConeAngle;
  D3DVECTOR vConeOrientation;
  LONG lConeOutsideVolume;
  float flMinDistance;
  float flMaxDistance;
  DWORD dwMode;
};

struct DS3DLISTENER {
  DWORD dwSize;
  D3DVECTOR vPosition;
  D3DVECTOR vVelocity;
  D3DVECTOR vOrientFront;
  D3DVECTOR vOrientTop;
  float flDistanceFactor;
  float flRolloffFactor;
  float flDopplerFactor;
};

namespace dsound {
struct Mixer;
struct Voice;
}  // namespace dsound

class IDirectSound8;
class IDirectSoundBuffer8;
namespace dsound::testing {
void LoseBuffer(IDirectSoundBuffer8* buffer, int refusals);
}
class IDirectSound3DBuffer8;
class IDirectSound3DListener8;
using IDirectSound = IDirectSound8;
using IDirectSoundBuffer = IDirectSoundBuffer8;
using IDirectSound3DBuffer = IDirectSound3DBuffer8;
using IDirectSound3DListener = IDirectSound3DListener8;

// The device: one audio output and its mixer.
class IDirectSound8 : public dsound::RefCounted {
 public:
  ~IDirectSound8() override;

  HRESULT SetCooperativeLevel(HWND window, DWORD level);
  // A primary buffer (DSBCAPS_PRIMARYBUFFER, no size, no format) or a secondary buffer of PCM
  // data, 8 or 16 bits, 1 or 2 channels (3D buffers mono), zeroed.
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, dsound::Ref<IDirectSoundBuffer8>* out,
                            void* outer);
  // A new secondary buffer playing the same data as original, with its own cursor and settings.
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer8* original,
                               dsound::Ref<IDirectSoundBuffer8>* out);

  // A streaming buffer (see IDirectSoundBuffer8::StreamWrite): 16-bit PCM, 1 or 2 channels,
  // at DSBFREQUENCY_MIN..DSBFREQUENCY_MAX, holding dwBufferBytes of frames ahead of the play
  // position. Volume, pan, frequency, Play, Stop and GetStatus work as on other buffers;
  // GetCaps, GetCurrentPosition, Lock and Unlock address the ring of frames (dwBufferBytes
  // rounded down to whole frames), the play cursor being where in it the next frame played is.
  HRESULT CreateStreamingBuffer(const DSBUFFERDESC* desc, dsound::Ref<IDirectSoundBuffer8>* out);

  dsound::Mixer& mixer() { return *mixer_; }

 private:
  friend HRESULT DirectSoundCreate8(const GUID*, dsound::Ref<IDirectSound8>*, void*);
  IDirectSound8();
  std::unique_ptr<dsound::Mixer> mixer_;
  DWORD cooperative_level_ = 0;
};

// A sound buffer: the primary buffer (the output's format, the listener) or a secondary buffer.
class IDirectSoundBuffer8 : public dsound::RefCounted {
 public:
  ~IDirectSoundBuffer8() override;

  HRESULT GetCaps(DSBCAPS* caps);
  HRESULT GetStatus(DWORD* status);
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags);
  HRESULT Stop();
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write);
  HRESULT SetCurrentPosition(DWORD position);
  // Gives access to bytes of the buffer: two parts when the range wraps past the end. Writes
  // reach the buffer (and what the mixer plays) at Unlock.
  HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
               DWORD flags);
  HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2);
  HRESULT Restore();
  HRESULT SetVolume(LONG volume);
  HRESULT GetVolume(LONG* volume);
  HRESULT SetPan(LONG pan);
  HRESULT GetPan(LONG* pan);
  HRESULT SetFrequency(DWORD frequency);
  HRESULT GetFrequency(DWORD* frequency);
  HRESULT SetFormat(const WAVEFORMATEX* format);
  HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written);
  // The interfaces the platform hands out through QueryInterface.
  HRESULT Query3DBuffer(dsound::Ref<IDirectSound3DBuffer8>* out);
  HRESULT QueryListener(dsound::Ref<IDirectSound3DListener8>* out);

  // Streaming buffers only. A producer thread appends frames as they are made and the mixer
  // plays them once each, in order; nothing is heard while the buffer runs dry. Every flush
  // starts a new epoch: writes made for an older epoch are dropped, so a producer that was
  // busy with old data when the program seeked cannot slip it in after the flush.
  //
  // Appends up to count frames for epoch; the number taken (0 when full or for an old epoch).
  DWORD StreamWrite(const std::int16_t* frames, DWORD count, std::uint32_t epoch);
  // Free room in frames for epoch (0 for an old epoch).
  DWORD StreamSpace(std::uint32_t epoch);
  // Marks the last frame of epoch as written: once it has been played the stream is drained.
  void StreamEnd(std::uint32_t epoch);
  // Drops every frame not yet played and starts a new epoch, returned.
  std::uint32_t StreamFlush();
  // Frames played since the last flush, and whether the stream ended and has played out.
  void StreamStatus(std::uint64_t* played, bool* drained, std::uint32_t* epoch);
  // Bumped (and waiters woken) whenever the mixer takes frames or the stream drains; a
  // producer waits on it for room instead of polling.
  std::atomic<std::uint32_t>* StreamSignal();

 private:
  friend class IDirectSound8;
  friend class IDirectSound3DBuffer8;
  friend class IDirectSound3DListener8;
  friend void dsound::testing::LoseBuffer(IDirectSoundBuffer8* buffer, int refusals);
  IDirectSoundBuffer8(dsound::Ref<IDirectSound8> device, DWORD flags);

  dsound::Ref<IDirectSound8> device_;
  DWORD flags_;
  std::unique_ptr<dsound::Voice> voice_;  // null for the primary buffer
  std::vector<BYTE> staging_;             // the bytes handed out by Lock
  DWORD locked_offset_ = 0;
  DWORD locked_bytes_ = 0;
  bool locked_ = false;
};

// The 3D controls of a secondary buffer made with DSBCAPS_CTRL3D.
class IDirectSound3DBuffer8 : public dsound::RefCounted {
 public:
  HRESULT GetAllParameters(DS3DBUFFER* params);
  HRESULT SetAllParameters(const DS3DBUFFER* params, DWORD apply);
  HRESULT GetPosition(D3DVECTOR* position);
  HRESULT SetPosition(float x, float y, float z, DWORD apply);
  HRESULT GetMinDistance(float* distance);
  HRESULT SetMinDistance(float distance, DWORD apply);
  HRESULT GetMaxDistance(float* distance);
  HRESULT SetMaxDistance(float distance, DWORD apply);
  HRESULT GetMode(DWORD* mode);
  HRESULT SetMode(DWORD mode, DWORD apply);
  HRESULT SetVelocity(float x, float y, float z, DWORD apply);

 private:
  friend class IDirectSoundBuffer8;
  explicit IDirectSound3DBuffer8(dsound::Ref<IDirectSoundBuffer8> buffer);
  template <typename Change>
  HRESULT Apply(DWORD apply, Change change);
  dsound::Ref<IDirectSoundBuffer8> buffer_;
};

// The listener: where the sounds are heard from.
class IDirectSound3DListener8 : public dsound::RefCounted {
 public:
  HRESULT GetAllParameters(DS3DLISTENER* params);
  HRESULT SetAllParameters(const DS3DLISTENER* params, DWORD apply);
  HRESULT GetPosition(D3DVECTOR* position);
  HRESULT SetPosition(float x, float y, float z, DWORD apply);
  HRESULT GetOrientation(D3DVECTOR* front, D3DVECTOR* top);
  HRESULT SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz, DWORD apply);
  HRESULT GetDistanceFactor(float* factor);
  HRESULT SetDistanceFactor(float factor, DWORD apply);
  HRESULT GetRolloffFactor(float* factor);
  HRESULT SetRolloffFactor(float factor, DWORD apply);
  HRESULT GetDopplerFactor(float* factor);
  HRESULT SetDopplerFactor(float factor, DWORD apply);
  HRESULT SetVelocity(float x, float y, float z, DWORD apply);
  // Makes every deferred listener and 3D buffer setting of the device take effect at once.
  HRESULT CommitDeferredSettings();

 private:
  friend class IDirectSoundBuffer8;
  explicit IDirectSound3DListener8(dsound::Ref<IDirectSound8> device);
  template <typename Change>
  HRESULT Apply(DWORD apply, Change change);
  dsound::Ref<IDirectSound8> device_;
};

// Creates the device for the default output (device must be null). DSERR_NODRIVER when no
// audio output can be opened.
HRESULT DirectSoundCreate8(const GUID* device, dsound::Ref<IDirectSound8>* out, void* outer);

// The device the program's sounds play on, for other users of the output that should share its
// mixer: the live device made last by DirectSoundCreate8, or else a new one made as it makes
// them. Fails as DirectSoundCreate8 does.
HRESULT DirectSoundShared(dsound::Ref<IDirectSound8>* out);

// Test hooks: outputs without a device, pulling the mixed sound, losing buffers.
namespace dsound::testing {

// The next devices created: kDevice opens SDL's output, kHeadless mixes only when pulled (at
// the given rate), kAbsent fails as a system without sound does.
enum class Output { kDevice, kHeadless, kAbsent };
void SetOutput(Output output, DWORD headless_rate = 44100);
// Mixes frames of interleaved stereo 16-bit output of device into out, as the audio thread does.
void MixerPull(IDirectSound8* device, std::int16_t* out, DWORD frames);
// The output rate the device mixes at.
DWORD MixerRate(IDirectSound8* device);
// Loses a buffer as the system does when another program takes the device: it stops, its data
// is gone, and Restore refuses refusals times before it succeeds.
void LoseBuffer(IDirectSoundBuffer8* buffer, int refusals);
// How many times Restore was called on buffers of any device.
int RestoreCalls();

}  // namespace dsound::testing
