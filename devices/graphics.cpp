// graphics.cpp — InitGraphics, the asset table and the graphics release.
#include "devices/graphics.h"

#include <cstring>

#include "devices/keyboard.h"

IDirect3D9* direct3D = nullptr;
IDirect3DDevice9* graphicsDevice = nullptr;

IDirect3DTexture9* walkerTexture = nullptr;
IDirect3DTexture9* partnerTexture = nullptr;
IDirect3DTexture9* gemTexture = nullptr;
IDirect3DTexture9* floorTexture = nullptr;
IDirect3DTexture9* blockTexture = nullptr;
IDirect3DTexture9* strangerTexture = nullptr;
IDirect3DTexture9* scoreLabelTexture = nullptr;
IDirect3DTexture9* digitStripTexture = nullptr;
IDirect3DTexture9* missedBannerTexture = nullptr;
IDirect3DTexture9* clearedBannerTexture = nullptr;
IDirect3DTexture9* titleCardTexture = nullptr;
IDirect3DTexture9* spinStripTexture = nullptr;

ID3DXSprite* walkerSprite = nullptr;
ID3DXSprite* partnerSprite = nullptr;
ID3DXSprite* gemSprite = nullptr;
ID3DXSprite* floorSprite = nullptr;
ID3DXSprite* blockSprite = nullptr;
ID3DXSprite* strangerSprite = nullptr;
ID3DXSprite* scoreLabelSprite = nullptr;
ID3DXSprite* digitStripSprite = nullptr;
ID3DXSprite* missedBannerSprite = nullptr;
ID3DXSprite* clearedBannerSprite = nullptr;
ID3DXSprite* titleCardSprite = nullptr;
ID3DXSprite* spinStripSprite = nullptr;

const AssetRow kAssetTable[kAssetCount] = {
    {"walker", 111, 88, 88, &walkerTexture, &walkerSprite},
    {"partner", 112, 88, 88, &partnerTexture, &partnerSprite},
    {"gem", 113, 88, 88, &gemTexture, &gemSprite},
    {"floor tile", 114, 88, 88, &floorTexture, &floorSprite},
    {"block", 115, 88, 88, &blockTexture, &blockSprite},
    {"stranger", 116, 88, 88, &strangerTexture, &strangerSprite},
    {"score label", 117, 440, 88, &scoreLabelTexture, &scoreLabelSprite},
    {"digit strip", 118, 880, 88, &digitStripTexture, &digitStripSprite},
    {"missed banner", 119, 616, 88, &missedBannerTexture, &missedBannerSprite},
    {"cleared banner", 120, 616, 88, &clearedBannerTexture, &clearedBannerSprite},
    {"title card", 121, 792, 640, &titleCardTexture, &titleCardSprite},
    {"spin strip", 124, 352, 88, &spinStripTexture, &spinStripSprite},
};

// "Direct3Dの作成に失敗しました"
const char kDirect3DCreateFailedText[] =
    "\x44\x69\x72\x65\x63\x74\x33\x44\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "HALモードでDIRECT3Dデバイスを作成できません" "\n" "REFモードで再試行します"
const char kHalFailedText[] =
    "\x48\x41\x4c\x83\x82\x81\x5b\x83\x68\x82\xc5\x44\x49\x52\x45\x43\x54\x33\x44\x83\x66\x83\x6f\x83\x43\x83\x58"
    "\x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1"
    "\n"
    "\x52\x45\x46\x83\x82\x81\x5b\x83\x68\x82\xc5\x8d\xc4\x8e\x8e\x8d\x73\x82\xb5\x82\xdc\x82\xb7";
// "DIRECT3Dデバイスの作成に失敗しました"
const char kRefFailedText[] =
    "\x44\x49\x52\x45\x43\x54\x33\x44\x83\x66\x83\x6f\x83\x43\x83\x58\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// "テクスチャの作成に失敗しました"
const char kTextureFailedText[] =
    "\x83\x65\x83\x4e\x83\x58\x83\x60\x83\x83\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd";
// "スプライトの作成に失敗しました"
const char kSpriteFailedText[] =
    "\x83\x58\x83\x76\x83\x89\x83\x43\x83\x67\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd";

namespace {

// The Direct3D, texture and sprite messages carry an empty caption; the two
// device messages pass none, so the system's default shows.
void Tell(const char* text, const char* caption) { MessageBoxA(nullptr, text, caption, MB_OK); }

template <typename T>
void ReleaseAndClear(T*& object) {
  if (object != nullptr) {
    object->Release();
    object = nullptr;
  }
}

}  // namespace

HRESULT InitGraphics(HWND window) {
  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (direct3D == nullptr) {
    Tell(kDirect3DCreateFailedText, "");
    return E_FAIL;
  }

  D3DPRESENT_PARAMETERS present;
  std::memset(&present, 0, sizeof present);
  present.BackBufferFormat = D3DFMT_UNKNOWN;
  present.BackBufferCount = 1;
  present.SwapEffect = D3DSWAPEFFECT_DISCARD;
  present.Windowed = TRUE;

  HRESULT hr = direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING,
                                      &present, &graphicsDevice);
  if (FAILED(hr)) {
    Tell(kHalFailedText, nullptr);
    // The same record, not refilled: the failed call may have settled fields.
    hr = direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, window, D3DCREATE_MIXED_VERTEXPROCESSING,
                                &present, &graphicsDevice);
    if (FAILED(hr)) {
      Tell(kRefFailedText, nullptr);
      return E_FAIL;
    }
  }

  const DWORD filter = D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR;
  for (const AssetRow& row : kAssetTable) {
    hr = D3DXCreateTextureFromResourceExA(graphicsDevice, nullptr, MAKEINTRESOURCEA(row.resource), row.width,
                                          row.height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, filter, filter,
                                          0xFF000000, nullptr, nullptr, row.texture);
    if (FAILED(hr)) {
      Tell(kTextureFailedText, "");
      return E_FAIL;
    }
    hr = D3DXCreateSprite(graphicsDevice, row.sprite);
    if (FAILED(hr)) {
      Tell(kSpriteFailedText, "");
      return E_FAIL;
    }
  }
  return S_OK;
}

void ReleaseGraphicsAndInput() {
  ReleaseKeyboard();
  for (const AssetRow& row : kAssetTable) {
    ReleaseAndClear(*row.texture);
    ReleaseAndClear(*row.sprite);
  }
  ReleaseAndClear(graphicsDevice);
  ReleaseAndClear(direct3D);
}
