// libFuzzer target for the image file loader: any bytes go through the header probe and the
// D3DX loads into textures of the size the header claims, as ImageLoad does: keyed into 32-bit
// ARGB, in the file's own format, and as a mip-mapped texture from the file. Bad input must
// end in a failure result: never a crash, a hang or an allocation the size checks should stop.
// A PNG is also decoded with its CRCs mended, so that the fuzzer reaches past them.
// Any single allocation above what a decoder may take for one picture (kMaxDecodeAllocation)
// ends the run as a finding, whatever -malloc_limit_mb the command line gives.
#include <libdeflate.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/input_file.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/image_file.h"

namespace {

IDirect3DDevice9* Device() {
  static IDirect3DDevice9* device = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!d3d) std::abort();
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    IDirect3DDevice9* made = nullptr;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &pp, &made))) {
      std::abort();
    }
    return made;  // kept for the whole run
  }();
  return device;
}

// Loads the picture into one level of format, as an exact (mode 1) image does.
void LoadInto(const std::uint8_t* data, std::size_t size, const D3DXIMAGE_INFO& info,
              D3DFORMAT format) {
  Ref<IDirect3DTexture9> texture;
  if (FAILED(D3DXCreateTexture(Device(), info.Width, info.Height, 1, 0, format, D3DPOOL_MANAGED,
                               texture.Put()))) {
    return;
  }
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  const RECT picture{0, 0, static_cast<LONG>(desc.Width < info.Width ? desc.Width : info.Width),
                     static_cast<LONG>(desc.Height < info.Height ? desc.Height : info.Height)};
  D3DXLoadSurfaceFromFileInMemory(texture->Level(0, 0), nullptr, &picture, data,
                                  static_cast<UINT>(size), nullptr, D3DX_FILTER_POINT,
                                  format == D3DFMT_A8R8G8B8 ? 0xFF000000 : 0, nullptr);
}

// A PNG's chunks with their CRCs made right, so that changed bytes get past the CRC check into
// the header, palette and row handling; false for anything else.
bool WithPngCrcsMended(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* out) {
  if (size < 8 || std::memcmp(data, "\x89PNG", 4) != 0) return false;
  out->assign(data, data + size);
  for (std::size_t at = 8; size - at >= 12;) {
    const std::uint8_t* p = out->data() + at;
    const std::uint32_t length =
        static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    if (length > size - at - 12) break;
    const std::uint32_t crc = libdeflate_crc32(0, p + 4, std::size_t{4} + length);
    for (int i = 0; i < 4; ++i)
      (*out)[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    at += std::size_t{12} + length;
  }
  return true;
}

}  // namespace

// The allocation limit, held whatever the command line gives (see absolute_paths.cpp).
extern "C" const char* TessarkFuzzForcedFlag() {
  static const std::string limit =
      "-malloc_limit_mb=" + std::to_string(d3dx::kMaxDecodeAllocation >> 20);
  return limit.c_str();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  std::vector<std::uint8_t> mended;
  if (WithPngCrcsMended(data, size, &mended)) {
    d3dx::DecodedImage image;
    d3dx::DecodeImage(mended.data(), mended.size(), &image);
  }
  D3DXIMAGE_INFO info{};
  if (FAILED(D3DXGetImageInfoFromFileInMemory(data, static_cast<UINT>(size), &info))) return 0;
  // Keyed into the usual image format, and in the file's own format (DXT blocks as they are).
  LoadInto(data, size, info, D3DFMT_A8R8G8B8);
  LoadInto(data, size, info, info.Format);
  // A mip-mapped texture from the file: its own mip levels, the rest filtered.
  static const InputFile file("image_load", "");
  if (file.Write(data, size)) {
    Ref<IDirect3DTexture9> texture;
    D3DXCreateTextureFromFileExA(Device(), file.path().c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                 D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                 D3DX_DEFAULT, 0, nullptr, nullptr, texture.Put());
  }
  return 0;
}
