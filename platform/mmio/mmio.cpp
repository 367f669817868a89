// Multimedia file I/O: reading RIFF files from disk or from a memory block. Every read, seek
// and chunk header is checked against the file's size, so a damaged file can at worst make a
// chunk "not found"; nothing is read or skipped past its end. Depends on win32 paths.
#include <cstring>
#include <string>

#include "platform/mmio/mmsystem.h"
#include "platform/win32/paths.h"

struct MmioFile {
  std::FILE* file = nullptr;     // disk source, or null
  const BYTE* memory = nullptr;  // memory source (owned by the caller)
  DWORD size = 0;                // bytes in the source
  DWORD position = 0;            // next byte to read
  ~MmioFile() {
    if (file) std::fclose(file);
  }
};

namespace {

// Reads count bytes at the position, or fewer at the end; the number read.
DWORD ReadAt(HMMIO h, void* out, DWORD count) {
  if (h->position >= h->size) return 0;
  DWORD available = h->size - h->position;
  if (count > available) count = available;
  DWORD got = 0;
  if (h->memory) {
    std::memcpy(out, h->memory + h->position, count);
    got = count;
  } else {
    if (std::fseek(h->file, static_cast<long>(h->position), SEEK_SET) != 0) return 0;
    got = static_cast<DWORD>(std::fread(out, 1, count, h->file));
  }
  h->position += got;
  return got;
}

// Reads a little-endian 32-bit value; false when the file ends first.
bool ReadDword(HMMIO h, DWORD* value) {
  BYTE bytes[4];
  if (ReadAt(h, bytes, 4) != 4) return false;
  *value = static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
           (static_cast<DWORD>(bytes[2]) << 16) | (static_cast<DWORD>(bytes[3]) << 24);
  return true;
}

// The end of a chunk's data, as a 64-bit offset (sizes near 4 GB must not wrap).
std::uint64_t ChunkEnd(const MMCKINFO& ck) {
  return static_cast<std::uint64_t>(ck.dwDataOffset) + ck.cksize;
}

}  // namespace

HMMIO mmioOpenA(LPSTR name, LPMMIOINFO info, DWORD flags) {
  if (info) info->wErrorRet = 0;
  auto fail = [info](UINT code) -> HMMIO {
    if (info) info->wErrorRet = code;
    return nullptr;
  };
  // Only reading is offered: wave files are written whole by WaveFileWrite.
  if (flags & (MMIO_WRITE | MMIO_READWRITE)) return fail(MMSYSERR_INVALFLAG);
  auto h = new MmioFile;
  if (info && info->fccIOProc == FOURCC_MEM) {
    if (!info->pchBuffer || info->cchBuffer < 0) {
      delete h;
      return fail(MMSYSERR_INVALPARAM);
    }
    h->memory = reinterpret_cast<const BYTE*>(info->pchBuffer);
    h->size = static_cast<DWORD>(info->cchBuffer);
  } else {
    if (!name || !*name) {
      delete h;
      return fail(MMIOERR_FILENOTFOUND);
    }
    std::string path = win32::NativePath(name);
    h->file = std::fopen(path.c_str(), "rb");
    if (!h->file || std::fseek(h->file, 0, SEEK_END) != 0) {
      delete h;
      return fail(MMIOERR_FILENOTFOUND);
    }
    long end = std::ftell(h->file);
    // A folder opens as a stream on Linux but cannot be read; RIFF sizes are 32-bit.
    if (end < 0 || static_cast<unsigned long>(end) > 0xFFFFFFFFul) {
      delete h;
      return fail(MMIOERR_CANNOTREAD);
    }
    h->size = static_cast<DWORD>(end);
  }
  if (info) info->hmmio = h;
  return h;
}

MMRESULT mmioClose(HMMIO h, UINT /*flags*/) {
  if (!h) return MMSYSERR_INVALHANDLE;
  delete h;
  return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO h, HPSTR buffer, LONG count) {
  if (!h || count < 0 || (!buffer && count > 0)) return -1;
  return static_cast<LONG>(ReadAt(h, buffer, static_cast<DWORD>(count)));
}

LONG mmioSeek(HMMIO h, LONG offset, int origin) {
  if (!h) return -1;
  std::int64_t base = 0;
  if (origin == SEEK_CUR) {
    base = h->position;
  } else if (origin == SEEK_END) {
    base = h->size;
  } else if (origin != SEEK_SET) {
    return -1;
  }
  std::int64_t target = base + offset;
  if (target < 0 || target > static_cast<std::int64_t>(h->size) || target > 0x7FFFFFFF) {
    return -1;
  }
  h->position = static_cast<DWORD>(target);
  return static_cast<LONG>(target);
}

DWORD mmioFileSize(HMMIO h) {
  return h ? h->size : 0;
}

MMRESULT mmioDescend(HMMIO h, LPMMCKINFO ck, const MMCKINFO* parent, UINT flags) {
  if (!h || !ck) return MMSYSERR_INVALPARAM;
  // The search stays inside the parent's data (RIFF and LIST data start with the form type)
  // and inside the file, whichever ends first.
  std::uint64_t limit = h->size;
  if (parent && ChunkEnd(*parent) < limit) limit = ChunkEnd(*parent);

  FOURCC wanted = ck->ckid;
  FOURCC wanted_type = ck->fccType;
  UINT find = flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST);
  for (;;) {
    std::uint64_t start = h->position;
    if (start + 8 > limit) return MMIOERR_CHUNKNOTFOUND;
    MMCKINFO found{};
    if (!ReadDword(h, &found.ckid) || !ReadDword(h, &found.cksize)) {
      return MMIOERR_CHUNKNOTFOUND;
    }
    found.dwDataOffset = static_cast<DWORD>(start + 8);
    bool has_type = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
    // The form type is read whatever the size says: a writer that cannot seek back (a pipe,
    // a recorder cut off) leaves the size 0, and the caller decides what that means. Such a
    // chunk holds nothing for a search inside it until its size is set.
    if (has_type && (start + 12 > limit || !ReadDword(h, &found.fccType))) {
      return MMIOERR_CHUNKNOTFOUND;
    }
    bool match = true;
    if (find == MMIO_FINDCHUNK) match = found.ckid == wanted;
    if (find == MMIO_FINDRIFF) match = found.ckid == FOURCC_RIFF && found.fccType == wanted_type;
    if (find == MMIO_FINDLIST) match = found.ckid == FOURCC_LIST && found.fccType == wanted_type;
    if (match) {
      *ck = found;
      return MMSYSERR_NOERROR;
    }
    // Skip the chunk and its pad byte; a chunk that runs past the limit ends the search.
    std::uint64_t next = ChunkEnd(found) + (found.cksize & 1);
    if (next > limit) return MMIOERR_CHUNKNOTFOUND;
    h->position = static_cast<DWORD>(next);
  }
}

MMRESULT mmioAscend(HMMIO h, LPMMCKINFO ck, UINT /*flags*/) {
  if (!h || !ck) return MMSYSERR_INVALPARAM;
  std::uint64_t next = ChunkEnd(*ck) + (ck->cksize & 1);
  if (next > h->size) next = h->size;
  h->position = static_cast<DWORD>(next);
  return MMSYSERR_NOERROR;
}
