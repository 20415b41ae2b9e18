// headless_device.cpp — see headless_device.h.
#include "tools/headless_device/headless_device.h"

namespace headless {
namespace {

constexpr char kWindowClass[] = "VELMORAHEADLESSDEVICE";

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// Registered on first use in each Windows state (a reset forgets classes):
// a second registration fails harmlessly.
void RegisterWindowClass() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = PlainWindowProc;
  wc.lpszClassName = kWindowClass;
  RegisterClassExA(&wc);
}

}  // namespace

HeadlessDevice::HeadlessDevice(host::HeadlessHost* host, const DeviceOptions& options) : previous_(host::Current()) {
  if (host == nullptr) host = owned_ = new host::HeadlessHost();
  host_ = host;
  host::SetCurrent(host_);
  if (options.onDesktop) {
    window_ = GetDesktopWindow();
  } else {
    RegisterWindowClass();
    window_ = CreateWindowExA(0, kWindowClass, kWindowClass, WS_OVERLAPPEDWINDOW, 0, 0, int(options.width),
                              int(options.height), nullptr, nullptr, nullptr, nullptr);
    ownWindow_ = window_ != nullptr;
  }
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (window_ == nullptr || d3d_ == nullptr) return;
  D3DPRESENT_PARAMETERS pp = options.present;
  if (pp.BackBufferCount == 0) pp.BackBufferCount = 1;
  if (pp.SwapEffect == 0) pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  if (options.onDesktop && pp.BackBufferWidth == 0) {
    pp.BackBufferWidth = options.width;
    pp.BackBufferHeight = options.height;
  }
  pp.Windowed = TRUE;
  result_ = d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &pp,
                               &device_);
  if (FAILED(result_)) device_ = nullptr;
}

HeadlessDevice::~HeadlessDevice() {
  host::SetCurrent(host_);
  if (device_ != nullptr) device_->Release();
  if (d3d_ != nullptr) d3d_->Release();
  if (ownWindow_) DestroyWindow(window_);
  host::SetCurrent(previous_);
  delete owned_;
}

}  // namespace headless
