// The filter graph object and its worker. The program's thread runs, pauses, stops, seeks and
// sets rate and volume; each of those changes the streaming buffer at once under the mixer's
// lock and, where the worker must act (a seek), leaves it a command and wakes it through the
// buffer's signal. The worker decodes into the buffer while there is room and sleeps on the
// signal otherwise, so a paused, stopped or fully buffered graph costs nothing; it carries out
// a seek outside the command lock, since a MIDI seek renders the song from its start, and a
// newer command calls a seek still under way off. Completion is read from the buffer itself:
// the stream has drained once the last decoded frame was mixed.
//
// The buffer plays at the file's rate times the rate asked for. Where that passes the
// buffer's highest frequency (a 192 kHz file, a fast speed), the decoder divides the file's
// rate by the smallest whole number that brings it within, and the buffer plays the divided
// frames at the divided frequency: the speed stays the one asked for.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "platform/dshow/decoder.h"
#include "platform/dshow/dshow.h"
#include "platform/replay/replay.h"
#include "platform/win32/paths.h"

namespace dshow {

namespace {

constexpr DWORD kChunkFrames = 2048;    // decoded per step (46 ms at 44.1 kHz)
constexpr DWORD kBufferFrames = 16384;  // decoded ahead of what is heard (370 ms at 44.1 kHz)
constexpr LONGLONG kUnitsPerSecond = 10000000;

// The live graphs (for the test hooks), not owned. Never destroyed: a graph held in some other
// static object may be released while the program exits, after this file's statics are gone.
struct Registry {
  std::mutex lock;
  std::vector<class FilterGraph*> graphs;
};
Registry& Graphs() {
  static Registry* registry = new Registry;
  return *registry;
}

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string Narrow(LPCWSTR text) {
  std::string out;
  for (; *text; ++text) {
    std::uint32_t c = *text;
    if (c >= 0xD800 && c <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(text[1]) - 0xDC00);
      ++text;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaSeeking,
                          public IBasicAudio,
                          public IMediaPosition {
 public:
  FilterGraph() {
    Registry& r = Graphs();
    std::lock_guard<std::mutex> guard(r.lock);
    r.graphs.push_back(this);
  }
  ~FilterGraph() {
    WorkerEnd();
    Registry& r = Graphs();
    std::lock_guard<std::mutex> guard(r.lock);
    r.graphs.erase(std::remove(r.graphs.begin(), r.graphs.end(), this), r.graphs.end());
  }

  // ---- IUnknown ----
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IGraphBuilder)) {
      *out = static_cast<IGraphBuilder*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaControl)) {
      *out = static_cast<IMediaControl*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaEventEx)) {
      *out = static_cast<IMediaEventEx*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaSeeking)) {
      *out = static_cast<IMediaSeeking*>(this);
    } else if (IsEqualGUID(iid, IID_IBasicAudio)) {
      *out = static_cast<IBasicAudio*>(this);
    } else if (IsEqualGUID(iid, IID_IMediaPosition)) {
      *out = static_cast<IMediaPosition*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // ---- IGraphBuilder ----
  HRESULT RenderFile(LPCWSTR file, LPCWSTR /*play_list*/) override {
    if (!file) return E_POINTER;
    if (decoder_) return VFW_E_WRONG_STATE;
    HRESULT why = S_OK;
    std::unique_ptr<Decoder> decoder = DecoderOpen(win32::NativePath(Narrow(file)), &why);
    if (!decoder) return why;
    dsound::Ref<IDirectSound8> device;
    if (FAILED(DirectSoundShared(&device))) return VFW_E_NO_AUDIO_HARDWARE;
    source_rate_ = static_cast<DWORD>(decoder->rate());
    divisor_ = DivisorFor(rate_);
    decoder->SetDivisor(divisor_);
    auto channels = static_cast<WORD>(decoder->channels());
    DWORD rate = FrequencyFor(rate_, divisor_);
    WAVEFORMATEX format{WAVE_FORMAT_PCM,
                        channels,
                        rate,
                        rate * channels * 2u,
                        static_cast<WORD>(channels * 2u),
                        16,
                        0};
    DSBUFFERDESC desc{sizeof desc,
                      DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                          DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2,
                      kBufferFrames * format.nBlockAlign,
                      0,
                      &format,
                      {}};
    dsound::Ref<IDirectSoundBuffer8> buffer;
    if (FAILED(device->CreateStreamingBuffer(&desc, &buffer))) return VFW_E_CANNOT_RENDER;
    if (FAILED(buffer->SetVolume(volume_))) return VFW_E_CANNOT_RENDER;
    decoder_ = std::move(decoder);
    buffer_ = std::move(buffer);
    std::uint32_t epoch = 0;
    buffer_->StreamStatus(nullptr, nullptr, &epoch);
    worker_epoch_ = epoch;
    seek_epoch_ = epoch;
    known_frames_ = decoder_->frames();
    try {
      worker_ = std::thread([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
      buffer_.reset();
      decoder_.reset();
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  // ---- IMediaControl ----
  HRESULT Run() override {
    if (!buffer_) return VFW_E_NOT_CONNECTED;
    state_ = State_Running;
    return buffer_->Play(0, 0, 0);
  }
  HRESULT Pause() override {
    if (!buffer_) return VFW_E_NOT_CONNECTED;
    state_ = State_Paused;
    return buffer_->Stop();
  }
  HRESULT Stop() override {
    state_ = State_Stopped;
    return buffer_ ? buffer_->Stop() : S_OK;
  }
  HRESULT GetState(LONG /*timeout_ms*/, OAFilterState* state) override {
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
  }

  // ---- IMediaEventEx ----
  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout_ms) override {
    if (!code || !param1 || !param2) return E_POINTER;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      NoticeCompletion();
      // When the decoder reaches the end depends on its thread: a recording writes it down.
      if (replay::Active() && timeout_ms <= 0) return ReplayedEvent(code, param1, param2);
      if (!events_.empty()) {
        *code = events_.front();
        *param1 = 0;
        *param2 = 0;
        events_.pop_front();
        return S_OK;
      }
      // A wait here is only ever short: the program's own update never asks for one.
      if (timeout_ms <= 0 || std::chrono::steady_clock::now() >= deadline) return E_ABORT;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

  // GetEvent while recording or replaying: the event seen (or none) passes the recording.
  HRESULT ReplayedEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2) {
    std::uint64_t seen = 0;
    if (!events_.empty()) {
      seen = static_cast<std::uint64_t>(events_.front()) + 1;
      events_.pop_front();
    }
    seen = replay::Exchange(replay::ValueKind::kMusicEvent, seen);
    if (seen == 0) return E_ABORT;
    *code = static_cast<LONG>(seen - 1);
    *param1 = 0;
    *param2 = 0;
    return S_OK;
  }

  // ---- IMediaSeeking ----
  HRESULT SetPositions(LONGLONG* current, DWORD current_flags, LONGLONG* /*stop*/,
                       DWORD /*stop_flags*/) override {
    DWORD how = current_flags & AM_SEEKING_PositioningBitsMask;
    if (how == AM_SEEKING_NoPositioning) return S_OK;
    if (!current) return E_POINTER;
    if (!buffer_) return VFW_E_NOT_CONNECTED;
    LONGLONG target = *current;
    if (how == AM_SEEKING_RelativePositioning || how == AM_SEEKING_IncrementalPositioning) {
      target += PositionUnits();
    }
    if (target < 0) target = 0;
    auto frame =
        static_cast<std::int64_t>(static_cast<double>(target) * source_rate_ / kUnitsPerSecond);
    std::lock_guard<std::mutex> guard(command_lock_);
    SeekQueue(frame, divisor_);
    return S_OK;
  }
  HRESULT GetCurrentPosition(LONGLONG* current) override {
    if (!current) return E_POINTER;
    *current = PositionUnits();
    if (replay::Active())
      *current = static_cast<LONGLONG>(replay::Exchange(replay::ValueKind::kMusicPosition,
                                                        static_cast<std::uint64_t>(*current)));
    return S_OK;
  }
  HRESULT GetDuration(LONGLONG* duration) override {
    if (!duration) return E_POINTER;
    std::int64_t frames = known_frames_.load();
    if (replay::Active())  // known once the decoder has got that far
      frames = static_cast<std::int64_t>(
          replay::Exchange(replay::ValueKind::kMusicDuration, static_cast<std::uint64_t>(frames)));
    if (frames < 0 || source_rate_ == 0) return E_NOTIMPL;
    *duration = frames * kUnitsPerSecond / source_rate_;
    return S_OK;
  }
  HRESULT SetRate(double rate) override {
    if (!(rate > 0.0) || !std::isfinite(rate)) return E_INVALIDARG;
    rate_ = rate;
    if (!buffer_) return S_OK;
    int divisor = DivisorFor(rate);
    if (divisor != divisor_) {
      // The frames decoded ahead were divided for the old rate: decode again from what is
      // heard now, with the new divisor.
      std::uint64_t played = 0;
      buffer_->StreamStatus(&played, nullptr, nullptr);
      std::lock_guard<std::mutex> guard(command_lock_);
      SeekQueue(base_frame_ + static_cast<std::int64_t>(played) * divisor_, divisor);
    }
    return buffer_->SetFrequency(FrequencyFor(rate, divisor));
  }
  HRESULT GetRate(double* rate) override {
    if (!rate) return E_POINTER;
    *rate = rate_;
    return S_OK;
  }

  // ---- IBasicAudio ----
  HRESULT put_Volume(LONG volume) override {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return E_INVALIDARG;
    volume_ = volume;
    return buffer_ ? buffer_->SetVolume(volume) : S_OK;
  }
  HRESULT get_Volume(LONG* volume) override {
    if (!volume) return E_POINTER;
    *volume = volume_;
    return S_OK;
  }

  // ---- IMediaPosition ----
  HRESULT get_Duration(REFTIME* length) override {
    if (!length) return E_POINTER;
    LONGLONG units = 0;
    HRESULT hr = GetDuration(&units);
    *length = SUCCEEDED(hr) ? static_cast<double>(units) / kUnitsPerSecond : 0.0;
    return hr;
  }
  HRESULT put_CurrentPosition(REFTIME time) override {
    LONGLONG units = static_cast<LONGLONG>(time * kUnitsPerSecond);
    return SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  HRESULT get_CurrentPosition(REFTIME* time) override {
    if (!time) return E_POINTER;
    *time = static_cast<double>(PositionUnits()) / kUnitsPerSecond;
    return S_OK;
  }
  HRESULT put_Rate(double rate) override { return SetRate(rate); }
  HRESULT get_Rate(double* rate) override { return GetRate(rate); }

  // True when the worker has nothing to do until the mixer takes frames or a command comes.
  bool Idle() {
    if (!buffer_) return true;
    {
      std::lock_guard<std::mutex> guard(command_lock_);
      if (seek_pending_) return false;
    }
    if (!worker_sleeping_.load()) return false;
    return worker_done_.load() || buffer_->StreamSpace(worker_epoch_.load()) < kChunkFrames;
  }

 private:
  // The whole number the file's rate is divided by to play it at rate: the smallest that
  // keeps the buffer's frequency within its highest.
  int DivisorFor(double rate) const {
    double hz = source_rate_ * rate;
    if (!(hz > DSBFREQUENCY_MAX)) return 1;
    return static_cast<int>(std::min(std::ceil(hz / DSBFREQUENCY_MAX), double{kMaxRateDivisor}));
  }
  // The buffer's frequency for rate with the file's rate divided by divisor, held within the
  // buffer's range (only the slowest speeds of low-rate files and speeds beyond what the
  // largest divisor reaches are held).
  DWORD FrequencyFor(double rate, int divisor) const {
    double hz = std::round(source_rate_ * rate / divisor);
    return static_cast<DWORD>(std::clamp(hz, double{DSBFREQUENCY_MIN}, double{DSBFREQUENCY_MAX}));
  }

  // Leaves the worker a seek to a frame of the file, after which it decodes with divisor, and
  // flushes what was decoded ahead. Called with the command lock held.
  void SeekQueue(std::int64_t frame, int divisor) {
    seek_frame_ = frame;
    seek_divisor_ = divisor;
    seek_pending_ = true;
    abandon_seek_ = true;  // a seek still under way is for an older command
    base_frame_ = frame;
    divisor_ = divisor;
    completion_told_ = false;
    // The flush wakes the worker, which finds the seek waiting.
    seek_epoch_ = buffer_->StreamFlush();
  }

  // The frame of the file heard, given the frames the buffer played since the last seek.
  std::int64_t HeardFrame(std::uint64_t played) const {
    return base_frame_ + static_cast<std::int64_t>(played) * divisor_;
  }

  // The position heard, in 100-nanosecond units.
  LONGLONG PositionUnits() {
    if (!buffer_ || source_rate_ == 0) return 0;
    std::uint64_t played = 0;
    buffer_->StreamStatus(&played, nullptr, nullptr);
    std::lock_guard<std::mutex> guard(command_lock_);
    return static_cast<LONGLONG>(HeardFrame(played) * kUnitsPerSecond / source_rate_);
  }

  // Queues EC_COMPLETE once the stream has played its last frame (once per seek).
  void NoticeCompletion() {
    if (!buffer_) return;
    bool drained = false;
    std::uint64_t played = 0;
    std::uint32_t epoch = 0;
    buffer_->StreamStatus(&played, &drained, &epoch);
    std::lock_guard<std::mutex> guard(command_lock_);
    if (!drained || completion_told_ || epoch != seek_epoch_) return;
    completion_told_ = true;
    if (known_frames_.load() < 0) known_frames_ = HeardFrame(played);
    events_.push_back(EC_COMPLETE);
  }

  void WorkerLoop() {
    std::atomic<std::uint32_t>* signal = buffer_->StreamSignal();
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(kChunkFrames) * 2);
    std::uint32_t epoch = worker_epoch_.load();
    bool done = !decoder_->Prepare();
    if (done) {
      buffer_->StreamEnd(epoch);
      worker_done_ = true;
    }
    for (;;) {
      std::uint32_t seen = signal->load();
      bool seeking = false;
      std::int64_t seek_frame = 0;
      {
        std::lock_guard<std::mutex> guard(command_lock_);
        if (quit_) return;
        if (seek_pending_) {
          seek_pending_ = false;
          abandon_seek_ = false;
          seeking = true;
          seek_frame = seek_frame_;
          epoch = seek_epoch_;
          worker_epoch_ = epoch;
          decoder_->SetDivisor(seek_divisor_);
        }
      }
      if (seeking) {
        // Frames written for this epoch after a newer seek are dropped by the buffer; a seek
        // called off leaves the newer command (or the quit) to the next turn.
        done = !decoder_->Seek(seek_frame, abandon_seek_);
        if (done && abandon_seek_.load()) continue;
        worker_done_ = done;
        if (done) buffer_->StreamEnd(epoch);
      }
      if (!done && buffer_->StreamSpace(epoch) >= kChunkFrames) {
        long got = decoder_->Read(chunk.data(), static_cast<long>(kChunkFrames));
        if (got <= 0) {
          buffer_->StreamEnd(epoch);
          done = true;
          worker_done_ = true;
          std::int64_t frames = decoder_->frames();
          if (frames >= 0) known_frames_ = frames;
        } else {
          buffer_->StreamWrite(chunk.data(), static_cast<DWORD>(got), epoch);
        }
        continue;
      }
      worker_sleeping_ = true;
      signal->wait(seen);
      worker_sleeping_ = false;
    }
  }

  void WorkerEnd() {
    if (!worker_.joinable()) return;
    {
      std::lock_guard<std::mutex> guard(command_lock_);
      quit_ = true;
      abandon_seek_ = true;
    }
    std::atomic<std::uint32_t>* signal = buffer_->StreamSignal();
    signal->fetch_add(1);
    signal->notify_all();
    worker_.join();
  }

  std::atomic<ULONG> refs_{1};
  std::unique_ptr<Decoder> decoder_;
  dsound::Ref<IDirectSoundBuffer8> buffer_;
  std::thread worker_;
  DWORD source_rate_ = 0;
  OAFilterState state_ = State_Stopped;
  LONG volume_ = 0;
  double rate_ = 1.0;
  std::deque<LONG> events_;

  // Shared with the worker.
  std::mutex command_lock_;
  bool quit_ = false;
  bool seek_pending_ = false;
  std::int64_t seek_frame_ = 0;
  int seek_divisor_ = 1;
  std::uint32_t seek_epoch_ = 0;  // the stream's epoch since the last seek (or the render)
  std::int64_t base_frame_ = 0;   // the frame the last seek went to
  int divisor_ = 1;               // the divisor of the frames played since then
  std::atomic<bool> abandon_seek_{false};
  bool completion_told_ = false;
  std::atomic<std::uint32_t> worker_epoch_{0};
  std::atomic<bool> worker_sleeping_{false};
  std::atomic<bool> worker_done_{false};
  std::atomic<std::int64_t> known_frames_{-1};
};

}  // namespace

}  // namespace dshow

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!IsEqualGUID(clsid, CLSID_FilterGraph) || !(context & CLSCTX_INPROC_SERVER)) {
    return REGDB_E_CLASSNOTREG;
  }
  auto* graph = new (std::nothrow) dshow::FilterGraph;
  if (!graph) return E_OUTOFMEMORY;
  HRESULT hr = graph->QueryInterface(iid, out);
  graph->Release();  // the caller's reference is the one QueryInterface added
  return hr;
}

int MultiByteToWideChar(UINT /*code_page*/, DWORD /*flags*/, LPCSTR in, int in_size, LPWSTR out,
                        int out_size) {
  if (!in || out_size < 0 || (out_size > 0 && !out)) return 0;
  std::size_t length = in_size < 0 ? std::strlen(in) + 1 : static_cast<std::size_t>(in_size);
  std::u16string wide;
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  for (std::size_t i = 0; i < length;) {
    std::uint32_t c = s[i];
    int extra = c < 0x80           ? 0
                : (c >> 5) == 0x6  ? 1
                : (c >> 4) == 0xE  ? 2
                : (c >> 3) == 0x1E ? 3
                                   : -1;
    std::uint32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < length;
    if (ok && extra > 0) {
      c &= 0x3Fu >> extra;
      for (int k = 1; k <= extra && ok; ++k) {
        std::uint32_t b = s[i + static_cast<std::size_t>(k)];
        ok = (b & 0xC0) == 0x80;
        c = (c << 6) | (b & 0x3F);
      }
      ok = ok && c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    }
    if (!ok) {
      wide += u'\xFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  if (out_size == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<std::size_t>(out_size)) return 0;
  std::copy(wide.begin(), wide.end(), out);
  return static_cast<int>(wide.size());
}

namespace dshow::testing {

void SetSoundFont(const char* path) {
  SoundFontSet(path);
}

bool WaitIdle() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    bool idle = true;
    {
      Registry& r = Graphs();
      std::lock_guard<std::mutex> guard(r.lock);
      for (FilterGraph* graph : r.graphs) idle = idle && graph->Idle();
    }
    if (idle) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

int LiveGraphs() {
  Registry& r = Graphs();
  std::lock_guard<std::mutex> guard(r.lock);
  return static_cast<int>(r.graphs.size());
}

}  // namespace dshow::testing
