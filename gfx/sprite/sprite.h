// sprite.h — the sprite object: textured, screen-aligned rectangles drawn
// with every device state they touch saved before and restored after.
//
// Provides: ID3DXSprite (the ten-operation interface, in interface-table
// order), IID_ID3DXSprite, LPD3DXSPRITE and D3DXCreateSprite.
// Depends on: windows.h, d3d9.h, gfx/gfx_math.h (the vector and matrix
// records the operations take).
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "gfx/gfx_math.h"

// {B07EC84A-8D35-4E86-A9A0-8DFF21D71075}
extern "C" const IID IID_ID3DXSprite;

struct ID3DXSprite : public IUnknown {
  // Slot 3 onwards; slots 0 to 2 are IUnknown's.
  virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE Begin() = 0;
  virtual HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 pSrcTexture, const RECT* pSrcRect,
                                         const D3DXVECTOR2* pScaling, const D3DXVECTOR2* pRotationCenter,
                                         FLOAT Rotation, const D3DXVECTOR2* pTranslation, D3DCOLOR Color) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawTransform(LPDIRECT3DTEXTURE9 pSrcTexture, const RECT* pSrcRect,
                                                  const D3DXMATRIX* pTransform, D3DCOLOR Color) = 0;
  virtual HRESULT STDMETHODCALLTYPE End() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnLostDevice() = 0;
  virtual HRESULT STDMETHODCALLTYPE OnResetDevice() = 0;

 protected:
  ~ID3DXSprite() = default;  // objects die through Release
};
typedef ID3DXSprite* LPD3DXSPRITE;

extern "C" {

// Creates a sprite object on the device, with one reference for the caller.
HRESULT WINAPI D3DXCreateSprite(LPDIRECT3DDEVICE9 pDevice, LPD3DXSPRITE* ppSprite);

}  // extern "C"
