// file_roads.cpp — image description, surface loading and texture creation
// from image files: held in memory, or named on disk (A and W forms).
//
// The file forms read the whole file and take the memory road; the memory
// forms share the image loader with texture creation, so every file is
// recognised and decoded in one place.
// Depends on: gfx/image_files.h, gfx/load/image_loader.h, gfx/load/file_access.h,
// gfx/load/call_checks.h, gfx/debug_report.h.
#include <string>
#include <vector>

#include "gfx/debug_report.h"
#include "gfx/load/call_checks.h"
#include "gfx/load/file_access.h"
#include "gfx/image_files.h"
#include "gfx/load/image_loader.h"

namespace gfx {
namespace {

// The memory entries take a 32-bit size.
HRESULT ReadFileForRoad(const char* path, std::vector<BYTE>* bytes) {
  HRESULT hr = RequirePointer(path, "pSrcFile");
  if (FAILED(hr)) return hr;
  hr = ReadWholeFile(path, bytes);
  if (FAILED(hr)) return hr;
  if (bytes->empty()) {
    DebugReport(0, "File '%s' is empty", path);
    return D3DXERR_INVALIDDATA;
  }
  return S_OK;
}

std::string Narrow(LPCWSTR name) { return name == nullptr ? std::string() : WideToUtf8(name); }
const char* NarrowOrNull(LPCWSTR name, const std::string& narrow) { return name == nullptr ? nullptr : narrow.c_str(); }

}  // namespace
}  // namespace gfx

using namespace gfx;

extern "C" HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize,
                                                           D3DXIMAGE_INFO* pSrcInfo) {
  HRESULT hr = RequireSourceData(pSrcData, SrcDataSize);
  if (SUCCEEDED(hr)) hr = RequirePointer(pSrcInfo, "pSrcInfo");
  if (FAILED(hr)) return hr;
  DecodedImage image;
  image.loadPixels = false;
  ImageGuard guard{&image};
  D3DXIMAGE_INFO info{};
  hr = LoadImageFromMemory(pSrcData, SrcDataSize, &info, &image);
  if (FAILED(hr)) return hr;
  *pSrcInfo = info;
  return S_OK;
}

extern "C" HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
  std::vector<BYTE> bytes;
  HRESULT hr = ReadFileForRoad(pSrcFile, &bytes);
  if (FAILED(hr)) return hr;
  return D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), pSrcInfo);
}

extern "C" HRESULT WINAPI D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
  const std::string name = Narrow(pSrcFile);
  return D3DXGetImageInfoFromFileA(NarrowOrNull(pSrcFile, name), pSrcInfo);
}

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromFileInMemory(LPDIRECT3DSURFACE9 pDestSurface,
                                                          const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                                          LPCVOID pSrcData, UINT SrcDataSize, const RECT* pSrcRect,
                                                          DWORD Filter, D3DCOLOR ColorKey,
                                                          D3DXIMAGE_INFO* pSrcInfo) {
  HRESULT hr = RequirePointer(pDestSurface, "pDestSurface");
  if (SUCCEEDED(hr)) hr = RequireSourceData(pSrcData, SrcDataSize);
  if (FAILED(hr)) return hr;
  DecodedImage image;
  ImageGuard guard{&image};
  D3DXIMAGE_INFO info{};
  hr = LoadImageFromMemory(pSrcData, SrcDataSize, &info, &image);
  if (FAILED(hr)) return hr;

  // The rectangle is the caller's to choose, but only inside the picture.
  RECT source{0, 0, static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
  if (pSrcRect != nullptr) {
    source = *pSrcRect;
    hr = RequireRectWithin(source, image.width, image.height);
    if (FAILED(hr)) return hr;
  }
  hr = D3DXLoadSurfaceFromMemory(pDestSurface, pDestPalette, pDestRect, image.pixels, image.format, image.rowPitch,
                                 image.palette, &source, Filter, ColorKey);
  if (FAILED(hr)) return hr;
  if (pSrcInfo != nullptr) *pSrcInfo = info;
  return S_OK;
}

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromFileA(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                   const RECT* pDestRect, LPCSTR pSrcFile, const RECT* pSrcRect,
                                                   DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo) {
  HRESULT hr = RequirePointer(pDestSurface, "pDestSurface");
  if (FAILED(hr)) return hr;
  std::vector<BYTE> bytes;
  hr = ReadFileForRoad(pSrcFile, &bytes);
  if (FAILED(hr)) return hr;
  return D3DXLoadSurfaceFromFileInMemory(pDestSurface, pDestPalette, pDestRect, bytes.data(),
                                         static_cast<UINT>(bytes.size()), pSrcRect, Filter, ColorKey, pSrcInfo);
}

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromFileW(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                   const RECT* pDestRect, LPCWSTR pSrcFile, const RECT* pSrcRect,
                                                   DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo) {
  const std::string name = Narrow(pSrcFile);
  return D3DXLoadSurfaceFromFileA(pDestSurface, pDestPalette, pDestRect, NarrowOrNull(pSrcFile, name), pSrcRect,
                                  Filter, ColorKey, pSrcInfo);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                            UINT SrcDataSize, LPDIRECT3DTEXTURE9* ppTexture) {
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                             0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             nullptr, nullptr, ppTexture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                                       UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                       D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                       D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                       PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  HRESULT hr = RequireDeviceAndTexture(pDevice, ppTexture);
  if (FAILED(hr)) return hr;
  std::vector<BYTE> bytes;
  hr = ReadFileForRoad(pSrcFile, &bytes);
  if (FAILED(hr)) return hr;
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, bytes.data(), static_cast<UINT>(bytes.size()), Width, Height,
                                             MipLevels, Usage, Format, Pool, Filter, MipFilter, ColorKey, pSrcInfo,
                                             pPalette, ppTexture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                                       UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                                       D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                       D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                                       PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
  const std::string name = Narrow(pSrcFile);
  return D3DXCreateTextureFromFileExA(pDevice, NarrowOrNull(pSrcFile, name), Width, Height, MipLevels, Usage, Format,
                                      Pool, Filter, MipFilter, ColorKey, pSrcInfo, pPalette, ppTexture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                     LPDIRECT3DTEXTURE9* ppTexture) {
  return D3DXCreateTextureFromFileExA(pDevice, pSrcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, ppTexture);
}

extern "C" HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                     LPDIRECT3DTEXTURE9* ppTexture) {
  const std::string name = Narrow(pSrcFile);
  return D3DXCreateTextureFromFileA(pDevice, NarrowOrNull(pSrcFile, name), ppTexture);
}
