#include "Installer/ScreenLogic/ProgressPosition.h"

#include "Installer/Engine/InstallListener.h"

long ProgressMessageParam(float fraction) { return static_cast<long>(fraction * 1000.0f); }

int ProgressBarPosition(int lastStatus, long messageParam) {
  const float half = static_cast<float>(messageParam) / 1000.0f * 50.0f;
  if (lastStatus == Downloading) return static_cast<int>(half);
  if (lastStatus == Extracting) return static_cast<int>(half + 50.0f);
  return 0;
}
