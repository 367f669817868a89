// The one place SDL events are drained; see event_source.h.
#include "platform/win32/event_source.h"

#include <algorithm>
#include <vector>

#include "platform/replay/replay.h"

namespace win32 {

namespace {

struct Observer {
  EventObserver fn;
  void* context;
  bool operator==(const Observer&) const = default;
};

std::vector<Observer>& Observers() {
  static std::vector<Observer> observers;
  return observers;
}

}  // namespace

// Turns an event into window messages; set by the window part of this stand-in.
void (*g_event_to_messages)(const SDL_Event& event) = nullptr;

namespace {

void Deliver(const SDL_Event& event) {
  for (const Observer& o : Observers()) o.fn(event, o.context);
  if (g_event_to_messages) g_event_to_messages(event);
}

}  // namespace

void PumpSdlEvents() {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
  if (replay::Active()) {  // recorded, or replayed in place of the machine's
    replay::Pump(Deliver);
    return;
  }
  SDL_Event event;
  while (SDL_PollEvent(&event)) Deliver(event);
}

void AddEventObserver(EventObserver observer, void* context) {
  Observer o{observer, context};
  auto& list = Observers();
  if (std::find(list.begin(), list.end(), o) == list.end()) list.push_back(o);
}

void RemoveEventObserver(EventObserver observer, void* context) {
  auto& list = Observers();
  list.erase(std::remove(list.begin(), list.end(), Observer{observer, context}), list.end());
}

}  // namespace win32
