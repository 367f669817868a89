// The device and the Direct3D object apart from rasterising: the survey and its test hooks,
// refused arguments (which must change nothing), locking rules, surface copies, vertex buffers,
// state blocks, the lost state and Reset.
#include <cstring>

#include "tests/platform/d3d9/device_fixture.h"

namespace {

TEST(Direct3D, SurveyListsCommonModesInEachDisplayFormat) {
  d3d9::testing::SetAdapterModes({{640, 480, 60, D3DFMT_X8R8G8B8},
                                  {640, 480, 75, D3DFMT_X8R8G8B8},
                                  {800, 600, 60, D3DFMT_R5G6B5}},
                                 D3DDISPLAYMODE{800, 600, 60, D3DFMT_X8R8G8B8});
  Ref<IDirect3D9> d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  ASSERT_TRUE(d3d);
  EXPECT_EQ(d3d->GetAdapterCount(), 1u);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 2u);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 1u);
  EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_A8R8G8B8), 0u);
  D3DDISPLAYMODE m;
  ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 1, &m), D3D_OK);
  EXPECT_EQ(m.RefreshRate, 75u);
  EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 2, &m), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->EnumAdapterModes(1, D3DFMT_X8R8G8B8, 0, &m), D3DERR_INVALIDCALL);
  d3d9::testing::RestoreAll();

  // The real survey: every mode in the three display formats, the desktop's own size among them.
  D3DDISPLAYMODE desktop;
  ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
  UINT n = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
  EXPECT_EQ(n, d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5));
  EXPECT_EQ(n, d3d->GetAdapterModeCount(0, D3DFMT_X1R5G5B5));
  bool has_desktop = false, has_640 = false;
  for (UINT i = 0; i < n; ++i) {
    d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &m);
    EXPECT_LE(m.Width, desktop.Width);
    EXPECT_EQ(m.RefreshRate, desktop.RefreshRate);
    has_desktop |= m.Width == desktop.Width && m.Height == desktop.Height;
    has_640 |= m.Width == 640 && m.Height == 480;
  }
  EXPECT_TRUE(has_desktop);
  EXPECT_TRUE(has_640);
  D3DADAPTER_IDENTIFIER9 id;
  ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_GT(std::strlen(id.Description), 0u);
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST(Direct3D, FormatChecksAndDepthMatches) {
  Ref<IDirect3D9> d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  const D3DFORMAT x8 = D3DFMT_X8R8G8B8;
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, 0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4),
            D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT5),
            D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, 0, D3DRTYPE_TEXTURE, D3DFMT_V8U8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                   D3DFMT_D24S8),
            D3D_OK);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                   D3DFMT_A8R8G8B8),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, x8, D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE,
                                   D3DFMT_A4R4G4B4),
            D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, 0, D3DRTYPE_TEXTURE, x8),
            D3DERR_INVALIDCALL);  // not a display format
  EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, x8, x8, D3DFMT_D16), D3D_OK);
  EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, x8, x8, D3DFMT_L8), D3DERR_NOTAVAILABLE);
}

TEST(Direct3D, CreationFailsAsTheHookSaysAndForImpossibleParameters) {
  Ref<IDirect3D9> d3d = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 32;
  pp.BackBufferHeight = 32;
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  pp.Windowed = TRUE;
  Ref<IDirect3DDevice9> device;
  d3d9::testing::FailCreateDevice(D3DERR_NOTAVAILABLE, D3DCREATE_HARDWARE_VERTEXPROCESSING);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                              device.Put()),
            D3DERR_NOTAVAILABLE);
  EXPECT_FALSE(device);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                              device.Put()),
            D3D_OK);
  d3d9::testing::RestoreAll();
  // No vertex-processing flag; two of them; an unknown swap effect; a depth format that is not
  // one; a full-screen size the adapter does not list.
  D3DPRESENT_PARAMETERS bad = pp;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &bad, device.Put()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(
      d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                        D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING,
                        &bad, device.Put()),
      D3DERR_INVALIDCALL);
  bad.SwapEffect = static_cast<D3DSWAPEFFECT>(9);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &bad,
                              device.Put()),
            D3DERR_INVALIDCALL);
  bad = pp;
  bad.EnableAutoDepthStencil = TRUE;
  bad.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &bad,
                              device.Put()),
            D3DERR_INVALIDCALL);
  bad = pp;
  bad.Windowed = FALSE;
  bad.BackBufferFormat = D3DFMT_X8R8G8B8;
  bad.BackBufferWidth = 123;
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &bad,
                              device.Put()),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                              nullptr, device.Put()),
            D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ImpossibleResourcesAreRefused) {
  Ref<IDirect3DTexture9> t;
  EXPECT_EQ(device_->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(
      device_->CreateTexture(8193, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put(), nullptr),
      D3DERR_INVALIDCALL);  // beyond the caps' largest texture
  EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, static_cast<D3DFORMAT>(12345), D3DPOOL_MANAGED,
                                   t.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                   t.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_FALSE(t);
  Ref<IDirect3DVertexBuffer9> vb;
  EXPECT_EQ(device_->CreateVertexBuffer(0, 0, 0x144, D3DPOOL_DEFAULT, vb.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateVertexBuffer(10, 0, 0x144, D3DPOOL_DEFAULT, vb.Put(), nullptr),
            D3DERR_INVALIDCALL);  // smaller than one vertex
  Ref<IDirect3DSurface9> s;
  EXPECT_EQ(device_->CreateRenderTarget(16, 16, D3DFMT_A4R4G4B4, D3DMULTISAMPLE_NONE, 0, TRUE,
                                        s.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateDepthStencilSurface(16, 16, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0,
                                               FALSE, s.Put(), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateOffscreenPlainSurface(16, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, s.Put(),
                                                 nullptr),
            D3DERR_INVALIDCALL);
  // A device that needs powers of two refuses other sizes.
  d3d9::testing::SetTextureCaps(D3DPTEXTURECAPS_POW2, 256, 256);
  EXPECT_EQ(
      device_->CreateTexture(100, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put(), nullptr),
      D3DERR_INVALIDCALL);
  EXPECT_EQ(
      device_->CreateTexture(128, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put(), nullptr),
      D3D_OK);
  D3DCAPS9 caps;
  device_->GetDeviceCaps(&caps);
  EXPECT_EQ(caps.MaxTextureWidth, 256u);
}

TEST_F(DeviceTest, DrawsWithNothingToDrawAreRefused) {
  TlVertex v[3] = {};
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, v, sizeof(TlVertex)),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(TlVertex)),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 8), D3DERR_INVALIDCALL);  // stride
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
  device_->SetFVF(0);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)),
            D3DERR_INVALIDCALL);
  device_->SetFVF(0x144);
  // A buffer too short for the count asked.
  Ref<IDirect3DVertexBuffer9> vb;
  ASSERT_EQ(device_->CreateVertexBuffer(3 * sizeof(TlVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                        0x144, D3DPOOL_DEFAULT, vb.Put(), nullptr),
            D3D_OK);
  device_->SetStreamSource(0, vb.Get(), 0, sizeof(TlVertex));
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);
  // Outside a scene nothing is drawn.
  device_->EndScene();
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->BeginScene(), D3D_OK);
  EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, DrawingFromUserMemoryLeavesStreamZeroUnset) {
  Ref<IDirect3DVertexBuffer9> vb;
  ASSERT_EQ(device_->CreateVertexBuffer(4 * sizeof(TlVertex), 0, 0x144, D3DPOOL_DEFAULT, vb.Put(),
                                        nullptr),
            D3D_OK);
  device_->SetStreamSource(0, vb.Get(), 0, sizeof(TlVertex));
  Quad(0, 0, 1, 1);
  Ref<IDirect3DVertexBuffer9> got;
  UINT offset = 1, stride = 1;
  ASSERT_EQ(device_->GetStreamSource(0, got.Put(), &offset, &stride), D3D_OK);
  EXPECT_FALSE(got);
  EXPECT_EQ(stride, 0u);
}

TEST_F(DeviceTest, VertexBufferLocksWithDiscardAndBounds) {
  Ref<IDirect3DVertexBuffer9> vb;
  ASSERT_EQ(
      device_->CreateVertexBuffer(300 * sizeof(TlVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                  D3DPOOL_DEFAULT, vb.Put(), nullptr),
      D3D_OK);
  void* p = nullptr;
  ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
  EXPECT_EQ(vb->Lock(0, 0, &p, 0), D3DERR_INVALIDCALL);  // already locked
  EXPECT_EQ(vb->Unlock(), D3D_OK);
  EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(8000, 500, &p, 0), D3DERR_INVALIDCALL);  // past the end
  ASSERT_EQ(vb->Lock(28, 0, &p, 0), D3D_OK);                  // from an offset to the end
  vb->Unlock();
  D3DVERTEXBUFFER_DESC desc;
  vb->GetDesc(&desc);
  EXPECT_EQ(desc.Size, 8400u);
  // A buffer drawn through the stream, as the text batches are.
  TlVertex quad[6] = {
      {-0.5f, -0.5f, 0, 1, 0xFFFF0000, 0, 0}, {1.5f, -0.5f, 0, 1, 0xFFFF0000, 0, 0},
      {-0.5f, 1.5f, 0, 1, 0xFFFF0000, 0, 0},  {1.5f, -0.5f, 0, 1, 0xFFFF0000, 0, 0},
      {1.5f, 1.5f, 0, 1, 0xFFFF0000, 0, 0},   {-0.5f, 1.5f, 0, 1, 0xFFFF0000, 0, 0}};
  ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
  std::memcpy(p, quad, sizeof quad);
  vb->Unlock();
  device_->SetTexture(0, nullptr);
  device_->SetStreamSource(0, vb.Get(), 0, sizeof(TlVertex));
  Clear(0xFF000000);
  ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
  EXPECT_EQ(Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);
  EXPECT_EQ(Pixel(2, 1), 0xFF000000u);
}

TEST_F(DeviceTest, LockingFollowsThePlatformsRules) {
  Ref<IDirect3DTexture9> managed, target;
  ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, managed.Put(),
                                   nullptr),
            D3D_OK);
  EXPECT_EQ(managed->GetLevelCount(), 5u);  // 16, 8, 4, 2, 1
  D3DLOCKED_RECT lr;
  EXPECT_EQ(managed->LockRect(5, &lr, nullptr, 0), D3DERR_INVALIDCALL);
  RECT outside{8, 8, 20, 12};
  EXPECT_EQ(managed->LockRect(0, &lr, &outside, 0), D3DERR_INVALIDCALL);
  RECT inside{4, 2, 8, 6};
  ASSERT_EQ(managed->LockRect(0, &lr, &inside, 0), D3D_OK);
  EXPECT_EQ(managed->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // twice
  managed->UnlockRect(0);
  ASSERT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                   D3DPOOL_DEFAULT, target.Put(), nullptr),
            D3D_OK);
  EXPECT_EQ(target->LockRect(0, &lr, nullptr, 0), D3DERR_INVALIDCALL);  // default pool
  Ref<IDirect3DSurface9> depth;
  ASSERT_EQ(device_->GetDepthStencilSurface(depth.Put()), D3D_OK);
  EXPECT_EQ(depth->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);
  // A level's references are its texture's.
  Ref<IDirect3DSurface9> level;
  ASSERT_EQ(managed->GetSurfaceLevel(1, level.Put()), D3D_OK);
  D3DSURFACE_DESC desc;
  level->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 8u);
  managed.Reset();
  EXPECT_EQ(level->GetDesc(&desc), D3D_OK);  // still alive through the level
}

TEST_F(DeviceTest, SurfaceCopies) {
  Ref<IDirect3DSurface9> rt, sys, back;
  ASSERT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE,
                                        rt.Put(), nullptr),
            D3D_OK);
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                 sys.Put(), nullptr),
            D3D_OK);
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  Clear(0xFF112233);
  // The back buffer's corner into the target, stretched twice as large.
  RECT src{0, 0, 4, 4};
  ASSERT_EQ(device_->StretchRect(back.Get(), &src, rt.Get(), nullptr, D3DTEXF_POINT), D3D_OK);
  ASSERT_EQ(device_->GetRenderTargetData(rt.Get(), sys.Get()), D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(sys->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
  EXPECT_EQ(static_cast<std::uint32_t*>(lr.pBits)[7 * lr.Pitch / 4 + 7], 0xFF112233u);
  static_cast<std::uint32_t*>(lr.pBits)[0] = 0xFFABCDEF;
  sys->UnlockRect();
  // Back into the back buffer at (10, 10).
  POINT at{10, 10};
  RECT one{0, 0, 1, 1};
  ASSERT_EQ(device_->UpdateSurface(sys.Get(), &one, back.Get(), &at), D3D_OK);
  EXPECT_EQ(Pixel(10, 10), 0xFFABCDEFu);
  // Refused: wrong pools, overlapping rectangles of one surface, sizes that differ.
  EXPECT_EQ(device_->UpdateSurface(rt.Get(), nullptr, back.Get(), nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->StretchRect(sys.Get(), nullptr, rt.Get(), nullptr, D3DTEXF_NONE),
            D3DERR_INVALIDCALL);
  RECT a{0, 0, 10, 10}, b{5, 5, 15, 15};
  EXPECT_EQ(device_->StretchRect(back.Get(), &a, back.Get(), &b, D3DTEXF_NONE), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->GetRenderTargetData(back.Get(), sys.Get()), D3DERR_INVALIDCALL);
  RECT far{60, 60, 70, 70};
  EXPECT_EQ(device_->StretchRect(rt.Get(), nullptr, back.Get(), &far, D3DTEXF_NONE),
            D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ClearRectanglesAndRefusals) {
  Clear(0xFF000000);
  D3DRECT r{2, 3, 5, 4};
  ASSERT_EQ(device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF00FF00, 0, 0), D3D_OK);
  EXPECT_EQ(CountNot(0xFF000000), 3);
  EXPECT_EQ(Pixel(4, 3), 0xFF00FF00u);
  EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 0, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->Clear(0, nullptr, 0, 0, 0, 0), D3DERR_INVALIDCALL);
  device_->SetDepthStencilSurface(nullptr);
  EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1, 0), D3DERR_INVALIDCALL);
  // The viewport bounds a clear.
  D3DVIEWPORT9 vp{8, 8, 4, 4, 0, 1};
  ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
  Clear(0xFFFFFFFF);
  EXPECT_EQ(CountNot(0xFF000000), 16 + 3 - 0);
  D3DVIEWPORT9 too_big{60, 60, 10, 10, 0, 1};
  EXPECT_EQ(device_->SetViewport(&too_big), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, StateBlocksRecordCaptureAndApply) {
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  ASSERT_EQ(device_->BeginStateBlock(), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  Ref<IDirect3DStateBlock9> block;
  ASSERT_EQ(device_->EndStateBlock(block.Put()), D3D_OK);
  DWORD v = 9;
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, 0u);  // recording does not change the device
  ASSERT_EQ(block->Apply(), D3D_OK);
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, 1u);
  // Capture takes the device's current values of what the block holds, and only those.
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  ASSERT_EQ(block->Capture(), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  block->Apply();
  device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
  EXPECT_EQ(v, 0u);
  device_->GetRenderState(D3DRS_CULLMODE, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CW));
  // A whole-state block brings back textures too.
  auto tex = Texture(1, 1, {0xFFFFFFFF});
  device_->SetTexture(0, tex.Get());
  Ref<IDirect3DStateBlock9> all;
  ASSERT_EQ(device_->CreateStateBlock(D3DSBT_ALL, all.Put()), D3D_OK);
  device_->SetTexture(0, nullptr);
  all->Apply();
  Ref<IDirect3DBaseTexture9> got;
  device_->GetTexture(0, got.Put());
  EXPECT_EQ(got.Get(), tex.Get());
  EXPECT_EQ(device_->EndStateBlock(block.Put()), D3DERR_INVALIDCALL);  // not recording
  // A block outliving its device refuses quietly.
  device_.Reset();
  EXPECT_EQ(all->Apply(), D3DERR_INVALIDCALL);
}

// Each kind of block brings back what it holds and leaves the rest: the pixel block its blend,
// sampler and stage colour states, the vertex block culling, the vertex format and the
// coordinate index, the whole-state block all of them with the transforms and viewport.
TEST_F(DeviceTest, StateBlocksOfEachKindRestoreWhatTheyHold) {
  D3DMATRIX world{};
  world._11 = world._22 = world._33 = world._44 = 2.0f;
  auto set = [&](DWORD blend, DWORD cull, DWORD fvf, DWORD filter, DWORD op, DWORD index,
                 float scale) {
    device_->SetRenderState(D3DRS_SRCBLEND, blend);
    device_->SetRenderState(D3DRS_CULLMODE, cull);
    device_->SetFVF(fvf);
    device_->SetSamplerState(3, D3DSAMP_MAGFILTER, filter);
    device_->SetTextureStageState(2, D3DTSS_COLOROP, op);
    device_->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, index);
    world._11 = scale;
    device_->SetTransform(D3DTS_WORLD, &world);
  };
  struct Values {
    DWORD blend, cull, fvf, filter, op, index;
    float scale;
  };
  auto get = [&] {
    Values v{};
    device_->GetRenderState(D3DRS_SRCBLEND, &v.blend);
    device_->GetRenderState(D3DRS_CULLMODE, &v.cull);
    device_->GetFVF(&v.fvf);
    device_->GetSamplerState(3, D3DSAMP_MAGFILTER, &v.filter);
    device_->GetTextureStageState(2, D3DTSS_COLOROP, &v.op);
    device_->GetTextureStageState(2, D3DTSS_TEXCOORDINDEX, &v.index);
    D3DMATRIX m;
    device_->GetTransform(D3DTS_WORLD, &m);
    v.scale = m._11;
    return v;
  };
  const DWORD xyz = D3DFVF_XYZ, tex = D3DFVF_XYZRHW | D3DFVF_TEX1;
  for (D3DSTATEBLOCKTYPE type : {D3DSBT_ALL, D3DSBT_PIXELSTATE, D3DSBT_VERTEXSTATE}) {
    set(D3DBLEND_ONE, D3DCULL_NONE, xyz, D3DTEXF_LINEAR, D3DTOP_ADD, 1, 3.0f);
    Ref<IDirect3DStateBlock9> block;
    ASSERT_EQ(device_->CreateStateBlock(type, block.Put()), D3D_OK);
    set(D3DBLEND_ZERO, D3DCULL_CW, tex, D3DTEXF_POINT, D3DTOP_MODULATE, 0, 5.0f);
    ASSERT_EQ(block->Apply(), D3D_OK);
    const Values v = get();
    const bool pixel = type != D3DSBT_VERTEXSTATE, vertex = type != D3DSBT_PIXELSTATE;
    const bool all = type == D3DSBT_ALL;
    SCOPED_TRACE(type);
    EXPECT_EQ(v.blend, static_cast<DWORD>(pixel ? D3DBLEND_ONE : D3DBLEND_ZERO));
    EXPECT_EQ(v.filter, static_cast<DWORD>(pixel ? D3DTEXF_LINEAR : D3DTEXF_POINT));
    EXPECT_EQ(v.op, static_cast<DWORD>(pixel ? D3DTOP_ADD : D3DTOP_MODULATE));
    EXPECT_EQ(v.cull, static_cast<DWORD>(vertex ? D3DCULL_NONE : D3DCULL_CW));
    EXPECT_EQ(v.fvf, vertex ? xyz : tex);
    EXPECT_EQ(v.index, vertex ? 1u : 0u);
    EXPECT_EQ(v.scale, all ? 3.0f : 5.0f);
    // Capture takes the device's values of the same entries, and only those.
    set(D3DBLEND_DESTCOLOR, D3DCULL_CCW, xyz, D3DTEXF_LINEAR, D3DTOP_SUBTRACT, 1, 7.0f);
    ASSERT_EQ(block->Capture(), D3D_OK);
    set(D3DBLEND_ZERO, D3DCULL_CW, tex, D3DTEXF_POINT, D3DTOP_MODULATE, 0, 5.0f);
    block->Apply();
    const Values c = get();
    EXPECT_EQ(c.blend, static_cast<DWORD>(pixel ? D3DBLEND_DESTCOLOR : D3DBLEND_ZERO));
    EXPECT_EQ(c.op, static_cast<DWORD>(pixel ? D3DTOP_SUBTRACT : D3DTOP_MODULATE));
    EXPECT_EQ(c.cull, static_cast<DWORD>(vertex ? D3DCULL_CCW : D3DCULL_CW));
    EXPECT_EQ(c.scale, all ? 7.0f : 5.0f);
  }
}

TEST_F(DeviceTest, LostDeviceRefusesPresentUntilReset) {
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  device_->EndScene();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  d3d9::testing::LoseDevice(device_.Get(), false);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 32;
  pp.BackBufferHeight = 16;
  pp.SwapEffect = D3DSWAPEFFECT_COPY;
  pp.Windowed = TRUE;
  EXPECT_EQ(device_->Reset(&pp), D3DERR_DEVICELOST);
  d3d9::testing::LoseDevice(device_.Get(), true);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  ASSERT_EQ(device_->Reset(&pp), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  Ref<IDirect3DSurface9> back;
  device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Put());
  D3DSURFACE_DESC desc;
  back->GetDesc(&desc);
  EXPECT_EQ(desc.Width, 32u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);  // the desktop's
  D3DLOCKED_RECT lr;
  EXPECT_EQ(back->LockRect(&lr, nullptr, 0), D3DERR_INVALIDCALL);  // not asked lockable this time
  // A source rectangle must lie within the back buffer.
  RECT r{0, 0, 33, 8};
  EXPECT_EQ(device_->Present(&r, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  RECT ok{0, 0, 16, 8};
  EXPECT_EQ(device_->Present(&ok, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_TRUE(device_->last_present_had_source);
}

TEST_F(DeviceTest, SixteenBitBackBufferBlends) {
  Create(16, 16, D3DFMT_R5G6B5);
  device_->SetTexture(0, nullptr);
  Clear(0xFF000000);
  Quad(0, 0, 2, 2, 0xFFFFFFFF);
  EXPECT_EQ(Pixel(0, 0), 0xFFFFu);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  Quad(4, 0, 6, 2, 0x80FF0000);
  // Red 255 at half over black: 128 -> 5 bits 16.
  EXPECT_EQ(Pixel(4, 0), 16u << 11);
}

}  // namespace
