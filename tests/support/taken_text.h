// Test support: a text the runtime returned, copied out and given back with TextFree, so tests
// compare texts as values and leak nothing. A null result (never valid) reads as "<null>".
#pragma once

#include <string>

#include "tessark/core.h"

namespace tessark::testing {

inline std::string Taken(char* text) {
  std::string copy = text ? text : "<null>";
  TextFree(text);
  return copy;
}

}  // namespace tessark::testing
