// A light fixture for the input module: the core data block and the module's own entries,
// with SDL's dummy video driver as the event source. Tests drive the devices by pushing real
// SDL events, which reach the devices through the one event drain at every query.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/dinput/dinput.h"
#include "platform/win32/event_source.h"
#include "runtime/core/check_list.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/runtime_wire.h"
#include "tessark/input.h"

using namespace tessark;

namespace input_test {

inline void Push(SDL_Event event) {
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

inline void Key(SDL_Scancode code, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = code;
  Push(e);
}

inline void Button(Uint8 button, bool down) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  Push(e);
}

inline void Motion(int dx, int dy) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.xrel = dx;
  e.motion.yrel = dy;
  Push(e);
}

inline void Wheel(int notches) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = notches;
  Push(e);
}

class InputModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    tessark::RuntimeWire();
    error_ = 0;
    tessark::ErrorWordSet(&error_);
    core_ = tessark::CoreDataGet();
    core_->TextAlloc = tessark::TextAlloc;
    core_->window = reinterpret_cast<HWND>(std::uintptr_t{0x1000});
    core_->window_width = 640;
    core_->window_height = 480;
    win32::PumpSdlEvents();  // nothing left over from an earlier test
  }

  // Runs the module's start-up as the core does.
  void Open(bool pass_core = true) {
    auto& entries = tessark::Modules().input;
    ASSERT_NE(entries.Constructor, nullptr);
    entries.Constructor(nullptr);
    entries.SetErrorHandler(&error_);
    if (pass_core) entries.PassCoreData(core_);
  }

  void TearDown() override {
    dinput::testing::FailNext(dinput::testing::Fail::kNone);
    dinput::testing::PretendForceFeedback(false);
    tessark::CallIf(tessark::Modules().input.Destructor);
    tessark::TextAlloc(&core_->typed_text, 0);
    core_->typed_text = nullptr;
    tessark::CheckListFree();
    tessark::ErrorWordSet(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  std::int32_t error_ = 0;
  tessark::CoreData* core_ = nullptr;
};

}  // namespace input_test
