#pragma once
// Which of the engine's reports the progress screen is sent. The engine may
// report progress once per read, thousands of times per install; a busy
// screen thread would then find its queue filling with messages that change
// nothing. Only a report that moves the bar is passed on, so an install
// sends at most one message per bar position and phase.
#include <functional>

#include "Installer/Engine/InstallListener.h"

class ProgressReports {
 public:
  // Every status starts a phase; the bar's position is unknown until the
  // phase's first report.
  void StartPhase(int status);
  // True when a progress message with this lParam would move the bar.
  bool Moves(long messageParam);

 private:
  int m_status = -1;
  int m_position = -1;
};

// Delivers a message whose loss would leave the screen waiting for ever (the
// install's final status): post is tried again, pause between tries, until
// it succeeds, the user cancels or tries run out. Returns whether it got
// through.
bool DeliverFinal(const std::function<bool()>& post, const std::function<void()>& pause, const CancelFlag& cancel,
                  int tries);
