// image_tool.cpp — velmora-image (see image_tool.h).
#include "tools/image/image_tool.h"

#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "host/headless/headless_host.h"

namespace image_tool {
namespace {

constexpr int kOk = 0;
constexpr int kLibraryFailed = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "usage: velmora-image info FILE...\n"
    "       velmora-image convert IN OUT [--format NAME] [--size WxH]\n"
    "                     [--filter none|point|linear|triangle|box] [--mips N]\n"
    "OUT's extension chooses the writer: .bmp .png .jpg .jpeg .tga .dds .ppm\n";

struct FormatName {
  D3DFORMAT format;
  const char* name;
};

const FormatName kFormatNames[] = {
    {D3DFMT_R8G8B8, "R8G8B8"},
    {D3DFMT_A8R8G8B8, "A8R8G8B8"},
    {D3DFMT_X8R8G8B8, "X8R8G8B8"},
    {D3DFMT_R5G6B5, "R5G6B5"},
    {D3DFMT_X1R5G5B5, "X1R5G5B5"},
    {D3DFMT_A1R5G5B5, "A1R5G5B5"},
    {D3DFMT_A4R4G4B4, "A4R4G4B4"},
    {D3DFMT_R3G3B2, "R3G3B2"},
    {D3DFMT_A8, "A8"},
    {D3DFMT_A8R3G3B2, "A8R3G3B2"},
    {D3DFMT_X4R4G4B4, "X4R4G4B4"},
    {D3DFMT_A2B10G10R10, "A2B10G10R10"},
    {D3DFMT_A8B8G8R8, "A8B8G8R8"},
    {D3DFMT_X8B8G8R8, "X8B8G8R8"},
    {D3DFMT_G16R16, "G16R16"},
    {D3DFMT_A2R10G10B10, "A2R10G10B10"},
    {D3DFMT_A16B16G16R16, "A16B16G16R16"},
    {D3DFMT_A8P8, "A8P8"},
    {D3DFMT_P8, "P8"},
    {D3DFMT_L8, "L8"},
    {D3DFMT_A8L8, "A8L8"},
    {D3DFMT_A4L4, "A4L4"},
    {D3DFMT_V8U8, "V8U8"},
    {D3DFMT_L6V5U5, "L6V5U5"},
    {D3DFMT_X8L8V8U8, "X8L8V8U8"},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8"},
    {D3DFMT_V16U16, "V16U16"},
    {D3DFMT_A2W10V10U10, "A2W10V10U10"},
    {D3DFMT_UYVY, "UYVY"},
    {D3DFMT_R8G8_B8G8, "R8G8_B8G8"},
    {D3DFMT_YUY2, "YUY2"},
    {D3DFMT_G8R8_G8B8, "G8R8_G8B8"},
    {D3DFMT_DXT1, "DXT1"},
    {D3DFMT_DXT2, "DXT2"},
    {D3DFMT_DXT3, "DXT3"},
    {D3DFMT_DXT4, "DXT4"},
    {D3DFMT_DXT5, "DXT5"},
    {D3DFMT_L16, "L16"},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16"},
    {D3DFMT_R16F, "R16F"},
    {D3DFMT_G16R16F, "G16R16F"},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F"},
    {D3DFMT_R32F, "R32F"},
    {D3DFMT_G32R32F, "G32R32F"},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F"},
    {D3DFMT_CxV8U8, "CxV8U8"},
};

std::string FormatText(D3DFORMAT format) {
  for (const FormatName& f : kFormatNames)
    if (f.format == format) return f.name;
  return std::to_string(static_cast<unsigned>(format));
}

bool ParseFormat(const std::string& name, D3DFORMAT* format) {
  std::string upper = name;
  if (upper.rfind("D3DFMT_", 0) == 0) upper = upper.substr(7);
  for (const FormatName& f : kFormatNames) {
    std::string candidate = f.name;
    if (std::equal(candidate.begin(), candidate.end(), upper.begin(), upper.end(),
                   [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) ==
                                               std::toupper(static_cast<unsigned char>(b)); })) {
      *format = f.format;
      return true;
    }
  }
  return false;
}

const char* FileFormatText(D3DXIMAGE_FILEFORMAT f) {
  switch (f) {
    case D3DXIFF_BMP: return "BMP";
    case D3DXIFF_JPG: return "JPG";
    case D3DXIFF_TGA: return "TGA";
    case D3DXIFF_PNG: return "PNG";
    case D3DXIFF_DDS: return "DDS";
    case D3DXIFF_PPM: return "PPM";
    case D3DXIFF_DIB: return "DIB";
    default: return "?";
  }
}

const char* ResourceText(D3DRESOURCETYPE t) {
  switch (t) {
    case D3DRTYPE_TEXTURE: return "texture";
    case D3DRTYPE_CUBETEXTURE: return "cube texture";
    case D3DRTYPE_VOLUMETEXTURE: return "volume texture";
    default: return "?";
  }
}

bool ParseUnsigned(const std::string& text, UINT max, UINT* value) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
  if (v > max) return false;
  *value = static_cast<UINT>(v);
  return true;
}

bool WriterFor(const std::string& path, D3DXIMAGE_FILEFORMAT* format) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "bmp") *format = D3DXIFF_BMP;
  else if (ext == "png") *format = D3DXIFF_PNG;
  else if (ext == "jpg" || ext == "jpeg") *format = D3DXIFF_JPG;
  else if (ext == "tga") *format = D3DXIFF_TGA;
  else if (ext == "dds") *format = D3DXIFF_DDS;
  else if (ext == "ppm") *format = D3DXIFF_PPM;
  else return false;
  return true;
}

LRESULT CALLBACK ToolWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(hwnd, msg, wp, lp); }

// The headless platform and a software device; released in reverse order.
class Session {
 public:
  Session() {
    host::SetCurrent(&host_);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ToolWindowProc;
    wc.lpszClassName = "VELMORAIMAGE";
    RegisterClassExA(&wc);
    window_ = CreateWindowExA(0, "VELMORAIMAGE", "velmora-image", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                              nullptr, nullptr, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (d3d_ == nullptr || window_ == nullptr) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    if (FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &pp, &device_)))
      device_ = nullptr;
  }
  ~Session() {
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    if (window_) DestroyWindow(window_);
    host::SetCurrent(nullptr);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  IDirect3DDevice9* Device() const { return device_; }

  // Reports a failed library call: the debug lines it wrote, then the code.
  int Failed(std::ostream& err, const char* call, HRESULT hr) {
    const std::string& text = host_.DebugText();
    if (text.size() > reported_) err << text.substr(reported_);
    reported_ = text.size();
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08X", static_cast<unsigned>(hr));
    err << "velmora-image: " << call << " failed: " << code << "\n";
    return kLibraryFailed;
  }
  // Forgets debug lines of calls that succeeded.
  void Settle() { reported_ = host_.DebugText().size(); }

 private:
  host::HeadlessHost host_;
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
  size_t reported_ = 0;
};

// Decodes a whole file (every face, slice and level its decoder reads)
// into a one-pixel scratch surface.
HRESULT LoadWhole(IDirect3DDevice9* device, const std::string& file) {
  if (device == nullptr) return E_FAIL;
  IDirect3DSurface9* pixel = nullptr;
  HRESULT hr = device->CreateOffscreenPlainSurface(1, 1, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &pixel, nullptr);
  if (FAILED(hr)) return hr;
  hr = D3DXLoadSurfaceFromFileA(pixel, nullptr, nullptr, file.c_str(), nullptr, D3DX_FILTER_POINT, 0, nullptr);
  pixel->Release();
  return hr;
}

int Info(const std::vector<std::string>& files, std::ostream& out, std::ostream& err) {
  Session session;
  int result = kOk;
  for (const std::string& file : files) {
    D3DXIMAGE_INFO info{};
    HRESULT hr = D3DXGetImageInfoFromFileA(file.c_str(), &info);
    if (FAILED(hr)) {
      result = session.Failed(err, ("D3DXGetImageInfoFromFileA(" + file + ")").c_str(), hr);
      continue;
    }
    session.Settle();
    out << file << ": " << info.Width << "x" << info.Height << ", depth " << info.Depth << ", " << info.MipLevels
        << (info.MipLevels == 1 ? " level, " : " levels, ") << FormatText(info.Format) << ", "
        << FileFormatText(info.ImageFileFormat) << ", " << ResourceText(info.ResourceType) << "\n";
    // The description comes from the header alone; a file whose pixel data
    // is broken describes itself just as well. So the picture is decoded
    // too (into one pixel, so that no size costs memory beyond the decoder's).
    hr = LoadWhole(session.Device(), file);
    if (FAILED(hr)) {
      out.flush();
      result = session.Failed(err, ("the header of " + file + " reads, but its picture does not load: " +
                                    "D3DXLoadSurfaceFromFileA").c_str(), hr);
    }
  }
  return result;
}

struct ConvertOptions {
  std::string in, out;
  D3DXIMAGE_FILEFORMAT writer = D3DXIFF_PNG;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  UINT width = D3DX_DEFAULT_NONPOW2;
  UINT height = D3DX_DEFAULT_NONPOW2;
  bool sized = false;
  DWORD filter = 0;  // 0: chosen below
  UINT mips = 1;
};

int Convert(const ConvertOptions& o, std::ostream& err) {
  Session session;
  if (session.Device() == nullptr) {
    err << "velmora-image: no Direct3D device\n";
    return kLibraryFailed;
  }
  // Without a new size nothing is resampled; with one, the triangle filter.
  const DWORD filter = o.filter != 0 ? o.filter : (o.sized ? D3DX_FILTER_TRIANGLE : D3DX_FILTER_NONE);
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  // Scratch textures take every format and size the library can write.
  HRESULT hr = D3DXCreateTextureFromFileExA(session.Device(), o.in.c_str(), o.width, o.height, o.mips, 0, o.format,
                                            D3DPOOL_SCRATCH, filter, D3DX_FILTER_BOX, 0, &info, nullptr, &texture);
  if (FAILED(hr)) return session.Failed(err, "D3DXCreateTextureFromFileExA", hr);
  session.Settle();
  hr = D3DXSaveTextureToFileA(o.out.c_str(), o.writer, texture, nullptr);
  texture->Release();
  if (FAILED(hr)) return session.Failed(err, "D3DXSaveTextureToFileA", hr);
  return kOk;
}

int Usage(std::ostream& err, const std::string& why) {
  if (!why.empty()) err << "velmora-image: " << why << "\n";
  err << kUsageText;
  return kUsage;
}

}  // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage(err, "");
  if (args[0] == "--help" || args[0] == "-h") {
    out << kUsageText;
    return kOk;
  }
  if (args[0] == "info") {
    if (args.size() < 2) return Usage(err, "info needs at least one FILE");
    return Info(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  }
  if (args[0] != "convert") return Usage(err, "unknown command '" + args[0] + "'");

  ConvertOptions o;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      positional.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) return Usage(err, a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--format") {
      if (!ParseFormat(v, &o.format)) return Usage(err, "unknown format '" + v + "'");
    } else if (a == "--size") {
      const size_t x = v.find('x');
      if (x == std::string::npos || !ParseUnsigned(v.substr(0, x), 16384, &o.width) ||
          !ParseUnsigned(v.substr(x + 1), 16384, &o.height) || o.width == 0 || o.height == 0)
        return Usage(err, "--size wants WxH, each 1 to 16384");
      o.sized = true;
    } else if (a == "--filter") {
      static const char* kNames[] = {"none", "point", "linear", "triangle", "box"};
      o.filter = 0;
      for (DWORD k = 0; k < 5; ++k)
        if (v == kNames[k]) o.filter = k + 1;
      if (o.filter == 0) return Usage(err, "unknown filter '" + v + "'");
    } else if (a == "--mips") {
      if (!ParseUnsigned(v, 32, &o.mips)) return Usage(err, "--mips wants a count from 0 (full chain) to 32");
    } else {
      return Usage(err, "unknown option '" + a + "'");
    }
  }
  if (positional.size() != 2) return Usage(err, "convert needs IN and OUT");
  o.in = positional[0];
  o.out = positional[1];
  if (!WriterFor(o.out, &o.writer)) return Usage(err, "OUT must end in .bmp .png .jpg .jpeg .tga .dds or .ppm");
  return Convert(o, err);
}

}  // namespace image_tool
