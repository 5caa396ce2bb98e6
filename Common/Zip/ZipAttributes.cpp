#include "Common/Zip/ZipAttributes.h"

#include "Platform/Files/FileSystem.h"

namespace {

// The hosts whose archivers store the DOS attribute byte in the low bits.
bool HoldsDosAttributes(unsigned host) { return host == 0 || host == 7 || host == 11 || host == 14; }

}  // namespace

std::uint32_t AttributesFromHost(std::uint16_t versionMadeBy, std::uint32_t external) {
  using namespace Platform;
  bool directory, archive, hidden, readOnly, system;
  if (HoldsDosAttributes(versionMadeBy >> 8)) {
    readOnly = (external & 0x01) != 0;
    hidden = (external & 0x02) != 0;
    system = (external & 0x04) != 0;
    directory = (external & 0x10) != 0;
    archive = (external & 0x20) != 0;
  } else {
    // A Unix mode in the upper half: read-only when the owner may not write.
    directory = (external & (1u << 30)) != 0;
    readOnly = (external & (1u << 23)) == 0;
    archive = true;
    hidden = system = false;
  }
  std::uint32_t attributes = 0;
  if (directory) attributes |= kAttributeDirectory;
  if (archive) attributes |= kAttributeArchive;
  if (hidden) attributes |= kAttributeHidden;
  if (readOnly) attributes |= kAttributeReadOnly;
  if (system) attributes |= kAttributeSystem;
  return attributes;
}
