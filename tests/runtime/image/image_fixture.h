// A fixture for the image and sprite modules on a software device of their own: the modules
// are bound by RuntimeWire and started in the runtime's order, with the display's device slot
// pointing at a 640 by 480 device made here. Tests draw, then read the back buffer's pixels.
// Pictures are written by the tests themselves (SDL2_image) into the build folder.
#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/runtime_wire.h"
#include "tessark/image.h"
#include "tessark/sprite.h"
#include "tests/support/windowed_device.h"

using namespace tessark;

namespace image_test {

inline IDirect3DDevice9*& TheDevice() {
  static IDirect3DDevice9* device = nullptr;
  return device;
}

// Writes a w by h picture whose pixels are fn(x, y) (0xAARRGGBB): PNG with alpha, or a 24-bit
// BMP or a JPEG.
template <typename Fn>
void WritePicture(const std::string& path, int w, int h, Fn fn) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  ASSERT_NE(s, nullptr);
  for (int y = 0; y < h; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < w; ++x) row[x] = fn(x, y);
  }
  const std::string ext = path.substr(path.size() - 4);
  if (ext == ".png") {
    ASSERT_EQ(IMG_SavePNG(s, path.c_str()), 0);
  } else {
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
    ASSERT_EQ(ext == ".jpg" ? IMG_SaveJPG(rgb, path.c_str(), 95) : SDL_SaveBMP(rgb, path.c_str()),
              0);
    SDL_FreeSurface(rgb);
  }
  SDL_FreeSurface(s);
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

class ImageModules : public ::testing::Test {
 protected:
  void SetUp() override {
    tessark::RuntimeWire();
    tessark::ErrorWordSet(&error_word_);
    d3d_ = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    ASSERT_EQ(tessark::testing::CreateWindowedDevice(d3d_.Get(), 640, 480, device_.Put()), D3D_OK);
    TheDevice() = device_.Get();
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back_buffer_.Put());
    tessark::CoreData* core = tessark::CoreDataGet();
    core->render_surface = back_buffer_.Get();
    core->back_buffer_surface = back_buffer_.Get();

    tessark::ModuleTable& m = tessark::Modules();
    m.display.DisplayDevice = [] { return TheDevice(); };
    m.image.Constructor(nullptr);
    m.image_services.ImageLink();
    m.image.SetErrorHandler(&error_word_);
    m.image.PassCoreData(core);
    m.image_services.ImageSetColourKey(0, 0, 0);
    m.sprite.Constructor(nullptr);
    m.sprite.PassCoreData(core);
    m.sprite.SetErrorHandler(&error_word_);
    device_->BeginScene();
    Clear(0xFF000000u);
    mkdir("pictures", 0755);
  }

  void TearDown() override {
    tessark::ModuleTable& m = tessark::Modules();
    m.sprite.Destructor();
    m.image.Destructor();
    device_->EndScene();
    tessark::CoreDataGet()->render_surface = nullptr;
    tessark::CoreDataGet()->back_buffer_surface = nullptr;
    back_buffer_.Reset();
    TheDevice() = nullptr;
    device_.Reset();
    d3d_.Reset();
    tessark::ErrorWordSet(nullptr);
    d3d9::testing::RestoreAll();
  }

  void Clear(std::uint32_t colour) { device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0); }

  // The back buffer's pixel at x, y as 0xRRGGBB.
  std::uint32_t Pixel(int x, int y) {
    return back_buffer_->Decoded()[static_cast<std::size_t>(y) * 640 + x] & 0xFFFFFFu;
  }

  std::int32_t error_word_ = 0;
  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
  Ref<IDirect3DSurface9> back_buffer_;
};

}  // namespace image_test
