#pragma once
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

  std::vector<int> statuses;
  std::vector<float> fractions;
  int code = 0;
  int codesStored = 0;
};

}  // namespace KorvaneTest
