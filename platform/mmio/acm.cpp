// The compression manager: compressed wave data (IMA and MS ADPCM, GSM 6.10, A-law, mu-law,
// IEEE float, PCM of any width, and whatever else libsndfile reads inside a WAVE file)
// converted to 16-bit PCM, with more than two channels mixed down and the rate divided by a
// whole number on request. There is no codec of our own: a stream puts a RIFF header made
// from the source format in front of the caller's data and lets libsndfile decode that,
// through its virtual I/O, into floats; the mix-down, the rate division and the rounding to
// 16 bits (clipped at full scale) are done here.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "platform/mmio/mmsystem.h"
#include "platform/win32/speaker_mix.h"

struct AcmStream {
  std::vector<BYTE> source;  // the source format, 18 + cbSize bytes
  WAVEFORMATEX target{};
  DWORD rate_divisor = 1;  // source frames averaged into one target frame
};

namespace {

// The largest conversion a stream produces (the sound device's own limit on a buffer), and the
// greatest growth any of these codecs has over its input: both stop a damaged format from
// asking for absurd amounts of memory.
constexpr std::uint64_t kMaxOutput = 0x0FFFFFFF;
constexpr std::uint64_t kMaxGrowth = 64;

// A WAVE file in memory: a header we build, then the caller's data (or zeros when the data
// pointer is null, which is enough for libsndfile to read the header and count frames).
struct VirtualWave {
  std::vector<BYTE> header;
  const BYTE* data = nullptr;
  sf_count_t data_size = 0;
  sf_count_t position = 0;

  sf_count_t Length() const { return static_cast<sf_count_t>(header.size()) + data_size; }
};

void PutDword(std::vector<BYTE>& out, DWORD value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// "RIFF" size "WAVE" "fmt " (the format as given) "data" size, ahead of the data itself.
void BuildHeader(VirtualWave& wave, const std::vector<BYTE>& format, DWORD data_size) {
  DWORD format_size = static_cast<DWORD>(format.size());
  auto& h = wave.header;
  h.clear();
  PutDword(h, FOURCC_RIFF);
  PutDword(h, 4 + 8 + format_size + (format_size & 1) + 8 + data_size);
  PutDword(h, mmioFOURCC('W', 'A', 'V', 'E'));
  PutDword(h, mmioFOURCC('f', 'm', 't', ' '));
  PutDword(h, format_size);
  h.insert(h.end(), format.begin(), format.end());
  if (format_size & 1) h.push_back(0);
  PutDword(h, mmioFOURCC('d', 'a', 't', 'a'));
  PutDword(h, data_size);
}

sf_count_t VirtualLength(void* user) {
  return static_cast<VirtualWave*>(user)->Length();
}

sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
  auto* wave = static_cast<VirtualWave*>(user);
  sf_count_t base = whence == SEEK_CUR ? wave->position : whence == SEEK_END ? wave->Length() : 0;
  sf_count_t target = base + offset;
  if (target < 0 || target > wave->Length()) return -1;
  wave->position = target;
  return target;
}

sf_count_t VirtualRead(void* out, sf_count_t count, void* user) {
  auto* wave = static_cast<VirtualWave*>(user);
  auto* bytes = static_cast<BYTE*>(out);
  sf_count_t done = 0;
  auto header_size = static_cast<sf_count_t>(wave->header.size());
  while (done < count && wave->position < wave->Length()) {
    sf_count_t at = wave->position;
    sf_count_t run;
    if (at < header_size) {
      run = std::min(count - done, header_size - at);
      std::memcpy(bytes + done, wave->header.data() + at, static_cast<std::size_t>(run));
    } else {
      run = std::min(count - done, wave->Length() - at);
      if (wave->data) {
        std::memcpy(bytes + done, wave->data + (at - header_size), static_cast<std::size_t>(run));
      } else {
        std::memset(bytes + done, 0, static_cast<std::size_t>(run));
      }
    }
    done += run;
    wave->position += run;
  }
  return done;
}

sf_count_t VirtualWrite(const void*, sf_count_t, void*) {
  return 0;
}

sf_count_t VirtualTell(void* user) {
  return static_cast<VirtualWave*>(user)->position;
}

SF_VIRTUAL_IO g_virtual_io = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};

// Opens libsndfile over the source format and data; null when it cannot read them.
SNDFILE* OpenDecoder(VirtualWave& wave, const AcmStream& stream, const BYTE* data, DWORD size,
                     SF_INFO* info) {
  BuildHeader(wave, stream.source, size);
  wave.data = data;
  wave.data_size = size;
  wave.position = 0;
  *info = SF_INFO{};
  return sf_open_virtual(&g_virtual_io, SFM_READ, info, &wave);
}

// The source format's tag, looking through the extensible wrapper to its sub-format.
WORD EffectiveTag(const WAVEFORMATEX* format) {
  if (format->wFormatTag != WAVE_FORMAT_EXTENSIBLE || format->cbSize < 22)
    return format->wFormatTag;
  // The sub-format GUID starts 6 bytes into the extension; its first two bytes are the tag.
  const BYTE* extension = reinterpret_cast<const BYTE*>(format) + sizeof(WAVEFORMATEX);
  return static_cast<WORD>(extension[6] | (extension[7] << 8));
}

// True for the source tags this manager converts from.
bool TagSupported(WORD tag) {
  switch (tag) {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_ADPCM:
    case WAVE_FORMAT_IEEE_FLOAT:
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
    case WAVE_FORMAT_IMA_ADPCM:
    case WAVE_FORMAT_GSM610:
    case WAVE_FORMAT_MPEGLAYER3:
      return true;
    default:
      return false;
  }
}

// The extensible format's channel mask (0 when the format has none: the usual layout).
DWORD ChannelMask(const WAVEFORMATEX* format) {
  if (format->wFormatTag != WAVE_FORMAT_EXTENSIBLE || format->cbSize < 22) return 0;
  const BYTE* extension = reinterpret_cast<const BYTE*>(format) + sizeof(WAVEFORMATEX);
  DWORD mask = 0;
  for (int i = 0; i < 4; ++i) mask |= static_cast<DWORD>(extension[2 + i]) << (8 * i);
  return mask;
}

// A sample in -1..1 as 16 bits: scaled by 32768, rounded, clipped at full scale.
inline short ToShort(float v) {
  if (!(v == v)) return 0;  // not a number
  const float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<short>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// A source format no decoder could make sense of: no channels, no rate, no block size.
bool SourceBroken(const WAVEFORMATEX* src) {
  return src->nChannels == 0 || src->nSamplesPerSec == 0 || src->nBlockAlign == 0;
}

// Channels are only ever mixed down (to one or two), rates only divided by a whole number of
// at most kMaxRateDivisor.
constexpr DWORD kMaxRateDivisor = 16;
bool ConversionOffered(const WAVEFORMATEX* src, const WAVEFORMATEX& dst) {
  const bool channels =
      dst.nChannels == src->nChannels ||
      (dst.nChannels >= 1 && dst.nChannels <= 2 && dst.nChannels < src->nChannels);
  const bool rate = dst.nSamplesPerSec != 0 && dst.nSamplesPerSec <= src->nSamplesPerSec &&
                    src->nSamplesPerSec % dst.nSamplesPerSec == 0 &&
                    src->nSamplesPerSec / dst.nSamplesPerSec <= kMaxRateDivisor;
  return channels && rate;
}

}  // namespace

MMRESULT acmFormatSuggest(HACMDRIVER /*had*/, LPWAVEFORMATEX src, LPWAVEFORMATEX dst,
                          DWORD dst_size, DWORD flags) {
  if (!src || !dst || dst_size < sizeof(PCMWAVEFORMAT)) return MMSYSERR_INVALPARAM;
  if (flags & ~ACM_FORMATSUGGESTF_TYPEMASK) return MMSYSERR_INVALFLAG;
  if (SourceBroken(src)) return MMSYSERR_INVALPARAM;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!TagSupported(EffectiveTag(src))) return ACMERR_NOTPOSSIBLE;
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = src->nChannels;
  pcm.nSamplesPerSec = src->nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  if (flags & ACM_FORMATSUGGESTF_NCHANNELS) pcm.nChannels = dst->nChannels;
  if (flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) pcm.nSamplesPerSec = dst->nSamplesPerSec;
  if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != 16) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (!ConversionOffered(src, pcm)) return ACMERR_NOTPOSSIBLE;
  pcm.nBlockAlign = static_cast<WORD>(pcm.nChannels * 2);
  pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
  pcm.cbSize = 0;
  std::memcpy(dst, &pcm, std::min<DWORD>(dst_size, sizeof pcm));
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(LPHACMSTREAM out, HACMDRIVER /*had*/, LPWAVEFORMATEX src, LPWAVEFORMATEX dst,
                       void* filter, std::uintptr_t callback, std::uintptr_t /*instance*/,
                       DWORD flags) {
  if (out) *out = nullptr;
  if (!src || !dst || filter || callback) return MMSYSERR_INVALPARAM;
  if (flags & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) return MMSYSERR_INVALFLAG;
  if (SourceBroken(src)) return MMSYSERR_INVALPARAM;
  if (!TagSupported(EffectiveTag(src)) || dst->wFormatTag != WAVE_FORMAT_PCM ||
      dst->wBitsPerSample != 16 || !ConversionOffered(src, *dst) ||
      dst->nBlockAlign != dst->nChannels * 2) {
    return ACMERR_NOTPOSSIBLE;
  }
  if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  if (!out) return MMSYSERR_INVALPARAM;
  auto* stream = new (std::nothrow) AcmStream;
  if (!stream) return MMSYSERR_NOMEM;
  std::size_t source_size =
      sizeof(WAVEFORMATEX) + (src->wFormatTag == WAVE_FORMAT_PCM ? 0 : src->cbSize);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(src);
  stream->source.assign(bytes, bytes + source_size);
  if (src->wFormatTag == WAVE_FORMAT_PCM) {
    stream->source.resize(sizeof(PCMWAVEFORMAT));
  }
  stream->target = *dst;
  stream->target.cbSize = 0;
  stream->rate_divisor = src->nSamplesPerSec / dst->nSamplesPerSec;
  *out = stream;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD /*flags*/) {
  if (!has) return MMSYSERR_INVALHANDLE;
  delete has;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD input, DWORD* output, DWORD flags) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (!output) return MMSYSERR_INVALPARAM;
  if (flags != ACM_STREAMSIZEF_SOURCE) return MMSYSERR_NOTSUPPORTED;
  *output = 0;
  VirtualWave wave;
  SF_INFO info;
  SNDFILE* file = OpenDecoder(wave, *has, nullptr, input, &info);
  if (!file) return ACMERR_NOTPOSSIBLE;
  sf_close(file);
  const auto* source = reinterpret_cast<const WAVEFORMATEX*>(has->source.data());
  if (info.frames < 0 || info.channels != source->nChannels) return ACMERR_NOTPOSSIBLE;
  const std::uint64_t frames =
      (static_cast<std::uint64_t>(info.frames) + has->rate_divisor - 1) / has->rate_divisor;
  std::uint64_t bytes = frames * has->target.nBlockAlign;
  if (bytes > kMaxOutput || bytes > static_cast<std::uint64_t>(input) * kMaxGrowth + 65536) {
    return ACMERR_NOTPOSSIBLE;
  }
  *output = static_cast<DWORD>(bytes);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD /*flags*/) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (!header || header->cbStruct < sizeof(ACMSTREAMHEADER) || !header->pbSrc || !header->pbDst) {
    return MMSYSERR_INVALPARAM;
  }
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD /*flags*/) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, LPACMSTREAMHEADER header, DWORD /*flags*/) {
  if (!has) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  header->cbSrcLengthUsed = 0;
  header->cbDstLengthUsed = 0;
  VirtualWave wave;
  SF_INFO info;
  SNDFILE* file = OpenDecoder(wave, *has, header->pbSrc, header->cbSrcLength, &info);
  if (!file) return ACMERR_NOTPOSSIBLE;
  const auto* source = reinterpret_cast<const WAVEFORMATEX*>(has->source.data());
  if (info.channels != source->nChannels) {
    sf_close(file);
    return ACMERR_NOTPOSSIBLE;
  }
  const int channels = info.channels, targets = has->target.nChannels;
  const DWORD divisor = has->rate_divisor;
  std::vector<float> left, right;
  const bool mixing = targets != channels;
  if (mixing) {
    win32::SpeakerMixWeights(win32::SpeakersOfMask(ChannelMask(source), source->nChannels), targets,
                             &left, &right);
  }
  const sf_count_t capacity = header->cbDstLength / has->target.nBlockAlign;
  auto* out = reinterpret_cast<short*>(header->pbDst);
  // Read in blocks of whole target frames, about 64 Ki samples each; each target frame
  // averages divisor source frames (a box low-pass ahead of dropping the rate).
  const sf_count_t block_frames =
      std::max<sf_count_t>(1, 65536 / (static_cast<sf_count_t>(divisor) * channels));
  std::vector<float> block(static_cast<std::size_t>(block_frames * divisor * channels));
  std::vector<float> mixed(static_cast<std::size_t>(targets));
  sf_count_t done = 0;
  while (done < capacity) {
    const sf_count_t want = std::min(block_frames, capacity - done) * divisor;
    const sf_count_t got = sf_readf_float(file, block.data(), want);
    if (got <= 0) break;
    const sf_count_t produced = (got + divisor - 1) / divisor;
    for (sf_count_t f = 0; f < produced; ++f) {
      const sf_count_t first = f * divisor;
      const sf_count_t count = std::min<sf_count_t>(divisor, got - first);
      std::fill(mixed.begin(), mixed.end(), 0.0f);
      for (sf_count_t k = 0; k < count; ++k) {
        const float* frame = block.data() + (first + k) * channels;
        if (!mixing) {
          for (int c = 0; c < channels; ++c) mixed[c] += frame[c];
          continue;
        }
        for (int c = 0; c < channels; ++c) {
          mixed[0] += frame[c] * left[c];
          if (targets == 2) mixed[1] += frame[c] * right[c];
        }
      }
      for (int t = 0; t < targets; ++t) {
        out[(done + f) * targets + t] = ToShort(count == 1 ? mixed[t] : mixed[t] / count);
      }
    }
    done += produced;
    if (got < want) break;
  }
  sf_close(file);
  header->cbSrcLengthUsed = header->cbSrcLength;
  header->cbDstLengthUsed = static_cast<DWORD>(done * has->target.nBlockAlign);
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}
