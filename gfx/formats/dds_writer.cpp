// dds_writer.cpp — DirectDraw Surface files: a surface or a texture's
// whole mip chain in its own format when a DDS file can hold it, else a
// picture as A8R8G8B8 or X8R8G8B8.
// Depends on: gfx/formats/image_writers.h, gfx/formats/dds_format.h,
// gfx/pixels/block_codec.h, gfx/debug_report.h.
#include <cstring>
#include <utility>

#include "gfx/debug_report.h"
#include "gfx/formats/dds_format.h"
#include "gfx/formats/image_writers.h"
#include "gfx/pixels/block_codec.h"

namespace gfx {

namespace {

void PutDdsHeader(Bytes* b, D3DFORMAT format, const DdsPixelFormat& pf, UINT width, UINT height, UINT levels,
                  uint64_t firstLevelBytes, uint64_t rowPitch) {
  const bool blocks = IsBlockCodecFormat(format);
  b->insert(b->end(), {'D', 'D', 'S', ' '});
  Put32(b, 124);
  Put32(b, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat | (levels > 1 ? kDdsdMipMapCount : 0) |
               (blocks ? kDdsdLinearSize : kDdsdPitch));
  Put32(b, height);
  Put32(b, width);
  Put32(b, uint32_t(blocks ? firstLevelBytes : rowPitch));
  Put32(b, 0);  // depth
  Put32(b, levels);
  b->insert(b->end(), 44, 0);
  Put32(b, 32);
  Put32(b, pf.flags);
  Put32(b, pf.fourCC);
  Put32(b, pf.bits);
  Put32(b, pf.red);
  Put32(b, pf.green);
  Put32(b, pf.blue);
  Put32(b, pf.alpha);
  Put32(b, kDdsCapsTexture | (levels > 1 ? kDdsCapsComplex | kDdsCapsMipMap : 0));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
}

// The bytes of a whole surface in its own format, rows packed.
HRESULT CopyLevel(IDirect3DSurface9* surface, D3DFORMAT format, Bytes* out, LevelLayout* layout) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = surface->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  if (!LayoutOf(format, desc.Width, desc.Height, layout)) return E_FAIL;
  D3DLOCKED_RECT locked{};
  hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) {
    DebugReport(0, "Could not lock surface");
    return hr;
  }
  const size_t row = size_t(layout->rowPitch);
  out->resize(row * size_t(layout->rows));
  for (uint64_t y = 0; y < layout->rows; ++y)
    std::memcpy(out->data() + y * row, static_cast<const BYTE*>(locked.pBits) + y * size_t(locked.Pitch), row);
  surface->UnlockRect();
  return S_OK;
}

}  // namespace

Bytes EncodeDdsPicture(const Picture& p) {
  DdsPixelFormat pf;
  const D3DFORMAT format = p.alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  DdsFromFormat(format, &pf);
  Bytes b;
  PutDdsHeader(&b, format, pf, p.width, p.height, 1, uint64_t(p.width) * 4 * p.height, uint64_t(p.width) * 4);
  const BYTE* bytes = reinterpret_cast<const BYTE*>(p.argb.data());
  b.insert(b.end(), bytes, bytes + p.argb.size() * 4);
  return b;
}

// The DDS of a chain of surfaces of one format (a surface alone, or every
// level of a texture); false in *kept when the format cannot be kept.
HRESULT EncodeDdsLevels(const std::vector<IDirect3DSurface9*>& levels, Bytes* out, bool* kept) {
  D3DSURFACE_DESC desc{};
  HRESULT hr = levels[0]->GetDesc(&desc);
  if (FAILED(hr)) return hr;
  DdsPixelFormat pf;
  LevelLayout first;
  *kept = DdsFromFormat(desc.Format, &pf) && LayoutOf(desc.Format, desc.Width, desc.Height, &first);
  if (!*kept) return S_OK;
  Bytes b;
  PutDdsHeader(&b, desc.Format, pf, desc.Width, desc.Height, UINT(levels.size()), first.rowPitch * first.rows,
               first.rowPitch);
  for (IDirect3DSurface9* level : levels) {
    Bytes bytes;
    LevelLayout layout;
    hr = CopyLevel(level, desc.Format, &bytes, &layout);
    if (FAILED(hr)) return hr;
    b.insert(b.end(), bytes.begin(), bytes.end());
  }
  *out = std::move(b);
  return S_OK;
}

}  // namespace gfx
