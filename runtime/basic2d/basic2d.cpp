// The basic 2D module: screen clear, ink and colours, and dots, lines, boxes, gradient boxes,
// circles, ellipses and area copies drawn onto CoreData's render surface with the display's
// device. Pixel operations lock the surface (once, when the caller has not locked it already).
// Depends on the core (CoreData, the module table) and platform/d3d9.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "tessark/basic2d.h"

namespace tessark::basic2d {

namespace {

constexpr DWORD kLineFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;                // 0x44, 20 bytes
constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x144, 28 bytes

struct LineVertex {
  float x, y, z, rhw;
  DWORD colour;
};
struct QuadVertex {
  float x, y, z, rhw;
  DWORD colour;
  float u, v;
};
static_assert(sizeof(LineVertex) == 20 && sizeof(QuadVertex) == 28);

struct Basic2dState {
  CoreData* core = nullptr;
  IDirect3DDevice9* device = nullptr;  // the display's; not owned
  Ref<IDirect3DVertexBuffer9> line_buffer;
  std::int32_t bytes_per_pixel = 0;
  bool locked = false;
  IDirect3DSurface9* locked_surface = nullptr;
  std::int32_t pitch = 0;
  BYTE* bits = nullptr;
  std::int32_t locked_width = 0, locked_height = 0;
};

Basic2dState& State() {
  static Basic2dState state;
  return state;
}

void ReadDepth() {
  Basic2dState& s = State();
  s.bytes_per_pixel = 0;
  if (!s.core || !s.core->render_surface) return;
  D3DSURFACE_DESC desc;
  if (SUCCEEDED(s.core->render_surface->GetDesc(&desc)))
    s.bytes_per_pixel = d3d9_internal::FormatDepth(desc.Format) / 8;
}

void TakeDevice() {
  Basic2dState& s = State();
  s.device = Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  s.line_buffer.Reset();
  if (s.device) {
    s.device->CreateVertexBuffer(4 * sizeof(LineVertex), D3DUSAGE_WRITEONLY, kLineFvf,
                                 D3DPOOL_DEFAULT, s.line_buffer.Put(), nullptr);
  }
}

// Locks the render surface unless it is locked already; true when it is locked now.
bool Lock() {
  Basic2dState& s = State();
  if (s.locked) return true;
  if (!s.core || !s.core->render_surface) return false;
  IDirect3DSurface9* surface = s.core->render_surface;
  D3DLOCKED_RECT lr;
  if (FAILED(surface->LockRect(&lr, nullptr, 0))) return false;
  D3DSURFACE_DESC desc;
  surface->GetDesc(&desc);
  s.locked_surface = surface;
  s.pitch = lr.Pitch;
  s.bits = static_cast<BYTE*>(lr.pBits);
  s.locked_width = static_cast<std::int32_t>(desc.Width);
  s.locked_height = static_cast<std::int32_t>(desc.Height);
  s.locked = true;
  return true;
}

void Unlock() {
  Basic2dState& s = State();
  if (!s.locked) return;
  s.locked_surface->UnlockRect();
  s.locked = false;
  s.locked_surface = nullptr;
  s.bits = nullptr;
}

// The pixel's address, or null when it lies outside the display or the locked surface.
BYTE* PixelAt(std::int32_t x, std::int32_t y) {
  Basic2dState& s = State();
  if (x < 0 || y < 0) return nullptr;
  if (s.core->draw_target == 0 && (x >= s.core->display_width || y >= s.core->display_height)) {
    return nullptr;
  }
  if (x >= s.locked_width || y >= s.locked_height) return nullptr;
  return s.bits + static_cast<std::ptrdiff_t>(y) * s.pitch +
         static_cast<std::ptrdiff_t>(x) * s.bytes_per_pixel;
}

// Writes one colour into pixels of the locked surface, with PixelAt's bounds and the colour's
// packing worked out once: outlines write hundreds of pixels a call.
class Plotter {
 public:
  explicit Plotter(std::uint32_t colour) {
    const Basic2dState& s = State();
    width_ = s.locked_width, height_ = s.locked_height;
    if (s.core->draw_target == 0) {
      width_ = std::min(width_, s.core->display_width);
      height_ = std::min(height_, s.core->display_height);
    }
    bits_ = s.bits, pitch_ = s.pitch, bytes_ = s.bytes_per_pixel;
    colour_ = colour;
    const std::uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    colour16_ = static_cast<std::uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
  }
  void operator()(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    BYTE* p =
        bits_ + static_cast<std::ptrdiff_t>(y) * pitch_ + static_cast<std::ptrdiff_t>(x) * bytes_;
    if (bytes_ == 4) {
      std::memcpy(p, &colour_, 4);
    } else if (bytes_ == 2) {
      std::memcpy(p, &colour16_, 2);
    }
  }

 private:
  BYTE* bits_;
  std::ptrdiff_t pitch_;
  std::int32_t bytes_, width_, height_;
  std::uint32_t colour_;
  std::uint16_t colour16_;
};

void PixelWrite(std::int32_t x, std::int32_t y, std::uint32_t colour) {
  const Plotter pixel(colour);
  pixel(x, y);
}

// The ellipse's parameter steps: t from 0 below 2 in float steps of 0.001, with sin t and
// cos t. Each step aims the outline's walk at (rx sin t, ry cos t), truncated; a step whose
// aim equals the last one draws nothing, so runs of them are skipped. sin t rises to its peak
// and falls, cos t falls throughout, so within each half every aim stays the same for a run
// of steps and then moves on for good: Next finds the end of the run by galloping. Should
// the library's values not be monotonic, every step is taken.
struct EllipseSteps {
  std::vector<float> sin, cos;
  std::size_t peak = 0;  // the last step of the rising half
  bool monotonic = true;

  EllipseSteps() {
    for (float t = 0.0f; t < 2.0f; t += 0.001f) {
      sin.push_back(std::sin(t));
      cos.push_back(std::cos(t));
    }
    for (std::size_t i = 1; i < sin.size(); ++i) {
      if (sin[i] >= sin[peak]) peak = i;
    }
    for (std::size_t i = 1; i < sin.size(); ++i) {
      monotonic &=
          (i <= peak ? sin[i] >= sin[i - 1] : sin[i] <= sin[i - 1]) && cos[i] <= cos[i - 1];
    }
  }
  std::int32_t A(std::size_t i, float rx) const { return static_cast<std::int32_t>(rx * sin[i]); }
  std::int32_t B(std::size_t i, float ry) const { return static_cast<std::int32_t>(ry * cos[i]); }
  // The first step after i that aims elsewhere, or the first of the falling half.
  std::size_t Next(std::size_t i, float rx, float ry) const {
    const std::size_t end = i < peak ? peak + 1 : sin.size();
    if (!monotonic || i + 1 >= end) return i + 1;
    const std::int32_t a = A(i, rx), b = B(i, ry);
    auto same = [&](std::size_t j) { return A(j, rx) == a && B(j, ry) == b; };
    std::size_t lo = i, hi = i + 1;  // same(lo); is same(hi)?
    for (std::size_t step = 1; hi < end && same(hi); step *= 2) {
      lo = hi;
      hi = std::min(end, hi + step);
    }
    if (hi >= end) hi = end;
    while (hi - lo > 1) {  // same(lo), and hi differs or is the end
      const std::size_t mid = lo + (hi - lo) / 2;
      (same(mid) ? lo : hi) = mid;
    }
    return hi;
  }
};

const EllipseSteps& Steps() {
  static const EllipseSteps steps;
  return steps;
}

// The aims an ellipse of radii (rx, ry) walks through, in order, for the last few radii
// drawn: a game draws the same ellipses frame after frame, and the search for each run's end
// is most of a small ellipse's cost.
const std::vector<std::pair<std::int32_t, std::int32_t>>& EllipseAims(std::int32_t rx,
                                                                      std::int32_t ry) {
  struct Entry {
    std::int32_t rx = 0, ry = 0;
    bool used = false;
    std::vector<std::pair<std::int32_t, std::int32_t>> aims;
  };
  constexpr std::size_t kEntries = 8;
  thread_local Entry cache[kEntries];
  thread_local std::size_t next = 0;
  for (const Entry& e : cache) {
    if (e.used && e.rx == rx && e.ry == ry) return e.aims;
  }
  Entry& e = cache[next];
  next = (next + 1) % kEntries;
  e.rx = rx, e.ry = ry, e.used = true;
  e.aims.clear();
  const EllipseSteps& steps = Steps();
  const float frx = static_cast<float>(rx), fry = static_cast<float>(ry);
  for (std::size_t i = 0; i < steps.sin.size(); i = steps.Next(i, frx, fry)) {
    e.aims.emplace_back(steps.A(i, frx), steps.B(i, fry));
  }
  return e.aims;
}

// Runs a pixel operation with the surface locked, unlocking afterwards only if it locked.
template <typename Fn>
void WithLock(Fn fn) {
  bool was_locked = State().locked;
  if (!Lock()) return;
  fn();
  if (!was_locked) Unlock();
}

// ---------------------------------------------------------------------------------------------
// Module entries
// ---------------------------------------------------------------------------------------------

void Constructor(void*) {
  Basic2dState& s = State();
  CoreData* core = s.core;
  s = Basic2dState{};
  s.core = core;
  TakeDevice();
}

void SetErrorHandler(std::int32_t* error_word) {
  ErrorWordSet(error_word);
}

void PassCoreData(CoreData* core) {
  State().core = core;
  ReadDepth();
}

void RefreshD3D(std::int32_t stage) {
  Basic2dState& s = State();
  if (stage == 0) {
    Unlock();  // the surface is about to go
    s.line_buffer.Reset();
    s.device = nullptr;
  } else if (stage == 1) {
    TakeDevice();
    ReadDepth();
  }
}

void Destructor() {
  Unlock();
  Basic2dState& s = State();
  s.line_buffer.Reset();
  s = Basic2dState{};
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void Wire(ModuleTable& table) {
  table.basic2d.Constructor = Constructor;
  table.basic2d.SetErrorHandler = SetErrorHandler;
  table.basic2d.PassCoreData = PassCoreData;
  table.basic2d.RefreshD3D = RefreshD3D;
  table.basic2d.Destructor = Destructor;
  Basic2dServices& services = table.basic2d_services;
  services.DotDraw = tessark::DotDrawColour;
  services.SurfaceLock = tessark::SurfaceLock;
  services.SurfaceUnlock = tessark::SurfaceUnlock;
  services.BoxDraw = tessark::BoxDraw;
  services.LineDraw = tessark::LineDraw;
  services.CircleDraw = tessark::CircleDraw;
  services.AreaCopy = tessark::AreaCopy;
}

}  // namespace tessark::basic2d

namespace tessark {

// ---------------------------------------------------------------------------------------------
// Game-facing operations
// ---------------------------------------------------------------------------------------------

using tessark::basic2d::State;

void ScreenClear(std::uint32_t colour) {
  auto& s = State();
  if (!s.core) return;
  s.core->print_x = s.core->print_y = 0;
  if (s.device) s.device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 0.0f, 0);
}

void InkSet(std::uint32_t foreground, std::uint32_t background) {
  auto& s = State();
  if (!s.core) return;
  s.core->ink = foreground;
  s.core->background_ink = background;
}

std::uint32_t ColourRgb(std::int32_t red, std::int32_t green, std::int32_t blue) {
  // The OR with 0xFFFFFF00 makes red's high bits vanish under the alpha byte.
  std::uint32_t c = (0xFFFFFF00u | static_cast<std::uint32_t>(red)) << 8;
  c = (c | (static_cast<std::uint32_t>(green) & 0xFF)) << 8;
  return c | (static_cast<std::uint32_t>(blue) & 0xFF);
}

std::int32_t ColourRed(std::uint32_t colour) {
  return static_cast<std::int32_t>((colour >> 16) & 0xFF);
}
std::int32_t ColourGreen(std::uint32_t colour) {
  return static_cast<std::int32_t>((colour >> 8) & 0xFF);
}
std::int32_t ColourBlue(std::uint32_t colour) {
  return static_cast<std::int32_t>(colour & 0xFF);
}

void DotDraw(std::int32_t x, std::int32_t y) {
  auto& s = State();
  if (!s.core) return;
  DotDrawColour(x, y, s.core->ink);
}

void DotDrawColour(std::int32_t x, std::int32_t y, std::uint32_t colour) {
  if (!State().core) return;
  tessark::basic2d::WithLock([&] { tessark::basic2d::PixelWrite(x, y, colour); });
}

std::uint32_t DotRead(std::int32_t x, std::int32_t y) {
  auto& s = State();
  if (!s.core) return 0;
  std::uint32_t result = 0;
  tessark::basic2d::WithLock([&] {
    const BYTE* p = tessark::basic2d::PixelAt(x, y);
    if (!p) return;
    if (s.bytes_per_pixel == 4) {
      std::memcpy(&result, p, 4);
    } else if (s.bytes_per_pixel == 2) {
      std::uint16_t v;
      std::memcpy(&v, p, 2);
      // The 16-bit channels widen by fixed factors, which reach 255 at full scale.
      auto r = std::min(255, static_cast<int>((v >> 11) * 8.3));
      auto g = std::min(255, static_cast<int>(((v >> 5) & 63) * 4.1));
      auto b = std::min(255, static_cast<int>((v & 31) * 8.3));
      result = 0xFF000000u | static_cast<std::uint32_t>(r) << 16 |
               static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
    }
  });
  return result;
}

void LineDraw(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  auto& s = State();
  if (!s.core || !s.device || !s.line_buffer) return;
  void* data = nullptr;
  if (FAILED(s.line_buffer->Lock(0, 0, &data, 0))) return;
  DWORD ink = s.core->ink;
  tessark::basic2d::LineVertex v[2] = {
      {static_cast<float>(x1), static_cast<float>(y1), 0.0f, 1.0f, ink},
      {static_cast<float>(x2), static_cast<float>(y2), 0.0f, 1.0f, ink}};
  std::memcpy(data, v, sizeof(v));
  s.line_buffer->Unlock();
  IDirect3DDevice9* d = s.device;
  d->SetTexture(0, nullptr);
  d->SetTexture(1, nullptr);
  d->SetVertexShader(nullptr);
  d->SetFVF(tessark::basic2d::kLineFvf);
  d->SetStreamSource(0, s.line_buffer.Get(), 0, sizeof(tessark::basic2d::LineVertex));
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  d->DrawPrimitive(D3DPT_LINELIST, 0, 1);
}

void BoxDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  auto& s = State();
  if (!s.core || !s.device) return;
  D3DRECT r{left, top, right, bottom};
  s.device->Clear(1, &r, D3DCLEAR_TARGET, s.core->ink, 0.0f, 0);
}

void BoxGradientDraw(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                     std::uint32_t c1, std::uint32_t c2, std::uint32_t c3, std::uint32_t c4) {
  auto& s = State();
  if (!s.core || !s.device) return;
  IDirect3DDevice9* d = s.device;
  Ref<IDirect3DVertexBuffer9> vb;
  if (FAILED(d->CreateVertexBuffer(4 * sizeof(tessark::basic2d::QuadVertex), D3DUSAGE_WRITEONLY,
                                   tessark::basic2d::kQuadFvf, D3DPOOL_DEFAULT, vb.Put(),
                                   nullptr))) {
    return;
  }
  void* data = nullptr;
  if (FAILED(vb->Lock(0, 0, &data, 0))) return;
  auto fx = [](std::int32_t v) { return static_cast<float>(v); };
  tessark::basic2d::QuadVertex v[4] = {{fx(left), fx(bottom), 10.0f, 1.0f, c1, 0, 0},
                                       {fx(left), fx(top), 10.0f, 1.0f, c2, 0, 0},
                                       {fx(right), fx(bottom), 10.0f, 1.0f, c3, 0, 0},
                                       {fx(right), fx(top), 10.0f, 1.0f, c4, 0, 0}};
  std::memcpy(data, v, sizeof(v));
  vb->Unlock();
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  d->SetRenderState(D3DRS_DITHERENABLE, FALSE);
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_COLORVERTEX, TRUE);
  d->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
  d->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  d->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
  d->SetVertexShader(nullptr);
  d->SetFVF(tessark::basic2d::kQuadFvf);
  d->SetStreamSource(0, vb.Get(), 0, sizeof(tessark::basic2d::QuadVertex));
  d->SetTexture(0, nullptr);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  // The buffer goes with this call; the stream must not keep it.
  d->SetStreamSource(0, nullptr, 0, 0);
}

void CircleDraw(std::int32_t x, std::int32_t y, std::int32_t r) {
  auto& s = State();
  if (!s.core) return;
  std::uint32_t ink = s.core->ink;
  tessark::basic2d::WithLock([&] {
    const tessark::basic2d::Plotter pixel(ink);
    auto plot = [&](std::int32_t a, std::int32_t b) {
      pixel(x + a, y + b);
      pixel(x - a, y + b);
      pixel(x + a, y - b);
      pixel(x - a, y - b);
      pixel(x + b, y + a);
      pixel(x - b, y + a);
      pixel(x + b, y - a);
      pixel(x - b, y - a);
    };
    std::int32_t a = 0, b = r, d = 1 - r;
    plot(a, b);
    if (r <= 0) return;
    do {
      // The decision update has no constant terms; the pixel pattern follows from that.
      if (d < 0) {
        d += 2 * a;
      } else {
        d += 2 * (a - b);
        --b;
      }
      ++a;
      plot(a, b);
    } while (b > a);
  });
}

void EllipseDraw(std::int32_t x, std::int32_t y, std::int32_t rx, std::int32_t ry) {
  auto& s = State();
  if (!s.core) return;
  std::uint32_t ink = s.core->ink;
  tessark::basic2d::WithLock([&] {
    const tessark::basic2d::Plotter pixel(ink);
    std::int32_t a = 0, b = ry;
    for (const auto& [ta, tb] : tessark::basic2d::EllipseAims(rx, ry)) {
      while (a != ta || b != tb) {
        if (a != ta) a += ta > a ? 1 : -1;
        if (b != tb) b += tb > b ? 1 : -1;
        pixel(x + a, y + b);
        pixel(x - a, y + b);
        pixel(x + a, y - b);
        pixel(x - a, y - b);
      }
    }
  });
}

void AreaCopy(std::int32_t dest_x, std::int32_t dest_y, std::int32_t width, std::int32_t height,
              std::int32_t source_x, std::int32_t source_y) {
  auto& s = State();
  if (!s.core || !s.device || !s.core->render_surface) return;
  IDirect3DSurface9* surface = s.core->render_surface;
  D3DSURFACE_DESC desc;
  if (FAILED(surface->GetDesc(&desc))) return;
  auto w = static_cast<std::int32_t>(desc.Width), h = static_cast<std::int32_t>(desc.Height);
  RECT src{source_x, source_y, std::min(source_x + width, w), std::min(source_y + height, h)};
  RECT dst{dest_x, dest_y, dest_x + (src.right - src.left), dest_y + (src.bottom - src.top)};
  // The parts that fall outside the surface on either side are dropped from both rectangles.
  auto trim = [](LONG& a, LONG& b, LONG lo) {
    if (a < lo) {
      b += lo - a;
      a = lo;
    }
  };
  trim(src.left, dst.left, 0);
  trim(src.top, dst.top, 0);
  trim(dst.left, src.left, 0);
  trim(dst.top, src.top, 0);
  LONG over_x = std::max<LONG>(0, dst.right - w), over_y = std::max<LONG>(0, dst.bottom - h);
  dst.right -= over_x;
  src.right -= over_x;
  dst.bottom -= over_y;
  src.bottom -= over_y;
  if (src.right <= src.left || src.bottom <= src.top) return;
  // Through a copy of the whole surface, so that overlapping rectangles are safe.
  Ref<IDirect3DSurface9> copy;
  if (FAILED(s.device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE,
                                          0, TRUE, copy.Put(), nullptr))) {
    return;
  }
  if (FAILED(s.device->StretchRect(surface, nullptr, copy.Get(), nullptr, D3DTEXF_NONE))) return;
  s.device->StretchRect(copy.Get(), &src, surface, &dst, D3DTEXF_NONE);
}

void SurfaceLock() {
  if (State().core) tessark::basic2d::Lock();
}

void SurfaceUnlock() {
  tessark::basic2d::Unlock();
}

void* SurfacePixels() {
  return State().locked ? State().bits : nullptr;
}

std::int32_t SurfacePitch() {
  return State().locked ? State().pitch : 0;
}

std::int32_t SurfaceDepthRead() {
  tessark::basic2d::ReadDepth();
  return State().bytes_per_pixel;
}

}  // namespace tessark
