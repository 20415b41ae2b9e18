// dom_keys.cpp — the standard keyboard by its physical codes. The arrow keys
// and the numeric keypad's keys stay apart, as on the platform.
#include "host/web/dom_keys.h"

namespace host::web {
namespace {

struct Entry {
  std::string_view code;
  Key key;
};

constexpr Entry kKeys[] = {
    {"Escape", Key::Escape},          {"Backspace", Key::Backspace},    {"Tab", Key::Tab},
    {"Enter", Key::Return},           {"Space", Key::Space},            {"ControlLeft", Key::LeftCtrl},
    {"ControlRight", Key::RightCtrl}, {"ShiftLeft", Key::LeftShift},    {"ShiftRight", Key::RightShift},
    {"AltLeft", Key::LeftAlt},        {"AltRight", Key::RightAlt},      {"MetaLeft", Key::LeftGui},
    {"MetaRight", Key::RightGui},     {"Insert", Key::Insert},          {"Home", Key::Home},
    {"PageUp", Key::PageUp},          {"Delete", Key::Delete},          {"End", Key::End},
    {"PageDown", Key::PageDown},      {"ArrowRight", Key::Right},       {"ArrowLeft", Key::Left},
    {"ArrowDown", Key::Down},         {"ArrowUp", Key::Up},             {"NumLock", Key::NumLock},
    {"NumpadDivide", Key::KeypadDivide}, {"NumpadMultiply", Key::KeypadMultiply},
    {"NumpadSubtract", Key::KeypadMinus}, {"NumpadAdd", Key::KeypadPlus}, {"NumpadEnter", Key::KeypadEnter},
    {"NumpadDecimal", Key::KeypadPeriod}, {"Numpad0", Key::Keypad0},
};

}  // namespace

Key KeyFromDomCode(std::string_view code) {
  // Letters, digits, function keys and keypad digits by their numbering.
  if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z') {
    return static_cast<Key>(static_cast<int>(Key::A) + (code[3] - 'A'));
  }
  if (code.size() == 6 && code.substr(0, 5) == "Digit" && code[5] >= '0' && code[5] <= '9') {
    return code[5] == '0' ? Key::Digit0 : static_cast<Key>(static_cast<int>(Key::Digit1) + (code[5] - '1'));
  }
  if (code.size() == 7 && code.substr(0, 6) == "Numpad" && code[6] >= '1' && code[6] <= '9') {
    return static_cast<Key>(static_cast<int>(Key::Keypad1) + (code[6] - '1'));
  }
  if ((code.size() == 2 || code.size() == 3) && code[0] == 'F') {
    int n = 0;
    for (char c : code.substr(1)) n = (c >= '0' && c <= '9') ? n * 10 + (c - '0') : -1000;
    if (n >= 1 && n <= 12) return static_cast<Key>(static_cast<int>(Key::F1) + n - 1);
    return Key::None;
  }
  for (const Entry& e : kKeys) {
    if (e.code == code) return e.key;
  }
  return Key::None;
}

}  // namespace host::web
