// Pictures decoded ahead of their loads: the worker's side (DecodeAhead) and the loads' side
// (DecodedAheadTake), meeting in one list under a lock. Only PNG files are decoded ahead: their
// decoder is this stand-in's own code, which any thread may run, and it is what games ship.
#include "platform/d3dx9/decode_ahead.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <utility>

namespace d3dx {

namespace {

constexpr std::uint64_t kKeptBytesMax = std::uint64_t{64} << 20;

// What tells a file apart and whether it changed.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified_ns = 0;

  bool SameFile(const FileId& other) const {
    return device == other.device && inode == other.inode;
  }
  bool Unchanged(const FileId& other) const {
    return SameFile(other) && size == other.size && modified_ns == other.modified_ns;
  }
};

bool Identify(const std::string& path, FileId* id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  id->device = st.st_dev;
  id->inode = st.st_ino;
  id->size = st.st_size;
  id->modified_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

struct Kept {
  FileId id;
  DecodedImage image;
};

struct Ahead {
  std::mutex lock;
  std::vector<Kept> kept;
  std::vector<FileId> looked_at;  // every file the worker looked at, decoded or not
  bool accepting = false;
  bool finished = false;  // the worker has returned
  // Whether a load need look at all: set while anything is kept or looked at.
  std::atomic<bool> active{false};
};

// Lives as long as the process: a load may come from a static object's destructor.
Ahead& State() {
  static Ahead* ahead = new Ahead;
  return *ahead;
}

void ReleaseLocked(Ahead& a) {
  a.kept.clear();
  a.kept.shrink_to_fit();
  a.looked_at.clear();
  a.looked_at.shrink_to_fit();
  a.accepting = false;
  a.active.store(false, std::memory_order_release);
}

// The decoder a load would use for a PNG file, when it decodes the file alone. A picture
// whose header gives more than room bytes of pixels is not decoded: the worker's join waits
// for the picture being decoded, and a load decodes it as well.
bool DecodePngFile(const std::vector<std::uint8_t>& bytes, std::uint64_t room, DecodedImage* out) {
  ImageFileInfo info;
  if (!ProbeImage(bytes.data(), bytes.size(), &info) || info.file_format != iff::kPng) {
    return false;
  }
  if (std::uint64_t{4} * info.width * info.height > room) return false;
  out->faces.assign(1, ArgbImage{});
  if (DecodePng(bytes.data(), bytes.size(), &out->faces[0]) != PngResult::kDecoded) return false;
  info.width = out->faces[0].width;
  info.height = out->faces[0].height;
  out->info = info;
  return true;
}

}  // namespace

void DecodeAhead(const std::vector<std::string>& paths, const std::atomic<bool>& stop) {
  Ahead& a = State();
  {
    std::lock_guard<std::mutex> guard(a.lock);
    ReleaseLocked(a);
    a.accepting = true;
    a.finished = false;
  }
  struct Finish {
    Ahead& a;
    ~Finish() {
      std::lock_guard<std::mutex> guard(a.lock);
      a.finished = true;
      if (a.kept.empty()) ReleaseLocked(a);
    }
  } finish{a};
  std::uint64_t kept_bytes = 0;
  for (const std::string& path : paths) {
    if (stop.load(std::memory_order_relaxed)) return;
    FileId id;
    if (!Identify(path, &id)) continue;
    {
      std::lock_guard<std::mutex> guard(a.lock);
      if (!a.accepting) return;
      a.looked_at.push_back(id);
      a.active.store(true, std::memory_order_release);
    }
    std::vector<std::uint8_t> bytes;
    DecodedImage image;
    if (!ReadFileBytes(path, &bytes) || !DecodePngFile(bytes, kKeptBytesMax - kept_bytes, &image))
      continue;
    const std::uint64_t size = std::uint64_t{4} * static_cast<std::uint64_t>(image.info.width) *
                               static_cast<std::uint64_t>(image.info.height);
    if (kept_bytes + size > kKeptBytesMax) return;
    // A file written while it was read is left to its load.
    FileId after;
    if (!Identify(path, &after) || !after.Unchanged(id)) continue;
    std::lock_guard<std::mutex> guard(a.lock);
    if (!a.accepting) return;
    kept_bytes += size;
    a.kept.push_back(Kept{id, std::move(image)});
  }
}

bool DecodedAheadTake(const std::string& path, DecodedImage* out) {
  Ahead& a = State();
  if (!a.active.load(std::memory_order_acquire)) return false;
  FileId id;
  if (!Identify(path, &id)) return false;  // the load reports it
  std::lock_guard<std::mutex> guard(a.lock);
  for (auto it = a.kept.begin(); it != a.kept.end(); ++it) {
    if (!it->id.SameFile(id)) continue;
    const bool unchanged = it->id.Unchanged(id);
    if (unchanged) *out = std::move(it->image);
    a.kept.erase(it);
    // With nothing more to give, later loads need not look.
    if (a.kept.empty() && a.finished) ReleaseLocked(a);
    return unchanged;
  }
  for (const FileId& seen : a.looked_at) {
    if (seen.SameFile(id)) return false;
  }
  ReleaseLocked(a);
  return false;
}

void DecodedAheadRelease() {
  Ahead& a = State();
  std::lock_guard<std::mutex> guard(a.lock);
  ReleaseLocked(a);
}

int DecodedAheadHeld() {
  Ahead& a = State();
  std::lock_guard<std::mutex> guard(a.lock);
  return static_cast<int>(a.kept.size());
}

}  // namespace d3dx
