// filter_texture.cpp — the mip generator behind D3DXFilterTexture.
//
// Each generated level is loaded, through the level loader, from a source
// level's surface locked for reading; no colour key applies. Plain and cube
// textures are handled (cubes face by face, with mirror addressing forced
// on, since a face's edge continues on the neighbouring face rather than on
// the opposite edge). Volume textures have no level loader in this library.
// Depends on: gfx/pixels/filter_texture.h, gfx/load/texture_create.h, gfx/debug_report.h.
#include "gfx/pixels/filter_texture.h"

#include "gfx/debug_report.h"
#include "gfx/load/texture_create.h"

namespace gfx {
namespace {

// Surface `level` of face `face` of a plain (face 0 only) or cube texture.
HRESULT GetLevelSurface(IDirect3DBaseTexture9* texture, D3DRESOURCETYPE type, UINT face, UINT level,
                        IDirect3DSurface9** surface) {
  if (type == D3DRTYPE_CUBETEXTURE)
    return static_cast<IDirect3DCubeTexture9*>(texture)->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), level,
                                                                          surface);
  return static_cast<IDirect3DTexture9*>(texture)->GetSurfaceLevel(level, surface);
}

// Loads `dest` from the whole of `source`, which is locked for reading
// meanwhile.
HRESULT LoadFromSurface(IDirect3DSurface9* dest, IDirect3DSurface9* source, const PALETTEENTRY* palette,
                        DWORD filter) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = source->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT locked{};
  hr = source->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return hr;
  if (locked.pBits == nullptr || locked.Pitch <= 0) {
    source->UnlockRect();
    return E_FAIL;
  }
  const RECT whole{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  hr = D3DXLoadSurfaceFromMemory(dest, palette, nullptr, locked.pBits, desc.Format, static_cast<UINT>(locked.Pitch),
                                 palette, &whole, filter, 0);
  source->UnlockRect();
  return hr;
}

}  // namespace

HRESULT FilterTextureLevels(IDirect3DBaseTexture9* texture, const PALETTEENTRY* palette, UINT srcLevel,
                            DWORD filter) {
  if (texture == nullptr) {
    DebugReport(0, "pBaseTexture pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  if (filter == D3DX_DEFAULT) filter = D3DX_FILTER_BOX;
  const D3DRESOURCETYPE type = texture->GetType();
  if (type == D3DRTYPE_CUBETEXTURE) filter |= D3DX_FILTER_MIRROR;
  // Gamma-encoded output implies gamma-encoded input: the levels all come
  // from the same texture.
  if (filter & D3DX_FILTER_SRGB_OUT)
    filter |= D3DX_FILTER_SRGB_IN;
  else
    filter &= ~static_cast<DWORD>(D3DX_FILTER_SRGB);
  if (srcLevel == D3DX_DEFAULT) srcLevel = 0;

  const UINT count = texture->GetLevelCount();
  if (srcLevel >= count) {
    DebugReport(0, "uSrcLevel larger than num Mip level in the texture");
    return D3DERR_INVALIDCALL;
  }
  if (type != D3DRTYPE_TEXTURE && type != D3DRTYPE_CUBETEXTURE) {
    DebugReport(0, "Volume textures cannot be filtered");
    return D3DERR_NOTAVAILABLE;
  }

  const bool cascade = FilterKind(filter) == 2 || FilterKind(filter) == 5;
  const UINT faces = (type == D3DRTYPE_CUBETEXTURE) ? 6 : 1;
  for (UINT face = 0; face < faces; ++face) {
    UINT from = srcLevel;
    for (UINT level = srcLevel + 1; level < count; ++level) {
      IDirect3DSurface9* source = nullptr;
      IDirect3DSurface9* dest = nullptr;
      HRESULT hr = GetLevelSurface(texture, type, face, from, &source);
      if (SUCCEEDED(hr)) hr = GetLevelSurface(texture, type, face, level, &dest);
      if (SUCCEEDED(hr)) hr = LoadFromSurface(dest, source, palette, filter);
      if (dest) dest->Release();
      if (source) source->Release();
      if (FAILED(hr)) return hr;
      if (cascade) from = level;
    }
  }
  return S_OK;
}

}  // namespace gfx

extern "C" HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 pBaseTexture, const PALETTEENTRY* pPalette,
                                            UINT SrcLevel, DWORD Filter) {
  return gfx::FilterTextureLevels(pBaseTexture, pPalette, SrcLevel, Filter);
}
