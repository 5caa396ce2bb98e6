#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "Installer/Engine/ArchiveGrowth.h"
#include "Installer/Engine/InstallListener.h"
#include "Installer/Engine/ProgressWatch.h"
#include "Installer/Engine/RetryPause.h"
#include "Platform/Files/FileSystem.h"
#include "Platform/Http/HttpClient.h"

namespace InstallBackend {

// The package's path on the download server.
extern const wchar_t* const PackagePath;
// The archive's file name in the download folder.
extern const wchar_t* const ArchiveFileName;

struct DownloadEndpoint {
  std::wstring host;
  std::uint16_t port;
};

// The server compiled into this build.
DownloadEndpoint CompiledInServer();

// Fetches the package into workFolder + "Korvane.zip" (workFolder ends with a
// backslash): a size probe, then one Range request of up to 4 MiB per cycle,
// each on the connection the cycle before left open, a new one only after
// a stall, a failed connection or a change of route. Every request
// is tried with the user's proxy settings and, when that attempt cannot be
// set up, through a proxy found by discovery; proxyOnly (the install's
// retries) skips the first attempt. Sends Downloading and then progress to
// listener (which may be null); stops at the next check once cancel is set,
// and within a fraction of a second when it is set during a call or a pause
// that waits on the network. A request that sees no byte for kStallWindow,
// or whose connection fails, ends and the next one resumes at the first
// missing byte on a new connection, after a pause that grows with the
// failures in a row (listener hears of both waits). A route whose requests
// stall or break off kDeadRouteRequests times in a row is left for the
// next route of the plan; with none left, and when no byte of the package
// has come for kNoProgressLimit over all calls of this object, the call
// raises the same failure as a request that cannot be sent.
//
// growth, when not null, is told after every write how far the archive
// reaches, and the archive may be read meanwhile.
//
// An archive that an earlier call left in workFolder with its record
// (Installer/Engine/KeptArchive.h) is gone on with from its end, asking for
// the rest with If-Range, when the size probe names the same package; it
// is started anew otherwise. Every call records what its archive holds.
//
// Returns the archive path when the last chunk has arrived and also after a
// cancel (the archive is then incomplete). Raises InstallException with the
// failure's text otherwise; the archive file is left on disk in every case
// and the caller keeps it for a later call or deletes it.
class IPackageDownload {
 public:
  virtual std::wstring Download(const std::wstring& workFolder, IInstallListener* listener,
                                const CancelFlag& cancel, bool proxyOnly, IArchiveGrowth* growth) = 0;

 protected:
  ~IPackageDownload() = default;
};

// The download over an HTTP client from one server, written through a file
// system. One object serves one install: its calls share the watch on
// progress.
class PackageDownload final : public IPackageDownload {
 public:
  PackageDownload(Platform::IHttpClient& http, Platform::IFileSystem& files, DownloadEndpoint server,
                  ProgressWatch watch = ProgressWatch(), RetryPause pause = SleepingPause())
      : m_http(http), m_files(files), m_server(std::move(server)), m_watch(std::move(watch)),
        m_pause(std::move(pause)) {}
  std::wstring Download(const std::wstring& workFolder, IInstallListener* listener, const CancelFlag& cancel,
                        bool proxyOnly, IArchiveGrowth* growth) override;

 private:
  Platform::IHttpClient& m_http;
  Platform::IFileSystem& m_files;
  DownloadEndpoint m_server;
  ProgressWatch m_watch;
  RetryPause m_pause;
};

}  // namespace InstallBackend
