#pragma once
#include <vector>

#include "Installer/Engine/InstallListener.h"

namespace TestSupport {

// Keeps every call the engine makes, in order.
class RecordingListener : public IInstallListener {
 public:
  void OnStatus(int status) override { statuses.push_back(status); }
  void OnProgress(float fraction) override { fractions.push_back(fraction); }
  int GetErrorCode() override { return errorCode; }
  void SetErrorCode(int code) override { errorCode = code; }

  std::vector<int> statuses;
  std::vector<float> fractions;
  int errorCode = 0;
};

}  // namespace TestSupport
