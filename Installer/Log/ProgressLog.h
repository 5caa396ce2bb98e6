#pragma once
// The install without screens tells its progress to the log, where a
// scripted deployment watches it: the package's bytes, speed and time
// left, then the files, at most one line every few seconds. The waits on
// the network are logged by the download itself.
#include <chrono>
#include <functional>

#include "Installer/Engine/InstallListener.h"
#include "Installer/ScreenLogic/DetailMeter.h"

class ProgressLog final : public IInstallListener {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit ProgressLog(Clock now = [] { return std::chrono::steady_clock::now(); });

  void OnStatus(int status) override;
  void OnProgress(float) override {}
  int GetErrorCode() override { return m_errorCode; }
  void SetErrorCode(int code) override { m_errorCode = code; }
  void OnNetworkWait(NetworkWait what, int seconds) override;
  void OnDownloadBytes(std::uint64_t received, std::int64_t total) override;
  void OnFiles(int done, int total) override;

 private:
  void Write(const std::optional<ProgressDetail>& detail, const char* exact);

  Clock m_now;
  DetailMeter m_meter;
  int m_errorCode = 0;
};
