// Loading sounds: the checks and codes, compressed files against libsndfile's own decoding,
// damaged files, recordings and the temporary folder.
#include <fstream>

#include "platform/mci/mci.h"
#include "tests/runtime/sound/sound_fixture.h"
#include "tests/support/sndfile_wave.h"

namespace sound_test {
namespace {

// Writes one second of a tone with libsndfile in the given sub-format.
std::string WriteWithLibsndfile(const std::filesystem::path& folder, const std::string& name,
                                int subtype, int channels, int rate) {
  return tessark::testing::WriteSndfileWave(
      (folder / name).string(), subtype, channels, rate, [](std::size_t i) {
        return static_cast<short>(25000 * std::sin(static_cast<double>(i) * 0.05));
      });
}

std::vector<short> BufferSamples16(tessark::sound::SoundRecord* e) {
  const auto& copy = *e->sound->data_copy;
  std::vector<short> s(copy.size() / 2);
  std::memcpy(s.data(), copy.data(), s.size() * 2);
  return s;
}

TEST_F(SoundTest, CompressedFilesBecomeTheSamePcmLibsndfileDecodes) {
  std::string ima = WriteWithLibsndfile(folder_, "ima.wav", SF_FORMAT_IMA_ADPCM, 1, 22050);
  SoundLoad(ima.c_str(), 1);
  ASSERT_EQ(Error(), 0);
  const WAVEFORMATEX* f = Entry(1)->sound->reader->Format();
  EXPECT_EQ(f->wFormatTag, WAVE_FORMAT_PCM);  // the buffer's format is the converted one
  EXPECT_EQ(f->wBitsPerSample, 16);
  EXPECT_EQ(BufferSamples16(Entry(1)), tessark::testing::DecodeWithSndfile(ima));
  WAVEFORMATEX heard{};
  Entry(1)->sound->buffers[0]->GetFormat(&heard, sizeof heard, nullptr);
  EXPECT_EQ(heard.wFormatTag, WAVE_FORMAT_PCM);

  std::string ulaw = WriteWithLibsndfile(folder_, "ulaw.wav", SF_FORMAT_ULAW, 2, 8000);
  SoundLoad(ulaw.c_str(), 2);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Entry(2)->sound->reader->Format()->nChannels, 2);
  EXPECT_EQ(BufferSamples16(Entry(2)), tessark::testing::DecodeWithSndfile(ulaw));

  // 8-bit PCM is played as it is: unsigned bytes, 128 the silence.
  std::string u8 = WriteWithLibsndfile(folder_, "u8.wav", SF_FORMAT_PCM_U8, 1, 11025);
  SoundLoad(u8.c_str(), 3);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Entry(3)->sound->reader->Format()->wBitsPerSample, 8);
  std::vector<short> expected = tessark::testing::DecodeWithSndfile(u8);
  const auto& bytes = *Entry(3)->sound->data_copy;
  ASSERT_EQ(bytes.size(), expected.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    ASSERT_EQ((bytes[i] - 128) * 256, expected[i]) << i;
  }
  EXPECT_EQ(tessark::CoreDataGet()->checkpoint, 15031);
}

TEST_F(SoundTest, LoadChecksIdsNamesAndChannels) {
  std::string mono = Write16("mono.wav", Ramp(100));
  SoundLoad(mono.c_str(), 0);
  EXPECT_EQ(Error(), 3001);
  SoundLoad(mono.c_str(), 22000001);
  EXPECT_EQ(Error(), 3001);
  SoundLoad(mono.c_str(), 5);
  EXPECT_EQ(Error(), 0);
  SoundLoad(Write16("other.wav", Ramp(300)).c_str(), 5);
  EXPECT_EQ(Error(), 3003);
  EXPECT_EQ(Entry(5)->sound->buffer_size, 200u);  // the old sound stays
  SoundLoad("", 6);
  EXPECT_EQ(Error(), 3002);
  SoundLoad(nullptr, 6);
  EXPECT_EQ(Error(), 3002);

  std::string ogg = Write16("music.OGG", Ramp(100));  // a fine wave, but named .ogg
  SoundLoad(ogg.c_str(), 6);
  EXPECT_EQ(Error(), 3002);
  EXPECT_EQ(SoundExists(6), 0);

  std::string stereo = Write16("stereo.wav", Ramp(200), kRate, 2);
  SoundLoad3D(stereo.c_str(), 7);
  EXPECT_EQ(Error(), 3002);
  EXPECT_EQ(SoundExists(7), 0);
  SoundLoad(stereo.c_str(), 7);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(SoundIs3D(7), 0);

  SoundLoad((folder_ / "missing.wav").string().c_str(), 8);
  EXPECT_EQ(Error(), 3002);
  SoundLoad((folder_ / "missing.wav").string().c_str(), 8, 0, 1);  // quiet
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(SoundExists(8), 0);
}

TEST_F(SoundTest, FileNamesAreWindowsNames) {
  std::filesystem::create_directories(folder_ / "Data" / "Audio");
  Write16("Data/Audio/Pop.wav", Ramp(100));
  std::string name = folder_.string() + "\\data\\audio\\POP.WAV";
  SoundLoad(name.c_str(), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(SoundExists(1), 1);
}

TEST_F(SoundTest, ShortDataIsPaddedWithSilence) {
  std::vector<std::uint8_t> data(100, 200);
  SoundLoad(Write("short8.wav", PcmWave(1, 11025, 8, data, 150)).c_str(), 1);
  ASSERT_EQ(Error(), 0);
  auto* buffer = Entry(1)->sound->buffers[0].get();
  void* p = nullptr;
  DWORD n = 0;
  ASSERT_EQ(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
  ASSERT_EQ(n, 150u);
  auto* bytes = static_cast<std::uint8_t*>(p);
  EXPECT_EQ(bytes[99], 200);
  EXPECT_EQ(bytes[100], 128);
  EXPECT_EQ(bytes[149], 128);
  buffer->Unlock(p, n, nullptr, 0);
}

// Damaged files: each must fail with 3002 and leave the id free.
TEST_F(SoundTest, DamagedFilesFailWith3002) {
  auto good = PcmWave(1, 22050, 16, Samples16(Ramp(100)), 200);
  std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases;
  cases.push_back({"truncated header", {good.begin(), good.begin() + 30}});
  cases.push_back({"no data chunk", {good.begin(), good.begin() + 44 - 8}});
  auto c = good;
  c[4] = 'X';  // RIFF size bytes are fine, but the form type must be WAVE
  c[8] = 'X';
  cases.push_back({"not WAVE", c});
  c = good;
  c[16] = 12;  // "fmt " of 12 bytes
  cases.push_back({"short fmt", c});
  c = good;
  c[16] = 0xF0;  // "fmt " far past the end
  c[17] = 0xFF;
  cases.push_back({"fmt past the end", c});
  c = good;
  c[40] = 0xF0;  // data size far beyond the file
  c[41] = 0xFF;
  c[42] = 0xFF;
  c[43] = 0x7F;
  cases.push_back({"data past the end", c});
  c = good;
  c[22] = 0;  // no channels
  cases.push_back({"zero channels", c});
  c = good;
  c[24] = c[25] = c[26] = c[27] = 0;  // no rate
  cases.push_back({"zero rate", c});
  c = good;
  c[40] = c[41] = 0;  // empty data
  cases.push_back({"empty data", c});
  // A compressed format with an absurd extra size.
  std::vector<std::uint8_t> adpcm;
  PutTag(adpcm, "RIFF");
  Put32(adpcm, 4 + 8 + 20 + 8 + 16);
  PutTag(adpcm, "WAVE");
  PutTag(adpcm, "fmt ");
  Put32(adpcm, 20);
  Put16(adpcm, WAVE_FORMAT_IMA_ADPCM);
  Put16(adpcm, 1);
  Put32(adpcm, 22050);
  Put32(adpcm, 11100);
  Put16(adpcm, 256);
  Put16(adpcm, 4);
  Put16(adpcm, 0xFFFF);  // extra size far beyond the chunk
  Put16(adpcm, 505);
  PutTag(adpcm, "data");
  Put32(adpcm, 16);
  adpcm.insert(adpcm.end(), 16, 0x77);
  cases.push_back({"absurd extra size", adpcm});
  // A format no converter knows.
  auto unknown = adpcm;
  unknown[20] = 0x34;
  unknown[21] = 0x12;
  unknown[36] = 2;  // extra size 2: a plausible chunk
  unknown[37] = 0;
  cases.push_back({"unknown codec", unknown});

  for (auto& [what, bytes] : cases) {
    SoundLoad(Write("bad.wav", bytes).c_str(), 9);
    EXPECT_EQ(Error(), 3002) << what;
    EXPECT_EQ(SoundExists(9), 0) << what;
  }
}

// Headers as writers that cannot seek back leave them, and writers' slips, load the data the
// file holds: 100 stereo 16-bit frames of a ramp in each.
TEST_F(SoundTest, StreamedAndSlippedHeadersLoadTheirData) {
  const std::vector<std::int16_t> ramp = Ramp(200);
  const auto good = PcmWave(2, 22050, 16, Samples16(ramp), 400);
  auto set32 = [](std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases;
  auto c = good;
  set32(c, 40, 0xFFFFFFFF);
  cases.push_back({"data size 0xFFFFFFFF", c});
  c = good;
  set32(c, 4, 0);
  cases.push_back({"RIFF size 0", c});
  c = good;
  set32(c, 4, 0);
  set32(c, 40, 0);
  c.push_back(0x11);  // half a sample of a frame the writer did not finish
  cases.push_back({"RIFF and data size 0", c});
  c = good;
  set32(c, 40, 0);
  c.resize(44);
  PutTag(c, "data");
  Put32(c, 400);
  auto bytes = Samples16(ramp);
  c.insert(c.end(), bytes.begin(), bytes.end());
  set32(c, 4, static_cast<std::uint32_t>(c.size() - 8));
  cases.push_back({"an empty data chunk first", c});
  c = good;
  c[32] = 2;  // block-align 2 for stereo 16-bit frames
  cases.push_back({"block-align too small", c});
  c = good;
  c[32] = 0;
  cases.push_back({"block-align 0", c});

  for (auto& [what, file] : cases) {
    SoundLoad(Write("streamed.wav", file).c_str(), 9);
    ASSERT_EQ(Error(), 0) << what;
    EXPECT_EQ(Entry(9)->sound->buffer_size, 400u) << what;
    EXPECT_EQ(Entry(9)->sound->reader->Format()->nBlockAlign, 4) << what;
    EXPECT_EQ(Entry(9)->sound->reader->Format()->nAvgBytesPerSec, 22050u * 4) << what;
    EXPECT_EQ(BufferSamples16(Entry(9)), ramp) << what;
    SoundDelete(9);
  }
}

TEST_F(SoundTest, RecordingWithoutAnInputFailsQuietly) {
  SoundLoad(Write16("ramp.wav", Ramp(100)).c_str(), 4);
  // No audio driver at all: there is no capture device.
  std::string driver = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SoundRecordStart(4);
  SoundRecordStop();
  EXPECT_EQ(SoundExists(4), 0);  // deleted when the recording started
  EXPECT_EQ(Error(), 0);
  char answer[32];
  EXPECT_EQ(mciSendStringA("open new type waveaudio alias rec", answer, sizeof answer, nullptr),
            0u);
  EXPECT_EQ(mciSendStringA("record rec to 1000", nullptr, 0, nullptr),
            static_cast<MCIERROR>(MCIERR_WAVE_INPUTSUNSUITABLE));
  EXPECT_EQ(mciSendStringA("close rec", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(mciSendStringA("close rec", nullptr, 0, nullptr),
            static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));
  EXPECT_EQ(mciSendStringA("open cdaudio", nullptr, 0, nullptr),
            static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));
  if (driver.empty()) {
    unsetenv("SDL_AUDIODRIVER");
  } else {
    setenv("SDL_AUDIODRIVER", driver.c_str(), 1);
  }
}

TEST_F(SoundTest, RecordingsBecomeSoundsAndCanBeSaved) {
  mci::testing::SetCaptureSource([](std::int16_t* s, int n) {
    for (int i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>(i % 1000);
  });
  SoundRecordStart(4, 500);
  SoundRecordStop();
  mci::testing::SetCaptureSource(nullptr);
  ASSERT_EQ(SoundExists(4), 1);
  EXPECT_EQ(Entry(4)->recorded, 1);
  EXPECT_EQ(Entry(4)->sound->buffer_size, 22050u);  // half a second, 16-bit mono at 22050
  EXPECT_EQ(BufferSamples16(Entry(4))[999], 999);
  std::string saved = (folder_ / "saved.wav").string();
  SoundSave(saved.c_str(), 4);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(std::filesystem::file_size(saved), 44u + 22050u);

  SoundLoad(Write16("ramp.wav", Ramp(100)).c_str(), 5);
  SoundSave(saved.c_str(), 5);
  EXPECT_EQ(Error(), 3008);
  std::filesystem::remove(tessark::sound::RecordingFile(4));
  SoundSave(saved.c_str(), 4);
  EXPECT_EQ(Error(), 3008);
  EXPECT_EQ(Entry(4)->recorded, 0);
  EXPECT_NE(tessark::sound::TempFolder().find("tskdata"), std::string::npos);

  // A recording that cannot have even its first second fails, and its device is closed.
  mci::testing::SetRecordingMemory(1);
  SoundRecordStart(6, 0x7FFFFFFF);
  EXPECT_EQ(tessark::sound::State().recording_device, 0u);
  SoundRecordStop();
  mci::testing::SetRecordingMemory(0);
  EXPECT_EQ(SoundExists(6), 0);
  EXPECT_EQ(Error(), 0);
}

}  // namespace
}  // namespace sound_test
