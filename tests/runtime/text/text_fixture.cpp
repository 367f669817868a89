// The text module's own fixture: see text_fixture.h.
#include "runtime/core/check_list.h"
#include "runtime/core/text_alloc.h"
#include "tests/runtime/text/text_fixture.h"
#include "tests/support/windowed_device.h"

namespace text_test {

namespace {

Ref<IDirect3D9> g_d3d;
Ref<IDirect3DDevice9> g_device;
Ref<IDirect3DSurface9> g_back_buffer;
std::vector<Basic2dCall> g_calls;

IDirect3DDevice9* DisplayDevice() {
  return g_device.Get();
}

// Records the box and fills it in the ink, as the 2D module does (a clear of that rectangle).
void FakeBox(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  const std::uint32_t ink = tessark::CoreDataGet()->ink;
  g_calls.push_back({Basic2dCall::kBox, left, top, right, bottom, 0, 0, ink});
  const D3DRECT rect{left, top, right, bottom};
  if (right > left && bottom > top) g_device->Clear(1, &rect, D3DCLEAR_TARGET, ink, 0.0f, 0);
}

void FakeCopy(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e,
              std::int32_t f) {
  g_calls.push_back({Basic2dCall::kCopy, a, b, c, d, e, f, tessark::CoreDataGet()->ink});
}

}  // namespace

IDirect3DDevice9* Device() {
  return g_device.Get();
}

std::vector<Basic2dCall>& Basic2dCalls() {
  return g_calls;
}

void TextFixture::SetUp() {
  tessark::CoreDataDefaults();
  tessark::ModuleTable& table = tessark::Modules();
  table = tessark::ModuleTable{};
  tessark::text::Wire(table);
  table.display.DisplayDevice = DisplayDevice;
  table.basic2d_services.BoxDraw = FakeBox;
  table.basic2d_services.AreaCopy = FakeCopy;
  g_calls.clear();

  g_d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  ASSERT_TRUE(g_d3d);
  ASSERT_EQ(tessark::testing::CreateWindowedDevice(g_d3d.Get(), kWidth, kHeight, g_device.Put(),
                                                   D3DPRESENTFLAG_LOCKABLE_BACKBUFFER),
            D3D_OK);
  ASSERT_EQ(g_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, g_back_buffer.Put()), D3D_OK);
  tessark::CoreData& c = core();
  c.TextAlloc = tessark::TextAlloc;
  c.display_width = c.window_width = kWidth;
  c.display_height = c.window_height = kHeight;
  c.render_surface = c.back_buffer_surface = g_back_buffer.Get();
  g_device->BeginScene();
  Clear(0xFF000000u);

  table.text.Constructor(nullptr);
  table.text.SetErrorHandler(&error_word_);
  table.text.PassCoreData(&c);
}

void TextFixture::TearDown() {
  tessark::Modules().text.Destructor();
  tessark::CheckListFree();
  if (g_device) g_device->EndScene();
  g_back_buffer.Reset();
  g_device.Reset();
  g_d3d.Reset();
  d3d9::testing::RestoreAll();
}

void TextFixture::Clear(std::uint32_t colour) {
  g_device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 0.0f, 0);
}

std::vector<std::uint32_t> TextFixture::Pixels() {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  D3DLOCKED_RECT locked{};
  if (FAILED(g_back_buffer->LockRect(&locked, nullptr, 0))) return pixels;
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<const std::uint32_t*>(
        static_cast<const BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch);
    for (int x = 0; x < kWidth; ++x)
      pixels[static_cast<std::size_t>(y) * kWidth + x] = row[x] | 0xFF000000u;
  }
  g_back_buffer->UnlockRect();
  return pixels;
}

RECT TextFixture::InkBox(const std::vector<std::uint32_t>& pixels, std::uint32_t background) {
  RECT box{kWidth, kHeight, 0, 0};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (pixels[static_cast<std::size_t>(y) * kWidth + x] != background) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

}  // namespace text_test
