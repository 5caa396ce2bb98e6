#pragma once
// A window object: owns nothing but its binding to one window handle. Once
// attached (subclassed), the window's messages go through the object's
// message map; whatever the map does not handle, and whatever a handler
// passes on with Default(), reaches the window's own procedure.
#include <windows.h>

#include "Platform/Ui/MessageMap.h"

namespace Platform {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  static const MessageMap* GetThisMessageMap();

  HWND Handle() const { return m_window; }
  // Binds the object to an existing window and routes its messages here.
  // False when the handle is null or already bound.
  bool Attach(HWND window);
  // The object bound to a window, or null.
  static Window* FromHandle(HWND window);

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  HWND GetDlgItem(int id) const;
  HWND GetParent() const;
  RECT GetClientRect() const;
  RECT GetWindowRect() const;
  void MoveWindow(int x, int y, int width, int height, bool repaint = true) const;
  void Invalidate(bool erase = true) const;
  void RedrawNow() const;
  void ModifyStyleEx(DWORD remove, DWORD add) const;
  void SetWindowText(const wchar_t* text) const;
  void ShowWindow(int command) const;
  void EnableWindow(bool enable) const;
  bool IsWindowEnabled() const;
  void SetFont(HFONT font, bool redraw = true) const;
  HFONT GetFont() const;

  // A message the parent received about this control (owner drawing) and
  // hands to it; true when the control handled it.
  virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  virtual const MessageMap* GetMessageMap() const;
  // Dispatches one message: owner-draw reflection, the message map, default.
  virtual LRESULT WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's own processing of the message being handled.
  LRESULT Default();
  LRESULT DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam);
  // Called after the window got WM_NCDESTROY; the object lets go of it.
  virtual void OnDetached() {}
  // Called inside the catch block when a handler of this window threw: a
  // control hands the exception to the window object of its parent, a window
  // without one reports it. Must not throw.
  virtual void OnUnhandledException() noexcept;

 private:
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
  void Detach();

  HWND m_window = nullptr;
  WNDPROC m_previousProcedure = nullptr;
  CurrentMessage m_current = {};
};

}  // namespace Platform
