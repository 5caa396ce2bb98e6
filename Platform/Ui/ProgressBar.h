#pragma once
#include <windows.h>
#include <commctrl.h>

#include "Platform/Ui/Window.h"

namespace Platform {

// A common-controls progress bar bound to a template control.
class ProgressBar : public Window {
 public:
  void SetRange(int lower, int upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
  void SetPos(int position) const { SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)); }
};

}  // namespace Platform
