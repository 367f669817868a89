// Memory blocks to and from other modules' objects. Each object's owning module hands its data
// out and takes it in through a service bound at PassCoreData; this module adds or reads the
// header in front of the data. Every header value read from a block is checked against the
// block's own size before any data is handed on, so a block that claims more than it holds is
// refused rather than read past its end.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "runtime/core/errors.h"
#include "runtime/memblock/memblock_state.h"
#include "tessark/memblock.h"

namespace tessark::memblock {

namespace {

constexpr std::int32_t kPictureHeader = 3;  // width, height, bits per pixel
constexpr std::int32_t kSoundHeader = 7;    // the seven wave-format values
constexpr std::int32_t kObjectIdLast = 21999999;
constexpr std::int32_t kImageIdLast = 22000000;
constexpr std::int64_t kSizeLimit = std::numeric_limits<std::int32_t>::max();

// Makes block number as header values followed by size bytes of data; raises 5104 when the
// block cannot be made.
void BlockFill(std::int32_t number, const std::int32_t* header, std::int32_t header_count,
               const std::uint8_t* data, std::int32_t size) {
  const std::int64_t header_bytes = 4 * static_cast<std::int64_t>(header_count);
  const std::int64_t total = header_bytes + (size > 0 ? size : 0);
  std::uint8_t* bytes =
      total <= kSizeLimit ? BlockMake(number, static_cast<std::int32_t>(total)) : nullptr;
  if (!bytes) {
    BlockFree(number);
    return RuntimeError(error::kMemblockAllocFailed);
  }
  std::memcpy(bytes, header, static_cast<std::size_t>(header_bytes));
  if (data && size > 0) std::memcpy(bytes + header_bytes, data, static_cast<std::size_t>(size));
}

// Reads count header values from block number; false when the block is too short for them.
bool HeaderRead(std::int32_t number, std::int32_t* header, std::int32_t count) {
  if (State().sizes[number] < 4 * count) return false;
  std::memcpy(header, State().blocks[number], 4 * static_cast<std::size_t>(count));
  return true;
}

// The pixel bytes a picture header asks for, or -1 when its values cannot describe pixels or
// the block does not hold that many bytes after the header. Pixels are whole bytes: 8, 16, 24
// or 32 bits, which the bitmap and image modules take in (widening where they must).
std::int64_t PictureBytes(std::int32_t number, const std::int32_t* header) {
  const std::int64_t width = header[0], height = header[1], depth = header[2];
  if (width < 1 || height < 1 || (depth != 8 && depth != 16 && depth != 24 && depth != 32)) {
    return -1;
  }
  // Row by row, so that no product can overflow: a row is below 2^34 bytes, and the rows are
  // counted against what the block holds before they are multiplied.
  const std::int64_t available = State().sizes[number] - 4 * kPictureHeader;
  const std::int64_t row = width * (depth / 8);
  if (row > available || height > available / row) return -1;
  return row * height;
}

// Block from a bitmap or a mesh: both hand out three header values and their data.
void FromObject(std::int32_t number, std::int32_t id, const ObjectDataServices& services,
                std::int32_t no_data) {
  std::int32_t header[kPictureHeader] = {};
  std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  const bool got = services.DataOut && services.DataOut(id, 1, header, &data, &size) && data;
  if (!got && id != 0) return RuntimeError(no_data);
  BlockFill(number, header, kPictureHeader, data, got ? size : 0);
  if (services.DataOut) services.DataOut(id, 0, header, &data, &size);
}

}  // namespace

}  // namespace tessark::memblock

namespace tessark {

using namespace memblock;

void MemblockFromBitmap(std::int32_t number, std::int32_t bitmap) {
  if (!NumberChecked(number)) return;
  if (bitmap < 0 || bitmap > kObjectIdLast) return RuntimeError(error::kBitmapIdOutOfRange);
  FromObject(number, bitmap, State().bitmap, error::kBitmapMissing);
}

void BitmapFromMemblock(std::int32_t bitmap, std::int32_t number) {
  if (bitmap < 0 || bitmap > kObjectIdLast) return RuntimeError(error::kBitmapIdOutOfRange);
  const std::uint8_t* bytes = BlockChecked(number);
  if (!bytes) return;
  std::int32_t header[kPictureHeader];
  const std::int64_t pixels =
      HeaderRead(number, header, kPictureHeader) ? PictureBytes(number, header) : -1;
  if (pixels < 0) return RuntimeError(error::kBitmapMissing);
  if (State().bitmap.DataIn) {
    State().bitmap.DataIn(bitmap, header, bytes + 4 * kPictureHeader,
                          static_cast<std::int32_t>(pixels));
  }
}

void MemblockFromImage(std::int32_t number, std::int32_t image) {
  if (!NumberChecked(number)) return;
  if (image < 1 || image > kImageIdLast) return RuntimeError(error::kImageIdOutOfRange);
  MemblockState& s = State();
  std::int32_t header[kPictureHeader] = {};
  std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  if (s.image_get) s.image_get(image, &header[0], &header[1], &header[2], &data, &size);
  if (!data) {
    return RuntimeError(size == 1 ? error::kImageNoData : error::kImageMissing);
  }
  BlockFill(number, header, kPictureHeader, data, size);
  if (s.image_free) s.image_free(data);
}

void ImageFromMemblock(std::int32_t image, std::int32_t number) {
  if (image < 1 || image > kImageIdLast) return RuntimeError(error::kImageIdOutOfRange);
  const std::uint8_t* bytes = BlockChecked(number);
  if (!bytes) return;
  std::int32_t header[kPictureHeader];
  if (!HeaderRead(number, header, kPictureHeader) || PictureBytes(number, header) < 0) {
    return RuntimeError(error::kImageMissing);
  }
  if (State().image_set) {
    State().image_set(image, header[0], header[1], header[2], bytes + 4 * kPictureHeader);
  }
}

void MemblockFromSound(std::int32_t number, std::int32_t sound) {
  if (!NumberChecked(number)) return;
  if (sound < 1 || sound > kObjectIdLast) return RuntimeError(error::kSoundIdOutOfRange);
  const SoundDataServices& services = State().sound;
  SoundDataFormat format{};
  std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  if (!services.ToData || !services.ToData(1, sound, &format, &data, &size) || !data) {
    if (services.ToData) services.ToData(0, sound, nullptr, &data, nullptr);
    return RuntimeError(error::kSoundMissing);
  }
  const std::int32_t header[kSoundHeader] = {format.format_tag,         format.channels,
                                             format.samples_per_second, format.bytes_per_second,
                                             format.block_align,        format.bits_per_sample,
                                             format.extra_size};
  BlockFill(number, header, kSoundHeader, data, size);
  services.ToData(0, sound, nullptr, &data, nullptr);
}

void SoundFromMemblock(std::int32_t sound, std::int32_t number) {
  if (sound < 1 || sound > kObjectIdLast) return RuntimeError(error::kSoundIdOutOfRange);
  const std::uint8_t* bytes = BlockChecked(number);
  if (!bytes) return;
  std::int32_t h[kSoundHeader];
  // The wave format keeps tag, channels, block align, bits and extra size in 16 bits: a value
  // that does not fit is no format at all rather than one cut down to another.
  bool fits = HeaderRead(number, h, kSoundHeader);
  for (std::int32_t i : {0, 1, 4, 5, 6}) fits = fits && h[i] >= 0 && h[i] <= 0xFFFF;
  if (!fits) return RuntimeError(error::kSoundMissing);
  const SoundDataFormat format{h[0], h[1], h[2], h[3], h[4], h[5], h[6]};
  if (State().sound.FromData) {
    State().sound.FromData(sound, format, bytes + 4 * kSoundHeader,
                           State().sizes[number] - 4 * kSoundHeader);
  }
}

void MemblockFromMesh(std::int32_t number, std::int32_t mesh) {
  if (!NumberChecked(number)) return;
  if (mesh < 1 || mesh > kObjectIdLast) return RuntimeError(error::kMeshIdOutOfRange);
  FromObject(number, mesh, State().mesh, error::kMeshMissing);
}

void MeshFromMemblock(std::int32_t mesh, std::int32_t number) {
  if (mesh < 1 || mesh > kObjectIdLast) return RuntimeError(error::kMeshIdOutOfRange);
  const std::uint8_t* bytes = BlockChecked(number);
  if (!bytes) return;
  std::int32_t header[kPictureHeader];
  if (!HeaderRead(number, header, kPictureHeader)) return RuntimeError(error::kMeshMissing);
  if (State().mesh.DataIn) {
    State().mesh.DataIn(mesh, header, bytes + 4 * kPictureHeader,
                        State().sizes[number] - 4 * kPictureHeader);
  }
}

void MemblockFromArray(std::int32_t number, const MemblockArray* array) {
  if (!NumberChecked(number)) return;
  if (!array || array->count < 0 || array->element_size < 0 ||
      (!array->elements && array->count > 0)) {
    return RuntimeError(error::kArrayMissing);
  }
  if (array->element_size == 0) return RuntimeError(error::kArrayElementSizeZero);
  const std::int64_t bytes = static_cast<std::int64_t>(array->element_size) * array->count;
  std::uint8_t* block =
      bytes <= kSizeLimit ? BlockMake(number, static_cast<std::int32_t>(bytes)) : nullptr;
  if (!block) {
    BlockFree(number);
    return RuntimeError(error::kMemblockAllocFailed);
  }
  if (bytes > 0) std::memcpy(block, array->elements, static_cast<std::size_t>(bytes));
}

void ArrayFromMemblock(MemblockArray* array, std::int32_t number) {
  if (!NumberChecked(number)) return;
  if (!array || array->count < 0 || array->element_size < 0 ||
      (!array->elements && array->count > 0)) {
    return RuntimeError(error::kArrayMissing);
  }
  if (array->element_size == 0) return RuntimeError(error::kArrayElementSizeZero);
  const std::uint8_t* bytes = State().blocks[number];
  if (!bytes) return;
  // No more than the array holds, and no more than the block holds.
  std::int64_t count = static_cast<std::int64_t>(array->element_size) * array->count;
  if (count > State().sizes[number]) count = State().sizes[number];
  if (count > 0) std::memcpy(array->elements, bytes, static_cast<std::size_t>(count));
}

}  // namespace tessark
