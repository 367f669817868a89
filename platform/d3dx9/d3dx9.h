// The image half of D3DX 9: image information, texture creation with the device's size and
// format rules, loading image files into surfaces and textures (with filtering, colour key and
// conversion into the surface's format), whole mip chains, cube textures, surface-to-surface
// copies and saving surfaces to files. Names, flags and values are the platform's. Depends on
// the software device (platform/d3d9), the file layer of this folder and platform/win32 paths:
// every file name may be written the Windows way ("Data\Images\Pot\Pot.png").
#pragma once

#include "platform/d3d9/d3d9.h"

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DFMT_FROM_FILE ((D3DFORMAT)-3)

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)
#define D3DX_FILTER_DITHER_DIFFUSION (2 << 19)
#define D3DX_FILTER_SRGB_IN (1 << 21)
#define D3DX_FILTER_SRGB_OUT (2 << 21)
#define D3DX_FILTER_SRGB (3 << 21)

#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_D3DHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_D3DHRESULT(2901)
#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

enum D3DXIMAGE_FILEFORMAT : DWORD {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_HDR = 7,
  D3DXIFF_PFM = 8,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// Size, format and kind of an image file, read from its header.
HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info);
HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID data, UINT size, D3DXIMAGE_INFO* info);

// Adjusts a texture request to what the device can make: power-of-two or square sizes where
// its caps demand them, its largest size, a whole mip chain for 0 or D3DX_DEFAULT levels, and
// the nearest format it accepts.
HRESULT D3DXCheckTextureRequirements(IDirect3DDevice9* device, UINT* width, UINT* height,
                                     UINT* mip_levels, DWORD usage, D3DFORMAT* format,
                                     D3DPOOL pool);
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mip_levels,
                          DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

// Loads (a rectangle of) an image into (a rectangle of) a surface, scaled with filter; source
// pixels equal to colour_key (0: none) become transparent black first.
HRESULT D3DXLoadSurfaceFromFileA(IDirect3DSurface9* dest, const PALETTEENTRY* dest_palette,
                                 const RECT* dest_rect, LPCSTR file, const RECT* src_rect,
                                 DWORD filter, D3DCOLOR colour_key, D3DXIMAGE_INFO* info);
HRESULT D3DXLoadSurfaceFromFileInMemory(IDirect3DSurface9* dest, const PALETTEENTRY* dest_palette,
                                        const RECT* dest_rect, LPCVOID data, UINT size,
                                        const RECT* src_rect, DWORD filter, D3DCOLOR colour_key,
                                        D3DXIMAGE_INFO* info);
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const PALETTEENTRY* dest_palette,
                                   const RECT* dest_rect, IDirect3DSurface9* src,
                                   const PALETTEENTRY* src_palette, const RECT* src_rect,
                                   DWORD filter, D3DCOLOR colour_key);
HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface9* dest, const PALETTEENTRY* dest_palette,
                                  const RECT* dest_rect, LPCVOID src_memory, D3DFORMAT src_format,
                                  UINT src_pitch, const PALETTEENTRY* src_palette,
                                  const RECT* src_rect, DWORD filter, D3DCOLOR colour_key);

// Fills the levels below src_level of a texture, each from the one above it.
HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* texture, const PALETTEENTRY* palette,
                          UINT src_level, DWORD filter);

// A texture made from a file: sizes, levels and format D3DX_DEFAULT (or 0 / D3DFMT_UNKNOWN)
// come from the file; every mip level is filled.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mip_levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mip_filter, D3DCOLOR colour_key,
                                     D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                     IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                   IDirect3DTexture9** texture);
// A cube texture from a file: a cube-map DDS gives its six faces; any other picture is put on
// every face.
HRESULT D3DXCreateCubeTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT size,
                                         UINT mip_levels, DWORD usage, D3DFORMAT format,
                                         D3DPOOL pool, DWORD filter, DWORD mip_filter,
                                         D3DCOLOR colour_key, D3DXIMAGE_INFO* info,
                                         PALETTEENTRY* palette, IDirect3DCubeTexture9** texture);

// Writes (a rectangle of) a surface as a BMP, DIB, JPEG, PNG or DDS file (DDS keeps the
// surface's own format, DXT included).
HRESULT D3DXSaveSurfaceToFileA(LPCSTR file, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* src,
                               const PALETTEENTRY* src_palette, const RECT* src_rect);
