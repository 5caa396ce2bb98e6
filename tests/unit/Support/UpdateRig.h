#pragma once
// An install or update onto a folder standing for a USB drive, run through
// the real install sequence and file system: the package comes from a
// generated archive, drives and signatures are scripted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "Installer/Engine/InstallSequence.h"
#include "Platform/SystemServices.h"
#include "Support/FakeDriveInfoSource.h"
#include "Support/LogCapture.h"
#include "Support/TestArchives.h"

namespace KorvaneTest {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path -> contents; folders end with "/"

// A path the engine made (with backslashes) as the host's file system
// takes it.
inline fs::path HostPath(std::wstring path) {
#ifndef _WIN32
  for (wchar_t& c : path) {
    if (c == L'\\') c = L'/';
  }
#endif
  return ToPath(path);
}

// The download brings a test archive; the signature check accepts only a
// Korvane.exe that holds `genuine`.
struct PackageSource final : InstallBackend::IPackageDownload, Platform::IMakerSignatureCheck {
  std::string archive = "update_v2.zip";
  std::string genuine = "MZ new version";

  std::wstring Download(const std::wstring& folder, IInstallListener*, const CancelFlag&, bool,
                        InstallBackend::IArchiveGrowth*) override {
    const fs::path path = HostPath(folder) / "Korvane.zip";
    fs::create_directories(path.parent_path());
    fs::copy_file(ToPath(ArchivePath(archive)), path, fs::copy_options::overwrite_existing);
    return folder + L"Korvane.zip";
  }
  Platform::SignatureCheck CheckMakerSignature(const std::wstring& path) override {
    Platform::SignatureCheck check;
    if (ReadWholeFile(HostPath(path)) == genuine) check.result = 0;
    return check;
  }
  Platform::SignatureCheck StartIfGenuine(const std::wstring&, const std::wstring&, const std::wstring&) override {
    ADD_FAILURE() << "an install itself starts nothing";
    return Platform::SignatureCheck();
  }
};

// The paths whose presence or contents differ, one a line.
inline std::string Differences(const Tree& found, const Tree& expected) {
  std::string text;
  for (const auto& [name, contents] : found) {
    const auto other = expected.find(name);
    if (other == expected.end()) text += "unexpected " + name + "\n";
    else if (other->second != contents) text += "different " + name + "\n";
  }
  for (const auto& entry : expected) {
    if (!found.count(entry.first)) text += "missing " + entry.first + "\n";
  }
  return text;
}

// Everything below root; links are listed as "name@" and not followed.
inline Tree Snapshot(const fs::path& root) {
  Tree tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string name = it->path().lexically_relative(root).generic_u8string();
    if (fs::is_symlink(it->symlink_status())) {
      tree[name + "@"] = "";
      it.disable_recursion_pending();
    } else {
      tree[it->is_directory() ? name + "/" : name] = it->is_directory() ? std::string() : ReadWholeFile(it->path());
    }
  }
  return tree;
}

inline void WriteTree(const fs::path& root, const Tree& tree) {
  fs::create_directories(root);
  for (const auto& [name, contents] : tree) {
    if (name.back() == '/') {
      fs::create_directories(root / fs::u8path(name));
    } else {
      fs::create_directories((root / fs::u8path(name)).parent_path());
      std::ofstream(root / fs::u8path(name), std::ios::binary) << contents;
    }
  }
}

// A symbolic link at `link` to the folder `target`: what anybody can lay
// on a stick. Under Wine it is a Unix symbolic link, made by the host's ln.
bool MakeFolderLink(const fs::path& link, const fs::path& target);

// Removes path and everything in it, links themselves and not what they name.
void RemoveWithLinks(const fs::path& path);

// An install of source's package into target (a drive such as "U:" or a
// folder on it) whose drive is a USB drive.
class InstallRig {
 public:
  explicit InstallRig(const std::wstring& driveLetter) {
    m_drives.AddDisk(L"USBSTOR\\DISK&VEN_X\\0123456789&0", L"D1", {{L"P1", {driveLetter}}});
  }

  bool Install(Platform::IFileSystem& files, const std::wstring& target, const std::wstring& workRoot,
               const CancelFlag& cancel, IInstallListener* listener = nullptr) {
    InstallBackend::PackageExtraction extraction(files);
    const InstallBackend::InstallParts parts{files, m_drives, source, source, extraction};
    return InstallBackend::Install(parts, target, workRoot, listener, cancel);
  }

  PackageSource source;

 private:
  FakeDriveInfoSource m_drives;
};

}  // namespace KorvaneTest
