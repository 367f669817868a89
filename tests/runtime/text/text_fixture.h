// A fixture that runs the text module alone on a software device of its own: the module table
// holds only the text module's entries, a display entry handing out the test's device, and 2D
// services that record what the print engine asks of them. Pixels are read from the back buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/text/text_state.h"
#include "tessark/text.h"

using namespace tessark;

namespace tessark::text {
void Wire(ModuleTable& table);
}

namespace text_test {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// What the 2D services were asked to do.
struct Basic2dCall {
  enum Kind { kBox, kCopy } kind;
  std::int32_t a, b, c, d, e, f;
  std::uint32_t ink;
};

class TextFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Clears the back buffer to a colour (0xAARRGGBB).
  void Clear(std::uint32_t colour);
  // The back buffer's pixels, row after row.
  std::vector<std::uint32_t> Pixels();
  // The bounding box of the pixels that differ from `background` (right, bottom exclusive).
  static RECT InkBox(const std::vector<std::uint32_t>& pixels, std::uint32_t background);

  tessark::CoreData& core() { return *tessark::CoreDataGet(); }
  // The module's state as the next draw sees it: the atlas built for the current settings.
  tessark::text::TextState& state() {
    tessark::text::AtlasEnsure();
    return tessark::text::State();
  }

  std::int32_t error_word_ = 0;
};

// The device of the running test, and the calls recorded by the fake 2D services.
IDirect3DDevice9* Device();
std::vector<Basic2dCall>& Basic2dCalls();

}  // namespace text_test
