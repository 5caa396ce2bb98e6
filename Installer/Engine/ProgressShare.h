#pragma once
#include "Installer/Engine/InstallListener.h"

namespace InstallBackend {

// Hands one step's progress on as its share of the phase: the step's 0..1
// becomes from..from+span. Everything else passes through unchanged.
class ProgressShare final : public IInstallListener {
 public:
  ProgressShare(IInstallListener& to, float from, float span) : m_to(to), m_from(from), m_span(span) {}
  void OnStatus(int status) override { m_to.OnStatus(status); }
  void OnProgress(float fraction) override { m_to.OnProgress(m_from + fraction * m_span); }
  int GetErrorCode() override { return m_to.GetErrorCode(); }
  void SetErrorCode(int code) override { m_to.SetErrorCode(code); }
  void OnNetworkWait(NetworkWait what, int seconds) override { m_to.OnNetworkWait(what, seconds); }
  void OnDownloadBytes(std::uint64_t received, std::int64_t total) override { m_to.OnDownloadBytes(received, total); }
  void OnFiles(int done, int total) override { m_to.OnFiles(done, total); }

 private:
  IInstallListener& m_to;
  float m_from;
  float m_span;
};

}  // namespace InstallBackend
