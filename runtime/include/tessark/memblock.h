// Memory blocks: up to 257 numbered blocks of raw, zero-filled bytes (numbers 1 to 257) that a
// program makes, reads and writes by byte, word or 32 bits, copies between, and converts to and
// from bitmaps, images, sounds, meshes and arrays. A conversion block starts with a header of
// little-endian 32-bit values: width, height, bits per pixel for pictures; format tag, channels,
// samples per second, bytes per second, block align, bits per sample, extra size for sounds.
#pragma once

#include <cstdint>

namespace tessark {

/// An array as the array conversions see it: element_size bytes per element, count elements.
struct MemblockArray {
  std::int32_t element_size;  ///< bytes per element; 0 is refused with 53
  std::int32_t count;         ///< number of elements
  void* elements;             ///< the elements, count * element_size bytes
};

/// Makes block number of size zeroed bytes; raises 5101 (number), 5102 (exists), 5106 (size 0 or
/// less) or 5104 (no memory).
void MemblockMake(std::int32_t number, std::int32_t size);
/// Frees block number; raises 5101 or 5103 (no such block).
void MemblockDelete(std::int32_t number);
/// Whether block number exists; raises 5101 for a number outside 1 to 257.
bool MemblockExists(std::int32_t number);
/// The address of the block's first byte; null after 5101 or 5103.
std::uint8_t* MemblockAddress(std::int32_t number);
/// The block's size in bytes; 0 after 5101 or 5103.
std::int32_t MemblockSize(std::int32_t number);
/// Moves length bytes between blocks 1 to 255 (overlapping ranges safely, the same block too);
/// raises 5101, 5103, or 5105 when a range falls outside its block.
void MemblockCopy(std::int32_t source, std::int32_t destination, std::int32_t source_position,
                  std::int32_t destination_position, std::int32_t length);

/// Stores a byte; raises 5101, 5103, 5105 (position) or 5107 (value outside 0 to 255).
void MemblockWriteByte(std::int32_t number, std::int32_t position, std::int32_t value);
/// Stores value modulo 256; raises 5101, 5103 or 5105.
void MemblockWriteByteModulo(std::int32_t number, std::int32_t position, std::int32_t value);
/// The byte at position (0 to 255); 0 after 5101, 5103 or 5105.
std::int32_t MemblockReadByte(std::int32_t number, std::int32_t position);
/// Stores a 16-bit word; raises 5101, 5103, 5105 or 5108 (value outside 0 to 65535).
void MemblockWriteWord(std::int32_t number, std::int32_t position, std::int32_t value);
/// Stores value modulo 65536; raises 5101, 5103 or 5105.
void MemblockWriteWordModulo(std::int32_t number, std::int32_t position, std::int32_t value);
/// The word at position (0 to 65535); 0 after 5101, 5103 or 5105.
std::int32_t MemblockReadWord(std::int32_t number, std::int32_t position);
/// Stores 32 bits; raises 5101, 5103 or 5105.
void MemblockWriteDword(std::int32_t number, std::int32_t position, std::int32_t value);
/// The 32 bits at position; 0 after 5101, 5103 or 5105.
std::int32_t MemblockReadDword(std::int32_t number, std::int32_t position);
/// Stores a float's 32-bit pattern; raises 5101, 5103 or 5105.
void MemblockWriteFloat(std::int32_t number, std::int32_t position, float value);
/// The float stored at position; 0 after 5101, 5103 or 5105.
float MemblockReadFloat(std::int32_t number, std::int32_t position);

/// Block number from bitmap (0 is the screen); raises 5101, 1001, 1002 (no data) or 5104.
void MemblockFromBitmap(std::int32_t number, std::int32_t bitmap);
/// Bitmap from a block with a picture header; raises 1001, 5101, 5103, or 1002 when the header
/// asks for more pixels than the block holds.
void BitmapFromMemblock(std::int32_t bitmap, std::int32_t number);
/// Block number from image; raises 5101, 501, 502 or 507 (no data) or 5104.
void MemblockFromImage(std::int32_t number, std::int32_t image);
/// Image from a block with a picture header; raises 501, 5101, 5103, or 502 when the header asks
/// for more pixels than the block holds.
void ImageFromMemblock(std::int32_t image, std::int32_t number);
/// Block number from a sound's format and PCM data; raises 5101, 3001, 3004 (no data) or 5104.
void MemblockFromSound(std::int32_t number, std::int32_t sound);
/// Sound from a block with a sound header; raises 3001, 5101, 5103, or 3004 for a block too short
/// for its header or a header value that does not fit the wave format.
void SoundFromMemblock(std::int32_t sound, std::int32_t number);
/// Block number from a mesh; raises 5101, 7001 or 7003 (no data: there is no 3D-object module).
void MemblockFromMesh(std::int32_t number, std::int32_t mesh);
/// Mesh from a block; raises 7001, 5101 or 5103.
void MeshFromMemblock(std::int32_t mesh, std::int32_t number);
/// Block number holding the array's elements; raises 5101, 109 (null), 53 (element size 0) or
/// 5104.
void MemblockFromArray(std::int32_t number, const MemblockArray* array);
/// Copies the block's bytes into the array's elements (at most the array's size, at most the
/// block's); raises 5101, 109 or 53.
void ArrayFromMemblock(MemblockArray* array, std::int32_t number);

}  // namespace tessark
