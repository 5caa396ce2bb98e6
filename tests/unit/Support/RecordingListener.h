#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "Installer/Engine/InstallListener.h"

namespace KorvaneTest {

// Keeps every call the engine makes, in order.
class RecordingListener final : public IInstallListener {
 public:
  void OnStatus(int status) override { statuses.push_back(status); }
  void OnProgress(float fraction) override { fractions.push_back(fraction); }
  int GetErrorCode() override { return code; }
  void SetErrorCode(int value) override {
    code = value;
    ++codesStored;
  }

  void OnNetworkWait(NetworkWait what, int seconds) override { waits.emplace_back(what, seconds); }
  void OnDownloadBytes(std::uint64_t received, std::int64_t total) override { bytes.emplace_back(received, total); }
  void OnFiles(int done, int total) override { files.emplace_back(done, total); }

  std::vector<int> statuses;
  std::vector<std::pair<NetworkWait, int>> waits;
  std::vector<std::pair<std::uint64_t, std::int64_t>> bytes;
  std::vector<std::pair<int, int>> files;
  std::vector<float> fractions;
  int code = 0;
  int codesStored = 0;
};

}  // namespace KorvaneTest
