// state_block.cpp — recorded state blocks: exactly the states set while
// recording (or every state of a kind), captured and applied as a list, so
// that a block of thirty states costs thirty copies.
#include "platform/d3d9/device.h"

namespace d3d9sw {

StateBlock::StateBlock(Device* device) : device_(device) { device_->AddRef(); }

StateBlock::~StateBlock() {
  for (DWORD stage = 0; stage < kStageCount; ++stage) SetTextureSlot(stage, nullptr);
  device_->Release();
}

HRESULT StateBlock::GetDevice(IDirect3DDevice9** device) {
  if (device == nullptr) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *device = device_;
  return D3D_OK;
}

void StateBlock::SetTextureSlot(DWORD stage, Texture* texture) {
  Texture* old = values_.textures[stage];
  if (old == texture) return;
  if (texture != nullptr) texture->BindAddRef();
  values_.textures[stage] = texture;
  if (old != nullptr) old->BindRelease();
}

void StateBlock::RecordRenderState(DWORD state, DWORD value) {
  if (!renderSet_[state]) {
    renderSet_[state] = true;
    renderStates_.push_back(static_cast<uint16_t>(state));
  }
  values_.renderStates[state] = value;
}

void StateBlock::RecordStageState(DWORD stage, DWORD type, DWORD value) {
  if (!(stageSet_[stage] & (uint64_t{1} << type))) {
    stageSet_[stage] |= uint64_t{1} << type;
    stageStates_.push_back(static_cast<uint16_t>(stage * 64 + type));
  }
  values_.stageStates[stage][type] = value;
}

void StateBlock::RecordSamplerState(DWORD sampler, DWORD type, DWORD value) {
  if (!(samplerSet_[sampler] & (uint64_t{1} << type))) {
    samplerSet_[sampler] |= uint64_t{1} << type;
    samplerStates_.push_back(static_cast<uint16_t>(sampler * 64 + type));
  }
  values_.samplerStates[sampler][type] = value;
}

void StateBlock::RecordTransform(int slot, const D3DMATRIX& m) {
  if (!(transformSet_ & (1u << slot))) {
    transformSet_ |= 1u << slot;
    transforms_.push_back(static_cast<uint8_t>(slot));
  }
  values_.transforms[slot] = m;
}

void StateBlock::RecordViewport(const D3DVIEWPORT9& vp) {
  viewportSet_ = true;
  values_.viewport = vp;
}

void StateBlock::RecordMaterial(const D3DMATERIAL9& m) {
  materialSet_ = true;
  values_.material = m;
}

void StateBlock::RecordScissor(const RECT& r) {
  scissorSet_ = true;
  values_.scissor = r;
}

void StateBlock::RecordFVF(DWORD fvf) {
  fvfSet_ = true;
  values_.fvf = fvf;
}

void StateBlock::RecordVertexShader(IDirect3DVertexShader9* shader) {
  shaderSet_ = true;
  values_.vertexShader = shader;
}

void StateBlock::RecordNPatchMode(float segments) {
  nPatchSet_ = true;
  values_.nPatchSegments = segments;
}

void StateBlock::RecordTexture(DWORD stage, Texture* texture) {
  textureSet_ |= 1u << stage;
  SetTextureSlot(stage, texture);
}

void StateBlock::RecordStreamSource(IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) {
  streamSet_ = true;
  values_.streamSource = vb;
  values_.streamOffset = offset;
  values_.streamStride = stride;
}

void StateBlock::RecordAllOf(D3DSTATEBLOCKTYPE type) {
  const DeviceState& s = device_->State();
  const bool all = type == D3DSBT_ALL, pixel = type == D3DSBT_PIXELSTATE, vertex = type == D3DSBT_VERTEXSTATE;
  for (DWORD rs = 0; rs < kRenderStateCount; ++rs) {
    if (!IsRenderState(rs)) continue;
    if (all || (pixel && IsPixelRenderState(rs)) || (vertex && IsVertexRenderState(rs)))
      RecordRenderState(rs, s.renderStates[rs]);
  }
  for (DWORD stage = 0; stage < kStageCount; ++stage) {
    for (DWORD t = 0; t < kStageStateCount; ++t) {
      if (!IsStageState(t)) continue;
      const bool vertexPart = t == D3DTSS_TEXCOORDINDEX || t == D3DTSS_TEXTURETRANSFORMFLAGS;
      if (all || (pixel && !vertexPart) || (vertex && vertexPart)) RecordStageState(stage, t, s.stageStates[stage][t]);
    }
  }
  for (DWORD sampler = 0; sampler < kSamplerCount; ++sampler) {
    for (DWORD t = 0; t < kSamplerStateCount; ++t) {
      if (!IsSamplerState(t)) continue;
      const bool vertexPart = t == D3DSAMP_DMAPOFFSET;
      if (all || (pixel && !vertexPart) || (vertex && vertexPart))
        RecordSamplerState(sampler, t, s.samplerStates[sampler][t]);
    }
  }
  if (all || vertex) {
    RecordFVF(s.fvf);
    RecordVertexShader(s.vertexShader);
    RecordNPatchMode(s.nPatchSegments);
  }
  if (all) {
    for (int slot = 0; slot < kTransformCount; ++slot) RecordTransform(slot, s.transforms[slot]);
    RecordViewport(s.viewport);
    RecordMaterial(s.material);
    RecordScissor(s.scissor);
    for (DWORD stage = 0; stage < kStageCount; ++stage) RecordTexture(stage, s.textures[stage]);
    RecordStreamSource(s.streamSource, s.streamOffset, s.streamStride);
  }
}

HRESULT StateBlock::Capture() {
  if (device_->Recording()) return D3DERR_INVALIDCALL;
  const DeviceState& s = device_->State();
  for (uint16_t rs : renderStates_) values_.renderStates[rs] = s.renderStates[rs];
  for (uint16_t k : stageStates_) values_.stageStates[k >> 6][k & 63] = s.stageStates[k >> 6][k & 63];
  for (uint16_t k : samplerStates_) values_.samplerStates[k >> 6][k & 63] = s.samplerStates[k >> 6][k & 63];
  for (uint8_t slot : transforms_) values_.transforms[slot] = s.transforms[slot];
  if (viewportSet_) values_.viewport = s.viewport;
  if (materialSet_) values_.material = s.material;
  if (scissorSet_) values_.scissor = s.scissor;
  if (fvfSet_) values_.fvf = s.fvf;
  if (shaderSet_) values_.vertexShader = s.vertexShader;
  if (nPatchSet_) values_.nPatchSegments = s.nPatchSegments;
  for (DWORD stage = 0; stage < kStageCount; ++stage) {
    if (textureSet_ & (1u << stage)) SetTextureSlot(stage, s.textures[stage]);
  }
  if (streamSet_) {
    values_.streamSource = s.streamSource;
    values_.streamOffset = s.streamOffset;
    values_.streamStride = s.streamStride;
  }
  return D3D_OK;
}

HRESULT StateBlock::Apply() {
  if (device_->Recording()) return D3DERR_INVALIDCALL;
  DeviceState& s = device_->State();
  for (uint16_t rs : renderStates_) s.renderStates[rs] = values_.renderStates[rs];
  for (uint16_t k : stageStates_) s.stageStates[k >> 6][k & 63] = values_.stageStates[k >> 6][k & 63];
  for (uint16_t k : samplerStates_) s.samplerStates[k >> 6][k & 63] = values_.samplerStates[k >> 6][k & 63];
  for (uint8_t slot : transforms_) s.transforms[slot] = values_.transforms[slot];
  if (viewportSet_) s.viewport = values_.viewport;
  if (materialSet_) s.material = values_.material;
  if (scissorSet_) s.scissor = values_.scissor;
  if (fvfSet_) s.fvf = values_.fvf;
  if (shaderSet_) s.vertexShader = values_.vertexShader;
  if (nPatchSet_) s.nPatchSegments = values_.nPatchSegments;
  for (DWORD stage = 0; stage < kStageCount; ++stage) {
    if (textureSet_ & (1u << stage)) device_->BindTexture(stage, values_.textures[stage]);
  }
  if (streamSet_) {
    s.streamSource = values_.streamSource;
    s.streamOffset = values_.streamOffset;
    s.streamStride = values_.streamStride;
  }
  return D3D_OK;
}

}  // namespace d3d9sw
