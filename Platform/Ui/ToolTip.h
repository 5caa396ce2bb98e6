#pragma once
#include "Platform/Ui/Window.h"

namespace Platform {

// A tooltip control owned by a window; destroyed with its owner.
class ToolTip : public Window {
 public:
  bool Create(HWND owner, DWORD style);
  // Hands a message to the tooltip so it can see mouse movement over tools.
  void RelayEvent(MSG* message) const;
};

}  // namespace Platform
