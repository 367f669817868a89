// The memory-block module's state and internals: the two 258-entry tables (block bytes and
// sizes, entry 0 unused), the other modules' data services bound at PassCoreData.
#pragma once

#include <cstdint>

#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/errors.h"

namespace tessark::memblock {

constexpr std::int32_t kTableSize = 258;
constexpr std::int32_t kNumberLast = 257;
constexpr std::int32_t kCopyNumberLast = 255;

struct MemblockState {
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
  std::uint8_t* blocks[kTableSize] = {};
  std::int32_t sizes[kTableSize] = {};
  // The bytes each block was made with: the size table may be lowered (the set-size service)
  // but never raised past them.
  std::int32_t allocated[kTableSize] = {};
  // Conversion services of other modules, bound at PassCoreData.
  ObjectDataServices bitmap;
  ObjectDataServices mesh;
  SoundDataServices sound;
  void (*image_get)(std::int32_t, std::int32_t*, std::int32_t*, std::int32_t*, std::uint8_t**,
                    std::int32_t*) = nullptr;
  void (*image_free)(std::uint8_t*) = nullptr;
  void (*image_set)(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    const std::uint8_t*) = nullptr;

  MemblockState() = default;
  MemblockState(const MemblockState&) = delete;
  MemblockState& operator=(const MemblockState&) = delete;
  ~MemblockState() { FreeAll(); }
  void FreeAll();
};

MemblockState& State();

// Frees block number when it exists (no checks, no errors).
void BlockFree(std::int32_t number);
// Frees block number, then makes it size zeroed bytes; null when the memory is not there.
std::uint8_t* BlockMake(std::int32_t number, std::int32_t size);
// Raises 5101 for a number outside 1 to last and 5103 for a missing block; the block or null.
std::uint8_t* BlockChecked(std::int32_t number, std::int32_t last = kNumberLast);
// Raises 5101 for a number outside 1 to 257; true when it is inside.
bool NumberChecked(std::int32_t number);

}  // namespace tessark::memblock
