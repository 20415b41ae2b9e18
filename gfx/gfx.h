// gfx.h — the public header of Velmora's image and sprite library.
//
// Provides: the library's constants (D3DX_DEFAULT, the D3DX_FILTER_* filter
// word bits, D3DXERR_INVALIDDATA), the image description D3DXIMAGE_INFO and
// its file-format codes, and every public entry: surface loading with
// resampling and colour key, the texture requirements check, texture creation
// from resources and from files in memory, mip-level filtering, (through
// gfx/image_files.h) image files read and written by name or in memory, and
// (through gfx/sprite/sprite.h) the sprite object.
// Depends on: windows.h and d3d9.h only, so it would build against any
// Direct3D 9 implementation.
#pragma once

#include <windows.h>
#include <d3d9.h>

// ---------------------------------------------------------------------------
// Special size and filter values.
#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)

// Filter word: bits 0-15 the kind, then mirror, dither and gamma bits.
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
#define D3DX_FILTER_SRGB_IN (1 << 20)
#define D3DX_FILTER_SRGB_OUT (2 << 20)
#define D3DX_FILTER_SRGB (3 << 20)

// ---------------------------------------------------------------------------
// Result codes of the library (facility 0x876, as the device's).
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_DDHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_DDHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)  // 0x88760B59
#define D3DXERR_LOADEDMESHASNODATA MAKE_DDHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_DDHRESULT(2907)
#define D3DXERR_CANNOTREMOVELASTITEM MAKE_DDHRESULT(2908)

// ---------------------------------------------------------------------------
// Image description.
typedef enum _D3DXIMAGE_FILEFORMAT {
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
} D3DXIMAGE_FILEFORMAT;

typedef struct _D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
} D3DXIMAGE_INFO, *LPD3DXIMAGE_INFO;

// ---------------------------------------------------------------------------
// Public entries. Each checks its pointers first, reports failures through
// the debug reporter and returns a result code; none throws.
extern "C" {

// Writes a rectangle of pixels held in memory into a surface, converting the
// format and resampling by the filter word; ColorKey 0 means no key.
HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                         const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                         UINT SrcPitch, const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect,
                                         DWORD Filter, D3DCOLOR ColorKey);

// Settles a texture's size, level count and format against the device.
HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT* pWidth, UINT* pHeight,
                                            UINT* pNumMipLevels, DWORD Usage, D3DFORMAT* pFormat, D3DPOOL Pool);

// Creates a texture with its mip chain from a bitmap resource of a module.
HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule, LPCSTR pSrcResource,
                                                UINT Width, UINT Height, UINT MipLevels, DWORD Usage,
                                                D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                LPDIRECT3DTEXTURE9* ppTexture);
HRESULT WINAPI D3DXCreateTextureFromResourceExW(LPDIRECT3DDEVICE9 pDevice, HMODULE hSrcModule, LPCWSTR pSrcResource,
                                                UINT Width, UINT Height, UINT MipLevels, DWORD Usage,
                                                D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                LPDIRECT3DTEXTURE9* ppTexture);

// Creates a texture with its mip chain from an image file held in memory.
HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                   UINT Width, UINT Height, UINT MipLevels, DWORD Usage,
                                                   D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                   D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                   PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture);

// Fills the levels below SrcLevel of a texture from that level.
HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 pBaseTexture, const PALETTEENTRY* pPalette, UINT SrcLevel,
                                 DWORD Filter);

}  // extern "C"

#include "gfx/image_files.h"
#include "gfx/sprite/sprite.h"
