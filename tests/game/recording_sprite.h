// recording_sprite.h — a sprite object that records its draws, installed in
// every slot of the asset table, so a tick's draw list can be read back.
#pragma once

#include <string>
#include <vector>

#include "devices/graphics.h"

struct DrawRecord {
  std::string image;  // the asset table's role of the sprite drawn through
  ID3DXSprite* sprite = nullptr;
  IDirect3DTexture9* texture = nullptr;
  RECT source{};
  bool hasSource = false;
  D3DXVECTOR2 scaling{}, centre{}, position{};
  float rotation = -1;
  D3DCOLOR colour = 0;
};

class RecordingSprite : public ID3DXSprite {
 public:
  RecordingSprite(std::string image, std::vector<DrawRecord>* log) : image_(std::move(image)), log_(log) {}
  virtual ~RecordingSprite() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return refs_ > 0 ? --refs_ : 0; }
  HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Begin() override {
    ++bracketCalls;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Draw(LPDIRECT3DTEXTURE9 texture, const RECT* source, const D3DXVECTOR2* scaling,
                                 const D3DXVECTOR2* centre, FLOAT rotation, const D3DXVECTOR2* position,
                                 D3DCOLOR colour) override {
    DrawRecord r;
    r.image = image_;
    r.sprite = this;
    r.texture = texture;
    r.hasSource = source != nullptr;
    if (source) r.source = *source;
    if (scaling) r.scaling = *scaling;
    if (centre) r.centre = *centre;
    if (position) r.position = *position;
    r.rotation = rotation;
    r.colour = colour;
    log_->push_back(r);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DrawTransform(LPDIRECT3DTEXTURE9, const RECT*, const D3DXMATRIX*, D3DCOLOR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE End() override {
    ++bracketCalls;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnLostDevice() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnResetDevice() override { return S_OK; }

  int bracketCalls = 0;  // Begin and End: the game never brackets its draws

 private:
  std::string image_;
  std::vector<DrawRecord>* log_;
  ULONG refs_ = 1;
};
