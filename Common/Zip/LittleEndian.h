#pragma once
// Zip records hold their numbers little-endian on every machine, so fields
// are put together byte by byte instead of being copied into integers.
// Callers make sure the bytes are there; nothing here checks a length.
#include <cstddef>
#include <cstdint>
#include <string>

namespace LittleEndian {

inline std::uint16_t Read16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Extra fields arrive as strings; their char may be signed, which the
// unsigned view keeps out of the arithmetic.
inline std::uint16_t Read16(const std::string& bytes, std::size_t at) {
  return Read16(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

inline std::uint32_t Read32(const std::string& bytes, std::size_t at) {
  return Read32(reinterpret_cast<const unsigned char*>(bytes.data()) + at);
}

}  // namespace LittleEndian
