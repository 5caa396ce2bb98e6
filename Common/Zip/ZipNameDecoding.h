#pragma once
#include <cstdint>
#include <string>

// Entry names are bytes; which characters they stand for depends on the
// archiver that wrote them.
//
// General-purpose bit 11 set: UTF-8. Otherwise the Info-ZIP Unicode Path
// extra field (0x7075, central or local) when its CRC-32 matches the raw
// name; otherwise UTF-8 when the bytes are valid UTF-8 (ASCII is); otherwise
// the legacy DOS code page 437, in which every byte is a character of its
// own, so that two different names never decode to the same text. The name
// ends at its first zero byte, as the system would end it.
std::wstring DecodeEntryName(const std::string& rawName, std::uint16_t flags, const std::string& centralExtra,
                             const std::string& localExtra);

// True when the bytes are well-formed UTF-8: no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& bytes);

// Code page 437, byte by byte.
std::wstring Cp437ToUtf16(const std::string& bytes);
