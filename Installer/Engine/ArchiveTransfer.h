#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "Installer/Engine/ArchiveGrowth.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/ProgressWatch.h"
#include "Installer/Engine/RequestTransfer.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// Stands between the transfers and the install's listener (which may be
// null) to see every body byte as it arrives, so that the watch on progress
// learns of it then and not when its request ends: a long request that
// delivered and then failed still counts as the progress it was.
class ProgressWitness final : public IInstallListener {
 public:
  ProgressWitness(IInstallListener* inner, ProgressWatch& watch, const std::uint32_t& bytesReceived)
      : m_inner(inner), m_watch(watch), m_bytesReceived(bytesReceived), m_seen(bytesReceived) {}

  void OnStatus(int status) override {
    if (m_inner) m_inner->OnStatus(status);
  }
  void OnProgress(float fraction) override {
    if (m_bytesReceived != m_seen) m_watch.Progressed();
    m_seen = m_bytesReceived;
    if (m_inner) m_inner->OnProgress(fraction);
  }
  int GetErrorCode() override { return m_inner ? m_inner->GetErrorCode() : 0; }
  void SetErrorCode(int code) override {
    if (m_inner) m_inner->SetErrorCode(code);
  }
  void OnNetworkWait(NetworkWait what, int seconds) override {
    if (m_inner) m_inner->OnNetworkWait(what, seconds);
  }

 private:
  IInstallListener* m_inner;
  ProgressWatch& m_watch;
  const std::uint32_t& m_bytesReceived;
  std::uint32_t m_seen;
};

// The archive and the counters of one download call: every request that
// gets an answer appends its range.
class ArchiveTransfer {
 public:
  ArchiveTransfer(Platform::IHttpClient& http, IInstallListener* listener, const CancelFlag& cancel,
                  ProgressWatch& watch)
      : m_http(http), m_cancel(cancel), m_witness(listener, watch, m_bytesReceived) {}

  // Creates the archive at path; raises InstallException when it cannot.
  // growth, when not null, follows every write, and may read the file.
  void Create(Platform::IFileSystem& files, const std::wstring& path, IArchiveGrowth* growth);
  void Close() { m_archive.reset(); }
  bool Complete() const {
    return m_totalSize != -1 && m_rangeOffset >= static_cast<std::uint32_t>(m_totalSize);
  }
  std::int32_t TotalSize() const { return m_totalSize; }
  std::uint32_t RangeOffset() const { return m_rangeOffset; }
  // How the request ended; request is closed either way.
  RequestEnd Perform(Platform::HttpHandleOwner& request);

 private:
  Platform::IHttpClient& m_http;
  const CancelFlag& m_cancel;
  std::unique_ptr<Platform::WritableFile> m_archive;
  std::int32_t m_totalSize = -1;
  std::uint32_t m_rangeOffset = 0;
  std::uint32_t m_bytesReceived = 0;
  int m_progressReports = 0;
  ProgressWitness m_witness;
};

}  // namespace InstallBackend
