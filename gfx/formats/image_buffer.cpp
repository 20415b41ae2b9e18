// image_buffer.cpp — ID3DXBuffer: a reference-counted block of bytes, the
// form in which the writers hand back files made in memory.
// Depends on: gfx/image_files.h, gfx/debug_report.h, gfx/formats/decoded_image.h
// (the library's allocator).
#include <atomic>
#include <cstring>
#include <new>

#include "gfx/debug_report.h"
#include "gfx/formats/decoded_image.h"
#include "gfx/image_files.h"

extern "C" const IID IID_ID3DXBuffer = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace gfx {
namespace {

class Buffer final : public ID3DXBuffer {
 public:
  Buffer(BYTE* bytes, DWORD size) : bytes_(bytes), size_(size) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
      AddRef();
      *out = static_cast<ID3DXBuffer*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_; }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return size_; }

 private:
  ~Buffer() { FreeImageBytes(bytes_); }
  BYTE* bytes_;
  DWORD size_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace
}  // namespace gfx

extern "C" HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
  using namespace gfx;
  if (ppBuffer == nullptr) {
    DebugReport(0, "ppBuffer pointer is invalid");
    return D3DERR_INVALIDCALL;
  }
  BYTE* bytes = AllocateZeroedImageBytes(NumBytes);
  if (bytes == nullptr) return E_OUTOFMEMORY;
  Buffer* buffer = new (std::nothrow) Buffer(bytes, NumBytes);
  if (buffer == nullptr) {
    FreeImageBytes(bytes);
    return E_OUTOFMEMORY;
  }
  *ppBuffer = buffer;
  return S_OK;
}
