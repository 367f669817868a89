// Memory blocks on the whole runtime: the numbered operations and their codes, the services
// the file module uses, and blocks made from images, sounds and arrays and turned back into
// them (compared pixel for pixel and sample for sample).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/dsound/dsound.h"
#include "runtime/core/module_table.h"
#include "runtime/sound/sound_state.h"
#include "tessark/tessark.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class MemblockTest : public tessark::testing::RuntimeFixture {
 protected:
  void SetUp() override {
    dsound::testing::SetOutput(dsound::testing::Output::kHeadless);
    RuntimeFixture::SetUp();
    ASSERT_EQ(open_result_, 0);
  }
  void TearDown() override {
    RuntimeFixture::TearDown();
    dsound::testing::SetOutput(dsound::testing::Output::kDevice);
  }
  std::int32_t Error() { return std::exchange(error_word_, 0); }

  // The block's bytes from position on.
  std::vector<std::uint8_t> Bytes(std::int32_t number, std::int32_t from = 0) {
    const std::uint8_t* at = MemblockAddress(number);
    return std::vector<std::uint8_t>(at + from, at + MemblockSize(number));
  }
  // Makes block number from 32-bit header values followed by data bytes.
  void Block(std::int32_t number, const std::vector<std::int32_t>& header,
             const std::vector<std::uint8_t>& data) {
    const auto size = static_cast<std::int32_t>(header.size() * 4 + data.size());
    if (MemblockExists(number)) MemblockDelete(number);
    MemblockMake(number, size > 0 ? size : 1);
    std::uint8_t* at = MemblockAddress(number);
    std::memcpy(at, header.data(), header.size() * 4);
    if (!data.empty()) std::memcpy(at + header.size() * 4, data.data(), data.size());
  }
};

TEST_F(MemblockTest, ReadsAndWritesEveryWidthWithinTheBlock) {
  MemblockMake(1, 4);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Bytes(1), (std::vector<std::uint8_t>{0, 0, 0, 0}));  // zero-filled
  MemblockWriteDword(1, 0, 7);
  EXPECT_EQ(MemblockReadByte(1, 0), 7);
  EXPECT_EQ(MemblockReadWord(1, 0), 7);
  MemblockWriteDword(1, 1, 7);
  EXPECT_EQ(Error(), 5105);
  EXPECT_EQ(MemblockReadDword(1, 0), 7);  // nothing was written by the refused write

  MemblockWriteWord(1, 2, 0xABCD);
  EXPECT_EQ(MemblockReadByte(1, 2), 0xCD);  // little-endian
  EXPECT_EQ(MemblockReadByte(1, 3), 0xAB);
  EXPECT_EQ(MemblockReadWord(1, 3), 0);
  EXPECT_EQ(Error(), 5105);
  MemblockWriteWord(1, 0, 65536);
  EXPECT_EQ(Error(), 5108);
  MemblockWriteWordModulo(1, 0, 65536 + 5);
  EXPECT_EQ(MemblockReadWord(1, 0), 5);

  MemblockWriteByte(1, 0, 256);
  EXPECT_EQ(Error(), 5107);
  EXPECT_EQ(MemblockReadByte(1, 0), 5);
  MemblockWriteByteModulo(1, 0, 256);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(MemblockReadByte(1, 0), 0);
  MemblockWriteByte(1, -1, 1);
  EXPECT_EQ(Error(), 5105);
  EXPECT_EQ(MemblockReadByte(1, 4), 0);
  EXPECT_EQ(Error(), 5105);

  MemblockWriteFloat(1, 0, 1.5f);
  EXPECT_EQ(MemblockReadFloat(1, 0), 1.5f);
  EXPECT_EQ(MemblockReadDword(1, 0), 0x3FC00000);
}

TEST_F(MemblockTest, NumbersSizesAndExistence) {
  MemblockMake(3, 0);
  EXPECT_EQ(Error(), 5106);
  MemblockMake(3, -4);
  EXPECT_EQ(Error(), 5106);
  EXPECT_FALSE(MemblockExists(3));
  MemblockMake(3, 10);
  MemblockMake(3, 10);
  EXPECT_EQ(Error(), 5102);
  EXPECT_EQ(MemblockSize(3), 10);
  for (std::int32_t bad : {0, 258, -1}) {
    MemblockMake(bad, 1);
    EXPECT_EQ(Error(), 5101);
    EXPECT_FALSE(MemblockExists(bad));
    EXPECT_EQ(Error(), 5101);
  }
  MemblockMake(257, 2);
  EXPECT_TRUE(MemblockExists(257));
  EXPECT_EQ(Error(), 0);
  MemblockDelete(3);
  EXPECT_FALSE(MemblockExists(3));
  MemblockDelete(3);
  EXPECT_EQ(Error(), 5103);
  EXPECT_EQ(MemblockSize(3), 0);  // the stale size is never answered
  EXPECT_EQ(Error(), 5103);
  EXPECT_EQ(MemblockAddress(3), nullptr);
  EXPECT_EQ(MemblockReadByte(3, 0), 0);
  EXPECT_EQ(Error(), 5103);
}

TEST_F(MemblockTest, CopiesMoveOverlappingRangesAndRefuseWhatDoesNotFit) {
  MemblockMake(1, 6);
  for (int i = 0; i < 6; ++i) MemblockWriteByte(1, i, 10 + i);
  MemblockCopy(1, 1, 2, 0, 4);
  EXPECT_EQ(Bytes(1), (std::vector<std::uint8_t>{12, 13, 14, 15, 14, 15}));
  MemblockCopy(1, 1, 0, 2, 4);  // the other direction overlaps too
  EXPECT_EQ(Bytes(1), (std::vector<std::uint8_t>{12, 13, 12, 13, 14, 15}));
  EXPECT_EQ(Error(), 0);

  MemblockMake(2, 3);
  MemblockCopy(1, 2, 3, 0, 3);
  EXPECT_EQ(Bytes(2), (std::vector<std::uint8_t>{13, 14, 15}));
  MemblockCopy(1, 2, 3, 1, 3);  // one past the destination's end
  EXPECT_EQ(Error(), 5105);
  MemblockCopy(1, 2, 6, 0, 0);  // a position at the end is outside
  EXPECT_EQ(Error(), 5105);
  MemblockCopy(1, 2, 1, 0, kMax);  // position + length must not wrap into range
  EXPECT_EQ(Error(), 5105);
  MemblockCopy(1, 2, 0, 0, -1);
  EXPECT_EQ(Error(), 5105);
  EXPECT_EQ(Bytes(2), (std::vector<std::uint8_t>{13, 14, 15}));

  MemblockMake(256, 8);
  ASSERT_EQ(Error(), 0);
  MemblockCopy(256, 1, 0, 0, 1);
  EXPECT_EQ(Error(), 5101);
  MemblockCopy(1, 256, 0, 0, 1);
  EXPECT_EQ(Error(), 5101);
  MemblockCopy(9, 1, 0, 0, 1);
  EXPECT_EQ(Error(), 5103);
}

TEST_F(MemblockTest, FileModuleWritesABlockOutAndReadsItBack) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("memblock_" + std::to_string(getpid()))).string();
  std::filesystem::remove(path);
  MemblockMake(5, 5);
  for (int i = 0; i < 5; ++i) MemblockWriteByte(5, i, 200 + i);
  FileOpenWrite(1, path.c_str());
  FileWriteMemblock(1, 5);
  FileClose(1);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(std::filesystem::file_size(path), 4u + 5u);

  FileOpenRead(2, path.c_str());
  FileReadMemblock(2, 6);
  FileClose(2);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(Bytes(6), Bytes(5));

  // Load takes the whole file, size word included; make replaces a block that exists.
  FileOpenRead(3, path.c_str());
  FileLoadMemblock(6, 3);
  FileClose(3);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(MemblockSize(6), 9);
  EXPECT_EQ(MemblockReadDword(6, 0), 5);
  EXPECT_EQ(Bytes(6, 4), Bytes(5));
  std::filesystem::remove(path);
}

// A size the make service refuses (0, or one past the 32-bit sizes) still frees the block of
// that number: what is left is no block and 5104, never the block that was there before. An
// empty block (from an empty array) cannot make the round trip for that reason.
TEST_F(MemblockTest, FileReadOfARefusedSizeLeavesNoStaleBlock) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("memblock_size_" + std::to_string(getpid())))
          .string();
  auto write_file = [&](const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  };
  auto stale_block_then = [&](auto read) {
    MemblockMake(6, 3);
    read();
    EXPECT_EQ(Error(), 5104);
    EXPECT_FALSE(MemblockExists(6));
    if (MemblockExists(6)) MemblockDelete(6);
  };
  for (std::uint8_t fill : {std::uint8_t{0}, std::uint8_t{0xFF}}) {
    write_file({fill, fill, fill, fill, 1, 2, 3});
    stale_block_then([&] {
      FileOpenRead(1, path.c_str());
      FileReadMemblock(1, 6);
      FileClose(1);
    });
  }
  write_file({});
  stale_block_then([&] {
    FileOpenRead(1, path.c_str());
    FileLoadMemblock(6, 1);
    FileClose(1);
  });

  MemblockArray empty{4, 0, nullptr};
  MemblockFromArray(7, &empty);
  ASSERT_EQ(MemblockSize(7), 0);
  std::filesystem::remove(path);
  FileOpenWrite(1, path.c_str());
  FileWriteMemblock(1, 7);
  FileClose(1);
  EXPECT_EQ(std::filesystem::file_size(path), 4u);
  FileOpenRead(1, path.c_str());
  FileReadMemblock(1, 7);
  FileClose(1);
  EXPECT_EQ(Error(), 5104);
  EXPECT_FALSE(MemblockExists(7));
  std::filesystem::remove(path);
}

TEST_F(MemblockTest, ServicesRaiseNothingAndTheTablesAreShared) {
  const MemblockServices& services = Modules().memblock_services;
  ASSERT_NE(services.Make, nullptr);
  EXPECT_EQ(services.Make(0, 4), nullptr);
  EXPECT_EQ(services.Make(258, 4), nullptr);
  EXPECT_EQ(services.Size(7), 0);
  EXPECT_EQ(services.Address(7), nullptr);
  services.Free(7);
  services.SetSize(7, 3);
  EXPECT_EQ(Error(), 0);
  std::uint8_t* bytes = services.Make(7, 4);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(services.BlockTable()[7], bytes);
  EXPECT_EQ(services.SizeTable()[7], 4);
  services.SetSize(7, 2);
  EXPECT_EQ(MemblockSize(7), 2);
  // Never past the bytes the block was made with, nor below nothing.
  services.SetSize(7, 5);
  services.SetSize(7, -1);
  EXPECT_EQ(MemblockSize(7), 2);
  services.SetSize(7, 4);
  EXPECT_EQ(MemblockSize(7), 4);
  EXPECT_NE(services.Make(7, 8), nullptr);  // frees the old block first: no 5102
  EXPECT_EQ(MemblockSize(7), 8);
  services.Free(7);
  EXPECT_FALSE(MemblockExists(7));
  EXPECT_EQ(Error(), 0);
}

TEST_F(MemblockTest, ImagesGoToBlocksAndBackUnchanged) {
  std::vector<std::uint32_t> pixels(5 * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | (i * 0x010203u);
  ImageSetData(4, 5, 3, 32, reinterpret_cast<const std::uint8_t*>(pixels.data()));
  MemblockFromImage(1, 4);
  ASSERT_EQ(Error(), 0);
  ASSERT_EQ(MemblockSize(1), 12 + 5 * 3 * 4);
  EXPECT_EQ(MemblockReadDword(1, 0), 5);
  EXPECT_EQ(MemblockReadDword(1, 4), 3);
  EXPECT_EQ(MemblockReadDword(1, 8), 32);
  EXPECT_EQ(static_cast<std::uint32_t>(MemblockReadDword(1, 12 + 4 * 7)), pixels[7]);

  MemblockWriteDword(1, 12, static_cast<std::int32_t>(0xFF112233u));
  ImageFromMemblock(6, 1);
  ASSERT_EQ(Error(), 0);
  MemblockFromImage(2, 6);
  EXPECT_EQ(Bytes(2), Bytes(1));

  MemblockFromImage(3, 99);
  EXPECT_EQ(Error(), 502);
  EXPECT_FALSE(MemblockExists(3));
  MemblockFromImage(3, 0);
  EXPECT_EQ(Error(), 501);
  ImageFromMemblock(22000001, 1);
  EXPECT_EQ(Error(), 501);
}

// Grey (8-bit) and blue-green-red (24-bit) rows make opaque 32-bit images; other depths that
// are not whole bytes make none and say so.
TEST_F(MemblockTest, ImagesFromBlocksOfEightAndTwentyFourBitsAreWidened) {
  Block(1, {2, 1, 24}, {0x30, 0x20, 0x10, 0xFF, 0x00, 0x00});
  ImageFromMemblock(5, 1);
  Block(1, {2, 1, 8}, {0x00, 0x80});
  ImageFromMemblock(6, 1);
  EXPECT_EQ(Error(), 0);
  MemblockFromImage(2, 5);
  MemblockFromImage(3, 6);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(MemblockReadDword(2, 8), 32);
  EXPECT_EQ(static_cast<std::uint32_t>(MemblockReadDword(2, 12)), 0xFF102030u);
  EXPECT_EQ(static_cast<std::uint32_t>(MemblockReadDword(2, 16)), 0xFF0000FFu);
  EXPECT_EQ(static_cast<std::uint32_t>(MemblockReadDword(3, 16)), 0xFF808080u);

  Block(1, {2, 1, 12}, std::vector<std::uint8_t>(4));
  ImageFromMemblock(7, 1);
  EXPECT_EQ(Error(), 502);
  MemblockFromImage(2, 7);
  EXPECT_EQ(Error(), 502);
}

TEST_F(MemblockTest, BlocksWhoseHeadersClaimMoreThanTheyHoldAreRefused) {
  ImageSetData(4, 2, 2, 32, std::vector<std::uint8_t>(16, 0x55).data());
  struct Case {
    std::vector<std::int32_t> header;
    std::size_t data;
  };
  const Case lies[] = {
      {{2, 2, 32}, 15},                    // one byte short
      {{100, 100, 32}, 16},                // far more rows than bytes
      {{kMax, kMax, 32}, 16},              // a product that overflows 32 bits
      {{65536, 65536, 32}, 16},            // one that wraps to 0 in 32 bits
      {{-2, -2, 32}, 16},                  // negative sizes multiply to a positive one
      {{2, 2, 0}, 16},                     // no bytes per pixel
      {{2, 2, -32}, 16},        {{2}, 0},  // shorter than the header itself
  };
  for (const Case& lie : lies) {
    Block(1, lie.header, std::vector<std::uint8_t>(lie.data, 0xAA));
    ImageFromMemblock(4, 1);
    EXPECT_EQ(Error(), 502) << lie.header[0];
    BitmapFromMemblock(1, 1);
    EXPECT_EQ(Error(), 1002) << lie.header[0];
  }
  EXPECT_EQ(ImageWidth(4), 2);  // the image was left alone
  EXPECT_FALSE(BitmapExists(1));

  // Sound headers: too short for seven values, or a 16-bit field that does not fit.
  Block(2, {1, 1, 22050, 44100, 2, 16}, {});
  SoundFromMemblock(1, 2);
  EXPECT_EQ(Error(), 3004);
  Block(2, {1, 70000, 22050, 44100, 2, 16, 0}, std::vector<std::uint8_t>(8));
  SoundFromMemblock(1, 2);
  EXPECT_EQ(Error(), 3004);
  EXPECT_EQ(SoundExists(1), 0);
}

// A stereo 16-bit wave file of frames frames at rate: left i, right -i.
std::string StereoWave(const std::string& name, int rate, int frames) {
  const std::string path =
      (std::filesystem::temp_directory_path() / (name + std::to_string(getpid()) + ".wav"))
          .string();
  std::vector<std::uint8_t> f;
  auto put = [&f](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto tag = [&f](const char* t) { f.insert(f.end(), t, t + 4); };
  const std::uint32_t data = static_cast<std::uint32_t>(frames) * 4;
  tag("RIFF");
  put(36 + data, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(static_cast<std::uint32_t>(rate), 4);
  put(static_cast<std::uint32_t>(rate) * 4, 4);
  put(4, 2);
  put(16, 2);
  tag("data");
  put(data, 4);
  for (int i = 0; i < frames; ++i) {
    put(static_cast<std::uint16_t>(i), 2);
    put(static_cast<std::uint16_t>(-i), 2);
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(f.data(), 1, f.size(), out);
  std::fclose(out);
  return path;
}

TEST_F(MemblockTest, SoundsGoToBlocksAndBackAtEveryRate) {
  for (int rate : {44100, 48000, 96000}) {
    SCOPED_TRACE(rate);
    const std::string path = StereoWave("memblock_sound", rate, 3000);
    SoundLoad(path.c_str(), 1);
    std::filesystem::remove(path);
    ASSERT_EQ(Error(), 0);
    MemblockFromSound(1, 1);
    ASSERT_EQ(Error(), 0);
    ASSERT_EQ(MemblockSize(1), 28 + 3000 * 4);
    EXPECT_EQ(MemblockReadDword(1, 0), 1);     // PCM
    EXPECT_EQ(MemblockReadDword(1, 4), 2);     // channels
    EXPECT_EQ(MemblockReadDword(1, 8), rate);  // the rate, not twice it
    EXPECT_EQ(MemblockReadDword(1, 12), rate * 4);
    EXPECT_EQ(MemblockReadDword(1, 16), 4);
    EXPECT_EQ(MemblockReadDword(1, 20), 16);
    EXPECT_EQ(MemblockReadWord(1, 28 + 4 * 10), 10);
    EXPECT_EQ(MemblockReadWord(1, 28 + 4 * 10 + 2), 0x10000 - 10);

    SoundFromMemblock(2, 1);
    ASSERT_EQ(Error(), 0);
    MemblockFromSound(2, 2);
    EXPECT_EQ(Bytes(2), Bytes(1));
    SoundDelete(1);
    SoundDelete(2);
  }
}

TEST_F(MemblockTest, ASoundMadeFromABlockPlays) {
  const std::string path = StereoWave("memblock_play", 44100, 4000);
  SoundLoad(path.c_str(), 1);
  std::filesystem::remove(path);
  MemblockFromSound(1, 1);
  SoundDelete(1);
  SoundFromMemblock(3, 1);
  ASSERT_EQ(Error(), 0);
  SoundPlay(3);
  std::vector<std::int16_t> out(2 * 200);
  dsound::testing::MixerPull(tessark::sound::Device(), out.data(), 200);
  EXPECT_EQ(out[2 * 150], 150);
  EXPECT_EQ(out[2 * 150 + 1], -150);

  MemblockFromSound(4, 9);
  EXPECT_EQ(Error(), 3004);
  MemblockFromSound(4, 0);
  EXPECT_EQ(Error(), 3001);
  SoundFromMemblock(1, 9);
  EXPECT_EQ(Error(), 5103);
}

TEST_F(MemblockTest, ArraysAndMeshes) {
  std::int32_t values[3] = {1, -2, 3};
  MemblockArray array{4, 3, values};
  MemblockFromArray(1, &array);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(MemblockSize(1), 12);
  EXPECT_EQ(MemblockReadDword(1, 4), -2);
  MemblockWriteDword(1, 8, 30);
  ArrayFromMemblock(&array, 1);
  EXPECT_EQ(values[2], 30);

  // A block shorter than the array fills only what it holds.
  MemblockMake(2, 4);
  MemblockWriteDword(2, 0, 9);
  ArrayFromMemblock(&array, 2);
  EXPECT_EQ(values[0], 9);
  EXPECT_EQ(values[1], -2);

  MemblockFromArray(3, nullptr);
  EXPECT_EQ(Error(), 109);
  ArrayFromMemblock(nullptr, 1);
  EXPECT_EQ(Error(), 109);
  MemblockArray empty{0, 3, values};
  MemblockFromArray(3, &empty);
  EXPECT_EQ(Error(), 53);
  ArrayFromMemblock(&empty, 1);
  EXPECT_EQ(Error(), 53);
  MemblockArray huge{kMax, 4, values};
  MemblockFromArray(3, &huge);
  EXPECT_EQ(Error(), 5104);
  EXPECT_FALSE(MemblockExists(3));

  // No 3D-object module: meshes yield no data.
  MemblockFromMesh(4, 5);
  EXPECT_EQ(Error(), 7003);
  EXPECT_FALSE(MemblockExists(4));
  MemblockFromMesh(4, 0);
  EXPECT_EQ(Error(), 7001);
  MeshFromMemblock(5, 1);
  EXPECT_EQ(Error(), 0);
}

}  // namespace
