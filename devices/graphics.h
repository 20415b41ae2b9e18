// graphics.h — the game's Direct3D objects and its asset table.
//
// Provides: direct3D, graphicsDevice and the twelve texture and sprite pairs
// (one sprite per image, never shared); InitGraphics, which creates all of
// them at start-up and tells the user in a message box when a step fails;
// ReleaseGraphicsAndInput, which releases the keyboard objects and then these.
// The frame bracket (clear, begin, draws, end, present) is issued by the tick.
// Depends on: windows.h, d3d9.h, gfx/gfx.h (texture creation and sprites),
// devices/keyboard.h.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "gfx/gfx.h"

extern IDirect3D9* direct3D;
extern IDirect3DDevice9* graphicsDevice;

extern IDirect3DTexture9* walkerTexture;
extern IDirect3DTexture9* partnerTexture;
extern IDirect3DTexture9* gemTexture;
extern IDirect3DTexture9* floorTexture;
extern IDirect3DTexture9* blockTexture;
extern IDirect3DTexture9* strangerTexture;
extern IDirect3DTexture9* scoreLabelTexture;
extern IDirect3DTexture9* digitStripTexture;
extern IDirect3DTexture9* missedBannerTexture;
extern IDirect3DTexture9* clearedBannerTexture;
extern IDirect3DTexture9* titleCardTexture;
extern IDirect3DTexture9* spinStripTexture;

extern ID3DXSprite* walkerSprite;
extern ID3DXSprite* partnerSprite;
extern ID3DXSprite* gemSprite;
extern ID3DXSprite* floorSprite;
extern ID3DXSprite* blockSprite;
extern ID3DXSprite* strangerSprite;
extern ID3DXSprite* scoreLabelSprite;
extern ID3DXSprite* digitStripSprite;
extern ID3DXSprite* missedBannerSprite;
extern ID3DXSprite* clearedBannerSprite;
extern ID3DXSprite* titleCardSprite;
extern ID3DXSprite* spinStripSprite;

// One row of the asset table: a bitmap resource, the size asked for (the
// bitmap's own), and the pair's two slots.
struct AssetRow {
  const char* role;
  WORD resource;
  UINT width;
  UINT height;
  IDirect3DTexture9** texture;
  ID3DXSprite** sprite;
};
constexpr int kAssetCount = 12;
// In creation order, which is also the release order.
extern const AssetRow kAssetTable[kAssetCount];

// The start-up messages, in Shift-JIS as MessageBoxA takes them.
extern const char kDirect3DCreateFailedText[];  // Direct3Dの作成に失敗しました
extern const char kHalFailedText[];             // HALモード... \n REFモードで再試行します
extern const char kRefFailedText[];             // DIRECT3Dデバイスの作成に失敗しました
extern const char kTextureFailedText[];         // テクスチャの作成に失敗しました
extern const char kSpriteFailedText[];          // スプライトの作成に失敗しました

// S_OK when the device and all twelve pairs exist, else E_FAIL after one
// message box. What was created before a failure stays in its slot.
HRESULT InitGraphics(HWND window);

// Keyboard objects first, then each pair's texture and sprite in creation
// order, the device and the Direct3D object; every pointer tested, released
// and set to null, so it is safe after a partial start-up.
void ReleaseGraphicsAndInput();
