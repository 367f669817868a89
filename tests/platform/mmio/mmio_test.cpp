// RIFF reading within the file's bounds, and the compression manager's conversions compared
// sample for sample with libsndfile decoding the same files.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mmio/mmsystem.h"
#include "tests/support/sndfile_wave.h"

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
constexpr FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

void Put32(std::vector<BYTE>& v, DWORD x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(x >> (8 * i)));
}
void PutTag(std::vector<BYTE>& v, const char* tag) {
  v.insert(v.end(), tag, tag + 4);
}

HMMIO OpenMemory(std::vector<BYTE>& bytes) {
  MMIOINFO info{};
  info.fccIOProc = FOURCC_MEM;
  info.pchBuffer = reinterpret_cast<HPSTR>(bytes.data());
  info.cchBuffer = static_cast<LONG>(bytes.size());
  return mmioOpenA(nullptr, &info, MMIO_READ);
}

TEST(Mmio, DescendFindsChunksAndSkipsPadBytes) {
  std::vector<BYTE> f;
  PutTag(f, "RIFF");
  Put32(f, 4 + 8 + 3 + 1 + 8 + 4);
  PutTag(f, "WAVE");
  PutTag(f, "junk");
  Put32(f, 3);
  f.insert(f.end(), {1, 2, 3, 0});  // odd size: one pad byte
  PutTag(f, "data");
  Put32(f, 4);
  f.insert(f.end(), {9, 8, 7, 6});
  HMMIO h = OpenMemory(f);
  ASSERT_NE(h, nullptr);
  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.ckid, FOURCC_RIFF);
  EXPECT_EQ(riff.fccType, kWave);
  MMCKINFO ck{};
  ck.ckid = kData;
  ASSERT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(ck.cksize, 4u);
  BYTE got[8] = {};
  EXPECT_EQ(mmioRead(h, reinterpret_cast<HPSTR>(got), 8), 4);  // stops at the file's end
  EXPECT_EQ(got[0], 9);
  EXPECT_EQ(mmioSeek(h, 0, SEEK_END), static_cast<LONG>(f.size()));
  EXPECT_EQ(mmioSeek(h, 1, SEEK_CUR), -1);
  mmioSeek(h, 12, SEEK_SET);
  ck.ckid = kFmt;
  EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  mmioClose(h, 0);
}

TEST(Mmio, ChunkSizesPastTheEndEndTheSearch) {
  std::vector<BYTE> f;
  PutTag(f, "RIFF");
  Put32(f, 0xFFFFFFF0u);  // far more than the file holds
  PutTag(f, "WAVE");
  PutTag(f, "junk");
  Put32(f, 0xFFFFFFF0u);
  PutTag(f, "data");
  Put32(f, 2);
  HMMIO h = OpenMemory(f);
  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(h, &riff, nullptr, 0), MMSYSERR_NOERROR);
  MMCKINFO ck{};
  ck.ckid = kData;
  EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  mmioAscend(h, &riff, 0);  // clamps to the end instead of wrapping
  EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), static_cast<LONG>(f.size()));
  mmioClose(h, 0);
  std::vector<BYTE> tiny = {'R', 'I', 'F'};
  h = OpenMemory(tiny);
  EXPECT_EQ(mmioDescend(h, &riff, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
  mmioClose(h, 0);

  MMIOINFO info{};
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("no\\such\\file.wav"), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, static_cast<UINT>(MMIOERR_FILENOTFOUND));
}

// One second of a chirp.
std::vector<short> Chirp(int channels, int rate) {
  std::vector<short> s(static_cast<std::size_t>(rate * channels));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = static_cast<double>(i / static_cast<std::size_t>(channels)) / rate;
    s[i] = static_cast<short>(20000 * std::sin(2 * M_PI * (200 + 800 * t) * t));
  }
  return s;
}

// Writes the chirp in the given libsndfile format; the path.
std::string WriteWave(const std::string& name, int subtype, int channels, int rate) {
  std::string path = (std::filesystem::temp_directory_path() / name).string();
  std::vector<short> chirp = Chirp(channels, rate);
  return tessark::testing::WriteSndfileWave(path, subtype, channels, rate,
                                            [&](std::size_t i) { return chirp[i]; });
}

// Reads a wave's format and data through mmio and converts them through the manager.
std::vector<short> Convert(const std::string& path, WAVEFORMATEX* pcm) {
  HMMIO h = mmioOpenA(const_cast<LPSTR>(path.c_str()), nullptr, MMIO_READ);
  EXPECT_NE(h, nullptr);
  MMCKINFO riff{}, ck{};
  mmioDescend(h, &riff, nullptr, 0);
  ck.ckid = kFmt;
  EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  std::vector<BYTE> format(std::max<DWORD>(ck.cksize, sizeof(WAVEFORMATEX)));
  mmioRead(h, reinterpret_cast<HPSTR>(format.data()), static_cast<LONG>(ck.cksize));
  mmioSeek(h, static_cast<LONG>(riff.dwDataOffset + 4), SEEK_SET);
  ck.ckid = kData;
  EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  std::vector<BYTE> data(ck.cksize);
  mmioRead(h, reinterpret_cast<HPSTR>(data.data()), static_cast<LONG>(data.size()));
  mmioClose(h, 0);

  auto* src = reinterpret_cast<WAVEFORMATEX*>(format.data());
  *pcm = WAVEFORMATEX{};
  pcm->wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(nullptr, src, pcm, sizeof *pcm, ACM_FORMATSUGGESTF_WFORMATTAG), 0u);
  HACMSTREAM stream = nullptr;
  EXPECT_EQ(acmStreamOpen(&stream, nullptr, src, pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
            0u);
  DWORD size = 0;
  EXPECT_EQ(acmStreamSize(stream, static_cast<DWORD>(data.size()), &size, 0), 0u);
  std::vector<BYTE> out(size);
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = data.data();
  header.cbSrcLength = static_cast<DWORD>(data.size());
  header.pbDst = out.data();
  header.cbDstLength = size;
  EXPECT_EQ(acmStreamConvert(stream, &header, 0), static_cast<MMRESULT>(ACMERR_UNPREPARED));
  EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), 0u);
  EXPECT_EQ(acmStreamConvert(stream, &header, 0), 0u);
  EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), 0u);
  acmStreamClose(stream, 0);
  std::vector<short> samples(header.cbDstLengthUsed / 2);
  std::memcpy(samples.data(), out.data(), samples.size() * 2);
  return samples;
}

struct Codec {
  const char* name;
  int subtype;
  int channels;
};

class AcmConversion : public ::testing::TestWithParam<Codec> {};

TEST_P(AcmConversion, MatchesLibsndfile) {
  const Codec& c = GetParam();
  std::string path = WriteWave(std::string("acm_") + c.name + ".wav", c.subtype, c.channels, 22050);
  WAVEFORMATEX pcm{};
  std::vector<short> converted = Convert(path, &pcm);
  // Float data holds the chirp exactly (libsndfile's own reading of floats as shorts does not
  // scale them, so it is no reference there: it reads 0 or 1 for every sample).
  std::vector<short> expected = c.subtype == SF_FORMAT_FLOAT || c.subtype == SF_FORMAT_DOUBLE
                                    ? Chirp(c.channels, 22050)
                                    : tessark::testing::DecodeWithSndfile(path);
  EXPECT_EQ(pcm.wBitsPerSample, 16);
  EXPECT_EQ(pcm.nChannels, c.channels);
  EXPECT_EQ(pcm.nSamplesPerSec, 22050u);
  EXPECT_EQ(pcm.nBlockAlign, 2 * c.channels);
  ASSERT_EQ(converted.size(), expected.size());
  std::size_t first = 0;
  while (first < converted.size() && converted[first] == expected[first]) ++first;
  // libsndfile decodes a GSM file's last (padded) block differently inside a file than over
  // our memory copy of the data chunk; every block before it must match exactly.
  std::size_t exact = converted.size() - (c.subtype == SF_FORMAT_GSM610 ? 320 : 0);
  EXPECT_GE(first, exact) << "first difference at sample " << first;
  std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, AcmConversion,
    ::testing::Values(Codec{"ima", SF_FORMAT_IMA_ADPCM, 1},
                      Codec{"ima_stereo", SF_FORMAT_IMA_ADPCM, 2},
                      Codec{"msadpcm", SF_FORMAT_MS_ADPCM, 1}, Codec{"gsm", SF_FORMAT_GSM610, 1},
                      Codec{"ulaw", SF_FORMAT_ULAW, 1}, Codec{"alaw", SF_FORMAT_ALAW, 2},
                      Codec{"float", SF_FORMAT_FLOAT, 1}, Codec{"double", SF_FORMAT_DOUBLE, 2},
                      Codec{"pcm24", SF_FORMAT_PCM_24, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Acm, UnknownAndBrokenFormatsAreRefused) {
  WAVEFORMATEX src{0x1234, 1, 22050, 11025, 1, 4, 0};
  WAVEFORMATEX dst{};
  dst.wFormatTag = WAVE_FORMAT_PCM;
  EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, ACM_FORMATSUGGESTF_WFORMATTAG),
            static_cast<MMRESULT>(ACMERR_NOTPOSSIBLE));
  src = {WAVE_FORMAT_MULAW, 0, 22050, 22050, 1, 8, 0};
  EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, ACM_FORMATSUGGESTF_WFORMATTAG),
            static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
  src = {WAVE_FORMAT_MULAW, 1, 22050, 22050, 1, 8, 0};
  EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, 0x80000000u),
            static_cast<MMRESULT>(MMSYSERR_INVALFLAG));
  HACMSTREAM stream = nullptr;
  dst = {WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};  // channel mapping is not offered
  EXPECT_EQ(acmStreamOpen(&stream, nullptr, &src, &dst, nullptr, 0, 0, 0),
            static_cast<MMRESULT>(ACMERR_NOTPOSSIBLE));
  EXPECT_EQ(stream, nullptr);
  // Channels are mixed down, never up; rates are divided by whole numbers up to 16.
  src = {WAVE_FORMAT_PCM, 6, 192000, 192000 * 12, 12, 16, 0};
  dst = {WAVE_FORMAT_PCM, 2, 96000, 0, 0, 16, 0};
  const DWORD both = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                     ACM_FORMATSUGGESTF_NSAMPLESPERSEC;
  EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, both), 0u);
  EXPECT_EQ(dst.nBlockAlign, 4);
  EXPECT_EQ(acmStreamOpen(&stream, nullptr, &src, &dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), 0u);
  for (DWORD rate : {128000u, 11294u, 9600u}) {  // not a divisor; a divisor above 16
    dst = {WAVE_FORMAT_PCM, 2, rate, 0, 0, 16, 0};
    EXPECT_EQ(acmFormatSuggest(nullptr, &src, &dst, sizeof dst, both),
              static_cast<MMRESULT>(ACMERR_NOTPOSSIBLE))
        << rate;
  }
  DWORD size = 0;
  EXPECT_EQ(acmStreamSize(nullptr, 100, &size, 0), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

}  // namespace
