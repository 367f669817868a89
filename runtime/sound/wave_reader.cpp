// The wave reader (a RIFF "WAVE" file's format and data through multimedia file I/O) and the
// conversion of compressed wave data to PCM through the compression manager. A damaged file
// gives no format: every chunk must lie inside the file and the format's extra bytes inside its
// chunk; the data may run short of its declared size (a cut file) but never claim more than
// twice the file's size (and 64 KiB), so no file can make the loader allocate absurd amounts.
//
// Files as streaming writers leave them are read, not refused: a writer that cannot seek back
// to fill in its sizes leaves the RIFF size 0 and the data size 0 or 0xFFFFFFFF, and the data
// then runs to the end of the file. An empty data chunk is passed over for a later one that
// holds data, and a block-align that disagrees with channels x sample bytes (for formats whose
// frames are just that) is worked out from the format instead.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/sound/sound_state.h"

namespace tessark::sound {

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');
constexpr std::uint64_t kDataSlack = 65536;
constexpr DWORD kSizeUnknown = 0xFFFFFFFF;

// The format's tag, looking through the extensible wrapper to its sub-format (whose GUID
// starts 6 bytes into the extension with the tag in its first two bytes).
WORD SampleTag(const std::vector<BYTE>& format) {
  const auto* f = reinterpret_cast<const WAVEFORMATEX*>(format.data());
  if (f->wFormatTag != WAVE_FORMAT_EXTENSIBLE || f->cbSize < 22) return f->wFormatTag;
  const BYTE* extension = format.data() + sizeof(WAVEFORMATEX);
  return static_cast<WORD>(extension[6] | (extension[7] << 8));
}

// For formats whose frame is one sample of each channel, the block-align follows from the
// channels and the sample width; a writer that got it wrong (or left it 0) is mended here
// rather than refused. Compressed formats keep theirs: it is the codec's block. False when
// the frame cannot be worked out.
bool MendBlockAlign(std::vector<BYTE>& format) {
  auto* f = reinterpret_cast<WAVEFORMATEX*>(format.data());
  const WORD tag = SampleTag(format);
  if (tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_IEEE_FLOAT && tag != WAVE_FORMAT_ALAW &&
      tag != WAVE_FORMAT_MULAW) {
    return true;
  }
  const DWORD block = static_cast<DWORD>(f->nChannels) * ((f->wBitsPerSample + 7u) / 8u);
  if (block == 0 || block > 0xFFFF) return false;
  if (f->nBlockAlign != block) {
    f->nBlockAlign = static_cast<WORD>(block);
    f->nAvgBytesPerSec = f->nSamplesPerSec * block;
  }
  return true;
}

// A format no sound could be played from.
bool FormatBroken(const WAVEFORMATEX& f) {
  return f.nChannels == 0 || f.nSamplesPerSec == 0 || f.nBlockAlign == 0;
}

}  // namespace

bool WaveReader::OpenRead(const char* name) {
  format.clear();
  Close();
  mode = 1;
  file = mmioOpenA(const_cast<LPSTR>(name), nullptr, MMIO_READ | MMIO_ALLOCBUF);
  // There are no program resources to fall back on here: a file that cannot be opened is
  // simply not a wave.
  if (!file) return false;
  const std::uint64_t file_size = mmioFileSize(file);
  auto fail = [this] {
    format.clear();
    Close();
    return false;
  };

  if (mmioDescend(file, &riff, nullptr, 0) != MMSYSERR_NOERROR) return fail();
  if (riff.ckid != FOURCC_RIFF || riff.fccType != kWave) return fail();
  // A size that cannot even hold the form type was never filled in: the form runs to the end.
  const bool riff_unknown = riff.cksize < 4;
  if (riff_unknown) riff.cksize = static_cast<DWORD>(file_size - riff.dwDataOffset);

  chunk = MMCKINFO{};
  chunk.ckid = kFmt;
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return fail();
  if (chunk.cksize < sizeof(PCMWAVEFORMAT)) return fail();
  if (static_cast<std::uint64_t>(chunk.dwDataOffset) + chunk.cksize > file_size) return fail();
  PCMWAVEFORMAT pcm{};
  if (mmioRead(file, reinterpret_cast<HPSTR>(&pcm), sizeof pcm) != sizeof pcm) return fail();
  WORD extra = 0;
  // A 16-byte chunk has no extra size field at all, whatever the tag.
  if (pcm.wFormatTag != WAVE_FORMAT_PCM && chunk.cksize >= sizeof(WAVEFORMATEX)) {
    if (mmioRead(file, reinterpret_cast<HPSTR>(&extra), sizeof extra) != sizeof extra) {
      return fail();
    }
    if (sizeof(WAVEFORMATEX) + static_cast<DWORD>(extra) > chunk.cksize) return fail();
  }
  format.assign(sizeof(WAVEFORMATEX) + extra, 0);
  std::memcpy(format.data(), &pcm, sizeof pcm);
  reinterpret_cast<WAVEFORMATEX*>(format.data())->cbSize = extra;
  if (extra > 0 && mmioRead(file, reinterpret_cast<HPSTR>(format.data() + sizeof(WAVEFORMATEX)),
                            extra) != extra) {
    return fail();
  }
  if (!MendBlockAlign(format) || FormatBroken(*Format())) return fail();
  mmioAscend(file, &chunk, 0);

  if (mmioSeek(file, static_cast<LONG>(riff.dwDataOffset + 4), SEEK_SET) < 0) return fail();
  // The first "data" chunk that holds any: one left empty ahead of the real one is passed
  // over, unless the RIFF size was never filled in either, when the empty size is the same
  // unwritten header and the data follows it to the end of the file.
  for (;;) {
    chunk = MMCKINFO{};
    chunk.ckid = kData;
    if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return fail();
    if (chunk.cksize == kSizeUnknown || (chunk.cksize == 0 && riff_unknown)) {
      const DWORD rest = static_cast<DWORD>(file_size - chunk.dwDataOffset);
      chunk.cksize = rest - rest % Format()->nBlockAlign;  // a last frame cut short is dropped
      break;
    }
    if (chunk.cksize != 0) break;
    mmioAscend(file, &chunk, 0);
  }
  // A cut file may hold less data than its chunk declares (the rest plays as silence), but a
  // size out of all proportion to the file is damage, not a cut.
  if (chunk.cksize > 2 * file_size + kDataSlack) return fail();
  data_size = chunk.cksize;
  return true;
}

bool WaveReader::Rewind() {
  if (memory_source) return true;
  return file && mmioSeek(file, static_cast<LONG>(chunk.dwDataOffset), SEEK_SET) >= 0;
}

DWORD WaveReader::Read(BYTE* out, DWORD size) {
  if (size > data_size) size = data_size;
  if (memory_source) {
    if (size > memory.size()) size = static_cast<DWORD>(memory.size());
    std::memcpy(out, memory.data(), size);
    return size;
  }
  if (!file) return 0;
  LONG got = mmioRead(file, reinterpret_cast<HPSTR>(out), static_cast<LONG>(size));
  return got > 0 ? static_cast<DWORD>(got) : 0;
}

void WaveReader::Close() {
  if (file) mmioClose(file, 0);
  file = nullptr;
}

std::vector<BYTE> ConvertToPcm(const std::vector<BYTE>& source_format, const BYTE* data, DWORD size,
                               WAVEFORMATEX* pcm) {
  auto say = [](const char* text) { std::printf("%s\n", text); };
  auto* source = reinterpret_cast<WAVEFORMATEX*>(const_cast<BYTE*>(source_format.data()));
  *pcm = WAVEFORMATEX{};
  pcm->wFormatTag = WAVE_FORMAT_PCM;
  // What the sound device takes: at most two channels (more are mixed down) and at most its
  // highest rate (a higher one is divided by the smallest whole number that brings it there).
  pcm->nChannels = std::min<WORD>(source->nChannels, 2);
  const std::uint64_t rate = source->nSamplesPerSec;  // above 0: the reader refuses 0
  pcm->nSamplesPerSec =
      static_cast<DWORD>(rate / ((rate + DSBFREQUENCY_MAX - 1) / DSBFREQUENCY_MAX));
  MMRESULT result = acmFormatSuggest(nullptr, source, pcm, sizeof *pcm,
                                     ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                                         ACM_FORMATSUGGESTF_NSAMPLESPERSEC);
  if (result != MMSYSERR_NOERROR) {
    switch (result) {
      case MMSYSERR_INVALHANDLE:
        say("acmFormatSuggest(): The specified handle is invalid!");
        break;
      case MMSYSERR_INVALFLAG:
        say("acmFormatSuggest(): At least one flag is invalid!");
        break;
      case MMSYSERR_INVALPARAM:
        say("acmFormatSuggest(): At least one parameter is invalid!");
        break;
      default:
        say("acmFormatSuggest() failed!");
    }
    return {};
  }
  HACMSTREAM stream = nullptr;
  result = acmStreamOpen(&stream, nullptr, source, pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR) {
    switch (result) {
      case MMSYSERR_INVALHANDLE:
        say("acmStreamOpen(): The specified handle is invalid!");
        break;
      case MMSYSERR_NOMEM:
        say("acmStreamOpen(): The system is unable to allocate resources!");
        break;
      case MMSYSERR_INVALFLAG:
        say("acmStreamOpen(): At least one flag is invalid!");
        break;
      case MMSYSERR_INVALPARAM:
        say("acmStreamOpen(): At least one parameter is invalid!");
        break;
      case ACMERR_NOTPOSSIBLE:
        say("acmStreamOpen(): The requested operation cannot be performed!");
        break;
      default:
        say("acmStreamOpen() failed!");
    }
    return {};
  }
  std::vector<BYTE> out;
  auto close = [&] { acmStreamClose(stream, 0); };
  DWORD out_size = 0;
  if (acmStreamSize(stream, size, &out_size, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) {
    say("acmStreamSize() failed!");
    close();
    return {};
  }
  try {
    out.assign(out_size, 0);
  } catch (const std::bad_alloc&) {
    say("malloc() failed!");
    close();
    return {};
  }
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = const_cast<BYTE*>(data);
  header.cbSrcLength = size;
  header.pbDst = out.data();
  header.cbDstLength = out_size;
  if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
    say("acmStreamPrepareHeader() failed!");
    close();
    return {};
  }
  result = acmStreamConvert(stream, &header, 0);
  acmStreamUnprepareHeader(stream, &header, 0);
  if (result != MMSYSERR_NOERROR) {
    say("acmStreamConvert() failed!");
    close();
    return {};
  }
  close();
  out.resize(header.cbDstLengthUsed);
  return out;
}

}  // namespace tessark::sound
