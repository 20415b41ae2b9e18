// text_convert.h — code-page conversion through iconv.
//
// Provides: platform::detail::ConvertText, used by MessageBoxA, window
// titles and MultiByteToWideChar. The program's ANSI code page is 932
// (Shift-JIS), as on the Japanese system the game was made for.
#pragma once

#include <cstddef>
#include <string>

namespace platform::detail {

// Converts `size` bytes from one iconv encoding to another. Undecodable
// input becomes U+FFFD in the output, or, with `strict`, makes the call fail.
bool ConvertText(const char* from, const char* to, const char* bytes, size_t size, bool strict, std::string* out);

}  // namespace platform::detail
