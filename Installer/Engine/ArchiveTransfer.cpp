#include "Installer/Engine/ArchiveTransfer.h"

#include "Installer/Engine/InstallException.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

// The archive as the download writes it, telling whoever follows it how
// far it reaches after every write that went through.
class FollowedFile final : public Platform::WritableFile {
 public:
  FollowedFile(std::unique_ptr<Platform::WritableFile> file, IArchiveGrowth& growth)
      : m_file(std::move(file)), m_growth(growth) {}
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
  std::uint64_t m_length = 0;
};

}  // namespace

void ArchiveTransfer::Create(Platform::IFileSystem& files, const std::wstring& path, IArchiveGrowth* growth) {
  m_archive = growth ? files.CreateReadableWhileWritten(path, Platform::kAttributeArchive)
                     : files.CreateForWriting(path, Platform::kAttributeArchive);
  if (!m_archive) throw InstallException(L"InstallBackend::Download Failed to create a temp file");
  if (growth) m_archive = std::make_unique<FollowedFile>(std::move(m_archive), *growth);
}

RequestEnd ArchiveTransfer::Perform(Platform::HttpHandleOwner& request) {
  const RequestEnd end = PerformRequest(&m_witness, m_progressReports, m_cancel, *m_archive, m_http, request.Get(),
                                        m_totalSize, m_bytesReceived, m_rangeOffset);
  if (end.kind == RequestEnd::Cancelled) {
    LOG_ERROR << "InstallBackend::Download PerformRequest error: " << m_http.LastError();
  }
  request.Reset();
  return end;
}

}  // namespace InstallBackend
