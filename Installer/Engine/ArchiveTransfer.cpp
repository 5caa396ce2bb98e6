#include "Installer/Engine/ArchiveTransfer.h"

#include "Installer/Engine/InstallException.h"
#include "Installer/Engine/RequestTransfer.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {

void ArchiveTransfer::Create(Platform::IFileSystem& files, const std::wstring& path) {
  m_archive = files.CreateForWriting(path, Platform::kAttributeArchive);
  if (!m_archive) throw InstallException(L"InstallBackend::Download Failed to create a temp file");
}

bool ArchiveTransfer::Perform(Platform::HttpHandleOwner& request) {
  const int result = PerformRequest(&m_witness, m_progressReports, m_cancel, *m_archive, m_http, request.Get(),
                                    m_totalSize, m_bytesReceived, m_rangeOffset);
  if (result == 0) {
    LOG_ERROR << "InstallBackend::Download PerformRequest error: " << m_http.LastError();
  }
  request.Reset();
  return result == 1;
}

}  // namespace InstallBackend
