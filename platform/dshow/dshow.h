// The filter graph: music files rendered to the sound device. CoCreateInstance of the filter
// graph class gives one reference-counted object that answers for the graph builder, media
// control, media event, media seeking, basic audio and media position interfaces. RenderFile
// opens a decoder for the file (libsndfile for WAV, AIFF, FLAC, Ogg Vorbis, Opus and MP3;
// FluidSynth with the General MIDI sound font for MIDI) and a streaming buffer on the shared
// sound device, so music and sounds are heard through one mixer. A worker thread of the graph
// decodes ahead into that buffer and sleeps while it is full; nothing the program calls waits
// for decoding. Names, interface ids and numeric values are the platform's. Depends on the
// dsound stand-in, libsndfile and FluidSynth.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/dsound/dsound.h"
#include "platform/win32/win_types.h"

using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using REFIID = const GUID&;
using REFCLSID = const GUID&;
using LONG_PTR = std::intptr_t;
using REFTIME = double;
using OAFilterState = LONG;
struct IUnknown;
using LPUNKNOWN = IUnknown*;

// Result codes.
#define E_ABORT ((HRESULT)0x80004004L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216L)
#define VFW_E_CANNOT_RENDER ((HRESULT)0x80040218L)
#define VFW_E_WRONG_STATE ((HRESULT)0x80040227L)
#define VFW_E_UNSUPPORTED_STREAM ((HRESULT)0x8004022FL)
#define VFW_E_NO_AUDIO_HARDWARE ((HRESULT)0x8004025FL)
#define VFW_E_NOT_CONNECTED ((HRESULT)0x80040209L)

#define CLSCTX_INPROC_SERVER 0x1

// Events.
#define EC_COMPLETE 0x01
#define EC_USERABORT 0x02
#define EC_ERRORABORT 0x03

// Seeking flags.
#define AM_SEEKING_NoPositioning 0x0
#define AM_SEEKING_AbsolutePositioning 0x1
#define AM_SEEKING_RelativePositioning 0x2
#define AM_SEEKING_IncrementalPositioning 0x3
#define AM_SEEKING_PositioningBitsMask 0x3

// Filter states.
#define State_Stopped 0
#define State_Paused 1
#define State_Running 2

// The code page conversion the graph's file names go through.
#define CP_ACP 0
#define MB_PRECOMPOSED 0x00000001

inline constexpr GUID CLSID_FilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IGraphBuilder = {
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaControl = {
    0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaEventEx = {
    0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaSeeking = {
    0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr GUID IID_IBasicAudio = {
    0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaPosition = {
    0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::equal(a.Data4, a.Data4 + 8, b.Data4);
}

// The interfaces. Every one counts references on the one object behind it; QueryInterface
// hands out the others by id, with a reference added.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IGraphBuilder : IUnknown {
  // Builds the graph that plays the file: a decoder for it and the audio renderer.
  // VFW_E_NOT_FOUND for a missing file, VFW_E_UNSUPPORTED_STREAM for one no decoder takes,
  // VFW_E_NO_AUDIO_HARDWARE without a sound device, VFW_E_WRONG_STATE once a file is rendered.
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR play_list) = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  // Stops playing; the position stays where it was.
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG timeout_ms, OAFilterState* state) = 0;

 protected:
  ~IMediaControl() = default;
};

struct IMediaEventEx : IUnknown {
  // The next event, waiting at most timeout_ms (0: not at all); E_ABORT when there is none.
  virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout_ms) = 0;
  virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;

 protected:
  ~IMediaEventEx() = default;
};

struct IMediaSeeking : IUnknown {
  // Positions are in 100-nanosecond units of the file's own time (not scaled by the rate).
  virtual HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* stop,
                               DWORD stop_flags) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
  // E_NOTIMPL while the length is not known (a MIDI file before it has played to its end).
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  // E_INVALIDARG for 0 or below; the stream's frequency is the file's rate times the rate,
  // held within the sound device's frequency range.
  virtual HRESULT SetRate(double rate) = 0;
  virtual HRESULT GetRate(double* rate) = 0;

 protected:
  ~IMediaSeeking() = default;
};

struct IBasicAudio : IUnknown {
  // Hundredths of a decibel, -10000 (silence) to 0 (full), as sound buffers take them.
  virtual HRESULT put_Volume(LONG volume) = 0;
  virtual HRESULT get_Volume(LONG* volume) = 0;

 protected:
  ~IBasicAudio() = default;
};

struct IMediaPosition : IUnknown {
  // Seconds.
  virtual HRESULT get_Duration(REFTIME* length) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
  virtual HRESULT put_Rate(double rate) = 0;
  virtual HRESULT get_Rate(double* rate) = 0;

 protected:
  ~IMediaPosition() = default;
};

// Creates the filter graph (CLSID_FilterGraph, in-process, no aggregation) and hands out the
// interface iid of it.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, void** out);

// Converts text in the system code page (UTF-8 here) to UTF-16. With out_size 0, the number of
// units needed (terminator included when in_size is -1); otherwise the number written, 0 when
// out is too small. Invalid bytes become U+FFFD.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_size, LPWSTR out,
                        int out_size);

namespace dshow::testing {
// The General MIDI sound font MIDI files are played with (null: the system's default,
// /usr/share/sounds/sf2/default-GM.sf2). A missing font makes MIDI files unrenderable.
void SetSoundFont(const char* path);
// Waits (up to 5 s) until every graph's worker has nothing left to do: its buffer is full or
// its file decoded to the end. Tests call it before pulling the mixer's output.
bool WaitIdle();
// How many graph objects exist (for leak checks).
int LiveGraphs();
}  // namespace dshow::testing
