#include "Installer/ScreenLogic/ProgressReports.h"

#include "Installer/ScreenLogic/ProgressPosition.h"

void ProgressReports::StartPhase(int status) {
  m_status = status;
  m_position = -1;
}

bool ProgressReports::Moves(long messageParam) {
  const int position = ProgressBarPosition(m_status, messageParam);
  if (position == m_position) return false;
  m_position = position;
  return true;
}

bool DeliverFinal(const std::function<bool()>& post, const std::function<void()>& pause, const CancelFlag& cancel,
                  int tries) {
  for (int attempt = 0; attempt < tries; ++attempt) {
    if (post()) return true;
    // Once the user closes the screen nobody reads the status any more, and
    // the close path is waiting for this thread.
    if (cancel.IsSet()) return false;
    pause();
  }
  return false;
}
