// d3d9.h — Direct3D 9: the factory, the interfaces and their identifiers.
//
// Interfaces are abstract classes over IUnknown whose virtual methods follow
// the platform's method order, so a vtable slot means the same call here as
// there. Objects die through Release. The software device behind them lives
// in platform/d3d9; the IIDs are defined there too.
// Depends on: windows.h, d3d9types.h, d3d9caps.h.
#pragma once

#include <windows.h>

#include <d3d9caps.h>
#include <d3d9types.h>

#define DIRECT3D_VERSION 0x0900
#define D3D_SDK_VERSION 31

#define D3DADAPTER_DEFAULT 0
#define D3DENUM_WHQL_LEVEL 0x00000002L
#define D3DENUM_NO_DRIVERVERSION 0x00000004L
#define D3DMAXNUMPRIMITIVES 0xffffffff

// Behaviour flags of CreateDevice.
#define D3DCREATE_FPU_PRESERVE 0x00000002L
#define D3DCREATE_MULTITHREADED 0x00000004L
#define D3DCREATE_PUREDEVICE 0x00000010L
#define D3DCREATE_SOFTWARE_VERTEXPROCESSING 0x00000020L
#define D3DCREATE_HARDWARE_VERTEXPROCESSING 0x00000040L
#define D3DCREATE_MIXED_VERTEXPROCESSING 0x00000080L
#define D3DCREATE_DISABLE_DRIVER_MANAGEMENT 0x00000100L
#define D3DCREATE_ADAPTERGROUP_DEVICE 0x00000200L
#define D3DCREATE_DISABLE_DRIVER_MANAGEMENT_EX 0x00000400L
#define D3DCREATE_NOWINDOWCHANGES 0x00000800L

// Present flags of IDirect3DSwapChain9::Present.
#define D3DPRESENT_DONOTWAIT 0x00000001L
#define D3DPRESENT_LINEAR_CONTENT 0x00000002L

#define D3DSPD_IUNKNOWN 0x00000001L
#define D3DCURSOR_IMMEDIATE_UPDATE 0x00000001L

// Region data of Present's dirty region (never dereferenced here).
struct _RGNDATA;
typedef struct _RGNDATA RGNDATA;

// ---------------------------------------------------------------------------
// Interface identifiers.
extern "C" const IID IID_IDirect3D9;
extern "C" const IID IID_IDirect3DDevice9;
extern "C" const IID IID_IDirect3DResource9;
extern "C" const IID IID_IDirect3DBaseTexture9;
extern "C" const IID IID_IDirect3DTexture9;
extern "C" const IID IID_IDirect3DCubeTexture9;
extern "C" const IID IID_IDirect3DVolumeTexture9;
extern "C" const IID IID_IDirect3DVertexBuffer9;
extern "C" const IID IID_IDirect3DIndexBuffer9;
extern "C" const IID IID_IDirect3DSurface9;
extern "C" const IID IID_IDirect3DVolume9;
extern "C" const IID IID_IDirect3DSwapChain9;
extern "C" const IID IID_IDirect3DVertexDeclaration9;
extern "C" const IID IID_IDirect3DVertexShader9;
extern "C" const IID IID_IDirect3DPixelShader9;
extern "C" const IID IID_IDirect3DStateBlock9;
extern "C" const IID IID_IDirect3DQuery9;

struct IDirect3D9;
struct IDirect3DDevice9;
struct IDirect3DResource9;
struct IDirect3DBaseTexture9;
struct IDirect3DTexture9;
struct IDirect3DCubeTexture9;
struct IDirect3DVolumeTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;
struct IDirect3DSurface9;
struct IDirect3DVolume9;
struct IDirect3DSwapChain9;
struct IDirect3DVertexDeclaration9;
struct IDirect3DVertexShader9;
struct IDirect3DPixelShader9;
struct IDirect3DStateBlock9;
struct IDirect3DQuery9;

typedef IDirect3D9 *LPDIRECT3D9, *PDIRECT3D9;
typedef IDirect3DDevice9 *LPDIRECT3DDEVICE9, *PDIRECT3DDEVICE9;
typedef IDirect3DResource9 *LPDIRECT3DRESOURCE9, *PDIRECT3DRESOURCE9;
typedef IDirect3DBaseTexture9 *LPDIRECT3DBASETEXTURE9, *PDIRECT3DBASETEXTURE9;
typedef IDirect3DTexture9 *LPDIRECT3DTEXTURE9, *PDIRECT3DTEXTURE9;
typedef IDirect3DCubeTexture9 *LPDIRECT3DCUBETEXTURE9, *PDIRECT3DCUBETEXTURE9;
typedef IDirect3DVolumeTexture9 *LPDIRECT3DVOLUMETEXTURE9, *PDIRECT3DVOLUMETEXTURE9;
typedef IDirect3DVertexBuffer9 *LPDIRECT3DVERTEXBUFFER9, *PDIRECT3DVERTEXBUFFER9;
typedef IDirect3DIndexBuffer9 *LPDIRECT3DINDEXBUFFER9, *PDIRECT3DINDEXBUFFER9;
typedef IDirect3DSurface9 *LPDIRECT3DSURFACE9, *PDIRECT3DSURFACE9;
typedef IDirect3DVolume9 *LPDIRECT3DVOLUME9, *PDIRECT3DVOLUME9;
typedef IDirect3DSwapChain9 *LPDIRECT3DSWAPCHAIN9, *PDIRECT3DSWAPCHAIN9;
typedef IDirect3DVertexDeclaration9 *LPDIRECT3DVERTEXDECLARATION9, *PDIRECT3DVERTEXDECLARATION9;
typedef IDirect3DVertexShader9 *LPDIRECT3DVERTEXSHADER9, *PDIRECT3DVERTEXSHADER9;
typedef IDirect3DPixelShader9 *LPDIRECT3DPIXELSHADER9, *PDIRECT3DPIXELSHADER9;
typedef IDirect3DStateBlock9 *LPDIRECT3DSTATEBLOCK9, *PDIRECT3DSTATEBLOCK9;
typedef IDirect3DQuery9 *LPDIRECT3DQUERY9, *PDIRECT3DQUERY9;

// Returns a new Direct3D object, or null when the version is not 31 or the
// machine has no device.
extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion);

// ---------------------------------------------------------------------------
struct IDirect3D9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* pInitializeFunction) = 0;
  virtual UINT STDMETHODCALLTYPE GetAdapterCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT Adapter, DWORD Flags,
                                                         D3DADAPTER_IDENTIFIER9* pIdentifier) = 0;
  virtual UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode,
                                                     D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat,
                                                    D3DFORMAT BackBufferFormat, BOOL bWindowed) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType,
                                                      D3DFORMAT AdapterFormat, DWORD Usage,
                                                      D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType,
                                                               D3DFORMAT SurfaceFormat, BOOL Windowed,
                                                               D3DMULTISAMPLE_TYPE MultiSampleType,
                                                               DWORD* pQualityLevels) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType,
                                                           D3DFORMAT AdapterFormat,
                                                           D3DFORMAT RenderTargetFormat,
                                                           D3DFORMAT DepthStencilFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT Adapter, D3DDEVTYPE DeviceType,
                                                                D3DFORMAT SourceFormat,
                                                                D3DFORMAT TargetFormat) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) = 0;
  virtual HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT Adapter) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow,
                                                 DWORD BehaviorFlags,
                                                 D3DPRESENT_PARAMETERS* pPresentationParameters,
                                                 IDirect3DDevice9** ppReturnedDeviceInterface) = 0;

 protected:
  ~IDirect3D9() = default;
};

// ---------------------------------------------------------------------------
struct IDirect3DDevice9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE TestCooperativeLevel() = 0;
  virtual UINT STDMETHODCALLTYPE GetAvailableTextureMem() = 0;
  virtual HRESULT STDMETHODCALLTYPE EvictManagedResources() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9** ppD3D9) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCursorProperties(UINT XHotSpot, UINT YHotSpot,
                                                        IDirect3DSurface9* pCursorBitmap) = 0;
  virtual void STDMETHODCALLTYPE SetCursorPosition(int X, int Y, DWORD Flags) = 0;
  virtual BOOL STDMETHODCALLTYPE ShowCursor(BOOL bShow) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                                              IDirect3DSwapChain9** pSwapChain) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSwapChain(UINT iSwapChain, IDirect3DSwapChain9** pSwapChain) = 0;
  virtual UINT STDMETHODCALLTYPE GetNumberOfSwapChains() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect,
                                            HWND hDestWindowOverride, const RGNDATA* pDirtyRegion) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                                  IDirect3DSurface9** ppBackBuffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRasterStatus(UINT iSwapChain, D3DRASTER_STATUS* pRasterStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDialogBoxMode(BOOL bEnableDialogs) = 0;
  virtual void STDMETHODCALLTYPE SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) = 0;
  virtual void STDMETHODCALLTYPE GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                                  HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels,
                                                        DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                        IDirect3DVolumeTexture9** ppVolumeTexture,
                                                        HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage,
                                                      D3DFORMAT Format, D3DPOOL Pool,
                                                      IDirect3DCubeTexture9** ppCubeTexture,
                                                      HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                       IDirect3DVertexBuffer9** ppVertexBuffer,
                                                       HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                      IDirect3DIndexBuffer9** ppIndexBuffer,
                                                      HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format,
                                                       D3DMULTISAMPLE_TYPE MultiSample, DWORD MultisampleQuality,
                                                       BOOL Lockable, IDirect3DSurface9** ppSurface,
                                                       HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                              D3DMULTISAMPLE_TYPE MultiSample,
                                                              DWORD MultisampleQuality, BOOL Discard,
                                                              IDirect3DSurface9** ppSurface,
                                                              HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateSurface(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                                  IDirect3DSurface9* pDestinationSurface,
                                                  const POINT* pDestPoint) = 0;
  virtual HRESULT STDMETHODCALLTYPE UpdateTexture(IDirect3DBaseTexture9* pSourceTexture,
                                                  IDirect3DBaseTexture9* pDestinationTexture) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderTargetData(IDirect3DSurface9* pRenderTarget,
                                                        IDirect3DSurface9* pDestSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFrontBufferData(UINT iSwapChain, IDirect3DSurface9* pDestSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE StretchRect(IDirect3DSurface9* pSourceSurface, const RECT* pSourceRect,
                                                IDirect3DSurface9* pDestSurface, const RECT* pDestRect,
                                                D3DTEXTUREFILTERTYPE Filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE ColorFill(IDirect3DSurface9* pSurface, const RECT* pRect,
                                              D3DCOLOR color) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format,
                                                                D3DPOOL Pool, IDirect3DSurface9** ppSurface,
                                                                HANDLE* pSharedHandle) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRenderTarget(DWORD RenderTargetIndex,
                                                    IDirect3DSurface9* pRenderTarget) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderTarget(DWORD RenderTargetIndex,
                                                    IDirect3DSurface9** ppRenderTarget) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginScene() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndScene() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color,
                                          float Z, DWORD Stencil) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE MultiplyTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* pViewport) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* pMaterial) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, const D3DLIGHT9* pLight) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) = 0;
  virtual HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLightEnable(DWORD Index, BOOL* pEnable) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClipPlane(DWORD Index, const float* pPlane) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClipPlane(DWORD Index, float* pPlane) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateStateBlock(D3DSTATEBLOCKTYPE Type, IDirect3DStateBlock9** ppSB) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginStateBlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE EndStateBlock(IDirect3DStateBlock9** ppSB) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetClipStatus(const D3DCLIPSTATUS9* pClipStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClipStatus(D3DCLIPSTATUS9* pClipStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                         DWORD* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                         DWORD Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* pNumPasses) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPaletteEntries(UINT PaletteNumber, const PALETTEENTRY* pEntries) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCurrentTexturePalette(UINT PaletteNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentTexturePalette(UINT* PaletteNumber) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetScissorRect(const RECT* pRect) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetScissorRect(RECT* pRect) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSoftwareVertexProcessing(BOOL bSoftware) = 0;
  virtual BOOL STDMETHODCALLTYPE GetSoftwareVertexProcessing() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNPatchMode(float nSegments) = 0;
  virtual float STDMETHODCALLTYPE GetNPatchMode() = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                                  UINT PrimitiveCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                         UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                         UINT primCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                                    const void* pVertexStreamZeroData,
                                                    UINT VertexStreamZeroStride) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                                           UINT NumVertices, UINT PrimitiveCount,
                                                           const void* pIndexData, D3DFORMAT IndexDataFormat,
                                                           const void* pVertexStreamZeroData,
                                                           UINT VertexStreamZeroStride) = 0;
  virtual HRESULT STDMETHODCALLTYPE ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount,
                                                    IDirect3DVertexBuffer9* pDestBuffer,
                                                    IDirect3DVertexDeclaration9* pVertexDecl, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVertexDeclaration(const D3DVERTEXELEMENT9* pVertexElements,
                                                            IDirect3DVertexDeclaration9** ppDecl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexDeclaration(IDirect3DVertexDeclaration9* pDecl) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexDeclaration(IDirect3DVertexDeclaration9** ppDecl) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* pFunction,
                                                       IDirect3DVertexShader9** ppShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShader(IDirect3DVertexShader9* pShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShader(IDirect3DVertexShader9** ppShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData,
                                                             UINT Vector4fCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantF(UINT StartRegister, float* pConstantData,
                                                             UINT Vector4fCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantI(UINT StartRegister, const int* pConstantData,
                                                             UINT Vector4iCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantI(UINT StartRegister, int* pConstantData,
                                                             UINT Vector4iCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVertexShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                                             UINT BoolCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVertexShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                                             UINT BoolCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                                    UINT OffsetInBytes, UINT Stride) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData,
                                                    UINT* pOffsetInBytes, UINT* pStride) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetStreamSourceFreq(UINT StreamNumber, UINT Setting) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStreamSourceFreq(UINT StreamNumber, UINT* pSetting) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIndices(IDirect3DIndexBuffer9** ppIndexData) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD* pFunction, IDirect3DPixelShader9** ppShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShader(IDirect3DPixelShader9* pShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShader(IDirect3DPixelShader9** ppShader) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantF(UINT StartRegister, const float* pConstantData,
                                                            UINT Vector4fCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantF(UINT StartRegister, float* pConstantData,
                                                            UINT Vector4fCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantI(UINT StartRegister, const int* pConstantData,
                                                            UINT Vector4iCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantI(UINT StartRegister, int* pConstantData,
                                                            UINT Vector4iCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPixelShaderConstantB(UINT StartRegister, const BOOL* pConstantData,
                                                            UINT BoolCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPixelShaderConstantB(UINT StartRegister, BOOL* pConstantData,
                                                            UINT BoolCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawRectPatch(UINT Handle, const float* pNumSegs,
                                                  const D3DRECTPATCH_INFO* pRectPatchInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE DrawTriPatch(UINT Handle, const float* pNumSegs,
                                                 const D3DTRIPATCH_INFO* pTriPatchInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeletePatch(UINT Handle) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateQuery(D3DQUERYTYPE Type, IDirect3DQuery9** ppQuery) = 0;

 protected:
  ~IDirect3DDevice9() = default;
};

// ---------------------------------------------------------------------------
struct IDirect3DStateBlock9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE Capture() = 0;
  virtual HRESULT STDMETHODCALLTYPE Apply() = 0;

 protected:
  ~IDirect3DStateBlock9() = default;
};

struct IDirect3DSwapChain9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Present(const RECT* pSourceRect, const RECT* pDestRect,
                                            HWND hDestWindowOverride, const RGNDATA* pDirtyRegion,
                                            DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFrontBufferData(IDirect3DSurface9* pDestSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                                  IDirect3DSurface9** ppBackBuffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRasterStatus(D3DRASTER_STATUS* pRasterStatus) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayMode(D3DDISPLAYMODE* pMode) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPresentParameters(D3DPRESENT_PARAMETERS* pPresentationParameters) = 0;

 protected:
  ~IDirect3DSwapChain9() = default;
};

// ---------------------------------------------------------------------------
struct IDirect3DResource9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID refguid, const void* pData, DWORD SizeOfData,
                                                   DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID refguid, void* pData, DWORD* pSizeOfData) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID refguid) = 0;
  virtual DWORD STDMETHODCALLTYPE SetPriority(DWORD PriorityNew) = 0;
  virtual DWORD STDMETHODCALLTYPE GetPriority() = 0;
  virtual void STDMETHODCALLTYPE PreLoad() = 0;
  virtual D3DRESOURCETYPE STDMETHODCALLTYPE GetType() = 0;

 protected:
  ~IDirect3DResource9() = default;
};

struct IDirect3DVertexDeclaration9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) = 0;

 protected:
  ~IDirect3DVertexDeclaration9() = default;
};

struct IDirect3DVertexShader9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) = 0;

 protected:
  ~IDirect3DVertexShader9() = default;
};

struct IDirect3DPixelShader9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFunction(void* pData, UINT* pSizeOfData) = 0;

 protected:
  ~IDirect3DPixelShader9() = default;
};

// ---------------------------------------------------------------------------
struct IDirect3DBaseTexture9 : public IDirect3DResource9 {
  virtual DWORD STDMETHODCALLTYPE SetLOD(DWORD LODNew) = 0;
  virtual DWORD STDMETHODCALLTYPE GetLOD() = 0;
  virtual DWORD STDMETHODCALLTYPE GetLevelCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAutoGenFilterType(D3DTEXTUREFILTERTYPE FilterType) = 0;
  virtual D3DTEXTUREFILTERTYPE STDMETHODCALLTYPE GetAutoGenFilterType() = 0;
  virtual void STDMETHODCALLTYPE GenerateMipSubLevels() = 0;

 protected:
  ~IDirect3DBaseTexture9() = default;
};

struct IDirect3DTexture9 : public IDirect3DBaseTexture9 {
  virtual HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                             DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* pDirtyRect) = 0;

 protected:
  ~IDirect3DTexture9() = default;
};

struct IDirect3DVolumeTexture9 : public IDirect3DBaseTexture9 {
  virtual HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DVOLUME_DESC* pDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolumeLevel(UINT Level, IDirect3DVolume9** ppVolumeLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockBox(UINT Level, D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox,
                                            DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockBox(UINT Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDirtyBox(const D3DBOX* pDirtyBox) = 0;

 protected:
  ~IDirect3DVolumeTexture9() = default;
};

struct IDirect3DCubeTexture9 : public IDirect3DBaseTexture9 {
  virtual HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                                      IDirect3DSurface9** ppCubeMapSurface) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                                             const RECT* pRect, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddDirtyRect(D3DCUBEMAP_FACES FaceType, const RECT* pDirtyRect) = 0;

 protected:
  ~IDirect3DCubeTexture9() = default;
};

struct IDirect3DVertexBuffer9 : public IDirect3DResource9 {
  virtual HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* pDesc) = 0;

 protected:
  ~IDirect3DVertexBuffer9() = default;
};

struct IDirect3DIndexBuffer9 : public IDirect3DResource9 {
  virtual HRESULT STDMETHODCALLTYPE Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* pDesc) = 0;

 protected:
  ~IDirect3DIndexBuffer9() = default;
};

struct IDirect3DSurface9 : public IDirect3DResource9 {
  virtual HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** ppContainer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockRect() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDC(HDC* phdc) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReleaseDC(HDC hdc) = 0;

 protected:
  ~IDirect3DSurface9() = default;
};

struct IDirect3DVolume9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID refguid, const void* pData, DWORD SizeOfData,
                                                   DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID refguid, void* pData, DWORD* pSizeOfData) = 0;
  virtual HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID refguid) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** ppContainer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDesc(D3DVOLUME_DESC* pDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockBox(D3DLOCKED_BOX* pLockedVolume, const D3DBOX* pBox, DWORD Flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnlockBox() = 0;

 protected:
  ~IDirect3DVolume9() = default;
};

struct IDirect3DQuery9 : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) = 0;
  virtual D3DQUERYTYPE STDMETHODCALLTYPE GetType() = 0;
  virtual DWORD STDMETHODCALLTYPE GetDataSize() = 0;
  virtual HRESULT STDMETHODCALLTYPE Issue(DWORD dwIssueFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetData(void* pData, DWORD dwSize, DWORD dwGetDataFlags) = 0;

 protected:
  ~IDirect3DQuery9() = default;
};
