// Multimedia file I/O and the compression manager: the wave format record, RIFF chunk reading
// over files and memory blocks (mmio*), and the conversion of compressed wave data to 16-bit
// PCM (acm*). Names, structures and numeric values are the platform's; the calls are plain C++
// functions over our own handles; wave files are written by WaveFileWrite. Depends on
// win_types.h; the conversions use libsndfile.
#pragma once

#include <cstdint>
#include <cstdio>  // SEEK_SET, SEEK_CUR, SEEK_END for mmioSeek
#include <span>

#include "platform/win32/win_types.h"

using MMRESULT = UINT;
using FOURCC = DWORD;
using HPSTR = char*;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) |
         (static_cast<FOURCC>(static_cast<BYTE>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<BYTE>(c)) << 16) |
         (static_cast<FOURCC>(static_cast<BYTE>(d)) << 24);
}

constexpr FOURCC FOURCC_RIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr FOURCC FOURCC_LIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr FOURCC FOURCC_DOS = mmioFOURCC('D', 'O', 'S', ' ');
constexpr FOURCC FOURCC_MEM = mmioFOURCC('M', 'E', 'M', ' ');

// The wave format record (packed on the platform: 18 bytes, extra bytes follow cbSize).
#ifndef WAVEFORMATEX_DEFINED
#define WAVEFORMATEX_DEFINED
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
struct PCMWAVEFORMAT {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(PCMWAVEFORMAT) == 16);
#endif
using LPWAVEFORMATEX = WAVEFORMATEX*;

#define WAVE_FORMAT_PCM 0x0001
#define WAVE_FORMAT_ADPCM 0x0002
#define WAVE_FORMAT_IEEE_FLOAT 0x0003
#define WAVE_FORMAT_ALAW 0x0006
#define WAVE_FORMAT_MULAW 0x0007
#define WAVE_FORMAT_IMA_ADPCM 0x0011
#define WAVE_FORMAT_DVI_ADPCM 0x0011
#define WAVE_FORMAT_GSM610 0x0031
#define WAVE_FORMAT_MPEGLAYER3 0x0055
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE

// Result codes.
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define MMIOERR_BASE 256
#define MMIOERR_FILENOTFOUND (MMIOERR_BASE + 1)
#define MMIOERR_OUTOFMEMORY (MMIOERR_BASE + 2)
#define MMIOERR_CANNOTOPEN (MMIOERR_BASE + 3)
#define MMIOERR_CANNOTCLOSE (MMIOERR_BASE + 4)
#define MMIOERR_CANNOTREAD (MMIOERR_BASE + 5)
#define MMIOERR_CANNOTWRITE (MMIOERR_BASE + 6)
#define MMIOERR_CANNOTSEEK (MMIOERR_BASE + 7)
#define MMIOERR_CANNOTEXPAND (MMIOERR_BASE + 8)
#define MMIOERR_CHUNKNOTFOUND (MMIOERR_BASE + 9)
#define ACMERR_BASE 512
#define ACMERR_NOTPOSSIBLE (ACMERR_BASE + 0)
#define ACMERR_BUSY (ACMERR_BASE + 1)
#define ACMERR_UNPREPARED (ACMERR_BASE + 2)
#define ACMERR_CANCELED (ACMERR_BASE + 3)

// ---- Multimedia file I/O -----------------------------------------------------------------

struct MmioFile;
using HMMIO = MmioFile*;

#define MMIO_READ 0x00000000
#define MMIO_WRITE 0x00000001
#define MMIO_READWRITE 0x00000002
#define MMIO_ALLOCBUF 0x00010000
#define MMIO_FINDCHUNK 0x0010
#define MMIO_FINDRIFF 0x0020
#define MMIO_FINDLIST 0x0040
#define MMIO_DIRTY 0x10000000

struct MMIOINFO {
  DWORD dwFlags;
  FOURCC fccIOProc;  // FOURCC_MEM with pchBuffer/cchBuffer: read from a memory block
  void* pIOProc;
  UINT wErrorRet;
  void* htask;
  LONG cchBuffer;
  HPSTR pchBuffer;
  HPSTR pchNext;
  HPSTR pchEndRead;
  HPSTR pchEndWrite;
  LONG lBufOffset;
  LONG lDiskOffset;
  DWORD adwInfo[3];
  DWORD dwReserved1;
  DWORD dwReserved2;
  HMMIO hmmio;
};
using LPMMIOINFO = MMIOINFO*;

struct MMCKINFO {
  FOURCC ckid;
  DWORD cksize;
  FOURCC fccType;
  DWORD dwDataOffset;
  DWORD dwFlags;
};
using LPMMCKINFO = MMCKINFO*;

// Opens a file (name through win32::NativePath) or, with fccIOProc FOURCC_MEM, a memory block
// that the caller keeps alive. Only reading is offered. Null on failure; info->wErrorRet says why.
HMMIO mmioOpenA(LPSTR name, LPMMIOINFO info, DWORD flags);
MMRESULT mmioClose(HMMIO h, UINT flags);
// Reads up to count bytes; the number read (0 at the end), -1 on error.
LONG mmioRead(HMMIO h, HPSTR buffer, LONG count);
// Moves the position (SEEK_SET, SEEK_CUR, SEEK_END); the new position, or -1 when it would fall
// outside 0..file size.
LONG mmioSeek(HMMIO h, LONG offset, int origin);
// Enters the chunk at the position (or finds one, by flag) within parent's bounds; the chunk's
// whole header must lie inside the file and parent.
MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, const MMCKINFO* parent, UINT flags);
// Moves past the end of the chunk (and its pad byte), clamped to the file's end.
MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT flags);
// The file's size in bytes (not a platform call: the bounds the reader checks against).
DWORD mmioFileSize(HMMIO h);

// ---- Writing wave files (not platform calls: the one writer the recorder and sounds made
// from data share) ----------------------------------------------------------------------------

// The most data bytes a wave file of the format can hold: its 32-bit sizes count the header
// too, so this is a little under 4 GiB (27 hours of 16-bit mono at 22.05 kHz).
DWORD WaveFileDataMax(const WAVEFORMATEX& format);
// Writes a RIFF wave file (name through win32::NativePath): a 16-byte "fmt " chunk for PCM,
// else the record and the cbSize extra bytes that follow it in memory, then the data pieces in
// order as one "data" chunk. False when the file cannot be written, or when the data is more
// than WaveFileDataMax (nothing is written then).
bool WaveFileWrite(const char* name, const WAVEFORMATEX& format,
                   std::span<const std::span<const BYTE>> pieces);

// ---- Compression manager -----------------------------------------------------------------

struct AcmDriver;
struct AcmStream;
using HACMDRIVER = AcmDriver*;
using HACMSTREAM = AcmStream*;
using LPHACMSTREAM = HACMSTREAM*;

#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000L
#define ACM_FORMATSUGGESTF_NCHANNELS 0x00020000L
#define ACM_FORMATSUGGESTF_NSAMPLESPERSEC 0x00040000L
#define ACM_FORMATSUGGESTF_WBITSPERSAMPLE 0x00080000L
#define ACM_FORMATSUGGESTF_TYPEMASK 0x00FF0000L
#define ACM_STREAMOPENF_QUERY 0x00000001
#define ACM_STREAMOPENF_ASYNC 0x00000002
#define ACM_STREAMOPENF_NONREALTIME 0x00000004
#define ACM_STREAMSIZEF_SOURCE 0x00000000L
#define ACM_STREAMSIZEF_DESTINATION 0x00000001L
#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004
#define ACM_STREAMCONVERTF_START 0x00000010
#define ACM_STREAMCONVERTF_END 0x00000020
#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000L
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000L

struct ACMSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwStatus;
  std::uintptr_t dwUser;
  BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  std::uintptr_t dwSrcUser;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  std::uintptr_t dwDstUser;
  DWORD dwReservedDriver[10];
};
using LPACMSTREAMHEADER = ACMSTREAMHEADER*;

// Suggests a destination format for src: with ACM_FORMATSUGGESTF_WFORMATTAG and tag PCM,
// 16-bit PCM of the source's channels and rate; ACM_FORMATSUGGESTF_NCHANNELS may ask for one
// or two channels mixed down from more, ACM_FORMATSUGGESTF_NSAMPLESPERSEC for the rate divided
// by a whole number up to 16. ACMERR_NOTPOSSIBLE for sources no codec reads and for other
// channel or rate changes; streams open on the same terms.
MMRESULT acmFormatSuggest(HACMDRIVER had, LPWAVEFORMATEX src, LPWAVEFORMATEX dst, DWORD dst_size,
                          DWORD flags);
MMRESULT acmStreamOpen(LPHACMSTREAM out, HACMDRIVER had, LPWAVEFORMATEX src, LPWAVEFORMATEX dst,
                       void* filter, std::uintptr_t callback, std::uintptr_t instance, DWORD flags);
MMRESULT acmStreamClose(HACMSTREAM has, DWORD flags);
MMRESULT acmStreamSize(HACMSTREAM has, DWORD input, DWORD* output, DWORD flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD flags);
MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD flags);
