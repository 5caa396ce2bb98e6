#include "Platform/Ui/ToolTip.h"

#include <commctrl.h>

#include "Platform/Ui/ResourceModule.h"

namespace Platform {

bool ToolTip::Create(HWND owner, DWORD style) {
  HWND window = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                  ResourceModule(), nullptr);
  return window && Attach(window);
}

void ToolTip::RelayEvent(MSG* message) const {
  if (Handle()) SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}

}  // namespace Platform
