#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "Installer/Engine/ArchiveGrowth.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/KeptArchive.h"
#include "Installer/Engine/ProgressWatch.h"
#include "Installer/Engine/RequestTransfer.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// Stands between the transfers and the install's listener (which may be
// null) to see every body byte as it arrives, so that the watch on progress
// learns of it then and not when its request ends: a long request that
// delivered and then failed still counts as the progress it was. The
// listener hears the byte counts at the same moments.
class ProgressWitness final : public IInstallListener {
 public:
  ProgressWitness(IInstallListener* inner, ProgressWatch& watch, const std::uint32_t& bytesReceived,
                  const std::int32_t& totalSize)
      : m_inner(inner), m_watch(watch), m_bytesReceived(bytesReceived), m_totalSize(totalSize),
        m_seen(bytesReceived) {}

  void OnStatus(int status) override {
    if (m_inner) m_inner->OnStatus(status);
  }
  void OnProgress(float fraction) override {
    if (m_bytesReceived != m_seen) m_watch.Progressed();
    m_seen = m_bytesReceived;
    if (!m_inner) return;
    m_inner->OnProgress(fraction);
    m_inner->OnDownloadBytes(m_bytesReceived, m_totalSize);
  }
  int GetErrorCode() override { return m_inner ? m_inner->GetErrorCode() : 0; }
  void SetErrorCode(int code) override {
    if (m_inner) m_inner->SetErrorCode(code);
  }
  void OnNetworkWait(NetworkWait what, int seconds) override {
    if (m_inner) m_inner->OnNetworkWait(what, seconds);
  }
  void OnDownloadBytes(std::uint64_t received, std::int64_t total) override {
    if (m_inner) m_inner->OnDownloadBytes(received, total);
  }
  void OnFiles(int done, int total) override {
    if (m_inner) m_inner->OnFiles(done, total);
  }

 private:
  IInstallListener* m_inner;
  ProgressWatch& m_watch;
  const std::uint32_t& m_bytesReceived;
  const std::int32_t& m_totalSize;
  std::uint32_t m_seen;
};

// The archive and the counters of one download call: every request that
// gets an answer appends its range. An archive an earlier run kept is gone
// on with when the server names the same package, and started anew when it
// names another.
class ArchiveTransfer {
 public:
  ArchiveTransfer(Platform::IHttpClient& http, IInstallListener* listener, const CancelFlag& cancel,
                  ProgressWatch& watch)
      : m_http(http), m_cancel(cancel), m_watch(watch), m_witness(listener, watch, m_bytesReceived, m_totalSize) {}

  // Makes the archive in workFolder, or, when an earlier run kept one
  // there, waits for the size probe to decide; raises InstallException when
  // it cannot be made. growth, when not null, follows every write, and may
  // read the file.
  void Create(Platform::IFileSystem& files, const std::wstring& workFolder, IArchiveGrowth* growth);
  void Close() { m_archive.reset(); }
  bool Complete() const {
    return m_totalSize != -1 && m_rangeOffset >= static_cast<std::uint32_t>(m_totalSize);
  }
  std::int32_t TotalSize() const { return m_totalSize; }
  std::uint32_t RangeOffset() const { return m_rangeOffset; }
  // How the request ended; request is closed either way.
  RequestEnd Perform(Platform::HttpHandleOwner& request);

 private:
  // Opens the archive anew, or at its end when `kept` of its bytes stay;
  // false when it could only be opened anew.
  bool Open(std::uint64_t kept);
  // The size probe's answer named the package: goes on with a kept archive
  // or starts anew, and records what the archive will hold.
  void PackageNamed(Platform::HttpHandle request);
  void AddIfRange(Platform::HttpHandle request);

  Platform::IHttpClient& m_http;
  const CancelFlag& m_cancel;
  const ProgressWatch& m_watch;
  Platform::IFileSystem* m_files = nullptr;
  std::wstring m_workFolder;
  IArchiveGrowth* m_growth = nullptr;
  std::unique_ptr<Platform::WritableFile> m_archive;
  PackageIdentity m_kept;         // what an earlier run's archive holds
  std::uint64_t m_keptBytes = 0;  // its length; 0 when there is none
  std::wstring m_ifRange;         // sent with every range once the kept bytes are gone on with
  std::int32_t m_totalSize = -1;
  std::uint32_t m_rangeOffset = 0;
  std::uint32_t m_bytesReceived = 0;
  int m_progressReports = 0;
  ProgressWitness m_witness;
};

}  // namespace InstallBackend
