#pragma once
#include <functional>
#include <memory>
#include <string>

#include "Common/Zip/ZipReader.h"
#include "Installer/Engine/ArchiveGrowth.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/PackageList.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Extracts every entry of the archive at zipPath, in central-directory
// order, below drive (the install puts it in its staging folder; any folder
// path will do): drive with a separator appended is the base folder the zip
// reader is told. drive is also made the process's current directory.
//
// Sends OnStatus(Extracting) once the archive is open, then OnProgress with
// (entries done) / (entry count) and OnFiles with both counts after each
// entry; listener may be null.
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
  // Begins extracting the archive at zipPath below drive while it is still
  // being downloaded; Unzip of the same two then finishes that work. Whom
  // the download tells of each write, or null when this extraction waits
  // for the whole archive.
  virtual IArchiveGrowth* Follow(const std::wstring& /*zipPath*/, const std::wstring& /*drive*/,
                                 const CancelFlag& /*cancel*/) {
    return nullptr;
  }
  // Ends a Follow, within a block of an entry; what it wrote stays.
  virtual void StopFollowing() {}
  // What the last Unzip that returned normally checked and wrote: the
  // archive's list of files and folders, which is what the commit places.
  virtual const PackageList& Verified() const = 0;

 protected:
  ~IPackageExtraction() = default;
};

// The extraction onto one file system.
class PackageExtraction final : public IPackageExtraction {
 public:
  explicit PackageExtraction(Platform::IFileSystem& files) : m_files(files) {}
  void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
             const CancelFlag& cancel) override;
  const PackageList& Verified() const override { return m_verified; }

 private:
  Platform::IFileSystem& m_files;
  PackageList m_verified;
};

// The archive at zipPath opened for extraction below folder, which is made
// the current directory first; raises "InstallBackend::Unzip Failed to
// open zip file" as Unzip does.
std::unique_ptr<ZipReader> OpenPackage(Platform::IFileSystem& files, const std::wstring& zipPath,
                                       const std::wstring& folder);

// True for an entry that is in place below the base folder already (the
// extraction that follows the download wrote it) and needs no writing.
using WrittenEntries = std::function<bool(int index, const ZipItem& item)>;

// Unzip's work on an open archive: the checks before writing, Extracting,
// then every entry in central-directory order with its progress. Entries
// `written` vouches for are not written again; their hidden bit is still
// applied. Every entry done is added to `verified`. Raises as Unzip does.
void ExtractEntries(ZipReader& reader, IInstallListener* listener, const CancelFlag& cancel, PackageList& verified,
                    const WrittenEntries& written = nullptr);

}  // namespace InstallBackend
