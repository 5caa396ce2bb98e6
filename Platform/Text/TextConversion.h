#pragma once
#include <string>
#include <string_view>

// Texts are std::wstring holding UTF-16 code units on every platform, also
// where wchar_t is 32 bits wide. These conversions never fail: a malformed
// sequence becomes U+FFFD.
namespace Platform {

std::wstring Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::wstring_view utf16);

}  // namespace Platform
