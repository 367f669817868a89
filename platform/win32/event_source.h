// The one source of input events. SDL events are drained here and nowhere else: each event is
// first shown to the registered observers (the input devices keep their key, button and axis
// state from them) and then, where the platform has a matching window message, queued as that
// message for PeekMessageA. Anything that needs up-to-date input calls PumpSdlEvents first.
#pragma once

#include <SDL.h>

#include "platform/win32/win_types.h"

namespace win32 {

using EventObserver = void (*)(const SDL_Event& event, void* context);

// Drains SDL's queue: observers first, then window messages. Safe to call at any time.
void PumpSdlEvents();

// Observers are called in the order they were added; adding one twice has no effect.
void AddEventObserver(EventObserver observer, void* context);
void RemoveEventObserver(EventObserver observer, void* context);

// The SDL window behind a window handle (null for an unknown or destroyed handle), and back.
SDL_Window* SdlWindowOf(HWND window);
HWND WindowFromSdlId(Uint32 window_id);

}  // namespace win32
