#pragma once
#include <string>

#include "Installer/Engine/InstallListener.h"
#include "Platform/Files/FileSystem.h"

namespace InstallBackend {

// Extracts every entry of the archive at zipPath, in central-directory
// order, below drive (a drive such as "E:" or a folder path): drive with a
// separator appended is the base folder the zip reader is told. drive is
// also made the process's current directory, and left so.
//
// Sends OnStatus(Extracting) once the archive is open, then OnProgress with
// (entries done) / (entry count) after each entry; listener may be null.
// The cancel flag is read before each entry: a cancel returns normally,
// keeping the entries written so far. Nothing is ever rolled back.
//
// Returns normally on success or cancel. Raises InstallException with
//   "InstallBackend::Unzip Failed to open zip file"  the drive cannot be made
//       the current directory, or the file is missing or no zip archive;
//   "InstallBackend::Unzip GetZipItem failed"  an entry cannot be described
//       (damaged records, a method other than stored or deflated, a name
//       of 260 bytes or more);
//   "InstallBackend::Unzip UnzipItem failed"  an entry cannot be written
//       (a read-only file in the way, damaged data, a CRC-32 mismatch, an
//       encrypted entry, a name that would leave the target).
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

// The extraction onto the system's file system (Platform::TheSystem()).
void Unzip(const std::wstring& zipPath, const std::wstring& drive, IInstallListener* listener,
           const CancelFlag& cancel);

}  // namespace InstallBackend
