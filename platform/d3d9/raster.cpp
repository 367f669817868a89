// Vertex fetch, fixed-function transform and lighting, clipping and primitive assembly of the
// software device; the per-pixel work lives in pixel.cpp.
#include "platform/d3d9/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/formats.h"
#include "platform/d3d9/pixel.h"
#include "platform/d3d9/spans.h"

namespace d3d9_internal {

namespace {

// Where each element sits in a vertex of a given format.
struct Layout {
  bool transformed = false;  // XYZRHW
  UINT position_floats = 0;  // 3 (XYZ), 4 (XYZRHW, XYZW), 3 + weights for XYZBn
  int normal = -1, diffuse = -1, specular = -1;
  int tex[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  UINT tex_count = 0;
  UINT size = 0;
};

Layout MakeLayout(DWORD fvf) {
  Layout l;
  UINT offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      l.position_floats = 3;
      break;
    case D3DFVF_XYZRHW:
      l.position_floats = 4;
      l.transformed = true;
      break;
    case D3DFVF_XYZW:
      l.position_floats = 4;
      break;
    case D3DFVF_XYZB1:
      l.position_floats = 4;
      break;
    case D3DFVF_XYZB2:
      l.position_floats = 5;
      break;
    case D3DFVF_XYZB3:
      l.position_floats = 6;
      break;
    case D3DFVF_XYZB4:
      l.position_floats = 7;
      break;
    case D3DFVF_XYZB5:
      l.position_floats = 8;
      break;
    default:
      return l;  // no position: nothing can be drawn
  }
  offset = l.position_floats * 4;
  if (fvf & D3DFVF_NORMAL) {
    l.normal = static_cast<int>(offset);
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = static_cast<int>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    l.specular = static_cast<int>(offset);
    offset += 4;
  }
  l.tex_count = std::min<UINT>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8);
  for (UINT i = 0; i < l.tex_count; ++i) {
    l.tex[i] = static_cast<int>(offset);
    // Coordinate set sizes: 0 = two floats, 1 = three, 2 = four, 3 = one.
    static const UINT kFloats[4] = {2, 3, 4, 1};
    offset += kFloats[(fvf >> (16 + 2 * i)) & 3] * 4;
  }
  l.size = offset;
  return l;
}

float LoadFloat(const BYTE* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}
DWORD LoadDword(const BYTE* p) {
  DWORD d;
  std::memcpy(&d, p, 4);
  return d;
}

void SetColour(float* c, DWORD argb) {
  c[0] = static_cast<float>((argb >> 16) & 0xFF);
  c[1] = static_cast<float>((argb >> 8) & 0xFF);
  c[2] = static_cast<float>(argb & 0xFF);
  c[3] = static_cast<float>(argb >> 24);
}

// A vertex in clip space (untransformed input) before the divide.
struct ClipVertex {
  float p[4];
  Vertex v;  // colours and texture coordinates
};

void Multiply(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX& out) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
    }
  }
  out = r;
}

float Channel(DWORD c, int shift) {
  return static_cast<float>((c >> shift) & 0xFF) / 255.0f;
}

// Lighting with no lights: emissive plus the ambient light times the ambient colour; alpha from
// the diffuse source. Colour sources follow the material-source states.
void Light(const DeviceState& s, const Layout& l, const BYTE* src, float* colour) {
  bool vertex_colours = s.render[D3DRS_COLORVERTEX] != 0;
  auto source = [&](DWORD which, const D3DCOLORVALUE& material, float out[4]) {
    int offset = -1;
    if (vertex_colours && which == D3DMCS_COLOR1) offset = l.diffuse;
    if (vertex_colours && which == D3DMCS_COLOR2) offset = l.specular;
    if (offset >= 0) {
      DWORD c = LoadDword(src + offset);
      out[0] = Channel(c, 16), out[1] = Channel(c, 8), out[2] = Channel(c, 0);
      out[3] = Channel(c, 24);
    } else {
      out[0] = material.r, out[1] = material.g, out[2] = material.b, out[3] = material.a;
    }
  };
  float ambient[4], emissive[4], diffuse[4];
  source(s.render[D3DRS_AMBIENTMATERIALSOURCE], s.material.Ambient, ambient);
  source(s.render[D3DRS_EMISSIVEMATERIALSOURCE], s.material.Emissive, emissive);
  source(s.render[D3DRS_DIFFUSEMATERIALSOURCE], s.material.Diffuse, diffuse);
  DWORD light = s.render[D3DRS_AMBIENT];
  float light_rgb[3] = {Channel(light, 16), Channel(light, 8), Channel(light, 0)};
  for (int i = 0; i < 3; ++i) {
    colour[i] = std::clamp(emissive[i] + light_rgb[i] * ambient[i], 0.0f, 1.0f) * 255.0f;
  }
  colour[3] = std::clamp(diffuse[3], 0.0f, 1.0f) * 255.0f;
}

// Fetches vertex i's colours and texture coordinates.
void FetchAttributes(const DeviceState& s, const Layout& l, const BYTE* src, Vertex& v) {
  if (!l.transformed && s.render[D3DRS_LIGHTING]) {
    Light(s, l, src, v.colour);
  } else {
    SetColour(v.colour, l.diffuse >= 0 ? LoadDword(src + l.diffuse) : 0xFFFFFFFFu);
  }
  for (int set = 0; set < 2; ++set) {
    if (static_cast<UINT>(set) < l.tex_count) {
      v.tex[set][0] = LoadFloat(src + l.tex[set]);
      v.tex[set][1] = LoadFloat(src + l.tex[set] + 4);
    } else {
      v.tex[set][0] = v.tex[set][1] = 0.0f;
    }
  }
}

// Clips a polygon in clip space against 0 <= z <= w (and w > 0), interpolating everything.
int ClipNearFar(ClipVertex* in, int n, ClipVertex* out) {
  auto lerp = [](const ClipVertex& a, const ClipVertex& b, float t) {
    ClipVertex r;
    for (int i = 0; i < 4; ++i) r.p[i] = a.p[i] + (b.p[i] - a.p[i]) * t;
    for (int i = 0; i < 4; ++i) r.v.colour[i] = a.v.colour[i] + (b.v.colour[i] - a.v.colour[i]) * t;
    for (int s = 0; s < 2; ++s) {
      for (int i = 0; i < 2; ++i)
        r.v.tex[s][i] = a.v.tex[s][i] + (b.v.tex[s][i] - a.v.tex[s][i]) * t;
    }
    return r;
  };
  ClipVertex tmp[12];
  ClipVertex* src = in;
  ClipVertex* planes_out[2] = {tmp, out};
  for (int plane = 0; plane < 2; ++plane) {
    ClipVertex* dst = planes_out[plane];
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const ClipVertex& a = src[i];
      const ClipVertex& b = src[(i + 1) % n];
      // plane 0: z >= 0 (near); plane 1: w - z >= 0 (far)
      float da = plane == 0 ? a.p[2] : a.p[3] - a.p[2];
      float db = plane == 0 ? b.p[2] : b.p[3] - b.p[2];
      if (da >= 0) dst[m++] = a;
      if ((da >= 0) != (db >= 0)) dst[m++] = lerp(a, b, da / (da - db));
      if (m >= 10) break;
    }
    n = m;
    src = dst;
    if (n < 3) return 0;
  }
  return n;
}

// How many vertices count primitives of type read; false for a type the device does not draw.
bool VertexCount(D3DPRIMITIVETYPE type, UINT count, UINT& vertices) {
  switch (type) {
    case D3DPT_POINTLIST:
      vertices = count;
      return true;
    case D3DPT_LINELIST:
      vertices = count * 2;
      return true;
    case D3DPT_LINESTRIP:
      vertices = count + 1;
      return true;
    case D3DPT_TRIANGLELIST:
      vertices = count * 3;
      return true;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      vertices = count + 2;
      return true;
    default:
      return false;
  }
}

// A pre-transformed vertex: its screen position and rhw as stored, and its attributes.
void FetchTransformed(const DeviceState& s, const Layout& layout, const BYTE* src, Vertex& v) {
  v.x = LoadFloat(src);
  v.y = LoadFloat(src + 4);
  v.z = LoadFloat(src + 8);
  v.rhw = LoadFloat(src + 12);
  FetchAttributes(s, layout, src, v);
}

// The vertices of one draw, each fetched and transformed once: in screen space, and for
// untransformed input also in clip space, where triangles crossing the near or far plane are
// cut.
struct Assembly {
  Pipeline& pipe;
  bool transformed;
  std::vector<Vertex>& screen;
  std::vector<ClipVertex>& clip;
  bool needs_clip = false;
  // Pre-transformed vertices are fetched as the primitives need them, so that quads taken by
  // TexelRect straight from the vertex data are never fetched; null when all are fetched first.
  const DeviceState* state = nullptr;
  const Layout* layout = nullptr;
  const BYTE* data = nullptr;
  UINT stride = 0, vertices = 0;

  void Fetch(const DeviceState& s, const Layout& layout, const BYTE* data, UINT stride,
             UINT vertices);
  // Fetches the pre-transformed vertices first .. first + n - 1 (as many as there are).
  void FetchSome(UINT first, UINT n);
  // The quad of vertices first .. first + 3 (strip order) drawn by TexelRect when it can be.
  bool Rect(UINT first);
  void Triangle(UINT a, UINT b, UINT c);
  void Line(UINT a, UINT b);
  // The primitives of type, count of them, from the fetched vertices.
  void Draw(D3DPRIMITIVETYPE type, UINT count);
};

void Assembly::Fetch(const DeviceState& s, const Layout& layout, const BYTE* data, UINT stride,
                     UINT vertices) {
  screen.resize(vertices);
  if (transformed) {
    for (UINT i = 0; i < vertices; ++i) {
      FetchTransformed(s, layout, data + static_cast<std::size_t>(i) * stride, screen[i]);
    }
    return;
  }
  D3DMATRIX wv, wvp;
  Multiply(s.transform[kTransformWorld], s.transform[kTransformView], wv);
  Multiply(wv, s.transform[kTransformProjection], wvp);
  clip.resize(vertices);
  for (UINT i = 0; i < vertices; ++i) {
    const BYTE* src = data + static_cast<std::size_t>(i) * stride;
    float in[4] = {LoadFloat(src), LoadFloat(src + 4), LoadFloat(src + 8), 1.0f};
    if ((s.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZW) in[3] = LoadFloat(src + 12);
    ClipVertex& c = clip[i];
    for (int j = 0; j < 4; ++j) {
      c.p[j] =
          in[0] * wvp.m[0][j] + in[1] * wvp.m[1][j] + in[2] * wvp.m[2][j] + in[3] * wvp.m[3][j];
    }
    FetchAttributes(s, layout, src, c.v);
    if (c.p[2] < 0 || c.p[2] > c.p[3] || c.p[3] <= 0) needs_clip = true;
    pipe.Project(c.p, c.v);
    screen[i] = c.v;
  }
}

void Assembly::FetchSome(UINT first, UINT n) {
  const UINT end = std::min(vertices, first + n);
  for (UINT i = first; i < end; ++i) {
    FetchTransformed(*state, *layout, data + static_cast<std::size_t>(i) * stride, screen[i]);
  }
}

bool Assembly::Rect(UINT first) {
  QuadCorners q;
  const int set = pipe.FirstCoordSet();
  const bool has_tex = static_cast<UINT>(set) < layout->tex_count;
  for (int k = 0; k < 4; ++k) {
    const BYTE* src = data + static_cast<std::size_t>(first + k) * stride;
    q.x[k] = LoadFloat(src);
    q.y[k] = LoadFloat(src + 4);
    q.rhw[k] = LoadFloat(src + 12);
    q.colour[k] = layout->diffuse >= 0 ? LoadDword(src + layout->diffuse) : 0xFFFFFFFFu;
    q.u[k] = has_tex ? LoadFloat(src + layout->tex[set]) : 0.0f;
    q.v[k] = has_tex ? LoadFloat(src + layout->tex[set] + 4) : 0.0f;
  }
  return pipe.TexelRect(q);
}

void Assembly::Triangle(UINT a, UINT b, UINT c) {
  if (!needs_clip || transformed) {
    pipe.Triangle(screen[a], screen[b], screen[c], true);
    return;
  }
  ClipVertex poly[3] = {clip[a], clip[b], clip[c]};
  ClipVertex out[12];
  int n = ClipNearFar(poly, 3, out);
  if (n < 3) return;
  Vertex v[12];
  for (int i = 0; i < n; ++i) {
    v[i] = out[i].v;
    pipe.Project(out[i].p, v[i]);
  }
  // The clipped polygon keeps the winding of the triangle; cull it as one.
  for (int i = 1; i + 1 < n; ++i) pipe.Triangle(v[0], v[i], v[i + 1], true);
}

void Assembly::Line(UINT a, UINT b) {
  if (needs_clip && !transformed) {
    const ClipVertex& ca = clip[a];
    const ClipVertex& cb = clip[b];
    if (ca.p[3] <= 0 || cb.p[3] <= 0 || ca.p[2] < 0 || cb.p[2] < 0) return;  // not clipped
  }
  pipe.Line(screen[a], screen[b]);
}

// Whether two fetched vertices are the same to the bit.
bool Same(const Vertex& a, const Vertex& b) {
  return std::memcmp(&a, &b, sizeof(Vertex)) == 0;
}

void Assembly::Draw(D3DPRIMITIVETYPE type, UINT count) {
  switch (type) {
    case D3DPT_POINTLIST:
      for (UINT i = 0; i < count; ++i) pipe.Point(screen[i]);
      break;
    case D3DPT_LINELIST:
      for (UINT i = 0; i < count; ++i) Line(2 * i, 2 * i + 1);
      break;
    case D3DPT_LINESTRIP:
      for (UINT i = 0; i < count; ++i) Line(i, i + 1);
      break;
    case D3DPT_TRIANGLELIST:
      for (UINT i = 0; i < count; ++i) {
        // A pair (a, b, c), (d, c, b) is the strip a, b, c, d (its second triangle turned the
        // same way): a quad of a batch of glyphs or sprites, filled as one block when its
        // triangles would give the same pixels.
        const UINT k = 3 * i;
        if (state) {
          const auto* at = data + static_cast<std::size_t>(k) * stride;
          if (i + 1 < count && std::memcmp(at + 4 * stride, at + 2 * stride, layout->size) == 0 &&
              std::memcmp(at + 5 * stride, at + stride, layout->size) == 0 && Rect(k)) {
            ++i;
            continue;
          }
          FetchSome(k, 6);
        }
        if (i + 1 < count && (!needs_clip || transformed) && Same(screen[k + 4], screen[k + 2]) &&
            Same(screen[k + 5], screen[k + 1])) {
          const Vertex* strip[4] = {&screen[k], &screen[k + 1], &screen[k + 2], &screen[k + 3]};
          if (pipe.QuadStrip(strip, true)) {
            ++i;
            continue;
          }
        }
        Triangle(k, k + 1, k + 2);
      }
      break;
    case D3DPT_TRIANGLESTRIP:
      if (state) {
        if (count == 2 && Rect(0)) break;
        FetchSome(0, vertices);
      }
      if (count == 2 && (!needs_clip || transformed)) {
        const Vertex* strip[4] = {&screen[0], &screen[1], &screen[2], &screen[3]};
        if (pipe.QuadStrip(strip)) break;
      }
      // Odd triangles swap their first two vertices so that every triangle keeps the strip's
      // winding.
      for (UINT i = 0; i < count; ++i) {
        if (i % 2 == 0) {
          Triangle(i, i + 1, i + 2);
        } else {
          Triangle(i + 1, i, i + 2);
        }
      }
      break;
    case D3DPT_TRIANGLEFAN:
      for (UINT i = 0; i < count; ++i) Triangle(0, i + 1, i + 2);
      break;
    default:
      break;
  }
}

}  // namespace

void SetupCacheDeleter::operator()(SetupCache* c) const {
  delete c;
}

namespace {

// The layout of the format drawn last: a run of draws in one format makes it once.
const Layout& LayoutOf(DWORD fvf) {
  thread_local DWORD last_fvf = 0;
  thread_local Layout last = MakeLayout(0);
  if (fvf != last_fvf) {
    last = MakeLayout(fvf);
    last_fvf = fvf;
  }
  return last;
}

}  // namespace

UINT FvfSize(DWORD fvf) {
  return LayoutOf(fvf).size;
}

HRESULT DrawPrimitives(const DeviceState& s, std::uint64_t generation, std::uint64_t bindings,
                       bool textures_changed, SetupCache& cache, IDirect3DSurface9* target,
                       IDirect3DSurface9* depth, const PALETTEENTRY* palette, D3DPRIMITIVETYPE type,
                       UINT count, const BYTE* data, UINT stride) {
  const Layout layout = LayoutOf(s.fvf);
  if (layout.size == 0 || stride < layout.size || !target) return D3DERR_INVALIDCALL;
  UINT vertices = 0;
  if (!VertexCount(type, count, vertices)) return D3DERR_INVALIDCALL;

  if (!cache.has_generation || cache.generation != generation) {
    SetupKey& key = cache.scratch;
    key.Make(s, target, depth, palette, bindings);
    const std::size_t size = key.Size();
    // The last draw's entry first: a state switched away and back finds it at once.
    int found = -1;
    for (int k = 0; k < SetupCache::kEntries; ++k) {
      const int i = (cache.last + k) % SetupCache::kEntries;
      const SetupCache::Entry& e = cache.entries[i];
      if (e.valid && e.key.Equals(key, size)) {
        found = i;
        break;
      }
    }
    if (found < 0) {
      found = cache.next;
      cache.next = (cache.next + 1) % SetupCache::kEntries;
      SetupCache::Entry& e = cache.entries[found];
      std::memcpy(&e.key, &key, size);
      e.visible = e.pipe.Setup(s, target, depth, palette);
      e.valid = true;
    } else if (palette) {
      cache.entries[found].pipe.ApplyPalette(palette);
    }
    cache.last = found;
    cache.generation = generation;
    cache.has_generation = true;
  } else if (textures_changed) {
    // The rest of the state is as the last draw had it: only the textures are taken again.
    SetupCache::Entry& e = cache.entries[cache.last];
    e.pipe.TakeTextures(s, palette);
    for (DWORD i = 0; i < e.key.stage_count; ++i) e.key.stages[i].texture = s.texture[i].Get();
  }
  SetupCache::Entry& entry = cache.entries[cache.last];
  if (!entry.visible) return D3D_OK;  // nothing can be visible
  Pipeline& pipe = entry.pipe;
  thread_local std::vector<Vertex> screen;
  thread_local std::vector<ClipVertex> clip;
  Assembly assembly{pipe, layout.transformed, screen, clip};
  if (layout.transformed &&
      (type == D3DPT_TRIANGLELIST || (type == D3DPT_TRIANGLESTRIP && count == 2)) &&
      pipe.PrepareRects()) {
    screen.resize(vertices);
    assembly.state = &s;
    assembly.layout = &layout;
    assembly.data = data;
    assembly.stride = stride;
    assembly.vertices = vertices;
  } else {
    assembly.Fetch(s, layout, data, stride, vertices);
  }
  assembly.Draw(type, count);
  target->Touch();
  return D3D_OK;
}

void FillColour(IDirect3DSurface9* target, const RECT& r, D3DCOLOR colour) {
  if (r.left >= r.right || r.top >= r.bottom) return;
  BYTE* bits = target->Bits();
  UINT pitch = target->Pitch();
  UINT w = static_cast<UINT>(r.right - r.left);
  int bytes = FormatBits(target->Format()) / 8;
  if (bytes == 4) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      FillSpan(reinterpret_cast<std::uint32_t*>(bits + y * pitch) + r.left, w, colour);
    }
  } else {
    // Other formats: encode one row, copy it to every row.
    std::vector<BYTE> encoded(static_cast<std::size_t>(w) * bytes);
    std::vector<std::uint32_t> source(w, colour);
    EncodeRow(target->Format(), source.data(), w, encoded.data());
    for (LONG y = r.top; y < r.bottom; ++y) {
      std::memcpy(bits + y * pitch + r.left * bytes, encoded.data(), encoded.size());
    }
  }
  target->Touch();
}

void FillDepth(IDirect3DSurface9* depth, const RECT& r, bool z, float z_value, bool stencil,
               DWORD stencil_value) {
  UINT w = depth->Width();
  if (z && r.left == 0 && r.top == 0 && r.right == static_cast<LONG>(w) &&
      r.bottom == static_cast<LONG>(depth->Height())) {
    depth->SetDepthFloor(z_value);
  } else if (z) {
    depth->LowerDepthFloor(z_value);
  }
  for (LONG y = r.top; y < r.bottom; ++y) {
    if (z) std::fill(depth->Depth() + y * w + r.left, depth->Depth() + y * w + r.right, z_value);
    if (stencil) {
      std::fill(depth->Stencil() + y * w + r.left, depth->Stencil() + y * w + r.right,
                static_cast<BYTE>(stencil_value));
    }
  }
}

}  // namespace d3d9_internal
