// The DirectInput stand-in driven by real SDL events under the dummy video driver: keyboard
// and mouse state, acquisition and the foreground rule, controllers on SDL's virtual
// joysticks, and effects through the pretend force-feedback hook.
#include "platform/dinput/dinput.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/event_source.h"

namespace {

const HWND kWindow = reinterpret_cast<HWND>(std::uintptr_t{0x1000});

void Push(SDL_Event event) {
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

void Key(SDL_Scancode code, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = code;
  Push(e);
}

void Button(Uint8 button, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  Push(e);
}

void Motion(int dx, int dy) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.xrel = dx;
  e.motion.yrel = dy;
  Push(e);
}

void Wheel(int notches, bool flipped = false) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = notches;
  e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
  Push(e);
}

void Focus(bool gained) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  Push(e);
}

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, &di_), DI_OK);
    win32::PumpSdlEvents();
  }
  void TearDown() override {
    dinput::testing::PretendForceFeedback(false);
    di_.Reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  dinput::Ref<IDirectInputDevice8A> Open(const GUID& guid, const DIDATAFORMAT& format,
                                         DWORD level) {
    dinput::Ref<IDirectInputDevice8A> device;
    EXPECT_EQ(di_->CreateDevice(guid, &device), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(kWindow, level), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }

  dinput::Ref<IDirectInput8A> di_;
};

TEST_F(DirectInputTest, InterfaceVersionIsChecked) {
  dinput::Ref<IDirectInput8A> other;
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, &other), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_FALSE(other);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, &other), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, KeyboardFollowsKeyEventsByScanCode) {
  auto kb = Open(GUID_SysKeyboard, c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  BYTE keys[256];
  Key(SDL_SCANCODE_ESCAPE, true);
  Key(SDL_SCANCODE_UP, true);
  Key(SDL_SCANCODE_RCTRL, true);
  ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_ESCAPE], 0x80);
  EXPECT_EQ(keys[200], 0x80);  // up arrow
  EXPECT_EQ(keys[157], 0x80);  // right control
  EXPECT_EQ(keys[DIK_LCONTROL], 0);
  Key(SDL_SCANCODE_ESCAPE, false);
  ASSERT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_ESCAPE], 0);
  EXPECT_EQ(keys[200], 0x80);  // still held
  EXPECT_EQ(kb->GetDeviceState(255, keys), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, ScanCodeTableMatchesTheKeyboardFormat) {
  struct Case {
    SDL_Scancode sdl;
    BYTE dik;
  } cases[] = {
      {SDL_SCANCODE_ESCAPE, 1},     {SDL_SCANCODE_1, 2},        {SDL_SCANCODE_0, 11},
      {SDL_SCANCODE_BACKSPACE, 14}, {SDL_SCANCODE_Q, 16},       {SDL_SCANCODE_RETURN, 28},
      {SDL_SCANCODE_LCTRL, 29},     {SDL_SCANCODE_A, 30},       {SDL_SCANCODE_LSHIFT, 42},
      {SDL_SCANCODE_Z, 44},         {SDL_SCANCODE_RSHIFT, 54},  {SDL_SCANCODE_SPACE, 57},
      {SDL_SCANCODE_F1, 59},        {SDL_SCANCODE_F12, 88},     {SDL_SCANCODE_KP_ENTER, 156},
      {SDL_SCANCODE_RCTRL, 157},    {SDL_SCANCODE_RALT, 184},   {SDL_SCANCODE_HOME, 199},
      {SDL_SCANCODE_UP, 200},       {SDL_SCANCODE_LEFT, 203},   {SDL_SCANCODE_RIGHT, 205},
      {SDL_SCANCODE_DOWN, 208},     {SDL_SCANCODE_DELETE, 211}, {SDL_SCANCODE_KP_DIVIDE, 181},
      {SDL_SCANCODE_KP_0, 82},      {SDL_SCANCODE_LGUI, 219},   {SDL_SCANCODE_NONUSBACKSLASH, 86},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dinput::DikFromSdlScancode(c.sdl), c.dik) << SDL_GetScancodeName(c.sdl);
  EXPECT_EQ(dinput::DikFromSdlScancode(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(dinput::DikFromSdlScancode(-5), 0);
  EXPECT_EQ(dinput::DikFromSdlScancode(SDL_NUM_SCANCODES), 0);
  // Every letter and digit has a place of its own.
  std::vector<bool> seen(256);
  for (int sc = SDL_SCANCODE_A; sc <= SDL_SCANCODE_0; ++sc) {
    BYTE dik = dinput::DikFromSdlScancode(sc);
    ASSERT_NE(dik, 0);
    EXPECT_FALSE(seen[dik]);
    seen[dik] = true;
  }
}

TEST_F(DirectInputTest, MouseReportsMovementSinceItsLastReadAndHeldButtons) {
  auto mouse = Open(GUID_SysMouse, c_dfDIMouse, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  DIMOUSESTATE st;
  Motion(3, -4);
  Motion(5, 1);
  Wheel(2);
  Button(SDL_BUTTON_LEFT, true);
  Button(SDL_BUTTON_X1, true);
  ASSERT_EQ(mouse->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 8);
  EXPECT_EQ(st.lY, -3);
  EXPECT_EQ(st.lZ, 240);
  EXPECT_EQ(st.rgbButtons[0], 0x80);
  EXPECT_EQ(st.rgbButtons[1], 0);
  EXPECT_EQ(st.rgbButtons[3], 0x80);
  ASSERT_EQ(mouse->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 0);
  EXPECT_EQ(st.lZ, 0);
  EXPECT_EQ(st.rgbButtons[0], 0x80);  // held across reads
  Wheel(1, true);
  Button(SDL_BUTTON_LEFT, false);
  Button(SDL_BUTTON_RIGHT, true);
  Button(SDL_BUTTON_MIDDLE, true);
  ASSERT_EQ(mouse->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lZ, -120);
  EXPECT_EQ(st.rgbButtons[0], 0);
  EXPECT_EQ(st.rgbButtons[1], 0x80);
  EXPECT_EQ(st.rgbButtons[2], 0x80);
}

TEST_F(DirectInputTest, MovementBeforeAcquisitionIsNotReported) {
  dinput::Ref<IDirectInputDevice8A> mouse;
  ASSERT_EQ(di_->CreateDevice(GUID_SysMouse, &mouse), DI_OK);
  ASSERT_EQ(mouse->SetCooperativeLevel(kWindow, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  DIMOUSESTATE st;
  EXPECT_EQ(mouse->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
  EXPECT_EQ(mouse->GetDeviceState(sizeof st, &st), DIERR_NOTACQUIRED);
  Motion(10, 10);
  win32::PumpSdlEvents();
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  EXPECT_EQ(mouse->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DIERR_ACQUIRED);
  ASSERT_EQ(mouse->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 0);
  ASSERT_EQ(mouse->Unacquire(), DI_OK);
  EXPECT_EQ(mouse->GetDeviceState(sizeof st, &st), DIERR_NOTACQUIRED);
}

TEST_F(DirectInputTest, CooperativeLevelsAreChecked) {
  dinput::Ref<IDirectInputDevice8A> kb;
  ASSERT_EQ(di_->CreateDevice(GUID_SysKeyboard, &kb), DI_OK);
  EXPECT_EQ(kb->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), E_HANDLE);
  EXPECT_EQ(kb->SetCooperativeLevel(kWindow, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(
      kb->SetCooperativeLevel(kWindow, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
      DIERR_INVALIDPARAM);
  EXPECT_EQ(kb->SetCooperativeLevel(kWindow, DISCL_EXCLUSIVE | DISCL_BACKGROUND),
            DIERR_UNSUPPORTED);
  EXPECT_EQ(kb->SetCooperativeLevel(kWindow, 6), DI_OK);
  EXPECT_EQ(kb->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
  dinput::Ref<IDirectInputDevice8A> none;
  GUID unknown{};
  unknown.Data1 = 12345;
  EXPECT_EQ(di_->CreateDevice(unknown, &none), DIERR_DEVICENOTREG);
  EXPECT_FALSE(none);
}

TEST_F(DirectInputTest, ForegroundDevicesAreLostWithTheFocus) {
  auto kb = Open(GUID_SysKeyboard, c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  auto bg = Open(GUID_SysMouse, c_dfDIMouse, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  BYTE keys[256];
  DIMOUSESTATE st;
  Focus(false);
  EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
  EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(bg->GetDeviceState(sizeof st, &st), DI_OK);  // background devices go on
  Focus(true);
  EXPECT_EQ(kb->Acquire(), DI_OK);
  EXPECT_EQ(kb->GetDeviceState(sizeof keys, keys), DI_OK);
}

// ---- controllers ----

class ControllerTest : public DirectInputTest {
 protected:
  void SetUp() override {
    DirectInputTest::SetUp();
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 8;
    desc.nbuttons = 16;
    desc.nhats = 2;
    desc.name = "Tessark Test Pad";
    index_ = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index_, 0) << SDL_GetError();
    win32::PumpSdlEvents();
  }
  void TearDown() override {
    if (pad_) SDL_JoystickClose(pad_);
    SDL_JoystickDetachVirtual(index_);
    win32::PumpSdlEvents();
    DirectInputTest::TearDown();
  }

  // Enumerates game controllers into names (and their instance GUIDs).
  std::vector<DIDEVICEINSTANCEA> Controllers(DWORD flags) {
    std::vector<DIDEVICEINSTANCEA> found;
    auto collect = [](LPCDIDEVICEINSTANCEA info, LPVOID ctx) -> BOOL {
      static_cast<std::vector<DIDEVICEINSTANCEA>*>(ctx)->push_back(*info);
      return DIENUM_CONTINUE;
    };
    EXPECT_EQ(di_->EnumDevices(DI8DEVCLASS_GAMECTRL, collect, &found, flags), DI_OK);
    return found;
  }

  dinput::Ref<IDirectInputDevice8A> OpenPad(DWORD level) {
    auto found = Controllers(DIEDFL_ATTACHEDONLY);
    EXPECT_EQ(found.size(), 1u);
    if (found.empty()) return {};
    auto pad = Open(found[0].guidInstance, c_dfDIJoystick2, level);
    // The test drives the pad through its own handle to SDL's virtual joystick.
    pad_ = SDL_JoystickOpen(index_);
    return pad;
  }

  int index_ = -1;
  SDL_Joystick* pad_ = nullptr;
};

TEST_F(ControllerTest, EnumeratesAttachedControllersButNoForceFeedbackOnes) {
  auto all = Controllers(DIEDFL_ATTACHEDONLY);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_STREQ(all[0].tszProductName, "Tessark Test Pad");
  EXPECT_TRUE(Controllers(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK).empty());
  dinput::testing::PretendForceFeedback(true);
  EXPECT_EQ(Controllers(DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK).size(), 1u);
}

TEST_F(ControllerTest, StateFollowsJoystickEventsInTheSetRange) {
  auto pad = OpenPad(DISCL_EXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(pad);
  ASSERT_EQ(pad->Unacquire(), DI_OK);
  DIPROPRANGE range{};
  range.diph = {sizeof range, sizeof range.diph, DIJOFS_X, DIPH_BYOFFSET};
  range.lMin = -1000;
  range.lMax = 1000;
  ASSERT_EQ(pad->SetProperty(DIPROP::RANGE, &range.diph), DI_OK);
  range.lMin = 5;
  range.lMax = 5;
  EXPECT_EQ(pad->SetProperty(DIPROP::RANGE, &range.diph), DIERR_INVALIDPARAM);
  ASSERT_EQ(pad->Acquire(), DI_OK);

  SDL_JoystickSetVirtualAxis(pad_, 0, 32767);
  SDL_JoystickSetVirtualAxis(pad_, 1, -32768);
  SDL_JoystickSetVirtualAxis(pad_, 6, 0);
  SDL_JoystickSetVirtualButton(pad_, 3, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(pad_, 1, SDL_HAT_RIGHTDOWN);
  DIJOYSTATE2 st;
  ASSERT_TRUE(SUCCEEDED(pad->Poll()));
  ASSERT_EQ(pad->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 1000);
  EXPECT_EQ(st.lY, 0);  // Y keeps the default range 0..65535
  EXPECT_EQ(st.rglSlider[0], 32768);
  EXPECT_EQ(st.rgbButtons[3], 0x80);
  EXPECT_EQ(st.rgbButtons[2], 0);
  EXPECT_EQ(st.rgdwPOV[0], 0xFFFFFFFFu);
  EXPECT_EQ(st.rgdwPOV[1], 13500u);
  SDL_JoystickSetVirtualAxis(pad_, 0, 0);
  ASSERT_EQ(pad->GetDeviceState(sizeof st, &st), DI_OK);
  EXPECT_EQ(st.lX, 0);  // centred reads as the middle of -1000..1000
}

TEST_F(ControllerTest, UnpluggedControllerIsLost) {
  auto pad = OpenPad(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(pad);
  SDL_JoystickClose(pad_);
  pad_ = nullptr;
  ASSERT_EQ(SDL_JoystickDetachVirtual(index_), 0);
  index_ = -1;
  EXPECT_EQ(pad->Poll(), DIERR_INPUTLOST);
  EXPECT_TRUE(FAILED(pad->Acquire()));
  DIJOYSTATE2 st;
  EXPECT_TRUE(FAILED(pad->GetDeviceState(sizeof st, &st)));
}

TEST_F(ControllerTest, ExclusiveAcquisitionIsHeldByOneDevice) {
  auto first = OpenPad(DISCL_EXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(first);
  auto found = Controllers(DIEDFL_ATTACHEDONLY);
  dinput::Ref<IDirectInputDevice8A> second;
  ASSERT_EQ(di_->CreateDevice(found[0].guidInstance, &second), DI_OK);
  ASSERT_EQ(second->SetDataFormat(&c_dfDIJoystick2), DI_OK);
  ASSERT_EQ(second->SetCooperativeLevel(kWindow, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
  first->Unacquire();
  EXPECT_EQ(second->Acquire(), DI_OK);
}

TEST_F(ControllerTest, EffectsNeedForceFeedbackAndExclusiveAcquisition) {
  auto pad = OpenPad(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(pad);
  DICONSTANTFORCE force{5000};
  DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
  LONG direction[2] = {9000, 0};
  DIEFFECT e{};
  e.dwSize = sizeof e;
  e.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
  e.dwDuration = 1550000;
  e.dwGain = DI_FFNOMINALMAX;
  e.cAxes = 2;
  e.rgdwAxes = axes;
  e.rglDirection = direction;
  e.cbTypeSpecificParams = sizeof force;
  e.lpvTypeSpecificParams = &force;
  dinput::Ref<IDirectInputEffect> effect;
  // A virtual pad has no force feedback: no effect can be made, as on a plain joystick.
  EXPECT_EQ(pad->CreateEffect(GUID_ConstantForce, &e, &effect), DIERR_UNSUPPORTED);
  EXPECT_FALSE(effect);

  dinput::testing::PretendForceFeedback(true);
  ASSERT_EQ(pad->CreateEffect(GUID_ConstantForce, &e, &effect), DI_OK);
  EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
  pad->Unacquire();
  ASSERT_EQ(pad->SetCooperativeLevel(kWindow, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(pad->Acquire(), DI_OK);
  ASSERT_EQ(effect->Start(1, 0), DI_OK);
  ASSERT_EQ(dinput::testing::PretendEffectCount(), 1);
  auto record = dinput::testing::PretendEffect(0);
  EXPECT_EQ(record.duration, 1550000u);
  EXPECT_EQ(record.direction, 9000);
  EXPECT_EQ(record.magnitude, 5000);
  EXPECT_TRUE(record.playing);
  DWORD status = 0;
  ASSERT_EQ(effect->GetEffectStatus(&status), DI_OK);
  EXPECT_EQ(status, DIEGES_PLAYING);
  // Giving the device up stops its effects.
  pad->Unacquire();
  EXPECT_FALSE(dinput::testing::PretendEffect(0).playing);
  // A wrong parameter block size is refused and leaves the effect as it was.
  e.cbTypeSpecificParams = 3;
  EXPECT_EQ(effect->SetParameters(&e, DIEP_TYPESPECIFICPARAMS), DIERR_INVALIDPARAM);
  EXPECT_EQ(pad->CreateEffect(GUID_Square, &e, &effect), DIERR_UNSUPPORTED);
}

TEST_F(ControllerTest, PeriodicKindsAreEnumeratedInOrder) {
  dinput::testing::PretendForceFeedback(true);
  auto pad = OpenPad(DISCL_EXCLUSIVE | DISCL_BACKGROUND);
  ASSERT_TRUE(pad);
  std::vector<GUID> kinds;
  auto collect = [](LPCDIEFFECTINFOA info, LPVOID ctx) -> BOOL {
    static_cast<std::vector<GUID>*>(ctx)->push_back(info->guid);
    return DIENUM_CONTINUE;
  };
  ASSERT_EQ(pad->EnumEffects(collect, &kinds, DIEFT_PERIODIC), DI_OK);
  ASSERT_EQ(kinds.size(), 4u);
  EXPECT_TRUE(kinds.front() == GUID_Sine);
  EXPECT_TRUE(kinds.back() == GUID_SawtoothDown);
}

TEST(DirectInputNoControllers, EnumeratesNothingWithoutControllers) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  dinput::Ref<IDirectInput8A> di;
  ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, &di), DI_OK);
  int calls = 0;
  auto count = [](LPCDIDEVICEINSTANCEA, LPVOID ctx) -> BOOL {
    ++*static_cast<int*>(ctx);
    return DIENUM_CONTINUE;
  };
  EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_GAMECTRL, count, &calls, DIEDFL_ATTACHEDONLY), DI_OK);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(di->EnumDevices(DI8DEVCLASS_ALL, count, &calls, DIEDFL_ATTACHEDONLY), DI_OK);
  EXPECT_EQ(calls, 2);  // the system mouse and keyboard
  di.Reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
