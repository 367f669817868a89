// The display module on the headless runtime: set-up and modes, the collapsed mode list, the
// software vertex-processing fallback, lost-device recovery with the refresh broadcast in its
// order, present with and without a source rectangle, window fitting and the queries.
#include <string>
#include <utility>
#include <vector>

#include "tests/support/taken_text.h"
#include "platform/d3d9/d3d9.h"
#include "platform/win32/user.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/display/display_state.h"
#include "tessark/display.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

using tessark::CoreDataGet;
using tessark::Modules;
namespace display = tessark::display;

// Records (module, stage) for every RefreshD3D call while installed, then calls the module.
struct RefreshLog {
  static inline std::vector<std::string> calls;
  static inline tessark::ModuleEntries* slots[9];
  static inline void (*originals[9])(std::int32_t);
  static inline const char* names[9] = {"text",   "basic2d", "sprite", "image", "input",
                                        "system", "bitmap",  "sound",  "music"};
  template <int I>
  static void Spy(std::int32_t stage) {
    calls.push_back(std::string(names[I]) + ":" + std::to_string(stage));
    if (originals[I]) originals[I](stage);
  }
  template <int... I>
  static void InstallAll(std::integer_sequence<int, I...>) {
    tessark::ModuleTable& m = Modules();
    tessark::ModuleEntries* all[9] = {&m.text,   &m.basic2d, &m.sprite, &m.image, &m.input,
                                      &m.system, &m.bitmap,  &m.sound,  &m.music};
    ((slots[I] = all[I], originals[I] = all[I]->RefreshD3D, all[I]->RefreshD3D = &Spy<I>), ...);
    calls.clear();
  }
  static void Install() { InstallAll(std::make_integer_sequence<int, 9>{}); }
  static void Remove() {
    for (int i = 0; i < 9; ++i) slots[i]->RefreshD3D = originals[i];
  }
};

class DisplayTest : public tessark::testing::RuntimeFixture {
 protected:
  void TearDown() override {
    RuntimeFixture::TearDown();
    d3d9::testing::RestoreAll();
  }
  IDirect3DDevice9* Device() { return display::DisplayDevice(); }
  RECT Client() {
    RECT r{};
    win32::GetClientRect(CoreDataGet()->window, &r);
    return r;
  }
  // The style the window itself has.
  DWORD Style() {
    return static_cast<DWORD>(win32::GetWindowLongA(CoreDataGet()->window, GWL_STYLE)) &
           ~static_cast<DWORD>(WS_VISIBLE);
  }
  // A mode list for the next survey.
  void Modes(std::vector<D3DDISPLAYMODE> modes) {
    d3d9::testing::SetAdapterModes(modes, D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8});
    display::FindHardWareInfo();
  }
};

TEST_F(DisplayTest, OpensWindowedAndPresentsWithoutRectangles) {
  ASSERT_EQ(open_result_, 0);
  ASSERT_NE(Device(), nullptr);
  DisplaySetMode(640, 480, 32);
  EXPECT_EQ(error_word_, 0);
  tessark::CoreData* core = CoreDataGet();
  EXPECT_EQ(core->window_width, 640);
  EXPECT_EQ(core->display_width, 640);
  EXPECT_EQ(core->display_height, 480);
  EXPECT_EQ(core->display_depth, 32);
  RECT c = Client();
  EXPECT_EQ(c.right - c.left, 640);
  EXPECT_EQ(c.bottom - c.top, 480);
  EXPECT_EQ(DisplayWindowed(), 1);
  int before = Device()->present_count;
  tessark::testing::RunFrames(1);
  EXPECT_GT(Device()->present_count, before);
  EXPECT_FALSE(Device()->last_present_had_source);
  // The render surfaces are bound into CoreData.
  EXPECT_NE(core->back_buffer_surface, nullptr);
  EXPECT_EQ(core->render_surface, core->back_buffer_surface);
  EXPECT_NE(core->depth_surface, nullptr);
}

TEST_F(DisplayTest, LargerModeShowsOnlyTheAskedForRectangle) {
  Modes({{640, 480, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8}});
  DisplaySetMode(700, 500, 32);
  EXPECT_EQ(error_word_, 0);
  Ref<IDirect3DSurface9> back;
  Device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  D3DSURFACE_DESC desc;
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 800u);
  EXPECT_EQ(desc.Height, 600u);
  tessark::testing::RunFrames(1);
  EXPECT_TRUE(Device()->last_present_had_source);
  RECT s = Device()->last_present_source;
  EXPECT_EQ(s.left, 0);
  EXPECT_EQ(s.top, 0);
  EXPECT_EQ(s.right, 700);
  EXPECT_EQ(s.bottom, 500);
}

TEST_F(DisplayTest, RefreshRatesOfOneSizeCollapseToTheLast) {
  Modes({{640, 480, 60, D3DFMT_X8R8G8B8},
         {640, 480, 75, D3DFMT_X8R8G8B8},
         {800, 600, 60, D3DFMT_X8R8G8B8},
         {640, 480, 60, D3DFMT_R5G6B5},
         {640, 480, 60, D3DFMT_X1R5G5B5}});
  const auto& modes = display::State().adapters[0].modes;
  // X8R8G8B8 first, then X1R5G5B5, then R5G6B5: the survey's format order. The two 16-bit
  // formats are enumerated separately, so they do not collapse into each other.
  ASSERT_EQ(modes.size(), 4u);
  EXPECT_EQ(modes[0].width, 640u);
  EXPECT_EQ(modes[0].refresh, 75u);
  EXPECT_EQ(modes[1].width, 800u);
  EXPECT_EQ(modes[2].format, D3DFMT_X1R5G5B5);
  EXPECT_EQ(modes[3].format, D3DFMT_R5G6B5);
  EXPECT_EQ(DisplayModeCount(), 4);
  EXPECT_EQ(tessark::testing::Taken(DisplayModeDescription(0)), "640 x 480 x 32");
  EXPECT_EQ(tessark::testing::Taken(DisplayModeDescription(2)), "640 x 480 x 16");
  EXPECT_EQ(tessark::testing::Taken(DisplayModeDescription(4)), "");
  EXPECT_EQ(tessark::testing::Taken(DisplayModeDescription(-1)), "");
}

TEST_F(DisplayTest, TenBitModesDescribeAsSixteen) {
  Modes({{640, 480, 60, D3DFMT_A2R10G10B10}});
  EXPECT_EQ(tessark::testing::Taken(DisplayModeDescription(0)), "640 x 480 x 16");
}

TEST_F(DisplayTest, DepthTwentyFourLeavesTheDeviceAndModulesWithoutResources) {
  IDirect3DDevice9* device = Device();
  RefreshLog::Install();
  DisplaySetMode(640, 480, 24);
  RefreshLog::Remove();
  EXPECT_EQ(error_word_, 1514);
  EXPECT_EQ(Device(), device);
  // Released before the failure, and not told to re-create.
  for (const std::string& call : RefreshLog::calls) EXPECT_EQ(call.back(), '0') << call;
}

TEST_F(DisplayTest, RefusedSettingsGiveTheirCodes) {
  struct Case {
    std::int32_t w, h, depth, windowed, vp, lockable, code;
  } cases[] = {{0, 480, 32, 1, 0, 1, 1501},    {640, -1, 32, 1, 0, 1, 1501},
               {640, 480, 8, 1, 0, 1, 1502},   {640, 480, 32, 2, 0, 1, 1503},
               {640, 480, 32, 1, 5, 1, 1508},  {640, 480, 32, 1, 0, 2, 1509},
               {5000, 480, 32, 1, 0, 1, 1507}, {5000, 480, 16, 1, 0, 1, 1505}};
  for (const Case& c : cases) {
    error_word_ = 0;
    EXPECT_FALSE(display::DisplayConfigure(c.w, c.h, c.depth, c.windowed, c.vp, c.lockable));
    EXPECT_EQ(error_word_, c.code) << c.w << " " << c.depth;
  }
}

TEST_F(DisplayTest, RefusedHardwareVertexProcessingFallsBackToSoftware) {
  d3d9::testing::FailCreateDevice(D3DERR_NOTAVAILABLE, D3DCREATE_HARDWARE_VERTEXPROCESSING);
  DisplaySetMode(640, 480, 32);
  EXPECT_EQ(error_word_, 0);
  ASSERT_NE(Device(), nullptr);
  EXPECT_EQ(CoreDataGet()->software_vertex_processing, 1);
  D3DDEVICE_CREATION_PARAMETERS cp;
  Device()->GetCreationParameters(&cp);
  EXPECT_EQ(cp.BehaviorFlags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
}

TEST_F(DisplayTest, DeviceCreationFailureCodes) {
  struct Case {
    HRESULT hr;
    std::int32_t code;
  } cases[] = {
      {D3DERR_INVALIDCALL, 1511}, {D3DERR_NOTAVAILABLE, 1512}, {D3DERR_OUTOFVIDEOMEMORY, 1513}};
  for (const Case& c : cases) {
    d3d9::testing::FailCreateDevice(c.hr, 0);
    error_word_ = 0;
    DisplaySetMode(640, 480, 32);
    EXPECT_EQ(error_word_, c.code);
  }
  d3d9::testing::FailCreateDevice(D3D_OK, 0);
  error_word_ = 0;
  DisplaySetMode(640, 480, 32);
  EXPECT_EQ(error_word_, 0);
  EXPECT_NE(Device(), nullptr);
}

TEST_F(DisplayTest, LostDeviceIsRecreatedAndEveryModuleRefreshedInOrder) {
  tessark::testing::RunFrames(1);
  IDirect3DDevice9* old_device = Device();
  d3d9::testing::LoseDevice(old_device, false);
  RefreshLog::Install();
  tessark::testing::RunFrames(2);  // lost, not yet resettable: frames go on, nothing happens
  EXPECT_TRUE(RefreshLog::calls.empty());
  EXPECT_EQ(Device(), old_device);
  d3d9::testing::LoseDevice(old_device, true);
  tessark::testing::RunFrames(1);
  RefreshLog::Remove();
  EXPECT_NE(Device(), nullptr);
  EXPECT_EQ(Device()->TestCooperativeLevel(), D3D_OK);
  // Every present module was told: all releases first, then all re-creations, in the fixed
  // module order.
  std::vector<std::string> want;
  tessark::ModuleTable& m = Modules();
  tessark::ModuleEntries* all[9] = {&m.text,   &m.basic2d, &m.sprite, &m.image, &m.input,
                                    &m.system, &m.bitmap,  &m.sound,  &m.music};
  for (int stage = 0; stage < 2; ++stage) {
    for (int i = 0; i < 9; ++i) {
      want.push_back(std::string(RefreshLog::names[i]) + ":" + std::to_string(stage));
    }
  }
  (void)all;
  EXPECT_EQ(RefreshLog::calls, want);
  EXPECT_NE(CoreDataGet()->back_buffer_surface, nullptr);
  EXPECT_EQ(error_word_, 0);
}

TEST_F(DisplayTest, LargerWindowKeepsTheMeasuredFrame) {
  RECT outer_before{};
  win32::GetWindowRect(CoreDataGet()->window, &outer_before);
  RECT client_before = Client();
  int extra_w =
      (outer_before.right - outer_before.left) - (client_before.right - client_before.left);
  int extra_h =
      (outer_before.bottom - outer_before.top) - (client_before.bottom - client_before.top);
  DisplaySetMode(800, 600, 32);
  EXPECT_EQ(error_word_, 0);
  RECT c = Client();
  EXPECT_EQ(c.right - c.left, 800);
  EXPECT_EQ(c.bottom - c.top, 600);
  RECT outer{};
  win32::GetWindowRect(CoreDataGet()->window, &outer);
  EXPECT_EQ(outer.right - outer.left, 800 + extra_w);
  EXPECT_EQ(outer.bottom - outer.top, 600 + extra_h);
  EXPECT_EQ(display::State().frame_extra_width, extra_w);
}

TEST_F(DisplayTest, MinimiseThenRestoreEndsWithShowNormal) {
  WindowMinimise();
  EXPECT_EQ(display::State().show_command, SW_MINIMIZE);
  WindowRestore();
  EXPECT_EQ(display::State().show_command, SW_SHOWNORMAL);
  display::WindowApply(false, false);
  EXPECT_TRUE(win32::IsWindowVisible(CoreDataGet()->window));
}

TEST_F(DisplayTest, GammaAndQueries) {
  std::int32_t r = 0, g = 0, b = 0;
  DisplayGamma(&r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 255);
  DisplaySetGamma(200, 255, 300);
  DisplayGamma(&r, &g, &b);
  EXPECT_EQ(r, 200);
  EXPECT_EQ(b, 300);
  DisplayGamma(nullptr, &g, nullptr);  // reported, and the pointer that is there is written
  EXPECT_EQ(g, 255);
  EXPECT_EQ(DisplayAdapterCount(), 1);
  EXPECT_GT(DisplayModeCount(), 0);
}

TEST_F(DisplayTest, FullScreenAndBackToWindowed) {
  DisplaySwitchFullScreen();
  EXPECT_EQ(DisplayWindowed(), 0);
  EXPECT_EQ(CoreDataGet()->window_mode, 3);
  // Full screen: a borderless window without a caption.
  EXPECT_TRUE(Style() & WS_POPUP);
  EXPECT_FALSE(Style() & (WS_CAPTION | WS_THICKFRAME));
  DisplaySwitchWindowed();
  EXPECT_EQ(DisplayWindowed(), 1);
  EXPECT_EQ(CoreDataGet()->window_mode, 1);
  EXPECT_EQ(Style(), static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  RECT c = Client();
  EXPECT_EQ(c.right - c.left, 640);
  EXPECT_NE(Device(), nullptr);
}

// What each window style does to the window itself: its style bits, and how much the window is
// made larger than the 640 by 480 display for its frame (from the frame size measured for the
// overlapped window).
TEST_F(DisplayTest, WindowStyles) {
  display::State().frame_extra_width = 16;
  display::State().frame_extra_height = 39;
  auto frame = [&] {
    RECT r{};
    win32::GetWindowRect(CoreDataGet()->window, &r);
    return std::pair<LONG, LONG>{(r.right - r.left) - 640, (r.bottom - r.top) - 480};
  };
  WindowSetStyle(2, 0, 0);  // a popup with a caption of its own but no frame added
  EXPECT_TRUE(Style() & WS_POPUP);
  EXPECT_EQ(Style() & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_EQ(frame().first, 0);
  WindowSetStyle(3, 1, 1);  // the caption flag: a frame two pixels narrower than the measured one
  EXPECT_TRUE(Style() & WS_POPUP);
  EXPECT_EQ(Style() & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
  EXPECT_EQ(frame(), (std::pair<LONG, LONG>{14, 37}));
  WindowSetStyle(9, 0, 1);  // any other style: a bare popup
  EXPECT_EQ(Style(), static_cast<DWORD>(WS_POPUP));
  EXPECT_EQ(frame().first, 0);
  WindowSetStyle(1, 0, 1);  // the overlapped window with its whole frame
  EXPECT_EQ(Style(), static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(frame(), (std::pair<LONG, LONG>{16, 39}));
}

}  // namespace
