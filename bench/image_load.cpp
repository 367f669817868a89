// Loading the game's 49 pictures: 49 PNG files of the game's sizes (two 640 by 480 backdrops,
// a 512 by 320 pot, buttons, a cursor ring, effect frames, digits, multipliers, 32 by 32
// tokens and captions), made here with soft edges and noise so that they compress like
// drawn art, loaded with ImageLoad(file, id, 1) into ids 2 to 50 through the image module on a
// software device. The target is under 15 ms for all 49. BM_DecodeGamePictures compares the
// PNG decoding alone through the loader's own reader and through SDL2_image.
#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3dx9/image_file.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/image.h"

using namespace tessark;

namespace tessark::image {
void Wire(ModuleTable& table);
}

namespace {

struct Picture {
  std::string name;
  int width;
  int height;
};

std::vector<Picture> GamePictures() {
  std::vector<Picture> list = {{"Background01", 640, 480}, {"Background02", 640, 480},
                               {"AddVeg", 128, 48},        {"AddVegFaded", 128, 48},
                               {"Shake", 128, 48},         {"ShakeFaded", 128, 48},
                               {"Cursor", 92, 92},         {"Pop01", 64, 64},
                               {"Pop02", 64, 64},          {"Pop03", 64, 64}};
  for (int i = 0; i < 15; ++i) list.push_back({"Digit" + std::to_string(i), 24, 32});
  for (int i = 3; i <= 6; ++i) list.push_back({"multi" + std::to_string(i), 96, 48});
  list.push_back({"Pot", 512, 320});
  for (int i = 0; i < 14; ++i) list.push_back({"Shape" + std::to_string(i), 32, 32});
  for (int i = 0; i < 5; ++i) list.push_back({"Text" + std::to_string(i), 256, 64});
  return list;
}

// A picture like drawn art: a round soft-edged shape over shaded noise.
void WritePicture(const std::string& path, int w, int h, unsigned seed) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  const float cx = w / 2.0f, cy = h / 2.0f, radius = std::min(w, h) / 2.0f;
  unsigned state = seed;
  for (int y = 0; y < h; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < w; ++x) {
      state = state * 214013u + 2531011u;
      const unsigned noise = (state >> 16) & 15;
      const float d = std::hypot(x - cx, y - cy) / radius;
      const unsigned alpha = w >= 640   ? 255
                             : d < 0.9f ? 255
                             : d < 1.0f ? unsigned((1.0f - d) * 2550)
                                        : 0;
      const unsigned r = (x * 255 / w + noise) & 255, g = (y * 255 / h + noise) & 255;
      row[x] = alpha << 24 | r << 16 | g << 8 | ((r + g) / 2);
    }
  }
  IMG_SavePNG(s, path.c_str());
  SDL_FreeSurface(s);
}

IDirect3DDevice9* g_device = nullptr;

// Writes the 49 files into bench_pictures; gives their names as the game states them.
std::vector<std::string> WriteGamePictures() {
  mkdir("bench_pictures", 0755);
  const std::vector<Picture> pictures = GamePictures();
  std::vector<std::string> files;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    files.push_back("bench_pictures\\" + pictures[i].name + ".png");
    WritePicture("bench_pictures/" + pictures[i].name + ".png", pictures[i].width,
                 pictures[i].height, static_cast<unsigned>(i));
  }
  return files;
}

// Decoding alone, the 49 files already in memory: Arg 0 through the loader's own PNG reader
// (libdeflate), Arg 1 through SDL2_image (libpng on zlib), the path PNG files took before.
void BM_DecodeGamePictures(benchmark::State& state) {
  std::vector<std::vector<std::uint8_t>> bytes;
  for (std::string file : WriteGamePictures()) {
    file[file.find('\\')] = '/';
    bytes.emplace_back();
    if (!d3dx::ReadFileBytes(file, &bytes.back())) {
      state.SkipWithError("a picture was not written");
      return;
    }
  }
  const bool sdl = state.range(0) == 1;
  for (auto _ : state) {
    for (const auto& file : bytes) {
      d3dx::ArgbImage image;
      const bool decoded =
          sdl ? d3dx::DecodeThroughSdl(d3dx::iff::kPng, file.data(), file.size(), &image)
              : d3dx::DecodePng(file.data(), file.size(), &image) == d3dx::PngResult::kDecoded;
      if (!decoded) state.SkipWithError("a picture did not decode");
      benchmark::DoNotOptimize(image.pixels.data());
    }
  }
  state.SetLabel(sdl ? "SDL2_image" : "libdeflate");
}
BENCHMARK(BM_DecodeGamePictures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_LoadGamePictures(benchmark::State& state) {
  const std::vector<std::string> files = WriteGamePictures();

  tessark::image::Wire(tessark::Modules());
  Ref<IDirect3D9> d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 640;
  pp.BackBufferHeight = 480;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  Ref<IDirect3DDevice9> device;
  if (!d3d || FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, device.Put()))) {
    state.SkipWithError("no software device");
    return;
  }
  g_device = device.Get();
  tessark::ModuleTable& m = tessark::Modules();
  m.display.DisplayDevice = [] { return g_device; };
  m.image.Constructor(nullptr);
  m.image.PassCoreData(tessark::CoreDataGet());

  for (auto _ : state) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      ImageLoad(files[i].c_str(), static_cast<std::int32_t>(i + 2), 1);
    }
  }
  state.counters["files"] = static_cast<double>(files.size());
  bool all = true;
  for (std::size_t i = 0; i < files.size(); ++i)
    all = all && ImageExists(static_cast<std::int32_t>(i + 2));
  if (!all) state.SkipWithError("a picture did not load");
  m.image.Destructor();
  g_device = nullptr;
}
BENCHMARK(BM_LoadGamePictures)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
