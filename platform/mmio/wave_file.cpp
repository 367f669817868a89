// Writing wave files: the one writer of RIFF "WAVE" files for the recorder and for sounds made
// from data. Sizes are checked before anything is written, so a long recording can never wrap
// the file's 32-bit sizes into a header that claims less than the file holds.
#include <cstdio>
#include <vector>

#include "platform/mmio/mmsystem.h"
#include "platform/win32/paths.h"

namespace {

// The bytes of the "fmt " chunk: 16 for PCM (no extra size), else the record and its extras.
DWORD FormatBytes(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_PCM ? sizeof(PCMWAVEFORMAT)
                                              : sizeof(WAVEFORMATEX) + format.cbSize;
}

void Put32(std::vector<BYTE>& out, DWORD value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

}  // namespace

DWORD WaveFileDataMax(const WAVEFORMATEX& format) {
  const DWORD fmt = FormatBytes(format);
  // "WAVE", then the two chunk headers and the format (with its pad byte) inside the RIFF size;
  // the data keeps room for its own pad byte.
  const std::uint64_t room = 0xFFFFFFFFull - 4 - 8 - (fmt + (fmt & 1)) - 8 - 1;
  return static_cast<DWORD>(room);
}

bool WaveFileWrite(const char* name, const WAVEFORMATEX& format,
                   std::span<const std::span<const BYTE>> pieces) {
  if (!name || !*name) return false;
  std::uint64_t data = 0;
  for (const auto& piece : pieces) data += piece.size();
  if (data > WaveFileDataMax(format)) return false;
  const DWORD fmt = FormatBytes(format);
  std::vector<BYTE> header;
  Put32(header, FOURCC_RIFF);
  Put32(header, static_cast<DWORD>(4 + 8 + fmt + (fmt & 1) + 8 + data + (data & 1)));
  Put32(header, mmioFOURCC('W', 'A', 'V', 'E'));
  Put32(header, mmioFOURCC('f', 'm', 't', ' '));
  Put32(header, fmt);
  const BYTE* record = reinterpret_cast<const BYTE*>(&format);
  header.insert(header.end(), record, record + fmt);
  if (fmt & 1) header.push_back(0);
  Put32(header, mmioFOURCC('d', 'a', 't', 'a'));
  Put32(header, static_cast<DWORD>(data));

  std::FILE* f = std::fopen(win32::NativePath(name).c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  for (const auto& piece : pieces) {
    ok = ok && std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
  }
  if (data & 1) ok = ok && std::fputc(0, f) == 0;
  ok = std::fclose(f) == 0 && ok;
  return ok;
}
