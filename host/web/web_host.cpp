// web_host.cpp — the browser host: canvas, input callbacks, sleeping by
// handing the thread back to the browser, Web Audio, in-page dialogs.
//
// The program runs on the browser's one thread. Whenever it sleeps or waits
// (web_host.js: velmora_web_sleep, velmora_web_wait) ASYNCIFY unwinds it and
// the browser runs its event loop: the input callbacks below queue events,
// the sound's timer has the next block mixed, and the wait ends early when an
// event arrives. None of those callbacks may sleep themselves.
#include "host/web/web_host.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <utility>

#include "host/dialog_buttons.h"
#include "host/web/canvas_frame.h"
#include "host/web/dom_keys.h"
#include "host/web/page_audio.h"
#include "host/web/page_layout.h"
#include "host/web/page_query.h"

// The page glue, web_host.js.
extern "C" {
void velmora_web_start();
int velmora_web_query(char* out, int size);
int velmora_web_debug_output();
void velmora_web_sleep(int ms);
void velmora_web_wait(int ms);
void velmora_web_notify();
void velmora_web_available_size(double* width, double* height);
void velmora_web_set_title(const char* titleUtf8);
void velmora_web_show_canvas(int visible);
void velmora_web_present(const uint8_t* rgba, int width, int height, int x, int y, int changedWidth,
                         int changedHeight);
void velmora_web_set_cursor(const uint32_t* argb, int width, int height, int hotspotX, int hotspotY, uint32_t printLow,
                            uint32_t printHigh);
void velmora_web_set_icon(const uint32_t* argb, int width, int height);
int velmora_web_audio_open(int rate, int channels, int bufferFrames);
void velmora_web_audio_close();
int velmora_web_message_box(const char* textUtf8, const char* captionUtf8, const char* buttonLabels, int icon,
                            int defaultButton);
int velmora_web_dialog_open();
void velmora_web_debug(const char* text);
void velmora_web_ended(int exitCode, const char* reasonUtf8);
// page_layout.js
void velmora_page_show_canvas(double cssWidth, double cssHeight, int whole);
}

namespace host {
namespace {

constexpr const char* kCanvas = "#canvas";
constexpr int kDropChunkFrames = 4096;

WebHost* g_webHost = nullptr;

// Keys the page would act on itself (scrolling) stay with the game.
bool PageWouldScroll(Key key) {
  switch (key) {
    case Key::Space: case Key::PageUp: case Key::PageDown: case Key::End: case Key::Home:
    case Key::Left: case Key::Up: case Key::Right: case Key::Down:
      return true;
    default:
      return false;
  }
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void* user) {
  auto* h = static_cast<WebHost*>(user);
  // A message box is modal: its buttons take the keys.
  if (velmora_web_dialog_open()) return EM_FALSE;
  const Key key = web::KeyFromDomCode(e->code);
  if (key == Key::None) return EM_FALSE;
  const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
  h->SetKey(key, down);
  Event out;
  out.type = down ? EventType::KeyDown : EventType::KeyUp;
  out.timeMs = h->NowMs();
  out.key = key;
  if (e->shiftKey) out.mods |= kModShift;
  if (e->ctrlKey) out.mods |= kModCtrl;
  if (e->altKey) out.mods |= kModAlt;
  // A keypad key that types a digit or the separator has Num Lock on.
  if (key >= Key::Keypad1 && key <= Key::KeypadPeriod && std::strlen(e->key) == 1) out.mods |= kModNumLock;
  out.repeat = down && e->repeat;
  h->Queue(out);
  const bool shortcut = e->ctrlKey || e->altKey || e->metaKey;
  return (!shortcut && PageWouldScroll(key)) ? EM_TRUE : EM_FALSE;
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* e, void* user) {
  auto* h = static_cast<WebHost*>(user);
  if (velmora_web_dialog_open()) return EM_FALSE;
  if (type != EMSCRIPTEN_EVENT_MOUSEMOVE && e->button != 0) return EM_FALSE;  // left button only
  double cssW = 0, cssH = 0;
  if (emscripten_get_element_css_size(kCanvas, &cssW, &cssH) != EMSCRIPTEN_RESULT_SUCCESS) return EM_FALSE;
  const auto point = web::ClientPointFromCss(static_cast<double>(e->targetX), static_cast<double>(e->targetY), cssW, cssH);
  if (!point) return EM_FALSE;
  Event out;
  out.type = type == EMSCRIPTEN_EVENT_MOUSEDOWN ? EventType::MouseDown
             : type == EMSCRIPTEN_EVENT_MOUSEUP ? EventType::MouseUp
                                                : EventType::MouseMove;
  out.timeMs = h->NowMs();
  out.x = point->x;
  out.y = point->y;
  h->Queue(out);
  return EM_FALSE;
}

EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void* user) {
  // Keys released while the page has no focus never reach it.
  static_cast<WebHost*>(user)->ReleaseAllKeys();
  return EM_FALSE;
}

EM_BOOL OnResize(int, const EmscriptenUiEvent*, void* user) {
  static_cast<WebHost*>(user)->Relayout();
  return EM_FALSE;
}

void Listen(WebHost* h) {
  const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(win, h, EM_TRUE, h ? OnKey : nullptr);
  emscripten_set_keyup_callback(win, h, EM_TRUE, h ? OnKey : nullptr);
  emscripten_set_mousedown_callback(kCanvas, h, EM_TRUE, h ? OnMouse : nullptr);
  emscripten_set_mouseup_callback(kCanvas, h, EM_TRUE, h ? OnMouse : nullptr);
  emscripten_set_mousemove_callback(kCanvas, h, EM_TRUE, h ? OnMouse : nullptr);
  emscripten_set_blur_callback(win, h, EM_TRUE, h ? OnBlur : nullptr);
  emscripten_set_resize_callback(win, h, EM_TRUE, h ? OnResize : nullptr);
}

bool Usable(const Image& image) {
  return image.width > 0 && image.height > 0 && image.width <= 256 && image.height <= 256 &&
         image.argb.size() >= static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

}  // namespace

WebHost::WebHost() {
  g_webHost = this;
  startMs_ = emscripten_get_now();
  velmora_web_start();
  // An address too long for the buffer is not read at all, rather than cut.
  char query[2048] = {};
  if (velmora_web_query(query, sizeof query) < static_cast<int>(sizeof query)) {
    fixedCalendarBase_ = web::CalendarTimeFromQuery(query);
    if (auto profile = web::DeviceProfileFromQuery(query)) deviceProfile_ = *profile;
    faults_.Add(web::FaultsFromQuery(query));
  }
  debugToConsole_ = velmora_web_debug_output() != 0;
  Listen(this);
  Relayout();
}

WebHost::~WebHost() {
  Listen(nullptr);
  CloseAudio();
  if (g_webHost == this) g_webHost = nullptr;
  if (Current() == this) SetCurrent(nullptr);
}

void WebHost::Ended(int exitCode, const std::string& reasonUtf8) {
  Listen(nullptr);
  velmora_web_ended(exitCode, reasonUtf8.empty() ? nullptr : reasonUtf8.c_str());
}

uint64_t WebHost::NowMs() {
  const double ms = emscripten_get_now() - startMs_;
  return ms > 0 ? static_cast<uint64_t>(ms) : 0;
}

int64_t WebHost::CalendarTime() {
  // A fixed start time moves on with the clock, as the headless host's does.
  if (fixedCalendarBase_) return *fixedCalendarBase_ + static_cast<int64_t>(NowMs() / 1000);
  return static_cast<int64_t>(emscripten_date_now() / 1000.0);
}

void WebHost::SleepMs(uint32_t ms) {
  velmora_web_sleep(static_cast<int>(std::min<uint32_t>(ms, INT_MAX)));
  DropAudioByClock();
}

bool WebHost::WaitEvent(uint64_t deadlineMs) {
  if (queue_.empty()) {
    const uint64_t now = NowMs();
    if (deadlineMs > now) velmora_web_wait(static_cast<int>(std::min<uint64_t>(deadlineMs - now, INT_MAX)));
    DropAudioByClock();
  }
  return !queue_.empty();
}

bool WebHost::PollEvent(Event* out) {
  if (queue_.empty()) return false;
  if (out) *out = queue_.front();
  queue_.pop_front();
  return true;
}

void WebHost::Queue(const Event& event) {
  queue_.push_back(event);
  velmora_web_notify();
}

void WebHost::SetKey(Key key, bool down) {
  const int index = static_cast<int>(key);
  if (index > 0 && index < kKeyCount) keys_[index] = down ? 0x80 : 0;
}

void WebHost::ReleaseAllKeys() { std::memset(keys_, 0, sizeof keys_); }

void WebHost::Relayout() {
  double availW = 0, availH = 0;
  velmora_web_available_size(&availW, &availH);
  const web::CanvasSize size = web::SharpCanvasSize(availW, availH, emscripten_get_device_pixel_ratio());
  velmora_page_show_canvas(size.cssWidth, size.cssHeight, size.whole ? 1 : 0);
}

void WebHost::DesktopSize(int* width, int* height) {
  int w = 0, h = 0;
  emscripten_get_screen_size(&w, &h);
  if (w <= 0 || h <= 0) {
    w = 1024;
    h = 768;
  }
  if (width) *width = w;
  if (height) *height = h;
}

bool WebHost::CreateWindow(const std::string& titleUtf8, int, int, int, int) {
  if (windowExists_) return false;
  windowExists_ = true;
  frame_.Clear();
  velmora_web_set_title(titleUtf8.c_str());
  emscripten_set_canvas_element_size(kCanvas, kClientWidth, kClientHeight);
  Relayout();
  return true;
}

void WebHost::ShowWindow(bool visible) {
  if (windowExists_) velmora_web_show_canvas(visible ? 1 : 0);
}

void WebHost::MoveWindow(int, int, int, int) {
  // The page places the canvas; the window's desktop position has no meaning here.
}

void WebHost::DestroyWindow() {
  if (!windowExists_) return;
  windowExists_ = false;
  frame_.Clear();
  velmora_web_show_canvas(0);
}

void WebHost::Present(const uint32_t* pixels, int width, int height, int pitchBytes) {
  if (!windowExists_ || pixels == nullptr || width <= 0 || height <= 0 || width > 4096 || height > 4096 ||
      pitchBytes < width * 4) {
    return;
  }
  // The canvas keeps its picture: only the rectangle around what changed is
  // converted and uploaded, and a frame equal to it is counted as shown
  // without an upload.
  const web::PixelRect changed = frame_.Update(pixels, width, height, pitchBytes);
  if (changed.Empty()) {
    velmora_web_present(nullptr, width, height, 0, 0, 0, 0);
    return;
  }
  velmora_web_present(frame_.Rgba(), width, height, changed.x, changed.y, changed.width, changed.height);
}

void WebHost::SetCursor(const Image* cursor) {
  if (cursor != nullptr && !Usable(*cursor)) cursor = nullptr;
  const uint64_t print = cursor ? Fingerprint(*cursor) : 0;
  if (cursorShown_ && cursor == shownCursor_ && print == shownCursorPrint_) return;
  cursorShown_ = true;
  shownCursor_ = cursor;
  shownCursorPrint_ = print;
  if (cursor == nullptr) {
    velmora_web_set_cursor(nullptr, 0, 0, 0, 0, 0, 0);
    return;
  }
  velmora_web_set_cursor(cursor->argb.data(), cursor->width, cursor->height,
                         std::clamp(cursor->hotspotX, 0, cursor->width - 1),
                         std::clamp(cursor->hotspotY, 0, cursor->height - 1), static_cast<uint32_t>(print),
                         static_cast<uint32_t>(print >> 32));
}

void WebHost::SetIcon(const Image* icon) {
  if (icon == nullptr || !Usable(*icon)) return;
  velmora_web_set_icon(icon->argb.data(), icon->width, icon->height);
}

void WebHost::KeyboardState(uint8_t keys[kKeyCount]) { std::memcpy(keys, keys_, sizeof keys_); }

bool WebHost::OpenAudio(const AudioFormat& format, AudioSource* source) {
  if (source == nullptr || format.rate <= 0 || format.channels <= 0 || format.channels > 2) return false;
  CloseAudio();
  blockFrames_ = web::PageBlockFrames(format.rate);
  if (!velmora_web_audio_open(format.rate, format.channels, blockFrames_)) return false;
  source_ = source;
  audioFormat_ = format;
  audioFlowing_ = false;
  clockDebt_.Hold(NowMs(), format.rate, 0);
  return true;
}

void WebHost::CloseAudio() {
  if (source_ == nullptr) return;
  velmora_web_audio_close();
  source_ = nullptr;
}

int WebHost::AudioBufferFrames() { return source_ ? blockFrames_ : 0; }

// The cues are 22050 Hz: mixed at their own rate they need no conversion,
// and the browser converts to the device's rate on its audio thread for
// less than the page's resampling cost.
int WebHost::PreferredAudioRate() { return web::kPageAudioRate; }

void WebHost::HoldAudio(uint64_t aheadFrames) {
  if (source_ == nullptr) return;
  audioFlowing_ = false;
  clockDebt_.Hold(NowMs(), audioFormat_.rate, aheadFrames);
}

void WebHost::DropAudioByClock() {
  if (source_ == nullptr || audioFlowing_) return;
  // While the page plays nothing, the cues still play on in silence, so
  // the sound heard later is where it would have been.
  for (uint64_t owed = clockDebt_.Take(NowMs()); owed > 0;) {
    const int frames = static_cast<int>(std::min<uint64_t>(owed, kDropChunkFrames));
    mixBuffer_.assign(static_cast<size_t>(frames) * static_cast<size_t>(audioFormat_.channels), 0);
    source_->Mix(mixBuffer_.data(), frames);
    owed -= static_cast<uint64_t>(frames);
  }
}

const float* WebHost::MixForPage(int frames) {
  if (source_ == nullptr || frames <= 0 || frames > web::kMaxPageBlockFrames) return nullptr;
  audioFlowing_ = true;
  mixBuffer_.assign(static_cast<size_t>(frames) * static_cast<size_t>(audioFormat_.channels), 0);
  source_->Mix(mixBuffer_.data(), frames);
  pageSamples_.resize(static_cast<size_t>(frames) * 2);
  mixPeak_ = web::ToPageSamples(mixBuffer_.data(), audioFormat_.channels, frames, pageSamples_.data());
  return pageSamples_.data();
}

DialogAnswer WebHost::MessageBox(const MessageBoxRequest& request) {
  const std::vector<DialogButton> buttons = DialogButtonsOf(request.buttons);
  std::string labels;
  for (const DialogButton& b : buttons) labels += std::string(labels.empty() ? "" : "\n") + b.label;
  const int defaultButton = static_cast<int>(DefaultButtonIndex(request));
  const int chosen = velmora_web_message_box(request.textUtf8.c_str(), request.captionUtf8.c_str(), labels.c_str(),
                                             static_cast<int>(request.icon), defaultButton);
  // No page to show it in: the default answer, as a user pressing Enter.
  const int index = (chosen >= 0 && chosen < static_cast<int>(buttons.size())) ? chosen : defaultButton;
  return buttons[static_cast<size_t>(index)].answer;
}

void WebHost::DebugOutput(const char* text) {
  if (debugToConsole_ && text) velmora_web_debug(text);
}

std::optional<std::string> WebHost::ProfileValue(const std::string&, const std::string&) {
  // A page has no user profile: every value is unset.
  return std::nullopt;
}

std::string WebHost::DeviceProfile() { return deviceProfile_; }

bool WebHost::ShouldFail(const char* call) { return faults_.ShouldFail(call); }

}  // namespace host

// The page pulls each block of mixed frames through here, and reads its
// peak after.
extern "C" EMSCRIPTEN_KEEPALIVE const float* velmora_web_mix(int frames) {
  return host::g_webHost ? host::g_webHost->MixForPage(frames) : nullptr;
}

extern "C" EMSCRIPTEN_KEEPALIVE int velmora_web_mix_peak() { return host::g_webHost ? host::g_webHost->MixPeak() : 0; }

// The page stopped playing (it was hidden) with `aheadFrames` mixed frames
// not yet heard: the mixer follows the clock again after them.
extern "C" EMSCRIPTEN_KEEPALIVE void velmora_web_audio_hold(int aheadFrames) {
  if (host::g_webHost) host::g_webHost->HoldAudio(static_cast<uint64_t>(std::max(aheadFrames, 0)));
}
