// One game frame drawn two ways in one run: through the software Direct3D 9 device (the way the
// runtime's quad renderer draws it) and through SDL2's own software renderer. The frame: a
// clear, a 640 by 480 opaque backdrop, a 512 by 320 alpha-blended pot, 200 alpha-blended 32 by
// 32 tokens each turned by its own angle about its centre, 30 pasted 12 by 16 digits and a 92 by
// 92 ring. Prints a hash of the device frame's pixels first ("picture"), and ends by printing
// "ratio <device time / SDL2 time>".
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <vector>

#include "bench/side_by_side.h"
#include "platform/d3d9/d3d9.h"
#include "tests/support/windowed_device.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kTokens = 200, kDigits = 30;

using side_by_side::MakePicture;
using side_by_side::Picture;

struct Scene {
  Picture backdrop = MakePicture(640, 480, 0);
  Picture pot = MakePicture(512, 320, 1);
  Picture token = MakePicture(32, 32, 2);
  Picture digit = MakePicture(12, 16, 3);
  Picture ring = MakePicture(92, 92, 4);
  struct Token {
    float x, y, angle;
  };
  std::vector<Token> tokens;
  Scene() {
    std::uint32_t seed = 12345;
    auto next = [&] {
      seed = seed * 214013u + 2531011u;
      return (seed >> 16) & 0x7FFF;
    };
    for (int i = 0; i < kTokens; ++i) {
      tokens.push_back(Token{static_cast<float>(70 + next() % 500),
                             static_cast<float>(160 + next() % 290),
                             static_cast<float>(next() % 360)});
    }
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

// ---------------------------------------------------------------------------------------------
// Through the device
// ---------------------------------------------------------------------------------------------

struct QuadVertex {
  float x, y, z, rhw;
  DWORD colour;
  float u, v;
};

struct DeviceFrame {
  Ref<IDirect3D9> d3d;
  Ref<IDirect3DDevice9> device;
  Ref<IDirect3DTexture9> backdrop, pot, token, digit, ring;

  Ref<IDirect3DTexture9> Upload(const Picture& p) {
    Ref<IDirect3DTexture9> t;
    device->CreateTexture(p.w, p.h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put(), nullptr);
    D3DLOCKED_RECT lr;
    t->LockRect(0, &lr, nullptr, 0);
    for (int y = 0; y < p.h; ++y) {
      std::memcpy(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch,
                  &p.texels[static_cast<std::size_t>(y) * p.w], static_cast<std::size_t>(p.w) * 4);
    }
    t->UnlockRect(0);
    return t;
  }

  DeviceFrame() {
    d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    tessark::testing::CreateWindowedDevice(d3d.Get(), kWidth, kHeight, device.Put(),
                                           D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, D3DFMT_X8R8G8B8,
                                           true);
    Scene& s = TheScene();
    backdrop = Upload(s.backdrop);
    pot = Upload(s.pot);
    token = Upload(s.token);
    digit = Upload(s.digit);
    ring = Upload(s.ring);
    IDirect3DDevice9* d = device.Get();
    // The quad renderer's states.
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  }

  // A paste: the picture at (x, y) texel for pixel, turned by angle degrees about its centre.
  void Paste(IDirect3DTexture9* t, int w, int h, float x, float y, bool blend, float angle = 0) {
    IDirect3DDevice9* d = device.Get();
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    d->SetTexture(0, t);
    float cx = x + w * 0.5f, cy = y + h * 0.5f;
    float c = std::cos(angle * 3.14159265f / 180), s = std::sin(angle * 3.14159265f / 180);
    const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    QuadVertex v[4];
    for (int i = 0; i < 4; ++i) {
      float dx = (corners[i][0] - 0.5f) * w, dy = (corners[i][1] - 0.5f) * h;
      v[i] = QuadVertex{cx + dx * c - dy * s - 0.5f,
                        cy + dx * s + dy * c - 0.5f,
                        0.5f,
                        1.0f,
                        0xFFFFFFFF,
                        corners[i][0],
                        corners[i][1]};
    }
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(QuadVertex));
  }

  void Draw() {
    IDirect3DDevice9* d = device.Get();
    Scene& s = TheScene();
    d->BeginScene();
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 0.0f, 0);
    Paste(backdrop.Get(), 640, 480, 0, 0, false);
    Paste(pot.Get(), 512, 320, 64, 150, true);
    for (const Scene::Token& t : s.tokens)
      Paste(token.Get(), 32, 32, t.x - 16, t.y - 16, true, t.angle);
    for (int i = 0; i < kDigits; ++i)
      Paste(digit.Get(), 12, 16, 20.0f + 13 * (i % 15), 10.0f + 20 * (i / 15), true);
    Paste(ring.Get(), 92, 92, 300, 200, true);
    d->EndScene();
  }
};

// ---------------------------------------------------------------------------------------------
// Through SDL2's software renderer
// ---------------------------------------------------------------------------------------------

struct SdlFrame {
  side_by_side::SdlSoftware sdl{kWidth, kHeight};
  SDL_Renderer* renderer = sdl.renderer;
  SDL_Texture *backdrop, *pot, *token, *digit, *ring;

  SdlFrame() {
    Scene& s = TheScene();
    backdrop = sdl.Upload(s.backdrop, false);
    pot = sdl.Upload(s.pot, true);
    token = sdl.Upload(s.token, true);
    digit = sdl.Upload(s.digit, true);
    ring = sdl.Upload(s.ring, true);
  }
  ~SdlFrame() {
    for (SDL_Texture* t : {backdrop, pot, token, digit, ring}) SDL_DestroyTexture(t);
  }

  void Draw() {
    Scene& s = TheScene();
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    SDL_Rect r{0, 0, 640, 480};
    SDL_RenderCopy(renderer, backdrop, nullptr, &r);
    r = SDL_Rect{64, 150, 512, 320};
    SDL_RenderCopy(renderer, pot, nullptr, &r);
    for (const Scene::Token& t : s.tokens) {
      SDL_Rect tr{static_cast<int>(t.x) - 16, static_cast<int>(t.y) - 16, 32, 32};
      SDL_RenderCopyEx(renderer, token, nullptr, &tr, t.angle, nullptr, SDL_FLIP_NONE);
    }
    for (int i = 0; i < kDigits; ++i) {
      SDL_Rect dr{20 + 13 * (i % 15), 10 + 20 * (i / 15), 12, 16};
      SDL_RenderCopy(renderer, digit, nullptr, &dr);
    }
    r = SDL_Rect{300, 200, 92, 92};
    SDL_RenderCopy(renderer, ring, nullptr, &r);
    SDL_RenderFlush(renderer);
  }
};

void BM_DeviceFrame(benchmark::State& state) {
  DeviceFrame frame;
  for (auto _ : state) frame.Draw();
}

void BM_Sdl2SoftwareFrame(benchmark::State& state) {
  SdlFrame frame;
  for (auto _ : state) frame.Draw();
}

BENCHMARK(BM_DeviceFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sdl2SoftwareFrame)->Unit(benchmark::kMillisecond);

}  // namespace

// A hash (FNV-1a) of the device frame's pixels: the same number before and after a change to
// the rasteriser means the frame is drawn to the same bit.
static std::uint64_t FramePictureHash() {
  DeviceFrame frame;
  frame.Draw();
  Ref<IDirect3DSurface9> back;
  frame.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  D3DLOCKED_RECT lr;
  if (!back || FAILED(back->LockRect(&lr, nullptr, D3DLOCK_READONLY))) return 0;
  std::uint64_t hash = 14695981039346656037ull;
  for (int y = 0; y < kHeight; ++y) {
    const BYTE* row = static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch;
    for (int i = 0; i < kWidth * 4; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
  }
  back->UnlockRect();
  return hash;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("picture %016llx\n", static_cast<unsigned long long>(FramePictureHash()));
  side_by_side::MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // On a shared machine the processor time is the steadier measure (wall time also counts the
  // time other processes hold the cores); both are shown, processor time last.
  const char* kDevice = "BM_DeviceFrame";
  const char* kSdl = "BM_Sdl2SoftwareFrame";
  double wall_d = reporter.Wall(kDevice), wall_s = reporter.Wall(kSdl);
  double cpu_d = reporter.Cpu(kDevice), cpu_s = reporter.Cpu(kSdl);
  if (wall_d > 0 && wall_s > 0) std::printf("ratio_wall %.3f\n", wall_d / wall_s);
  if (cpu_d > 0 && cpu_s > 0) std::printf("ratio %.3f\n", cpu_d / cpu_s);
  benchmark::Shutdown();
  return 0;
}
