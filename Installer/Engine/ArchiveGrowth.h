#pragma once
#include <cstdint>

namespace InstallBackend {

// Whoever reads the archive while the download still writes it: the
// download tells it, after each write, how far the file reaches.
class IArchiveGrowth {
 public:
  // The first `length` bytes of the archive are in the file (written, not
  // buffered): another handle may read them now. Called on the download's
  // thread; returns at once.
  virtual void ArchiveWritten(std::uint64_t length) = 0;
  // The whole archive will be `total` bytes long (the server said so
  // before the first byte came).
  virtual void ArchiveSizeKnown(std::uint64_t total) = 0;

 protected:
  ~IArchiveGrowth() = default;
};

}  // namespace InstallBackend
