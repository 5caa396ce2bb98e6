#pragma once
#include <cstdint>
#include <string>

#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// What the server said about the package: its length and, when it sends
// them, its validators. Two answers name the same package only when their
// lengths and validators agree.
struct PackageIdentity {
  std::int32_t length = -1;
  std::wstring etag;
  std::wstring lastModified;

  bool HasValidator() const { return !etag.empty() || !lastModified.empty(); }
  // The value for If-Range: a strong entity tag, else the date; empty when
  // neither can be used (a weak tag alone).
  std::wstring IfRange() const;
  bool operator==(const PackageIdentity& other) const {
    return length == other.length && etag == other.etag && lastModified == other.lastModified;
  }
};

// The package's identity from the headers of a response to request.
PackageIdentity IdentityOfResponse(Platform::IHttpClient& http, Platform::HttpHandle request,
                                   std::int32_t length);

// The record kept beside the archive, "Korvane.zip.identity" in the
// download folder: while it is there, the archive holds the first bytes of
// the package it names, and a later run may go on with them.
std::wstring IdentityPath(const std::wstring& workFolder);
// False when there is no record, or it cannot be read.
bool ReadKeptIdentity(Platform::IFileSystem& files, const std::wstring& workFolder, PackageIdentity& identity);
// Records identity, or removes the record when identity has no validator:
// without one, a later run could not tell a changed package of the same
// length from the one whose bytes it would go on with.
void RecordIdentity(Platform::IFileSystem& files, const std::wstring& workFolder, const PackageIdentity& identity);

// Removes the archive and its record.
void DiscardArchive(Platform::IFileSystem& files, const std::wstring& workFolder);
// After a failed download: keeps the archive for the next run when its
// record names the package, removes it otherwise.
void KeepArchiveIfResumable(Platform::IFileSystem& files, const std::wstring& workFolder);

}  // namespace InstallBackend
