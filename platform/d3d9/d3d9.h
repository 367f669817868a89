// A software Direct3D 9: the Direct3D object with its one adapter and mode list, the device with
// its back buffer, depth-stencil surface, states and rasteriser, surfaces, textures, vertex
// buffers and state blocks. Plain C++ with the platform's names and numbers: objects are
// reference-counted (AddRef/Release, held in Ref<T>), results are HRESULTs. Every surface keeps
// its texels in its declared format; textures are sampled through a decoded 32-bit copy that is
// refreshed after each change. Present shows the back buffer through an SDL renderer scaled to
// the device window's client area; with no window the device still draws and tests read the
// back buffer. Depends on SDL2 and platform/win32 (window handles).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "platform/d3d9/d3d9_constants.h"
#include "platform/d3d9/present.h"
#include "platform/win32/win_types.h"

// ---------------------------------------------------------------------------------------------
// Structures
// ---------------------------------------------------------------------------------------------

struct D3DDISPLAYMODE {
  UINT Width;
  UINT Height;
  UINT RefreshRate;
  D3DFORMAT Format;
};

struct D3DADAPTER_IDENTIFIER9 {
  char Driver[512];
  char Description[512];
  char DeviceName[32];
  LARGE_INTEGER DriverVersion;
  DWORD VendorId;
  DWORD DeviceId;
  DWORD SubSysId;
  DWORD Revision;
  GUID DeviceIdentifier;
  DWORD WHQLLevel;
};

struct D3DCAPS9 {
  D3DDEVTYPE DeviceType;
  UINT AdapterOrdinal;
  DWORD Caps;
  DWORD Caps2;
  DWORD Caps3;
  DWORD PresentationIntervals;
  DWORD CursorCaps;
  DWORD DevCaps;
  DWORD PrimitiveMiscCaps;
  DWORD RasterCaps;
  DWORD ZCmpCaps;
  DWORD SrcBlendCaps;
  DWORD DestBlendCaps;
  DWORD AlphaCmpCaps;
  DWORD ShadeCaps;
  DWORD TextureCaps;
  DWORD TextureFilterCaps;
  DWORD CubeTextureFilterCaps;
  DWORD VolumeTextureFilterCaps;
  DWORD TextureAddressCaps;
  DWORD VolumeTextureAddressCaps;
  DWORD LineCaps;
  DWORD MaxTextureWidth;
  DWORD MaxTextureHeight;
  DWORD MaxVolumeExtent;
  DWORD MaxTextureRepeat;
  DWORD MaxTextureAspectRatio;
  DWORD MaxAnisotropy;
  float MaxVertexW;
  float GuardBandLeft;
  float GuardBandTop;
  float GuardBandRight;
  float GuardBandBottom;
  float ExtentsAdjust;
  DWORD StencilCaps;
  DWORD FVFCaps;
  DWORD TextureOpCaps;
  DWORD MaxTextureBlendStages;
  DWORD MaxSimultaneousTextures;
  DWORD VertexProcessingCaps;
  DWORD MaxActiveLights;
  DWORD MaxUserClipPlanes;
  DWORD MaxVertexBlendMatrices;
  DWORD MaxVertexBlendMatrixIndex;
  float MaxPointSize;
  DWORD MaxPrimitiveCount;
  DWORD MaxVertexIndex;
  DWORD MaxStreams;
  DWORD MaxStreamStride;
  DWORD VertexShaderVersion;
  DWORD MaxVertexShaderConst;
  DWORD PixelShaderVersion;
  float PixelShader1xMaxValue;
  DWORD DevCaps2;
  DWORD NumSimultaneousRTs;
  DWORD StretchRectFilterCaps;
};

struct D3DPRESENT_PARAMETERS {
  UINT BackBufferWidth;
  UINT BackBufferHeight;
  D3DFORMAT BackBufferFormat;
  UINT BackBufferCount;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  D3DSWAPEFFECT SwapEffect;
  HWND hDeviceWindow;
  BOOL Windowed;
  BOOL EnableAutoDepthStencil;
  D3DFORMAT AutoDepthStencilFormat;
  DWORD Flags;
  UINT FullScreen_RefreshRateInHz;
  UINT PresentationInterval;
};

struct D3DDEVICE_CREATION_PARAMETERS {
  UINT AdapterOrdinal;
  D3DDEVTYPE DeviceType;
  HWND hFocusWindow;
  DWORD BehaviorFlags;
};

struct D3DSURFACE_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  D3DMULTISAMPLE_TYPE MultiSampleType;
  DWORD MultiSampleQuality;
  UINT Width;
  UINT Height;
};

struct D3DVERTEXBUFFER_DESC {
  D3DFORMAT Format;
  D3DRESOURCETYPE Type;
  DWORD Usage;
  D3DPOOL Pool;
  UINT Size;
  DWORD FVF;
};

struct D3DLOCKED_RECT {
  INT Pitch;
  void* pBits;
};

struct D3DRECT {
  LONG x1;
  LONG y1;
  LONG x2;
  LONG y2;
};

struct D3DVIEWPORT9 {
  DWORD X;
  DWORD Y;
  DWORD Width;
  DWORD Height;
  float MinZ;
  float MaxZ;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
#pragma GCC diagnostic pop

struct D3DCOLORVALUE {
  float r;
  float g;
  float b;
  float a;
};

struct D3DMATERIAL9 {
  D3DCOLORVALUE Diffuse;
  D3DCOLORVALUE Ambient;
  D3DCOLORVALUE Specular;
  D3DCOLORVALUE Emissive;
  float Power;
};

struct D3DGAMMARAMP {
  WORD red[256];
  WORD green[256];
  WORD blue[256];
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

// ---------------------------------------------------------------------------------------------
// Reference counting
// ---------------------------------------------------------------------------------------------

// The base of every object the platform reference-counts. A new object starts with one
// reference, owned by whoever created it; the last Release deletes it.
class D3DUnknown {
 public:
  D3DUnknown() = default;
  D3DUnknown(const D3DUnknown&) = delete;
  D3DUnknown& operator=(const D3DUnknown&) = delete;
  virtual ~D3DUnknown() = default;

  virtual ULONG AddRef() { return ++refs_; }
  virtual ULONG Release() {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

// An owning reference: adds a reference when copied, drops it when destroyed.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Shares p: adds a reference of its own.
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& other) : Ref(other.p_) {}
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <typename U>
  Ref(const Ref<U>& other) : Ref(static_cast<T*>(other.Get())) {}
  ~Ref() { Reset(); }
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Takes over a reference the caller already owns (a Create... or Get... result).
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Drops the current reference and hands out the slot for an out-parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // Gives up ownership without releasing.
  T* Detach() { return std::exchange(p_, nullptr); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  bool operator==(const Ref& o) const { return p_ == o.p_; }
  bool operator==(const T* o) const { return p_ == o; }

 private:
  T* p_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------------

class IDirect3DDevice9;

class IDirect3DResource9 : public D3DUnknown {
 public:
  virtual D3DRESOURCETYPE GetType() const = 0;
  D3DPOOL GetPool() const { return pool_; }

 protected:
  D3DPOOL pool_ = D3DPOOL_DEFAULT;
};

// A 2D array of texels in one format: a back buffer, render target, depth-stencil surface,
// off-screen plain surface or one level of a texture. A level's references are its texture's.
class IDirect3DSurface9 : public IDirect3DResource9 {
 public:
  ULONG AddRef() override;
  ULONG Release() override;
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_SURFACE; }

  HRESULT GetDesc(D3DSURFACE_DESC* desc);
  HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT UnlockRect();

  // Internal to the device.
  struct Init {
    UINT width, height;
    D3DFORMAT format;
    DWORD usage;
    D3DPOOL pool;
    bool lockable;
  };
  static IDirect3DSurface9* Make(const Init& init, D3DUnknown* container);
  ~IDirect3DSurface9() override;

  UINT Width() const { return width_; }
  UINT Height() const { return height_; }
  D3DFORMAT Format() const { return format_; }
  DWORD Usage() const { return usage_; }
  UINT Pitch() const { return pitch_; }
  bool Locked() const { return locked_; }
  BYTE* Bits() { return reinterpret_cast<BYTE*>(store_.data()); }
  const BYTE* Bits() const { return reinterpret_cast<const BYTE*>(store_.data()); }
  // Texels as 0xAARRGGBB, row after row (width per row); refreshed when stale.
  const std::uint32_t* Decoded();
  // Depth values (0..1) and stencil bytes of a depth-stencil surface.
  float* Depth() { return depth_.data(); }
  BYTE* Stencil() { return stencil_.data(); }
  // A value no depth value lies below (minus infinity when none is known): a depth test that z
  // passes against it passes at every pixel. Kept by the clears and the draws, the only writers
  // of a depth surface; a surface is made holding 1 at every pixel.
  float DepthFloor() const { return depth_floor_; }
  void SetDepthFloor(float v) {
    depth_floor_ = v == v ? v : -std::numeric_limits<float>::infinity();
  }
  void LowerDepthFloor(float v) {
    if (!(v >= depth_floor_)) SetDepthFloor(v);
  }
  bool HasStencil() const;
  // Marks the decoded copy stale after the texels changed.
  void Touch() { stale_ = true; }
  // The palette a paletted surface is read through. Its decoded copy is made again when the
  // palette differs from the one it was made with: another palette, or the same one whose
  // entries were set anew.
  void SetPalette(const PALETTEENTRY* palette);

 private:
  IDirect3DSurface9() = default;

  D3DUnknown* container_ = nullptr;
  UINT width_ = 0, height_ = 0, pitch_ = 0;
  D3DFORMAT format_ = D3DFMT_UNKNOWN;
  DWORD usage_ = 0;
  bool lockable_ = false;
  bool locked_ = false;
  bool stale_ = true;
  std::vector<std::uint32_t> store_;  // the texels in their own format, pitch bytes a row
  std::vector<std::uint32_t> decoded_;
  std::vector<float> depth_;
  std::vector<BYTE> stencil_;
  float depth_floor_ = 1.0f;
  const PALETTEENTRY* palette_ = nullptr;
  std::vector<PALETTEENTRY> decoded_palette_;  // the entries decoded_ was made with
};

// What SetTexture takes: a 2D texture or a cube texture.
class IDirect3DBaseTexture9 : public IDirect3DResource9 {
 public:
  DWORD GetLevelCount() const { return static_cast<DWORD>(levels_.size() / faces_); }
  DWORD SetLOD(DWORD lod);
  DWORD GetLOD() const { return lod_; }

  // Internal: level l of face f.
  IDirect3DSurface9* Level(UINT face, UINT level) const {
    return levels_[face * GetLevelCount() + level].get();
  }

 protected:
  struct SurfaceDeleter {
    void operator()(IDirect3DSurface9* s) const;
  };
  // Makes faces chains of levels, each level half the one above down to 1 by 1 (levels 0 or
  // more than the full chain: the full chain); false when memory runs out.
  bool BuildLevels(UINT faces, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                   D3DPOOL pool);
  std::vector<std::unique_ptr<IDirect3DSurface9, SurfaceDeleter>> levels_;
  UINT faces_ = 1;
  DWORD lod_ = 0;
};

class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
 public:
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_TEXTURE; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc);
  HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface);
  HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
  HRESULT UnlockRect(UINT level);
  HRESULT AddDirtyRect(const RECT* rect) { return D3D_OK; }

  static IDirect3DTexture9* Make(UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool);
};

class IDirect3DCubeTexture9 : public IDirect3DBaseTexture9 {
 public:
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_CUBETEXTURE; }
  HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc);
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface);
  HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                   DWORD flags);
  HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level);

  static IDirect3DCubeTexture9* Make(UINT edge, UINT levels, DWORD usage, D3DFORMAT format,
                                     D3DPOOL pool);
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
 public:
  D3DRESOURCETYPE GetType() const override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc);

  IDirect3DVertexBuffer9(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  const BYTE* Data() const { return data_.data(); }
  UINT Length() const { return static_cast<UINT>(data_.size()); }

 private:
  std::vector<BYTE> data_;
  DWORD usage_;
  DWORD fvf_;
  bool locked_ = false;
};

// ---------------------------------------------------------------------------------------------
// Device state (what state blocks record)
// ---------------------------------------------------------------------------------------------

namespace d3d9_internal {

struct StreamSource {
  Ref<IDirect3DVertexBuffer9> buffer;
  UINT offset = 0;
  UINT stride = 0;
};

constexpr int kStreamCount = 4;
constexpr int kTransformWorld = 0, kTransformView = 1, kTransformProjection = 2,
              kTransformCount = 3;

struct DeviceState {
  DWORD render[kD3dRenderStateCount] = {};
  DWORD sampler[kD3dSamplerCount][kD3dSamplerStateCount] = {};
  DWORD stage[kD3dStageCount][kD3dStageStateCount] = {};
  Ref<IDirect3DBaseTexture9> texture[kD3dSamplerCount];
  DWORD fvf = 0;
  StreamSource stream[kStreamCount];
  D3DMATRIX transform[kTransformCount] = {};
  D3DVIEWPORT9 viewport = {};
  D3DMATERIAL9 material = {};
  RECT scissor = {};
};

// Which parts of DeviceState a state block holds.
struct StateMask {
  bool render[kD3dRenderStateCount] = {};
  bool sampler[kD3dSamplerCount][kD3dSamplerStateCount] = {};
  bool stage[kD3dStageCount][kD3dStageStateCount] = {};
  bool texture[kD3dSamplerCount] = {};
  bool fvf = false;
  bool stream[kStreamCount] = {};
  bool transform[kTransformCount] = {};
  bool viewport = false;
  bool material = false;
  bool scissor = false;
};

struct Presenter;  // the SDL side of Present
struct PresenterDeleter {
  void operator()(Presenter* p) const;
};

struct SetupCache;  // the last draw's pipeline set-up (raster.h)
struct SetupCacheDeleter {
  void operator()(SetupCache* c) const;
};

// The client-area size of a window (0, 0 when it has none).
void WindowClientSize(HWND window, int* width, int* height);

}  // namespace d3d9_internal

class IDirect3DStateBlock9 : public D3DUnknown {
 public:
  HRESULT Capture();
  HRESULT Apply();

  explicit IDirect3DStateBlock9(IDirect3DDevice9* device);
  ~IDirect3DStateBlock9() override;
  d3d9_internal::DeviceState state;
  d3d9_internal::StateMask mask;

 private:
  friend class IDirect3DDevice9;
  HRESULT Copy(const d3d9_internal::DeviceState& from, d3d9_internal::DeviceState& to);
  // Lists the render, sampler and stage states the mask names, once recording is over, so that
  // Capture and Apply copy those and skip the rest of the (mostly unrecorded) tables.
  void ListEntries();
  IDirect3DDevice9* device_;  // null once the device is gone: Capture and Apply then fail
  bool listed_ = false;
  std::vector<std::uint16_t> render_list_;
  std::vector<std::uint16_t> sampler_list_, stage_list_;  // unit << 8 | state
};

// ---------------------------------------------------------------------------------------------
// The Direct3D object
// ---------------------------------------------------------------------------------------------

class IDirect3D9 : public D3DUnknown {
 public:
  UINT GetAdapterCount() { return 1; }
  HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier);
  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format);
  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out);
  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode);
  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display_format,
                          D3DFORMAT back_buffer_format, BOOL windowed);
  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format, DWORD usage,
                            D3DRESOURCETYPE resource_type, D3DFORMAT check_format);
  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapter_format,
                                 D3DFORMAT render_target_format, D3DFORMAT depth_format);
  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                     D3DMULTISAMPLE_TYPE samples, DWORD* quality);
  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps);
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus_window, DWORD behaviour_flags,
                       D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device);

  IDirect3D9();
  ~IDirect3D9() override;

 private:
  bool sdl_video_ = false;
};

// Creates the Direct3D object; null unless the version is D3D_SDK_VERSION.
IDirect3D9* Direct3DCreate9(UINT sdk_version);

// ---------------------------------------------------------------------------------------------
// The device
// ---------------------------------------------------------------------------------------------

class IDirect3DDevice9 : public D3DUnknown {
 public:
  HRESULT TestCooperativeLevel();
  UINT GetAvailableTextureMem();
  HRESULT GetDirect3D(IDirect3D9** d3d);
  HRESULT GetDeviceCaps(D3DCAPS9* caps);
  HRESULT GetDisplayMode(UINT swap_chain, D3DDISPLAYMODE* mode);
  HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters);
  HRESULT Reset(D3DPRESENT_PARAMETERS* parameters);
  HRESULT Present(const RECT* source, const RECT* dest, HWND override_window, const void* dirty);
  HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type,
                        IDirect3DSurface9** surface);
  void SetGammaRamp(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* ramp);
  void GetGammaRamp(UINT swap_chain, D3DGAMMARAMP* ramp);

  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared);
  HRESULT CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DCubeTexture9** texture, HANDLE* shared);
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, HANDLE* shared);
  HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE samples,
                             DWORD quality, BOOL lockable, IDirect3DSurface9** surface,
                             HANDLE* shared);
  HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                    D3DMULTISAMPLE_TYPE samples, DWORD quality, BOOL discard,
                                    IDirect3DSurface9** surface, HANDLE* shared);
  HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DSurface9** surface, HANDLE* shared);

  HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* source_rect, IDirect3DSurface9* dest,
                        const POINT* dest_point);
  HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest);
  HRESULT GetRenderTargetData(IDirect3DSurface9* render_target, IDirect3DSurface9* dest);
  HRESULT StretchRect(IDirect3DSurface9* source, const RECT* source_rect, IDirect3DSurface9* dest,
                      const RECT* dest_rect, D3DTEXTUREFILTERTYPE filter);
  HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR colour);

  HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface);
  HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface);
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface);
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface);

  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
                DWORD stencil);

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix);
  HRESULT SetViewport(const D3DVIEWPORT9* viewport);
  HRESULT GetViewport(D3DVIEWPORT9* viewport);
  HRESULT SetMaterial(const D3DMATERIAL9* material);
  HRESULT GetMaterial(D3DMATERIAL9* material);
  HRESULT SetScissorRect(const RECT* rect);
  HRESULT GetScissorRect(RECT* rect);

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value);
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value);
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value);
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture);
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture);

  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block);
  HRESULT BeginStateBlock();
  HRESULT EndStateBlock(IDirect3DStateBlock9** block);

  HRESULT SetFVF(DWORD fvf);
  HRESULT GetFVF(DWORD* fvf);
  // Shaders are not offered: only null (fixed function) is accepted.
  HRESULT SetVertexShader(const void* shader);
  HRESULT SetPixelShader(const void* shader);
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);
  HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride);
  HRESULT SetPaletteEntries(UINT palette, const PALETTEENTRY* entries);
  HRESULT SetCurrentTexturePalette(UINT palette);

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start_vertex, UINT primitive_count);
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* data,
                          UINT stride);

  // Internal.
  IDirect3DDevice9(IDirect3D9* d3d, HWND focus, DWORD behaviour,
                   const D3DPRESENT_PARAMETERS& parameters);
  ~IDirect3DDevice9() override;
  HRESULT Initialise();
  d3d9_internal::DeviceState& State() {
    StateChanged();  // the caller may change anything
    return state_;
  }
  void SetLost(bool lost, bool can_reset);
  int present_count = 0;
  // The way Present takes to the screen, and whether it waits for the refresh clock.
  d3d9_internal::PresentPath PresentPathUsed() const;
  bool PresentWaitsForRefresh() const;
  // The back buffer Present shows (for a recording's frame hash).
  const IDirect3DSurface9* ShownSurface() const { return back_buffer_.Get(); }
  bool last_present_had_source = false;
  RECT last_present_source = {};

 private:
  friend class IDirect3DStateBlock9;
  HRESULT MakeSwapChain();
  void ResetStates();
  void AttachPresenter();
  void DetachPresenter();
  void CheckMinimised();
  d3d9_internal::DeviceState& Recorded(IDirect3DStateBlock9** block);
  [[gnu::noinline]] HRESULT ChangeRenderState(D3DRENDERSTATETYPE state, DWORD value);
  // Every change to the state a draw reads (state_, the targets, the palette) moves the
  // generation on, so that a draw's set-up can be kept until something it was made from changes.
  void StateChanged() { ++state_generation_; }
  // A render, sampler or stage state changed from old to its value now. The generation moves on
  // at the next draw only if some such state then differs from its value at the last draw, so
  // that states switched away and back between two draws (a paste turning blending on and off
  // around each quad) leave the last draw's set-up in use.
  void ValueChanged(std::uint32_t key, DWORD old, DWORD now) {
    for (int i = 0; i < change_count_; ++i) {
      if (changes_[i].key == key) {
        if (changes_[i].old == now) changes_[i] = changes_[--change_count_];
        return;
      }
    }
    if (change_count_ == kChangesKept) {
      StateChanged();
      return;
    }
    changes_[change_count_++] = Change{key, old};
  }
  // A new target, depth surface or palette: set-ups kept for other states are dropped too.
  void BindingsChanged() {
    ++bindings_;
    StateChanged();
  }
  bool Recording() const { return recording_ != nullptr; }
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitive_count, const BYTE* data, UINT stride,
               UINT available_bytes);

  Ref<IDirect3D9> d3d_;
  HWND focus_;
  DWORD behaviour_;
  D3DPRESENT_PARAMETERS params_;
  Ref<IDirect3DSurface9> back_buffer_;
  Ref<IDirect3DSurface9> auto_depth_;
  Ref<IDirect3DSurface9> render_target_;
  Ref<IDirect3DSurface9> depth_stencil_;
  d3d9_internal::DeviceState state_;
  Ref<IDirect3DStateBlock9> recording_;
  bool in_scene_ = false;
  // Whether the device has drawn: a primitive, or a presented frame of more than one colour.
  // Until then its frames are cleared back buffers only (a window opening, a program not yet
  // drawing), and Present shows them without waiting for the refresh: there is no drawing to
  // keep in step with it.
  bool drawn_ = false;
  bool lost_ = false;
  bool can_reset_ = false;
  D3DGAMMARAMP gamma_ = {};
  std::vector<std::array<PALETTEENTRY, 256>> palettes_;
  UINT current_palette_ = 0;
  std::unique_ptr<d3d9_internal::Presenter, d3d9_internal::PresenterDeleter> presenter_;
  std::vector<IDirect3DStateBlock9*> blocks_;  // live state blocks, told when the device goes
  std::uint64_t state_generation_ = 0;
  std::uint64_t bindings_ = 0;
  struct Change {
    std::uint32_t key;  // which state (see ValueChanged's callers)
    DWORD old;          // its value at the last draw
  };
  static constexpr int kChangesKept = 8;
  Change changes_[kChangesKept];
  int change_count_ = 0;
  bool textures_changed_ = false;  // a stage's texture was set since the last draw
  std::unique_ptr<d3d9_internal::SetupCache, d3d9_internal::SetupCacheDeleter> setup_cache_;
};

// ---------------------------------------------------------------------------------------------
// Test hooks (called only by tests)
// ---------------------------------------------------------------------------------------------

namespace d3d9::testing {

// Replaces the adapter's mode list (in enumeration order) and its desktop mode; Restore brings
// back the list made from the real desktop.
void SetAdapterModes(const std::vector<D3DDISPLAYMODE>& modes, const D3DDISPLAYMODE& desktop);
void RestoreAdapterModes();
// CreateDevice fails with result whenever the behaviour flags share a bit with mask (mask 0:
// always); result D3D_OK removes the failure.
void FailCreateDevice(HRESULT result, DWORD mask);
// Overrides the texture caps (TextureCaps, largest width and height); Restore undoes it.
void SetTextureCaps(DWORD texture_caps, DWORD max_width, DWORD max_height);
// Off: the rasteriser's span loops work four pixels at a time even where the processor could
// do eight, so that tests can check both give the same pixels.
void UseWideSpans(bool on);
// Makes devices attached from now on present the given way wherever they have a window
// (instead of the way chosen from the machine); AutoPresentPath undoes it.
void ForcePresentPath(d3d9_internal::PresentPath path);
// On: devices attached from now on keep to the refresh clock even on a video driver that shows
// nothing (where they otherwise present at once). AutoPresentPath turns it off again.
void WaitForRefreshHeadless(bool on);
void AutoPresentPath();
// Undoes every hook above.
void RestoreAll();
// Loses the device; once can_reset is true TestCooperativeLevel answers DEVICENOTRESET.
void LoseDevice(IDirect3DDevice9* device, bool can_reset);

}  // namespace d3d9::testing
