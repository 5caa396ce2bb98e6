#pragma once
// The bar's progress on the window's taskbar button, so that a user who
// switched to another window still sees how far the install is. Where the
// system has no taskbar list (systems before Windows 7), every call does
// nothing, and a call the list refuses is let go: the button is a
// convenience, never a reason to fail.
#include <windows.h>
#include <shobjidl.h>

#include "Platform/Win32/ComPtr.h"

namespace Platform {

class TaskbarProgress {
 public:
  // Asks the system for its taskbar list.
  explicit TaskbarProgress(HWND window);
  // Uses the given list; an empty one does nothing.
  TaskbarProgress(HWND window, ComPtr<ITaskbarList3> list);

  // Normal state at position out of range.
  void Show(int position, int range);
  // The error state, at the last position shown.
  void ShowFailed();
  // No progress on the button any more.
  void Clear();

 private:
  HWND m_window;
  ComPtr<ITaskbarList3> m_list;
};

}  // namespace Platform
