// Fuzz target: the registry store file. Any bytes must read as some prefix of intact records,
// never crash, and what was read must write back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/win32/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (win32::testing::RegistryRecordsIn(text) < 0) std::abort();
  return 0;
}
