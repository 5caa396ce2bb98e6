#pragma once
#include <string>
#include <string_view>

// Texts are std::wstring holding UTF-16 code units on every platform, also
// where wchar_t is 32 bits wide. These conversions never fail: a malformed
// sequence becomes U+FFFD.
namespace Platform {

std::wstring Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::wstring_view utf16);
// The code point that starts at utf16[i], a surrogate pair read whole (i
// then moves to its second unit). A lone surrogate comes back as itself, for
// the caller to replace or refuse.
char32_t DecodeUtf16(std::wstring_view utf16, size_t& i);

}  // namespace Platform
