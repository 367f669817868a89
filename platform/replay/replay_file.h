// The recording file: a versioned header, then one stream of items in the order the program
// read them (clock readings, input events, device answers, frame ends). Writer encodes items
// as compact bytes; ReadRecording decodes and checks a whole file before anything plays, so a
// bad file is refused with a sentence saying what is wrong and where. docs/replay.md describes
// the bytes. Depends on SDL2 (the event structure) only.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace replay {

inline constexpr char kMagic[8] = {'T', 'S', 'K', 'R', 'E', 'C', '\r', '\n'};
// 2: the frame hash became the striped one of frame_hash.cpp (a format 1 file's hashes mean
// nothing to this runtime); still frames and short sound statuses take one byte.
inline constexpr std::uint32_t kFormatVersion = 2;

struct Header {
  std::uint32_t format_version = kFormatVersion;
  std::string runtime_version;
  std::string program;  // the executable's file name
  std::uint32_t width = 0, height = 0;
  std::uint32_t display_rate = 0;  // Hz, 0 when unknown
  std::uint64_t data_hash = 0;     // of the Data folder, 0 when there is none
  std::uint32_t check_interval = 1;
};

// The answers of devices that the program may read between two frames.
enum class ValueKind : std::uint8_t {
  kSoundStatus = 1,
  kSoundPlayCursor,
  kSoundWriteCursor,
  kMusicEvent,     // 0: none waiting; else the event code + 1
  kMusicPosition,  // 100 ns units
  kMusicDuration,  // the decoder's known length in sample frames (2^64 - 1: not known yet)
  kClipboardHasText,
  kClipboardText,  // a text item
  kLast = kClipboardText,
};

enum class ItemKind : std::uint8_t {
  kClock,       // value: milliseconds
  kFrame,       // has_hash: value holds the frame's 16-bit hash
  kEvents,      // skip: empty pumps before this one; events [first, first + count)
  kWaitEvents,  // events that arrived during a frame wait: delivered by the next pump in one
  kValue,       // sub: ValueKind; value
  kText,        // sub: ValueKind; text [first, first + count) in Recording::texts
  kEnd,         // value: frames recorded; hash: the final frame's full 32-bit hash
};

struct Item {
  ItemKind kind = ItemKind::kClock;
  std::uint8_t sub = 0;
  bool has_hash = false;
  std::uint32_t skip = 0;
  std::uint32_t first = 0, count = 0;
  std::uint32_t frame = 0;   // the frame this item belongs to (frames counted from 0)
  std::uint32_t offset = 0;  // where its bytes start in the file
  std::uint64_t value = 0;
  std::uint32_t hash = 0;
};

// An input event and the keyboard modifiers and mouse buttons SDL reported as it was taken.
struct RecordedEvent {
  SDL_Event event;
  std::uint16_t mods = 0;
  std::uint8_t buttons = 0;
};

struct Recording {
  Header header;
  std::vector<Item> items;
  std::vector<RecordedEvent> events;
  std::string texts;
  bool ended = false;  // the file closes with its end item
  std::uint32_t frames = 0;
};

// Decodes and checks a whole file. Returns an empty text on success, else what is wrong
// ("cut short inside the header", "frame 120: unknown item 0xa5 at byte 5031").
std::string ReadRecording(const std::uint8_t* data, std::size_t size, Recording* out);

// Encodes items. Clock readings are kept as differences from the previous one; a frame end
// right after a short clock difference shares its byte.
class Writer {
 public:
  void Header(const replay::Header& header);
  void Clock(std::uint64_t millis);
  void Frame(bool has_hash, std::uint16_t hash);
  void Events(bool in_wait, std::uint32_t skip, const std::vector<RecordedEvent>& events);
  void Value(ValueKind kind, std::uint64_t value);
  void Text(ValueKind kind, const std::string& text);
  void End(std::uint32_t frames, std::uint32_t hash);

  // The bytes written since the last Take.
  std::string Take();
  std::size_t pending() const { return bytes_.size(); }

 private:
  void Varint(std::uint64_t v);
  void String(const std::string& s);
  void Event(const RecordedEvent& e);

  std::string bytes_;
  std::uint64_t last_clock_ = 0;
  bool clock_started_ = false;
  std::ptrdiff_t short_clock_at_ = -1;  // offset of a clock byte a frame end may take over
  std::int32_t last_x_ = 0, last_y_ = 0;
  std::uint32_t last_window_ = 0;
  std::uint16_t last_hash_ = 0;  // the last frame hash written
  bool have_hash_ = false;
};

// The 32-bit hash of a picture's rows (width * bytes_per_pixel bytes each, pitch apart). With
// copy_to, the rows are also copied there in the same pass, packed without gaps.
std::uint32_t PictureHash(const std::uint8_t* bits, int width, int height, int pitch,
                          int bytes_per_pixel, std::uint8_t* copy_to = nullptr);

// The 64-bit hash of a byte run, continuing from seed.
std::uint64_t BytesHash(const void* data, std::size_t size, std::uint64_t seed);

}  // namespace replay
