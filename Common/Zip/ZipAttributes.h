#pragma once
#include <cstdint>

// File attribute bits of an entry from its external attributes, read as a
// DOS attribute byte or as a Unix mode according to the host that made it
// (the high byte of the version-made-by field).
std::uint32_t AttributesFromHost(std::uint16_t versionMadeBy, std::uint32_t externalAttributes);
