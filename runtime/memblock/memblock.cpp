// Memory blocks: the module's entries, its two tables and the services it offers other modules,
// and the operations that make, free, query, copy, read and write blocks. Conversions to and
// from other modules' objects are in memblock_convert.cpp.
#include <cstdlib>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/memblock/memblock_state.h"
#include "tessark/memblock.h"

namespace tessark::memblock {

namespace {

// Raises 5105 unless position .. position + width - 1 lies inside the block.
bool PositionChecked(std::int32_t number, std::int32_t position, std::int32_t width) {
  const std::int64_t last = static_cast<std::int64_t>(State().sizes[number]) - width;
  if (position < 0 || position > last) {
    RuntimeError(error::kMemblockPositionOutOfRange);
    return false;
  }
  return true;
}

// The block's bytes at position for an access of width bytes, or null after an error.
std::uint8_t* At(std::int32_t number, std::int32_t position, std::int32_t width) {
  std::uint8_t* bytes = BlockChecked(number);
  if (!bytes || !PositionChecked(number, position, width)) return nullptr;
  return bytes + position;
}

template <typename T>
void Store(std::int32_t number, std::int32_t position, T value) {
  if (std::uint8_t* at = At(number, position, sizeof(T))) std::memcpy(at, &value, sizeof(T));
}

template <typename T>
T Load(std::int32_t number, std::int32_t position) {
  T value{};
  if (const std::uint8_t* at = At(number, position, sizeof(T))) std::memcpy(&value, at, sizeof(T));
  return value;
}

// The five services (and the two tables) for the file module: no errors, null or 0 instead.
bool InRange(std::int32_t number) {
  return number >= 1 && number <= kNumberLast;
}
// Make frees the block of that number first, whatever the size, and then makes it as
// MemblockMake would: a size of 0 or less makes nothing. So a file whose size field reads 0 or
// more than the block can hold leaves no block behind rather than the one that was there before
// (the file module raises 5104). An empty block (only MemblockFromArray of an empty array makes
// one) written out with its size therefore reads back as no block and 5104, like any other
// size that MemblockMake refuses.
std::uint8_t* ServiceMake(std::int32_t number, std::int32_t size) {
  if (!InRange(number)) return nullptr;
  BlockFree(number);
  return size > 0 ? BlockMake(number, size) : nullptr;
}
void ServiceFree(std::int32_t number) {
  if (InRange(number)) BlockFree(number);
}
std::int32_t ServiceSize(std::int32_t number) {
  return InRange(number) && State().blocks[number] ? State().sizes[number] : 0;
}
// Every bounds check trusts the size table, so a size is taken only when the block's bytes
// reach that far.
void ServiceSetSize(std::int32_t number, std::int32_t size) {
  if (InRange(number) && State().blocks[number] && size >= 0 && size <= State().allocated[number]) {
    State().sizes[number] = size;
  }
}
std::uint8_t* ServiceAddress(std::int32_t number) {
  return InRange(number) ? State().blocks[number] : nullptr;
}
std::uint8_t* const* BlockTable() {
  return State().blocks;
}
const std::int32_t* SizeTable() {
  return State().sizes;
}

void Constructor(void* /*handle*/) {
  State().FreeAll();
}

void SetErrorHandler(std::int32_t* error_word) {
  State().error_word = error_word;
}

void PassCoreData(CoreData* core) {
  MemblockState& s = State();
  s.core = core;
  const ModuleTable& table = Modules();
  s.bitmap = table.bitmap_data_services;
  s.mesh = table.mesh_data_services;
  s.sound = table.sound_data_services;
  s.image_get = table.image_services.ImageGetData;
  s.image_free = table.image_services.ImageDataFree;
  s.image_set = table.image_services.ImageSetData;
}

void Destructor() {
  MemblockState& s = State();
  s.FreeAll();
  s.bitmap = {};
  s.mesh = {};
  s.sound = {};
  s.image_get = nullptr;
  s.image_free = nullptr;
  s.image_set = nullptr;
}

}  // namespace

void MemblockState::FreeAll() {
  for (std::int32_t i = 0; i < kTableSize; ++i) {
    std::free(blocks[i]);
    blocks[i] = nullptr;
    sizes[i] = 0;
    allocated[i] = 0;
  }
}

MemblockState& State() {
  static MemblockState state;
  return state;
}

void BlockFree(std::int32_t number) {
  MemblockState& s = State();
  std::free(s.blocks[number]);
  s.blocks[number] = nullptr;
  s.allocated[number] = 0;
}

std::uint8_t* BlockMake(std::int32_t number, std::int32_t size) {
  BlockFree(number);
  if (size < 0) return nullptr;
  // A block of 0 bytes (an empty array) still gets an address of its own.
  auto* bytes = static_cast<std::uint8_t*>(std::calloc(size > 0 ? size : 1, 1));
  if (!bytes) return nullptr;
  State().blocks[number] = bytes;
  State().sizes[number] = size;
  State().allocated[number] = size;
  return bytes;
}

bool NumberChecked(std::int32_t number) {
  if (!InRange(number)) {
    RuntimeError(error::kMemblockNumberOutOfRange);
    return false;
  }
  return true;
}

std::uint8_t* BlockChecked(std::int32_t number, std::int32_t last) {
  if (number < 1 || number > last) {
    RuntimeErrorDetail(error::kMemblockNumberOutOfRange, "memory block %d is outside 1 to %d",
                       number, last);
    return nullptr;
  }
  std::uint8_t* bytes = State().blocks[number];
  if (!bytes) RuntimeErrorDetail(error::kMemblockMissing, "memory block %d does not exist", number);
  return bytes;
}

void Wire(ModuleTable& table) {
  table.memblock.Constructor = Constructor;
  table.memblock.SetErrorHandler = SetErrorHandler;
  table.memblock.PassCoreData = PassCoreData;
  table.memblock.Destructor = Destructor;
  MemblockServices& services = table.memblock_services;
  services.Make = ServiceMake;
  services.Free = ServiceFree;
  services.Size = ServiceSize;
  services.SetSize = ServiceSetSize;
  services.Address = ServiceAddress;
  services.BlockTable = BlockTable;
  services.SizeTable = SizeTable;
}

}  // namespace tessark::memblock

namespace tessark {

using namespace memblock;

void MemblockMake(std::int32_t number, std::int32_t size) {
  if (!NumberChecked(number)) return;
  if (State().blocks[number]) return RuntimeError(error::kMemblockExists);
  if (size <= 0) return RuntimeError(error::kMemblockSizeInvalid);
  if (!BlockMake(number, size)) RuntimeError(error::kMemblockAllocFailed);
}

void MemblockDelete(std::int32_t number) {
  if (BlockChecked(number)) BlockFree(number);
}

bool MemblockExists(std::int32_t number) {
  return NumberChecked(number) && State().blocks[number] != nullptr;
}

std::uint8_t* MemblockAddress(std::int32_t number) {
  return BlockChecked(number);
}

std::int32_t MemblockSize(std::int32_t number) {
  return BlockChecked(number) ? State().sizes[number] : 0;
}

void MemblockCopy(std::int32_t source, std::int32_t destination, std::int32_t source_position,
                  std::int32_t destination_position, std::int32_t length) {
  std::uint8_t* from = BlockChecked(source, kCopyNumberLast);
  if (!from) return;
  std::uint8_t* to = BlockChecked(destination, kCopyNumberLast);
  if (!to) return;
  const std::int64_t from_size = State().sizes[source];
  const std::int64_t to_size = State().sizes[destination];
  // 64-bit sums: a position near the 32-bit limit plus a length must not wrap into range.
  if (source_position < 0 || source_position >= from_size || destination_position < 0 ||
      destination_position >= to_size || length < 0 ||
      static_cast<std::int64_t>(source_position) + length > from_size ||
      static_cast<std::int64_t>(destination_position) + length > to_size) {
    return RuntimeError(error::kMemblockPositionOutOfRange);
  }
  std::memmove(to + destination_position, from + source_position, static_cast<std::size_t>(length));
}

void MemblockWriteByte(std::int32_t number, std::int32_t position, std::int32_t value) {
  std::uint8_t* at = At(number, position, 1);
  if (!at) return;
  if (value < 0 || value > 0xFF) return RuntimeError(error::kMemblockByteOutOfRange);
  *at = static_cast<std::uint8_t>(value);
}

void MemblockWriteByteModulo(std::int32_t number, std::int32_t position, std::int32_t value) {
  Store(number, position, static_cast<std::uint8_t>(value & 0xFF));
}

std::int32_t MemblockReadByte(std::int32_t number, std::int32_t position) {
  return Load<std::uint8_t>(number, position);
}

void MemblockWriteWord(std::int32_t number, std::int32_t position, std::int32_t value) {
  if (!At(number, position, 2)) return;
  if (value < 0 || value > 0xFFFF) return RuntimeError(error::kMemblockWordOutOfRange);
  Store(number, position, static_cast<std::uint16_t>(value));
}

void MemblockWriteWordModulo(std::int32_t number, std::int32_t position, std::int32_t value) {
  Store(number, position, static_cast<std::uint16_t>(value & 0xFFFF));
}

std::int32_t MemblockReadWord(std::int32_t number, std::int32_t position) {
  return Load<std::uint16_t>(number, position);
}

void MemblockWriteDword(std::int32_t number, std::int32_t position, std::int32_t value) {
  Store(number, position, value);
}

std::int32_t MemblockReadDword(std::int32_t number, std::int32_t position) {
  return Load<std::int32_t>(number, position);
}

void MemblockWriteFloat(std::int32_t number, std::int32_t position, float value) {
  Store(number, position, value);
}

float MemblockReadFloat(std::int32_t number, std::int32_t position) {
  return Load<float>(number, position);
}

}  // namespace tessark
