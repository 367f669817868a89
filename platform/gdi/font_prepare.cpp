// Fonts made ahead of their use: one worker thread, made at the first request and then waiting
// for the next, makes the font and renders its single-byte glyphs while the caller goes on. It
// holds one request at a time: the one being made, and at most one waiting after it.
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

namespace {

enum class Stage { kIdle, kQueued, kRunning, kDone };

struct Preparation {
  std::mutex lock;
  std::condition_variable changed;
  bool worker_made = false;
  Stage stage = Stage::kIdle;
  LOGFONTA request{};    // queued, being made or made
  Font* font = nullptr;  // made (kDone)
  // While running: the request to make next, and whether what is being made is wanted.
  bool next_waiting = false;
  LOGFONTA next{};
  bool dropped = false;
  std::atomic<bool> stop_glyphs{false};
};

// Lives as long as the process, as its worker does.
Preparation& State() {
  static Preparation* preparation = new Preparation;
  return *preparation;
}

bool SameRequest(const LOGFONTA& a, const LOGFONTA& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void FontFree(Font* font) {
  if (!font) return;
  --LiveCount();
  delete font;
}

void Work() {
  Preparation& p = State();
  std::unique_lock<std::mutex> guard(p.lock);
  for (;;) {
    p.changed.wait(guard, [&p] { return p.stage == Stage::kQueued; });
    p.stage = Stage::kRunning;
    const LOGFONTA request = p.request;
    guard.unlock();
    Font* font = FontCreate(request);
    for (int ch = 32; font && ch < 256; ++ch) {
      if (p.stop_glyphs.load(std::memory_order_relaxed)) break;
      const char c = static_cast<char>(ch);
      for (std::uint32_t code : TextDecode(&c, 1, request.lfCharSet)) FontGlyph(*font, code);
    }
    guard.lock();
    p.stop_glyphs.store(false, std::memory_order_relaxed);
    if (p.next_waiting) {
      FontFree(font);
      p.request = p.next;
      p.next_waiting = false;
      p.stage = Stage::kQueued;
    } else if (p.dropped) {
      FontFree(font);
      p.stage = Stage::kIdle;
    } else {
      p.font = font;
      p.stage = Stage::kDone;
    }
    p.dropped = false;
    p.changed.notify_all();
  }
}

// Forgets what is queued, being made (the worker stops early and frees it) or made.
void DropLocked(Preparation& p) {
  switch (p.stage) {
    case Stage::kQueued:
      p.stage = Stage::kIdle;
      break;
    case Stage::kRunning:
      p.next_waiting = false;
      p.dropped = true;
      p.stop_glyphs.store(true, std::memory_order_relaxed);
      break;
    case Stage::kDone:
      FontFree(p.font);
      p.font = nullptr;
      p.stage = Stage::kIdle;
      break;
    case Stage::kIdle:
      break;
  }
}

}  // namespace

void FontPrepare(const LOGFONTA& given) {
  LOGFONTA request = given;
  request.lfFaceName[LF_FACESIZE - 1] = 0;  // as CreateFontIndirectA takes it
  Preparation& p = State();
  std::lock_guard<std::mutex> guard(p.lock);
  if (p.stage == Stage::kRunning) {
    if (SameRequest(p.request, request) && !p.dropped) {
      p.next_waiting = false;
      p.stop_glyphs.store(false, std::memory_order_relaxed);
    } else if (!p.next_waiting || !SameRequest(p.next, request)) {
      p.next = request;
      p.next_waiting = true;
      p.dropped = false;
      p.stop_glyphs.store(true, std::memory_order_relaxed);
    }
    return;
  }
  if (p.stage != Stage::kIdle && SameRequest(p.request, request)) return;
  DropLocked(p);
  p.request = request;
  p.stage = Stage::kQueued;
  if (!p.worker_made) {
    std::thread(Work).detach();
    p.worker_made = true;
  }
  p.changed.notify_all();
}

HFONT FontPreparedTake(const LOGFONTA& given) {
  LOGFONTA request = given;
  request.lfFaceName[LF_FACESIZE - 1] = 0;
  Preparation& p = State();
  std::unique_lock<std::mutex> guard(p.lock);
  const bool latest = p.stage != Stage::kIdle && !p.dropped &&
                      SameRequest(p.next_waiting ? p.next : p.request, request);
  if (!latest) {
    DropLocked(p);
    return nullptr;
  }
  p.changed.wait(guard, [&p] { return p.stage == Stage::kDone; });
  Font* font = p.font;
  p.font = nullptr;
  p.stage = Stage::kIdle;
  return font;
}

}  // namespace gdi
