// text_convert.cpp — code-page conversion through iconv (glibc's gconv).
#include "platform/win32/text_convert.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace platform::detail {
namespace {

// musl (the C library of the browser build) has no "CP932"; its
// "SHIFT_JIS" is the same code page without Microsoft's extension rows.
iconv_t OpenConverter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd != reinterpret_cast<iconv_t>(-1)) return cd;
  auto alias = [](const char* name) { return std::strcmp(name, "CP932") == 0 ? "SHIFT_JIS" : name; };
  if (alias(to) == to && alias(from) == from) return cd;
  return iconv_open(alias(to), alias(from));
}

}  // namespace

bool ConvertText(const char* from, const char* to, const char* bytes, size_t size, bool strict, std::string* out) {
  out->clear();
  iconv_t cd = OpenConverter(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  // U+FFFD in the target encoding, for bytes that do not decode.
  std::string replacement;
  {
    iconv_t back = OpenConverter(to, "UTF-8");
    if (back != reinterpret_cast<iconv_t>(-1)) {
      char in[] = "\xEF\xBF\xBD";
      char buf[16];
      char* ip = in;
      size_t il = 3;
      char* op = buf;
      size_t ol = sizeof buf;
      if (iconv(back, &ip, &il, &op, &ol) != static_cast<size_t>(-1))
        replacement.assign(buf, sizeof buf - ol);
      iconv_close(back);
    }
    if (replacement.empty()) replacement.push_back('?');
  }
  std::vector<char> input(bytes, bytes + size);
  char* ip = input.data();
  size_t il = input.size();
  std::vector<char> buf(4 * size + 16);
  bool ok = true;
  while (il > 0) {
    char* op = buf.data();
    size_t ol = buf.size();
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    out->append(buf.data(), op);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ || errno == EINVAL) {
      if (strict) {
        ok = false;
        break;
      }
      out->append(replacement);
      ++ip;
      --il;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
      continue;
    }
    ok = false;
    break;
  }
  if (ok) {
    // Flush any shift sequence of a stateful target.
    char* op = buf.data();
    size_t ol = buf.size();
    if (iconv(cd, nullptr, nullptr, &op, &ol) != static_cast<size_t>(-1)) out->append(buf.data(), op);
  }
  iconv_close(cd);
  if (!ok) out->clear();
  return ok;
}

std::string ShiftJisToUtf8(const char* text) {
  if (text == nullptr) return std::string();
  std::string out;
  size_t len = std::strlen(text);
  if (!ConvertText("CP932", "UTF-8", text, len, false, &out)) {
    // No CP932 converter on this machine: keep ASCII, mark the rest.
    out.clear();
    for (size_t i = 0; i < len; ++i) {
      unsigned char c = static_cast<unsigned char>(text[i]);
      if (c < 0x80) out.push_back(static_cast<char>(c));
      else out.append("\xEF\xBF\xBD");
    }
  }
  return out;
}

}  // namespace platform::detail
