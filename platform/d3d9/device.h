// device.h — the software IDirect3DDevice9 and its state blocks.
//
// One device draws into one X8R8G8B8 back buffer in memory and hands it to
// the host at Present. Setting state while a state block is being recorded
// changes only the block, as on the real platform.
//
// Fault injection names asked here: "IDirect3DDevice9.CreateTexture",
// "IDirect3DDevice9.BeginScene".
// Depends on: d3d9.h, host/host.h, the other headers of this folder.
#pragma once

#include <com_object.h>
#include <d3d9.h>

#include <memory>
#include <vector>

#include "platform/d3d9/caps_profiles.h"
#include "platform/d3d9/device_state.h"
#include "platform/d3d9/rasterizer.h"
#include "platform/d3d9/resources.h"

namespace d3d9sw {

class Device;

// A recorded set of states, with their captured values.
class StateBlock final : public platform::ComObject<IDirect3DStateBlock9, IID_IDirect3DStateBlock9> {
 public:
  explicit StateBlock(Device* device);  // holds a reference on the device
  ~StateBlock() override;

  HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
  HRESULT STDMETHODCALLTYPE Capture() override;
  HRESULT STDMETHODCALLTYPE Apply() override;

  // Recording: note a state and its value.
  void RecordRenderState(DWORD state, DWORD value);
  void RecordStageState(DWORD stage, DWORD type, DWORD value);
  void RecordSamplerState(DWORD sampler, DWORD type, DWORD value);
  void RecordTransform(int slot, const D3DMATRIX& m);
  void RecordViewport(const D3DVIEWPORT9& vp);
  void RecordMaterial(const D3DMATERIAL9& m);
  void RecordScissor(const RECT& r);
  void RecordFVF(DWORD fvf);
  void RecordVertexShader(IDirect3DVertexShader9* shader);
  void RecordNPatchMode(float segments);
  void RecordTexture(DWORD stage, Texture* texture);
  void RecordStreamSource(IDirect3DVertexBuffer9* vb, UINT offset, UINT stride);
  // Every state of a D3DSBT_* kind, as CreateStateBlock takes them.
  void RecordAllOf(D3DSTATEBLOCKTYPE type);

 private:
  void SetTextureSlot(DWORD stage, Texture* texture);

  Device* device_;
  DeviceState values_;
  std::vector<uint16_t> renderStates_;
  std::vector<uint16_t> stageStates_;    // stage * 64 + type
  std::vector<uint16_t> samplerStates_;  // sampler * 64 + type
  std::vector<uint8_t> transforms_;
  bool renderSet_[kRenderStateCount] = {};
  uint64_t stageSet_[kStageCount] = {};
  uint64_t samplerSet_[kSamplerCount] = {};
  uint32_t transformSet_ = 0;
  uint32_t textureSet_ = 0;
  bool viewportSet_ = false, materialSet_ = false, scissorSet_ = false, fvfSet_ = false, shaderSet_ = false,
       nPatchSet_ = false, streamSet_ = false;
};

class Direct3D9;

class Device final : public platform::ComObject<IDirect3DDevice9, IID_IDirect3DDevice9> {
 public:
  // Creates the device and its back buffer; null on failure (`*hr` says why).
  static Device* Create(Direct3D9* d3d, const Profile& profile, D3DDEVTYPE type, HWND focus, DWORD behavior,
                        D3DPRESENT_PARAMETERS* params, HRESULT* hr);

  // IUnknown: the count is ComObject's; the last release also drops an
  // unfinished recording.
  ULONG STDMETHODCALLTYPE Release() override;
  // IDirect3DDevice9
  HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
  UINT STDMETHODCALLTYPE GetAvailableTextureMem() override;
  HRESULT STDMETHODCALLTYPE EvictManagedResources() override;
  HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** d3d) override;
  HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
  HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) override;
  HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT x, UINT y, IDirect3DSurface9* bitmap) override;
  void STDMETHODCALLTYPE SetCursorPosition(int x, int y, DWORD flags) override;
  BOOL STDMETHODCALLTYPE ShowCursor(BOOL show) override;
  HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* params,
                                                      IDirect3DSwapChain9** swapChain) override;
  HRESULT STDMETHODCALLTYPE GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
  UINT STDMETHODCALLTYPE GetNumberOfSwapChains() override;
  HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* params) override;
  HRESULT STDMETHODCALLTYPE Present(const RECT* src, const RECT* dst, HWND override, const RGNDATA* dirty) override;
  HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                          IDirect3DSurface9** surface) override;
  HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT swapChain, D3DRASTER_STATUS* status) override;
  HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL enable) override;
  void STDMETHODCALLTYPE SetGammaRamp(UINT swapChain, DWORD flags, const D3DGAMMARAMP* ramp) override;
  void STDMETHODCALLTYPE GetGammaRamp(UINT swapChain, D3DGAMMARAMP* ramp) override;
  HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
  HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                                IDirect3DVolumeTexture9**, HANDLE*) override;
  HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**,
                                              HANDLE*) override;
  HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**,
                                               HANDLE*) override;
  HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**,
                                              HANDLE*) override;
  HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                               IDirect3DSurface9**, HANDLE*) override;
  HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL,
                                                      IDirect3DSurface9**, HANDLE*) override;
  HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* src, const RECT* srcRect, IDirect3DSurface9* dst,
                                          const POINT* dstPoint) override;
  HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst) override;
  HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* target, IDirect3DSurface9* dst) override;
  HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT swapChain, IDirect3DSurface9* dst) override;
  HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                        D3DTEXTUREFILTERTYPE) override;
  HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
  HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                        IDirect3DSurface9** surface, HANDLE* shared) override;
  HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD index, IDirect3DSurface9* target) override;
  HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD index, IDirect3DSurface9** target) override;
  HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* surface) override;
  HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** surface) override;
  HRESULT STDMETHODCALLTYPE BeginScene() override;
  HRESULT STDMETHODCALLTYPE EndScene() override;
  HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                  DWORD stencil) override;
  HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* material) override;
  HRESULT STDMETHODCALLTYPE SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT STDMETHODCALLTYPE GetLight(DWORD index, D3DLIGHT9* light) override;
  HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
  HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD index, const float* plane) override;
  HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD index, float* plane) override;
  HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override;
  HRESULT STDMETHODCALLTYPE BeginStateBlock() override;
  HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** block) override;
  HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* status) override;
  HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* status) override;
  HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
  HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* passes) override;
  HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT palette, const PALETTEENTRY* entries) override;
  HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT palette, PALETTEENTRY* entries) override;
  HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT palette) override;
  HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* palette) override;
  HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* rect) override;
  HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL software) override;
  BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() override;
  HRESULT STDMETHODCALLTYPE SetNPatchMode(float segments) override;
  float STDMETHODCALLTYPE GetNPatchMode() override;
  HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override;
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override;
  HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                                   UINT count, const void* indices, D3DFORMAT indexFormat,
                                                   const void* data, UINT stride) override;
  HRESULT STDMETHODCALLTYPE ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*,
                                            DWORD) override;
  HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) override;
  HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override;
  HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) override;
  HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
  HRESULT STDMETHODCALLTYPE GetFVF(DWORD* fvf) override;
  HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) override;
  HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* shader) override;
  HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** shader) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT, const float*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT, float*, UINT) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT, const int*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT, int*, UINT) override;
  HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT, const BOOL*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT, BOOL*, UINT) override;
  HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset,
                                            UINT stride) override;
  HRESULT STDMETHODCALLTYPE GetStreamSource(UINT stream, IDirect3DVertexBuffer9** vb, UINT* offset,
                                            UINT* stride) override;
  HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT, UINT) override;
  HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT, UINT*) override;
  HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override;
  HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9**) override;
  HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) override;
  HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* shader) override;
  HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** shader) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT, const float*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT, float*, UINT) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT, const int*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT, int*, UINT) override;
  HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT, const BOOL*, UINT) override;
  HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT, BOOL*, UINT) override;
  HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) override;
  HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) override;
  HRESULT STDMETHODCALLTYPE DeletePatch(UINT) override;
  HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) override;

  // --- for the state blocks and resources of this device ------------------
  DeviceState& State() { return state_; }
  bool Recording() const { return recording_ != nullptr; }
  // Binds `texture` to `stage`, moving the bind references.
  void BindTexture(DWORD stage, Texture* texture);
  const Profile& DeviceProfile() const { return profile_; }
  Surface* BackBuffer() { return backBuffer_; }

 private:
  Device(Direct3D9* d3d, const Profile& profile, D3DDEVTYPE type, HWND focus, DWORD behavior);
  ~Device() override;
  void Destroy();
  Pipeline BuildPipeline(bool* ok);

  Direct3D9* d3d_;
  Profile profile_;
  D3DDEVTYPE type_;
  HWND focus_;
  DWORD behavior_;
  Surface* backBuffer_ = nullptr;  // bound: the device keeps one bind reference
  Surface* renderTarget_ = nullptr;
  DeviceState state_;
  StateBlock* recording_ = nullptr;
  bool inScene_ = false;
  BOOL softwareVertexProcessing_ = FALSE;
  std::vector<ScreenVertex> screen_;  // reused between draws
};

// The device behind an interface pointer, when it is one of ours.
Texture* AsTexture(IDirect3DBaseTexture9* texture);
Surface* AsSurface(IDirect3DSurface9* surface);

}  // namespace d3d9sw
