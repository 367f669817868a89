// Pictures decoded ahead: a load takes exactly what decoding the file at the load gives, and
// only while the file is the one decoded; files the worker looked at but could not keep are
// decoded by their loads, and a load of any other file ends the keeping.
#include "platform/d3dx9/decode_ahead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/support/picture_files.h"
#include "tests/support/temp_folder.h"

namespace d3dx {
namespace {

void WritePng(const std::string& path, std::uint32_t first, int side) {
  std::vector<std::uint32_t> argb(static_cast<std::size_t>(side) * side);
  for (std::size_t i = 0; i < argb.size(); ++i)
    argb[i] = first + static_cast<std::uint32_t>(i * 77);
  picture_files::Bytes png = picture_files::PngFile(argb.data(), side, side);
  TempFolder::Write(path, std::string(png.begin(), png.end()));
}

// The picture as a load decodes it from the file.
DecodedImage DecodedAtLoad(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  DecodedImage image;
  EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
  EXPECT_TRUE(DecodeImage(bytes.data(), bytes.size(), &image)) << path;
  return image;
}

void ExpectSame(const DecodedImage& taken, const DecodedImage& decoded, const std::string& what) {
  ASSERT_EQ(taken.faces.size(), 1u) << what;
  EXPECT_EQ(taken.info.width, decoded.info.width) << what;
  EXPECT_EQ(taken.info.height, decoded.info.height) << what;
  EXPECT_EQ(taken.info.format, decoded.info.format) << what;
  EXPECT_EQ(taken.info.file_format, decoded.info.file_format) << what;
  EXPECT_EQ(taken.faces[0].pixels, decoded.faces[0].pixels) << what;
}

TEST(DecodeAhead, LoadsTakeTheFilesDecodedAheadWhileTheyAreUnchanged) {
  TempFolder folder("decode_ahead");
  WritePng("a.png", 0xFF102030u, 9);
  WritePng("b.png", 0x80405060u, 5);
  WritePng("c.png", 0xFF000000u, 3);
  WritePng("elsewhere.png", 0xFF0000FFu, 2);
  TempFolder::Write("d.png", "not a picture");
  std::atomic<bool> stop{false};
  DecodeAhead({"a.png", "b.png", "missing.png", "d.png", "c.png"}, stop);
  EXPECT_EQ(DecodedAheadHeld(), 3);

  DecodedImage taken;
  ASSERT_TRUE(DecodedAheadTake("a.png", &taken));
  ExpectSame(taken, DecodedAtLoad("a.png"), "a.png");
  EXPECT_FALSE(DecodedAheadTake("a.png", &taken)) << "taken once";

  // Rewritten after it was decoded: its load decodes the new file.
  WritePng("b.png", 0xFF405060u, 6);
  EXPECT_FALSE(DecodedAheadTake("b.png", &taken));
  // Looked at but not kept: decoded by their loads, and the keeping goes on.
  EXPECT_FALSE(DecodedAheadTake("d.png", &taken));
  EXPECT_FALSE(DecodedAheadTake("missing.png", &taken));
  EXPECT_EQ(DecodedAheadHeld(), 1);
  // Another file: the program has moved on, and c.png is freed.
  EXPECT_FALSE(DecodedAheadTake("elsewhere.png", &taken));
  EXPECT_EQ(DecodedAheadHeld(), 0);
  EXPECT_FALSE(DecodedAheadTake("c.png", &taken));

  // A worker told to stop keeps nothing more; a release frees what it kept.
  stop = true;
  DecodeAhead({"a.png", "c.png"}, stop);
  EXPECT_EQ(DecodedAheadHeld(), 0);
  stop = false;
  DecodeAhead({"a.png", "c.png"}, stop);
  EXPECT_EQ(DecodedAheadHeld(), 2);
  DecodedAheadRelease();
  EXPECT_EQ(DecodedAheadHeld(), 0);
  EXPECT_FALSE(DecodedAheadTake("c.png", &taken));
}

}  // namespace
}  // namespace d3dx
