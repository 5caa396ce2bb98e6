#include "Platform/Text/TextConversion.h"

namespace Platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::wstring& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence starting at text[i]; advances i past it.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; minimum = 0x80; }
  else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; minimum = 0x800; }
  else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; minimum = 0x10000; }
  else return kReplacement;
  for (int k = 0; k < extra; ++k) {
    if (i >= text.size()) return kReplacement;
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (next & 0x3F);
    ++i;
  }
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (cp < minimum || cp > 0x10FFFF || surrogate) return kReplacement;
  return cp;
}

}  // namespace

std::wstring Utf8ToUtf16(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, i));
  return out;
}

char32_t DecodeUtf16(std::wstring_view utf16, size_t& i) {
  const char32_t unit = static_cast<char16_t>(utf16[i]);
  if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size()) {
    const char32_t low = static_cast<char16_t>(utf16[i + 1]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;
}

std::string Utf16ToUtf8(std::wstring_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char32_t cp = DecodeUtf16(utf16, i);
    const bool lone = cp >= 0xD800 && cp <= 0xDFFF;
    AppendUtf8(out, lone ? kReplacement : cp);
  }
  return out;
}

}  // namespace Platform
