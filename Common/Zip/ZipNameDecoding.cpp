#include "Common/Zip/ZipNameDecoding.h"

#include <zlib.h>

#include "Common/Zip/LittleEndian.h"
#include "Platform/Text/TextConversion.h"

namespace {

using LittleEndian::Read16;
using LittleEndian::Read32;

constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr std::uint16_t kUnicodePathId = 0x7075;

// The upper half of code page 437; the lower half is ASCII.
const char16_t kCp437Upper[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

std::string UpToZero(const std::string& bytes) { return std::string(bytes.c_str()); }

// The UTF-8 name of the first Unicode Path block of an extra field, when
// the block is of version 1, holds valid UTF-8 and was written for exactly
// these raw name bytes (an archiver that renames an entry without knowing
// the block leaves a stale one behind).
bool FindUnicodePath(const std::string& extra, const std::string& rawName, std::string& utf8) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    const std::uint16_t id = Read16(extra, at);
    const std::size_t size = Read16(extra, at + 2);
    const std::size_t data = at + 4;
    if (data + size > extra.size()) return false;
    if (id == kUnicodePathId) {
      if (size < 5 || static_cast<unsigned char>(extra[data]) != 1) return false;
      const auto crc = static_cast<std::uint32_t>(
          crc32(0, reinterpret_cast<const Bytef*>(rawName.data()), static_cast<uInt>(rawName.size())));
      if (Read32(extra, data + 1) != crc) return false;
      utf8 = extra.substr(data + 5, size - 5);
      return IsValidUtf8(utf8);
    }
    at = data + size;
  }
  return false;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += 1 + extra;
  }
  return true;
}

std::wstring Cp437ToUtf16(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(static_cast<wchar_t>(byte < 0x80 ? byte : kCp437Upper[byte - 0x80]));
  }
  return out;
}

std::wstring DecodeEntryName(const std::string& rawName, std::uint16_t flags, const std::string& centralExtra,
                             const std::string& localExtra) {
  if (flags & kFlagUtf8Name) return Platform::Utf8ToUtf16(UpToZero(rawName));
  std::string unicode;
  if (FindUnicodePath(centralExtra, rawName, unicode) || FindUnicodePath(localExtra, rawName, unicode)) {
    return Platform::Utf8ToUtf16(UpToZero(unicode));
  }
  const std::string name = UpToZero(rawName);
  return IsValidUtf8(name) ? Platform::Utf8ToUtf16(name) : Cp437ToUtf16(name);
}
