// Controller selection, listing, state queries and force feedback of the input module, on
// SDL's virtual joysticks (force feedback through the stand-in's pretend hook).
#include <cstdlib>
#include <cstring>
#include <string>

#include "input_fixture.h"

namespace {

using namespace input_test;

class ControllerModuleTest : public InputModuleTest {
 protected:
  void SetUp() override {
    InputModuleTest::SetUp();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  }
  void TearDown() override {
    if (pad_) SDL_JoystickClose(pad_);
    if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
    win32::PumpSdlEvents();
    InputModuleTest::TearDown();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }

  void Attach(const char* name) {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 8;
    desc.nbuttons = 40;
    desc.nhats = 4;
    desc.name = name;
    index_ = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index_, 0) << SDL_GetError();
    pad_ = SDL_JoystickOpen(index_);
    ASSERT_NE(pad_, nullptr);
    win32::PumpSdlEvents();
  }

  std::string Name() {
    char* name = ControllerName();
    std::string copy = name;
    std::free(name);
    return copy;
  }

  int index_ = -1;
  SDL_Joystick* pad_ = nullptr;
};

TEST_F(ControllerModuleTest, WithoutControllersQueriesAnswerZeroAndSelectionFails) {
  Open();
  EXPECT_EQ(Name(), "");
  ControllerSelect("", 0);
  EXPECT_EQ(error_, 4001);
  EXPECT_EQ(ControllerX(), 0);
  EXPECT_EQ(ControllerHat(0), 0);  // a zeroed state
  EXPECT_EQ(ControllerButton(32), 0);
  EXPECT_EQ(ControllerHat(4), -1);
  EXPECT_EQ(ControllerHat(-1), -1);
  ControllerList();
  EXPECT_EQ(core_->check_list_count, 0);
  EXPECT_EQ(core_->check_list_in_use, 1);
  EXPECT_EQ(core_->check_list_has_values, 1);
}

TEST_F(ControllerModuleTest, SelectedControllerAnswersFromItsEvents) {
  Attach("Tessark Test Pad");
  Open();  // PassCoreData selects it: any name, position 0
  EXPECT_EQ(Name(), "Tessark Test Pad");
  SDL_JoystickSetVirtualAxis(pad_, 0, 32767);
  SDL_JoystickSetVirtualAxis(pad_, 1, -32768);
  SDL_JoystickSetVirtualAxis(pad_, 2, 0);
  SDL_JoystickSetVirtualButton(pad_, 3, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad_, 31, SDL_PRESSED);
  SDL_JoystickSetVirtualButton(pad_, 32, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(pad_, 2, SDL_HAT_LEFT);
  EXPECT_EQ(ControllerX(), 1000);
  EXPECT_EQ(ControllerY(), -1000);
  EXPECT_EQ(ControllerZ(), 0);
  EXPECT_EQ(ControllerRight(), 1);
  EXPECT_EQ(ControllerLeft(), 0);
  EXPECT_EQ(ControllerUp(), 1);
  EXPECT_EQ(ControllerDown(), 0);
  EXPECT_EQ(ControllerFireD(), 1);
  EXPECT_EQ(ControllerFireA(), 0);
  EXPECT_EQ(ControllerButton(31), 1);
  EXPECT_EQ(ControllerButton(32), 0);  // beyond the 32 buttons the queries offer
  EXPECT_EQ(ControllerHat(2), 27000);
  EXPECT_EQ(ControllerHat(0), -1);  // centred
  EXPECT_EQ(ControllerHat(4), -1);
  SDL_JoystickSetVirtualAxis(pad_, 0, -32768);
  EXPECT_EQ(ControllerLeft(), 1);
  EXPECT_EQ(ControllerRight(), 0);
}

TEST_F(ControllerModuleTest, SelectionByNameAndPosition) {
  Attach("Tessark Test Pad");
  Open();
  ControllerSelect("Another Pad");
  EXPECT_EQ(error_, 4001);
  EXPECT_EQ(Name(), "");
  error_ = 0;
  ControllerSelect("Tessark Test Pad", 1);  // there is no second controller
  EXPECT_EQ(error_, 4001);
  error_ = 0;
  ControllerSelect("Tessark Test Pad");
  EXPECT_EQ(error_, 0);
  EXPECT_EQ(Name(), "Tessark Test Pad");
}

TEST_F(ControllerModuleTest, ControllerListFillsTheCheckList) {
  Attach("Tessark Test Pad");
  Open();
  ControllerList();
  ASSERT_EQ(core_->check_list_count, 1);
  EXPECT_STREQ(core_->check_list[0].text, "Tessark Test Pad");
  EXPECT_EQ(core_->check_list[0].values[0], 0);  // no force feedback
  EXPECT_EQ(core_->check_list_in_use, 1);
  dinput::testing::PretendForceFeedback(true);
  ControllerList();
  ASSERT_EQ(core_->check_list_count, 1);
  EXPECT_EQ(core_->check_list[0].values[0], 1);
}

TEST_F(ControllerModuleTest, ForceNeedsAForceFeedbackController) {
  Attach("Tessark Test Pad");
  Open();
  ForceConstant(50, 100);
  EXPECT_EQ(error_, 4101);
  error_ = 0;
  ForceStop();
  EXPECT_EQ(error_, 4101);
  error_ = 0;
  ForceCenterOn();
  EXPECT_EQ(error_, 4101);
}

class ForceTest : public ControllerModuleTest {
 protected:
  void SetUp() override {
    ControllerModuleTest::SetUp();
    dinput::testing::PretendForceFeedback(true);
    Attach("Tessark Rumble Pad");
    Open();
  }
  dinput::testing::EffectRecord Last() {
    return dinput::testing::PretendEffect(dinput::testing::PretendEffectCount() - 1);
  }
};

TEST_F(ForceTest, ArgumentsAreCheckedInOrder) {
  ForceAngle(50, 400, 0);
  EXPECT_EQ(error_, 4104);
  ForceAngle(150, 400, 0);
  EXPECT_EQ(error_, 4102);
  ForceAngle(50, 90, -1);
  EXPECT_EQ(error_, 4103);
  ForceAngle(50, 400, -1);
  EXPECT_EQ(error_, 4104);
  ForceAngle(-1, -1, -1);
  EXPECT_EQ(error_, 4102);
  ForceUp(101);
  EXPECT_EQ(error_, 4102);
  ForceDamper(50, -5);
  EXPECT_EQ(error_, 4103);
  EXPECT_EQ(dinput::testing::PretendEffectCount(), 0);  // nothing was played
  error_ = 0;
  ForceAngle(0, 360, 0);
  ForceAngle(100, 0, 0);
  EXPECT_EQ(error_, 0);
}

TEST_F(ForceTest, DurationsDirectionsAndStrengths) {
  ForceAngle(50, 90, 1500);
  auto r = Last();
  EXPECT_TRUE(r.type == GUID_ConstantForce);
  EXPECT_EQ(r.duration, 1050000u);  // whole seconds only, then the 0.05 s tail
  EXPECT_EQ(r.direction, 9000);
  EXPECT_EQ(r.magnitude, 5000);
  EXPECT_TRUE(r.playing);
  ForceConstant(20, 1500);
  EXPECT_EQ(Last().duration, 1550000u);
  EXPECT_EQ(Last().magnitude, 2000);
  EXPECT_EQ(Last().direction, 0);
  ForceConstant(20, 0);
  EXPECT_EQ(Last().duration, INFINITE);
  EXPECT_EQ(Last().starts, 2);  // the same effect, updated and started again
  ForceUp(30);
  EXPECT_EQ(Last().direction, 18000);
  EXPECT_EQ(Last().duration, 100000u);
  EXPECT_EQ(Last().magnitude, 3000);
  ForceDown(30);
  EXPECT_EQ(Last().direction, 0);
  ForceLeft(30);
  EXPECT_EQ(Last().direction, 9000);
  ForceRight(30);
  EXPECT_EQ(Last().direction, 27000);
  ForceWaveShort(40, 250);
  EXPECT_TRUE(Last().type == GUID_SawtoothDown);  // the last periodic kind offered
  EXPECT_EQ(Last().period, 50000u);
  EXPECT_EQ(Last().duration, 300000u);
  EXPECT_EQ(Last().magnitude, 4000);
  ForceWaveLong(40, 250);
  EXPECT_EQ(Last().period, 100000u);
  ForceDamper(40, 0);
  int count = dinput::testing::PretendEffectCount();
  auto x = dinput::testing::PretendEffect(count - 2);
  auto y = dinput::testing::PretendEffect(count - 1);
  EXPECT_TRUE(x.type == GUID_Damper && y.type == GUID_Damper);
  EXPECT_EQ(x.direction, 1);
  EXPECT_EQ(y.direction, -1);
  EXPECT_EQ(x.magnitude, 2000);
  EXPECT_EQ(x.saturation, 10000u);
  EXPECT_EQ(count, 10);  // one effect per slot
  EXPECT_EQ(error_, 0);

  ForceStop();
  for (int i = 0; i < count; ++i) EXPECT_FALSE(dinput::testing::PretendEffect(i).playing) << i;
}

TEST_F(ForceTest, CentringSwitchesTheAutoCentreProperty) {
  EXPECT_EQ(dinput::testing::LastAutoCenter(), 0);  // selection turns it off
  ForceCenterOn();
  EXPECT_EQ(dinput::testing::LastAutoCenter(), 1);
  ForceCenterOff();
  EXPECT_EQ(dinput::testing::LastAutoCenter(), 0);
  // The controller was acquired again: it still answers.
  SDL_JoystickSetVirtualAxis(pad_, 0, 32767);
  EXPECT_EQ(ControllerX(), 1000);
  EXPECT_EQ(error_, 0);
}

}  // namespace
