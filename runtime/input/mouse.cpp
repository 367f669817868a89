// Mouse queries and the cursor. Buttons and movement come from the mouse device; the position
// is the one the window procedure keeps in CoreData, already in display pixels.
#include <cstring>
#include <utility>

#include "runtime/input/input_state.h"
#include "tessark/input.h"

namespace tessark::input {

void MouseRefresh() {
  InputState& s = State();
  if (!s.mouse) {
    std::memset(&s.mouse_state, 0, sizeof s.mouse_state);
    return;
  }
  if (FAILED(s.mouse->GetDeviceState(sizeof s.mouse_state, &s.mouse_state))) {
    s.mouse->Acquire();
    if (FAILED(s.mouse->GetDeviceState(sizeof s.mouse_state, &s.mouse_state))) {
      std::memset(&s.mouse_state, 0, sizeof s.mouse_state);
      return;
    }
  }
  // Sums wrap like the 32-bit counters they are, rather than overflowing.
  auto add = [](std::int32_t& sum, LONG delta) {
    sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) +
                                    static_cast<std::uint32_t>(delta));
  };
  add(s.move_x, s.mouse_state.lX);
  add(s.move_y, s.mouse_state.lY);
  add(s.move_z, s.mouse_state.lZ);
  add(s.wheel, s.mouse_state.lZ);
}

}  // namespace tessark::input

namespace tessark {

using namespace tessark::input;

std::int32_t MouseX() {
  MouseRefresh();
  const InputState& s = State();
  return s.core ? s.core->mouse_x : 0;
}

std::int32_t MouseY() {
  MouseRefresh();
  const InputState& s = State();
  return s.core ? s.core->mouse_y : 0;
}

std::int32_t MouseZ() {
  MouseRefresh();
  return State().wheel;
}

std::int32_t MouseButtons() {
  MouseRefresh();
  InputState& s = State();
  std::int32_t bits = 0;
  for (int b = 0; b < 4; ++b)
    if (s.mouse_state.rgbButtons[b] & 0x80) bits |= 1 << b;
  std::memset(&s.mouse_state, 0, sizeof s.mouse_state);
  return bits;
}

std::int32_t MouseMoveX() {
  MouseRefresh();
  return std::exchange(State().move_x, 0);
}

std::int32_t MouseMoveY() {
  MouseRefresh();
  return std::exchange(State().move_y, 0);
}

std::int32_t MouseMoveZ() {
  MouseRefresh();
  return std::exchange(State().move_z, 0);
}

void MouseShow() {
  InputState& s = State();
  if (!s.core || s.core->cursor_visible != 0) return;
  s.core->cursor_visible = 1;
  CursorShow(true);
}

void MouseHide() {
  InputState& s = State();
  if (!s.core || s.core->cursor_visible != 1) return;
  s.core->cursor_visible = 0;
  CursorShow(false);
}

void MousePlace(std::int32_t x, std::int32_t y) {
  InputState& s = State();
  if (!s.core) return;
  RECT client{}, outer{};
  if (!WindowRects(s.window, &client, &outer)) return;
  LONG client_w = client.right - client.left, client_h = client.bottom - client.top;
  LONG outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
  // A window with no client area (minimised) or no size has no display-to-client scale.
  if (client_w <= 0 || client_h <= 0 || s.core->window_width <= 0 || s.core->window_height <= 0)
    return;
  double scale_x = static_cast<double>(s.core->window_width) / client_w;
  double scale_y = static_cast<double>(s.core->window_height) / client_h;
  auto px = static_cast<std::int32_t>(x / scale_x);
  auto py = static_cast<std::int32_t>(y / scale_y);
  // The client area sits inside the frame: side borders of equal width, the caption on top.
  // A frameless window has no borders, but may still stand anywhere on the screen, so its
  // position is added too.
  LONG border = (outer_w - client_w) / 2;
  px = px + outer.left + border;
  py = py + outer.top + (outer_h - client_h) - border;
  s.core->mouse_x = px;
  s.core->mouse_y = py;
  CursorMove(px, py);
}

void MouseCursorImage(std::int32_t index) {
  const InputState& s = State();
  if (s.core && s.core->CursorSelect) s.core->CursorSelect(index);
}

}  // namespace tessark
