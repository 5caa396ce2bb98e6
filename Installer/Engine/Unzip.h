#pragma once
#include <string>

#include "Installer/Engine/InstallListener.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Extracts every entry of the archive at zipPath, in central-directory
// order, below drive (the install puts it in its staging folder; any folder
// path will do): drive with a separator appended is the base folder the zip
// reader is told. drive is also made the process's current directory.
//
// Sends OnStatus(Extracting) once the archive is open, then OnProgress with
// (entries done) / (entry count) after each entry; listener may be null.
// The cancel flag is read before each entry and after every block written:
// a cancel returns normally, keeping what was written so far (the staging
// folder it is in is the caller's to remove).
//
// Returns normally on success or cancel. Raises InstallException with
//   "InstallBackend::Unzip Failed to open zip file"  the drive cannot be made
//       the current directory (no new download helps), or the file is
//       missing or no zip archive;
//   "InstallBackend::Unzip GetZipItem failed"  an entry cannot be described
//       (damaged records, a method other than stored or deflated, a name
//       of 260 bytes or more);
//   "InstallBackend::Unzip UnzipItem failed"  an entry cannot be written
//       (a read-only file in the way, an encrypted entry, a name that would
//       leave the target: no new download helps) or its data are damaged
//       (a CRC-32 mismatch: a new download may help);
//   "InstallBackend::Unzip Two entries name the same file: NAME" and
//   "InstallBackend::Unzip Not enough free space on the target: ..." (with
//       the cause NotEnoughSpace), before anything is written; no new
//       download helps either.
class IPackageExtraction {
 public:
  virtual void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
                     const CancelFlag& cancel) = 0;

 protected:
  ~IPackageExtraction() = default;
};

// The extraction onto one file system.
class PackageExtraction final : public IPackageExtraction {
 public:
  explicit PackageExtraction(Platform::IFileSystem& files) : m_files(files) {}
  void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
             const CancelFlag& cancel) override;

 private:
  Platform::IFileSystem& m_files;
};

}  // namespace InstallBackend
