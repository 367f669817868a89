// Wave files as other programs write them, made here byte by byte: floating-point data (plain
// and extensible, 32 and 64 bits), 24- and 32-bit PCM with either format tag, more channels
// than two and rates above the device's. Each loads into the 16-bit samples it holds.
#include "tests/runtime/sound/sound_fixture.h"

namespace sound_test {
namespace {

// The extensible sub-format GUIDs differ from the plain tag in their first two bytes only.
const std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// A wave file of tag (1 PCM, 3 float), plain or extensible, with the given data bytes.
std::vector<std::uint8_t> Wave(int tag, bool extensible, int channels, int rate, int bits,
                               const std::vector<std::uint8_t>& data, std::uint32_t mask = 0) {
  std::vector<std::uint8_t> fmt;
  const int align = channels * bits / 8;
  Put16(fmt, extensible ? 0xFFFE : static_cast<std::uint32_t>(tag));
  Put16(fmt, static_cast<std::uint32_t>(channels));
  Put32(fmt, static_cast<std::uint32_t>(rate));
  Put32(fmt, static_cast<std::uint32_t>(rate * align));
  Put16(fmt, static_cast<std::uint32_t>(align));
  Put16(fmt, static_cast<std::uint32_t>(bits));
  if (extensible) {
    Put16(fmt, 22);
    Put16(fmt, static_cast<std::uint32_t>(bits));
    Put32(fmt, mask);
    Put16(fmt, static_cast<std::uint32_t>(tag));
    fmt.insert(fmt.end(), kGuidTail, kGuidTail + 14);
  } else if (tag != 1) {
    Put16(fmt, 0);
  }
  std::vector<std::uint8_t> f;
  PutTag(f, "RIFF");
  Put32(f, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
  PutTag(f, "WAVE");
  PutTag(f, "fmt ");
  Put32(f, static_cast<std::uint32_t>(fmt.size()));
  f.insert(f.end(), fmt.begin(), fmt.end());
  PutTag(f, "data");
  Put32(f, static_cast<std::uint32_t>(data.size()));
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

template <typename T>
std::vector<std::uint8_t> Bytes(const std::vector<T>& values) {
  std::vector<std::uint8_t> b(values.size() * sizeof(T));
  std::memcpy(b.data(), values.data(), b.size());
  return b;
}

// Signed 24-bit samples, three bytes each.
std::vector<std::uint8_t> Bytes24(const std::vector<std::int32_t>& values) {
  std::vector<std::uint8_t> b;
  for (std::int32_t v : values) {
    for (int i = 0; i < 3; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  return b;
}

class WaveFormats : public SoundTest {
 protected:
  // Loads bytes as sound id and returns its 16-bit samples; empty if the load failed.
  std::vector<std::int16_t> Load(const std::string& name, const std::vector<std::uint8_t>& bytes,
                                 std::int32_t id) {
    SoundLoad(Write(name, bytes).c_str(), id);
    if (Error() != 0 || !Entry(id)) return {};
    const auto& copy = *Entry(id)->sound->data_copy;
    std::vector<std::int16_t> s(copy.size() / 2);
    std::memcpy(s.data(), copy.data(), s.size() * 2);
    return s;
  }
  const WAVEFORMATEX& FormatOf(std::int32_t id) { return *Entry(id)->sound->reader->Format(); }
};

TEST_F(WaveFormats, FloatDataIsScaledAndClippedToSixteenBits) {
  const std::vector<std::int16_t> expected = {16384, -8192, 32767, -32768, 0, 32767};
  const std::vector<float> f32 = {0.5f, -0.25f, 1.5f, -2.0f, 0.0f, 1.0f};
  const std::vector<double> f64(f32.begin(), f32.end());
  EXPECT_EQ(Load("f32.wav", Wave(3, false, 1, 22050, 32, Bytes(f32)), 1), expected);
  EXPECT_EQ(Load("f32x.wav", Wave(3, true, 2, 22050, 32, Bytes(f32), 0x3), 2), expected);
  EXPECT_EQ(Load("f64.wav", Wave(3, false, 2, 44100, 64, Bytes(f64)), 3), expected);
  EXPECT_EQ(Load("f64x.wav", Wave(3, true, 1, 44100, 64, Bytes(f64), 0x4), 4), expected);
  EXPECT_EQ(FormatOf(3).wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(FormatOf(3).wBitsPerSample, 16);
  EXPECT_EQ(FormatOf(3).nChannels, 2);
  EXPECT_EQ(FormatOf(3).nSamplesPerSec, 44100u);
}

TEST_F(WaveFormats, WidePcmLoadsTheSameWhateverItsTag) {
  // 24 bits: rounded to the nearest 16-bit step, full scale clipped.
  const std::vector<std::int32_t> s24 = {0x123456, 0x7FFFFF, -0x800000, 0x0001C0, -0x0001C0, 0};
  const std::vector<std::int16_t> expected = {0x1234, 32767, -32768, 2, -2, 0};
  EXPECT_EQ(Load("p24.wav", Wave(1, false, 1, 22050, 24, Bytes24(s24)), 1), expected);
  EXPECT_EQ(Load("p24x.wav", Wave(1, true, 1, 22050, 24, Bytes24(s24), 0x4), 2), expected);
  const std::vector<std::int32_t> s32 = {0x12345678, 0x7FFFFFFF,  INT32_MIN,
                                         0x0001C000, -0x0001C000, 0};
  const std::vector<std::int16_t> expected32 = {0x1234, 32767, -32768, 2, -2, 0};
  EXPECT_EQ(Load("p32.wav", Wave(1, false, 2, 22050, 32, Bytes(s32)), 3), expected32);
  EXPECT_EQ(Load("p32x.wav", Wave(1, true, 2, 22050, 32, Bytes(s32), 0x3), 4), expected32);
  EXPECT_EQ(FormatOf(3).nBlockAlign, 4);
}

TEST_F(WaveFormats, MoreThanTwoChannelsAreMixedDownToStereo) {
  // 5.1 (front left, right, centre, low frequency, back left, right). Each side sums its front
  // fully and its centre and back at -3 dB, scaled so that the weights add up to 1; the
  // low-frequency channel is left out.
  const std::vector<std::int16_t> frames = {
      10000, 10000, 10000, 30000, 10000, 10000,   // everything equal: 10000 on each side
      24142, 0,     0,     0,     0,     0,       // front left alone: left only, / 2.414
      0,     0,     20000, 0,     0,     0,       // centre alone: both sides alike
      0,     0,     0,     0,     0,     -24142,  // back right alone: right only
  };
  const std::vector<std::int16_t> expected = {10000, 10000, 10000, 0, 5858, 5858, 0, -7071};
  for (bool extensible : {false, true}) {
    const std::int32_t id = extensible ? 2 : 1;
    const std::vector<std::int16_t> got =
        Load(extensible ? "x51.wav" : "p51.wav",
             Wave(1, extensible, 6, 44100, 16, Bytes(frames), 0x3F), id);
    ASSERT_EQ(got.size(), expected.size()) << extensible;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i], expected[i], 1) << "sample " << i << (extensible ? " extensible" : "");
    }
    EXPECT_EQ(FormatOf(id).nChannels, 2);
  }
  // Mixed down, a sound still plays through the device: the first frame heard at full volume.
  SoundPlay(1);
  const std::vector<std::int16_t> out = Pull(1);
  EXPECT_NEAR(out[0], 10000, 2);
}

TEST_F(WaveFormats, RatesAboveTheDevicesAreDividedDown) {
  // 192000 Hz becomes 96000 Hz, every two frames averaged into one.
  const std::vector<std::int16_t> frames = {100, -100, 300, -300, 1000, 0, 1002, 2};
  const std::vector<std::int16_t> got =
      Load("fast.wav", Wave(1, false, 2, 192000, 16, Bytes(frames)), 1);
  EXPECT_EQ(got, (std::vector<std::int16_t>{200, -200, 1001, 1}));
  EXPECT_EQ(FormatOf(1).nSamplesPerSec, 96000u);
  // A rate the device takes is left alone; one beyond every whole divisor up to 16 is refused.
  EXPECT_EQ(Load("max.wav", Wave(1, false, 1, 100000, 16, Bytes(frames)), 2), frames);
  EXPECT_TRUE(Load("absurd.wav", Wave(1, false, 1, 1700001, 16, Bytes(frames)), 3).empty());
  EXPECT_EQ(Entry(3), nullptr);
  // Found by fuzzing: the highest rate a header can state overflowed the choice of divisor.
  EXPECT_TRUE(Load("top.wav", Wave(3, true, 2, -1, 32, Bytes(frames)), 4).empty());
}

}  // namespace
}  // namespace sound_test
