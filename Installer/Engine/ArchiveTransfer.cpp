#include "Installer/Engine/ArchiveTransfer.h"

#include "Installer/Engine/Download.h"
#include "Installer/Engine/InstallException.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

// The archive as the download writes it, telling whoever follows it how
// far it reaches after every write that went through.
class FollowedFile final : public Platform::WritableFile {
 public:
  FollowedFile(std::unique_ptr<Platform::WritableFile> file, IArchiveGrowth& growth, std::uint64_t length)
      : m_file(std::move(file)), m_growth(growth), m_length(length) {}
  bool Write(const void* data, std::size_t size) override {
    if (!m_file->Write(data, size)) return false;
    m_length += size;
    m_growth.ArchiveWritten(m_length);
    return true;
  }
  bool SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t modification) override {
    return m_file->SetTimes(creation, access, modification);
  }
  bool Flush() override { return m_file->Flush(); }

 private:
  std::unique_ptr<Platform::WritableFile> m_file;
  IArchiveGrowth& m_growth;
  std::uint64_t m_length;
};

// Where the archive is not open yet: the size probe writes nothing.
class Unopened final : public Platform::WritableFile {
 public:
  bool Write(const void*, std::size_t) override { return false; }
  bool SetTimes(std::uint64_t, std::uint64_t, std::uint64_t) override { return false; }
  bool Flush() override { return false; }
};

}  // namespace

void ArchiveTransfer::Create(Platform::IFileSystem& files, const std::wstring& workFolder, IArchiveGrowth* growth) {
  m_files = &files;
  m_workFolder = workFolder;
  m_growth = growth;
  if (ReadKeptIdentity(files, workFolder, m_kept) && files.GetFileSize(workFolder + ArchiveFileName, m_keptBytes) &&
      m_keptBytes > 0) {
    return;
  }
  m_keptBytes = 0;
  Open(0);
}

bool ArchiveTransfer::Open(std::uint64_t kept) {
  const std::wstring path = m_workFolder + ArchiveFileName;
  if (kept > 0) m_archive = m_files->OpenForAppending(path);
  if (!m_archive) {
    kept = 0;
    m_archive = m_growth ? m_files->CreateReadableWhileWritten(path, Platform::kAttributeArchive)
                         : m_files->CreateForWriting(path, Platform::kAttributeArchive);
  }
  if (!m_archive) throw InstallException(L"InstallBackend::Download Failed to create a temp file");
  if (m_growth) {
    m_archive = std::make_unique<FollowedFile>(std::move(m_archive), *m_growth, kept);
    if (kept > 0) m_growth->ArchiveWritten(kept);
  }
  return kept > 0;
}

// The record is written before the first byte of a range, so that it
// names what the archive holds at every moment, also when the process is
// ended mid-download.
void ArchiveTransfer::PackageNamed(Platform::HttpHandle request) {
  const PackageIdentity named = IdentityOfResponse(m_http, request, m_totalSize);
  if (!m_archive) {
    const bool same = named == m_kept && m_keptBytes <= static_cast<std::uint64_t>(m_totalSize);
    if (!same) LOG_INFO << "InstallBackend::Download the package changed since the earlier run; starting over";
    if (Open(same ? m_keptBytes : 0)) {
      m_rangeOffset = m_bytesReceived = static_cast<std::uint32_t>(m_keptBytes);
      m_ifRange = named.IfRange();
      LOG_INFO << "InstallBackend::Download resuming the download of an earlier run at byte " << m_rangeOffset
               << " of " << m_totalSize;
    }
  }
  RecordIdentity(*m_files, m_workFolder, named);
}

// A package replaced since it was named answers the whole of it instead
// of the range, which the transfer refuses: nothing of two packages mixes.
void ArchiveTransfer::AddIfRange(Platform::HttpHandle request) {
  if (m_ifRange.empty() || m_totalSize <= 0) return;
  if (!m_http.AddRequestHeaders(request, L"If-Range: " + m_ifRange, Platform::HttpConstants::AddRequestFlagAdd)) {
    LOG_ERROR << "InstallBackend::PerformRequest WinHttpAddRequestHeaders error: " << m_http.LastError();
    throw InstallException(L"InstallBackend::PerformRequest WinHttpAddRequestHeaders failed");
  }
}

RequestEnd ArchiveTransfer::Perform(Platform::HttpHandleOwner& request) {
  AddIfRange(request.Get());
  const bool probe = m_totalSize == -1;
  Unopened unopened;
  RequestEnd end{RequestEnd::Done};
  try {
    end = PerformRequest(&m_witness, m_progressReports, m_cancel, m_archive ? *m_archive : unopened, m_http,
                         request.Get(), m_totalSize, m_bytesReceived, m_rangeOffset, m_watch.Now());
  } catch (const InstallException&) {
    // A server whose answers the transfer refused (a range answered from the
    // package's first byte, a size that does not fit) would be refused
    // again: the next run starts anew instead of going on with this archive.
    m_files->RemoveFile(IdentityPath(m_workFolder));
    throw;
  }
  if (probe && m_totalSize != -1) {
    PackageNamed(request.Get());
    if (m_growth) m_growth->ArchiveSizeKnown(static_cast<std::uint64_t>(m_totalSize));
  }
  // A cancel is the user's choice, not an error: the request logged it.
  request.Reset();
  return end;
}

}  // namespace InstallBackend
