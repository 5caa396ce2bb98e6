#include "Installer/Engine/KeptArchive.h"

#include <string>
#include <vector>

#include "Installer/Engine/Download.h"
#include "Platform/Text/TextConversion.h"

namespace InstallBackend {
namespace {

const wchar_t kIdentitySuffix[] = L".identity";
// A record is a few lines; anything longer is not ours.
constexpr std::size_t kLongestRecord = 4096;

std::wstring Header(Platform::IHttpClient& http, Platform::HttpHandle request, const wchar_t* name) {
  std::wstring value;
  return http.QueryHeaderText(request, name, value) ? value : std::wstring();
}

// "length=N", "etag=...", "last-modified=..." on lines of their own.
std::string Serialised(const PackageIdentity& identity) {
  return "length=" + std::to_string(identity.length) + "\netag=" + Platform::Utf16ToUtf8(identity.etag) +
         "\nlast-modified=" + Platform::Utf16ToUtf8(identity.lastModified) + "\n";
}

// A length of at most ten digits that fits the signed size.
bool ParseLength(const std::string& value, std::int32_t& length) {
  if (value.empty() || value.size() > 10 || value.find_first_not_of("0123456789") != std::string::npos) return false;
  const long long parsed = std::stoll(value);
  if (parsed > 0x7fffffffLL) return false;
  length = static_cast<std::int32_t>(parsed);
  return true;
}

bool Parse(const std::string& text, PackageIdentity& identity) {
  bool lengthSeen = false;
  for (std::size_t start = 0, end = 0; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    const std::size_t equals = text.find('=', start);
    if (end == std::string::npos || equals == std::string::npos || equals > end) return false;
    const std::string key = text.substr(start, equals - start);
    const std::string value = text.substr(equals + 1, end - equals - 1);
    if (key == "length") {
      if (!ParseLength(value, identity.length)) return false;
      lengthSeen = true;
    } else if (key == "etag") {
      identity.etag = Platform::Utf8ToUtf16(value);
    } else if (key == "last-modified") {
      identity.lastModified = Platform::Utf8ToUtf16(value);
    }
  }
  return lengthSeen;
}

}  // namespace

std::wstring PackageIdentity::IfRange() const {
  const bool weak = etag.compare(0, 2, L"W/") == 0;
  if (!etag.empty() && !weak) return etag;
  return lastModified;
}

PackageIdentity IdentityOfResponse(Platform::IHttpClient& http, Platform::HttpHandle request,
                                   std::int32_t length) {
  PackageIdentity identity;
  identity.length = length;
  identity.etag = Header(http, request, L"ETag");
  identity.lastModified = Header(http, request, L"Last-Modified");
  return identity;
}

std::wstring IdentityPath(const std::wstring& workFolder) { return workFolder + ArchiveFileName + kIdentitySuffix; }

bool ReadKeptIdentity(Platform::IFileSystem& files, const std::wstring& workFolder, PackageIdentity& identity) {
  auto file = files.OpenForReading(IdentityPath(workFolder));
  std::uint64_t length = 0;
  if (!file || !file->Length(length) || length > kLongestRecord) return false;
  std::string text(static_cast<std::size_t>(length), '\0');
  if (file->ReadAt(0, text.data(), text.size()) != static_cast<std::int64_t>(text.size())) return false;
  return Parse(text, identity) && identity.HasValidator();
}

void RecordIdentity(Platform::IFileSystem& files, const std::wstring& workFolder, const PackageIdentity& identity) {
  if (!identity.HasValidator()) {
    files.RemoveFile(IdentityPath(workFolder));
    return;
  }
  auto file = files.CreateForWriting(IdentityPath(workFolder), Platform::kAttributeArchive);
  const std::string text = Serialised(identity);
  // A record that is not whole would name no package: it goes.
  if (!file || !file->Write(text.data(), text.size())) {
    file.reset();
    files.RemoveFile(IdentityPath(workFolder));
  }
}

void DiscardArchive(Platform::IFileSystem& files, const std::wstring& workFolder) {
  files.RemoveFile(IdentityPath(workFolder));
  files.RemoveFile(workFolder + ArchiveFileName);
}

void KeepArchiveIfResumable(Platform::IFileSystem& files, const std::wstring& workFolder) {
  PackageIdentity identity;
  std::uint64_t kept = 0;
  if (ReadKeptIdentity(files, workFolder, identity) && files.GetFileSize(workFolder + ArchiveFileName, kept) &&
      kept > 0) {
    return;
  }
  DiscardArchive(files, workFolder);
}

}  // namespace InstallBackend
