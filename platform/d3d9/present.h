// The pieces of Present that do not need a window: the refresh clock that stands in for the
// retrace where the way to the screen has none, and the nearest-pixel scaling of a back buffer
// rectangle onto a window surface.
#pragma once

#include <cstdint>
#include <vector>

namespace d3d9_internal {

// How frames reach the screen; chosen when a device attaches to its window.
enum class PresentPath {
  kNone,      // no window: nothing is shown, drawing still works
  kSurface,   // the window's own surface (shared memory on X11), scaled here when needed
  kRenderer,  // an SDL renderer on a hardware GPU, scaling and waiting for the retrace itself
};

// Ticks at multiples of the display's refresh period. A frame presented with interval one is
// shown at the first tick after the present, and never at the tick the previous frame took,
// so two presents inside one refresh period show one refresh apart, as on a real display.
class RefreshClock {
 public:
  explicit RefreshClock(std::uint64_t period_ns) : period_(period_ns ? period_ns : 1) {}
  std::uint64_t Period() const { return period_; }
  void SetPeriod(std::uint64_t period_ns) { period_ = period_ns ? period_ns : 1; }
  // The time (in the clock's own nanoseconds) at which a frame presented at now is shown.
  std::uint64_t NextTick(std::uint64_t now_ns);

 private:
  std::uint64_t period_;
  std::uint64_t last_ = 0;  // the tick the last frame took; 0 before any
};

// The refresh period of a display that refreshes hz times a second; 60 Hz when hz is unknown.
std::uint64_t RefreshPeriodNs(int hz);

// Which source column each destination column of a nearest-pixel scaling takes. The table
// depends on both widths and is made again whenever either changes, so that repeated frames of
// one size allocate nothing and a frame of another source width never reads with an old table.
class ColumnTable {
 public:
  const int* For(int src_w, int dst_w);

 private:
  int src_w_ = 0;
  int dst_w_ = 0;
  std::vector<int> columns_;
};

// Copies a src_w by src_h block of 32-bit pixels to a dst_w by dst_h block, each destination
// pixel taking the source pixel its centre falls in. columns is kept by the caller across
// frames. The top byte is copied as it is.
void ScaleNearest32(const std::uint8_t* src, int src_pitch, int src_w, int src_h, std::uint8_t* dst,
                    int dst_pitch, int dst_w, int dst_h, ColumnTable& columns);

}  // namespace d3d9_internal
