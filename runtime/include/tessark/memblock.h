/// @file
/// Memory blocks: numbered blocks of raw, zero-filled bytes that a program makes, reads and
/// writes by byte, 16-bit word, 32 bits or float, copies between, and converts to and from
/// bitmaps, images, sounds, meshes and arrays.
///
/// Blocks are numbered 1 to 257; MemblockCopy alone takes only blocks 1 to 255. Positions count
/// bytes from 0. Words, 32-bit values and floats are stored little-endian (lowest byte first).
///
/// A block made from (or for) a picture starts with a header of three little-endian 32-bit
/// values: width, height and bits per pixel, at byte positions 0, 4 and 8. The pixels follow
/// from position 12: rows from the top, each row's pixels from the left, rows packed with no
/// gap, each pixel stored as its value in the picture's format, lowest byte first. For the
/// usual 32-bit pictures a pixel is 4 bytes: blue, green, red, then alpha (for bitmaps and the
/// screen, an unused byte), so `MemblockReadDword` at a pixel gives 0xAARRGGBB. The pixel at
/// column x, row y starts at 12 + (y * width + x) * bits / 8.
///
/// A block made from (or for) a sound starts with seven little-endian 32-bit values: format tag
/// (1 for PCM), channels, samples per second, bytes per second, block align, bits per sample
/// and extra size; the sound's wave data follows from position 28.
///
/// Failures raise the codes named in tessark/errors.h and change nothing.
#pragma once

#include <cstdint>

namespace tessark {

/// An array as the array conversions see it: element_size bytes per element, count elements.
struct MemblockArray {
  std::int32_t element_size;  ///< bytes per element; 0 is refused with error::kArrayElementSizeZero
  std::int32_t count;         ///< number of elements
  void* elements;             ///< the elements, count * element_size bytes
};

/// Makes block number of size zeroed bytes; raises error::kMemblockNumberOutOfRange,
/// error::kMemblockExists, error::kMemblockSizeInvalid (size 0 or less) or
/// error::kMemblockAllocFailed (no memory).
void MemblockMake(std::int32_t number, std::int32_t size);
/// Frees block number; raises error::kMemblockNumberOutOfRange or error::kMemblockMissing.
void MemblockDelete(std::int32_t number);
/// Whether block number exists; raises error::kMemblockNumberOutOfRange for a number outside
/// 1 to 257.
bool MemblockExists(std::int32_t number);
/// The address of the block's first byte; null after error::kMemblockNumberOutOfRange or
/// error::kMemblockMissing.
std::uint8_t* MemblockAddress(std::int32_t number);
/// The block's size in bytes; 0 after error::kMemblockNumberOutOfRange or
/// error::kMemblockMissing.
std::int32_t MemblockSize(std::int32_t number);
/// Moves length bytes from source_position of block source to destination_position of block
/// destination (overlapping ranges safely, the same block too). Note the order: the two block
/// numbers first, then the two positions. Only blocks 1 to 255 (not 256 and 257); raises
/// error::kMemblockNumberOutOfRange, error::kMemblockMissing, or
/// error::kMemblockPositionOutOfRange when a range falls outside its block.
void MemblockCopy(std::int32_t source, std::int32_t destination, std::int32_t source_position,
                  std::int32_t destination_position, std::int32_t length);

// Reads and writes. Each raises error::kMemblockNumberOutOfRange, error::kMemblockMissing or
// error::kMemblockPositionOutOfRange (the value would not fit inside the block at position);
// a read that fails answers 0.
/// Stores a byte; also raises error::kMemblockByteOutOfRange for a value outside 0 to 255.
void MemblockWriteByte(std::int32_t number, std::int32_t position, std::int32_t value);
/// Stores value modulo 256 (any value is accepted).
void MemblockWriteByteModulo(std::int32_t number, std::int32_t position, std::int32_t value);
/// The byte at position, a value from 0 to 255.
std::int32_t MemblockReadByte(std::int32_t number, std::int32_t position);
/// Stores a 16-bit word (2 bytes); also raises error::kMemblockWordOutOfRange for a value outside
/// 0 to 65535.
void MemblockWriteWord(std::int32_t number, std::int32_t position, std::int32_t value);
/// Stores value modulo 65536 (any value is accepted).
void MemblockWriteWordModulo(std::int32_t number, std::int32_t position, std::int32_t value);
/// The 16-bit word at position, a value from 0 to 65535.
std::int32_t MemblockReadWord(std::int32_t number, std::int32_t position);
/// Stores 32 bits (4 bytes).
void MemblockWriteDword(std::int32_t number, std::int32_t position, std::int32_t value);
/// The 32 bits at position.
std::int32_t MemblockReadDword(std::int32_t number, std::int32_t position);
/// Stores a float's 32-bit pattern (4 bytes).
void MemblockWriteFloat(std::int32_t number, std::int32_t position, float value);
/// The float stored at position.
float MemblockReadFloat(std::int32_t number, std::int32_t position);

// Conversions. Each makes or reads a block laid out as the top of this page says. Note the
// argument order: the thing made comes first (MemblockFromImage(block, image) makes a block,
// ImageFromMemblock(image, block) makes an image).
/// Block number from bitmap (0 is the screen); raises error::kMemblockNumberOutOfRange,
/// error::kBitmapIdOutOfRange, error::kBitmapMissing (no bitmap, or no data) or
/// error::kMemblockAllocFailed.
void MemblockFromBitmap(std::int32_t number, std::int32_t bitmap);
/// Bitmap from a block with a picture header; raises error::kBitmapIdOutOfRange,
/// error::kMemblockNumberOutOfRange, error::kMemblockMissing, or error::kBitmapMissing when the
/// header asks for more pixels than the block holds.
void BitmapFromMemblock(std::int32_t bitmap, std::int32_t number);
/// Block number from image; raises error::kMemblockNumberOutOfRange, error::kImageIdOutOfRange,
/// error::kImageMissing, error::kImageNoData or error::kMemblockAllocFailed.
void MemblockFromImage(std::int32_t number, std::int32_t image);
/// Image from a block with a picture header; raises error::kImageIdOutOfRange,
/// error::kMemblockNumberOutOfRange, error::kMemblockMissing, or error::kImageMissing when the
/// header asks for more pixels than the block holds.
void ImageFromMemblock(std::int32_t image, std::int32_t number);
/// Block number from a sound's format and PCM data; raises error::kMemblockNumberOutOfRange,
/// error::kSoundIdOutOfRange, error::kSoundMissing (no sound, or no data) or
/// error::kMemblockAllocFailed.
void MemblockFromSound(std::int32_t number, std::int32_t sound);
/// Sound from a block with a sound header; raises error::kSoundIdOutOfRange,
/// error::kMemblockNumberOutOfRange, error::kMemblockMissing, or error::kSoundMissing for a block
/// too short for its header or a header value that does not fit the wave format.
void SoundFromMemblock(std::int32_t sound, std::int32_t number);
/// Block number from a mesh; raises error::kMemblockNumberOutOfRange, error::kMeshIdOutOfRange
/// or error::kMeshMissing (always: there is no 3D-object module to hold meshes).
void MemblockFromMesh(std::int32_t number, std::int32_t mesh);
/// Mesh from a block; raises error::kMeshIdOutOfRange, error::kMemblockNumberOutOfRange or
/// error::kMemblockMissing.
void MeshFromMemblock(std::int32_t mesh, std::int32_t number);
/// Block number holding the array's elements; raises error::kMemblockNumberOutOfRange,
/// error::kArrayMissing (a null array), error::kArrayElementSizeZero or
/// error::kMemblockAllocFailed.
void MemblockFromArray(std::int32_t number, const MemblockArray* array);
/// Copies the block's bytes into the array's elements (at most the array's size, at most the
/// block's); raises error::kMemblockNumberOutOfRange, error::kArrayMissing or
/// error::kArrayElementSizeZero.
void ArrayFromMemblock(MemblockArray* array, std::int32_t number);

}  // namespace tessark
