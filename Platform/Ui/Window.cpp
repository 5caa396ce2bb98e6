#include "Platform/Ui/Window.h"

#include "Platform/Ui/UnhandledException.h"

namespace Platform {
namespace {

const wchar_t kObjectProperty[] = L"Korvane.Platform.Window";

const MessageMapEntry kNoEntries[] = {{0, 0, 0, nullptr}};

}  // namespace

Window::~Window() { Detach(); }

const MessageMap* Window::GetThisMessageMap() {
  static const MessageMap map = {nullptr, kNoEntries};
  return &map;
}

const MessageMap* Window::GetMessageMap() const { return GetThisMessageMap(); }

bool Window::Attach(HWND window) {
  if (!window || m_window || FromHandle(window)) return false;
  m_window = window;
  ::SetPropW(window, kObjectProperty, this);
  m_previousProcedure = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::SubclassProcedure)));
  return true;
}

void Window::Detach() {
  if (!m_window) return;
  if (::IsWindow(m_window)) {
    ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProcedure));
    ::RemovePropW(m_window, kObjectProperty);
  }
  m_window = nullptr;
  m_previousProcedure = nullptr;
}

Window* Window::FromHandle(HWND window) {
  return window ? static_cast<Window*>(::GetPropW(window, kObjectProperty)) : nullptr;
}

LRESULT CALLBACK Window::SubclassProcedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  Window* self = FromHandle(window);
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  const CurrentMessage outer = self->m_current;
  self->m_current = {message, wParam, lParam};
  LRESULT result = 0;
  try {
    result = self->WindowProcedure(message, wParam, lParam);
  } catch (...) {
    // An exception must not unwind through the system's frames.
    self->OnUnhandledException();
  }
  self->m_current = outer;
  if (message == WM_NCDESTROY) {
    self->Detach();
    self->OnDetached();
  }
  return result;
}

LRESULT Window::WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWITEM && lParam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    Window* control = FromHandle(item->hwndItem);
    LRESULT result = 0;
    if (control && control->OnChildNotify(message, wParam, lParam, &result)) return result;
  }
  if (MessageThunk handler = FindHandler(GetMessageMap(), message, wParam)) {
    return handler(*this, wParam, lParam);
  }
  return DefaultProcedure(message, wParam, lParam);
}

void Window::OnUnhandledException() noexcept {
  if (Window* parent = FromHandle(::GetParent(m_window))) {
    parent->OnUnhandledException();
    return;
  }
  ReportCurrentException("window procedure");
}

bool Window::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT Window::Default() {
  return DefaultProcedure(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT Window::DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_previousProcedure) {
    return ::CallWindowProcW(m_previousProcedure, m_window, message, wParam, lParam);
  }
  return ::DefWindowProcW(m_window, message, wParam, lParam);
}

LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_window, message, wParam, lParam);
}

HWND Window::GetDlgItem(int id) const { return ::GetDlgItem(m_window, id); }

HWND Window::GetParent() const { return ::GetParent(m_window); }

RECT Window::GetClientRect() const {
  RECT rect = {};
  ::GetClientRect(m_window, &rect);
  return rect;
}

RECT Window::GetWindowRect() const {
  RECT rect = {};
  ::GetWindowRect(m_window, &rect);
  return rect;
}

void Window::MoveWindow(int x, int y, int width, int height, bool repaint) const {
  ::MoveWindow(m_window, x, y, width, height, repaint ? TRUE : FALSE);
}

void Window::Invalidate(bool erase) const { ::InvalidateRect(m_window, nullptr, erase ? TRUE : FALSE); }

void Window::RedrawNow() const {
  ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void Window::ModifyStyleEx(DWORD remove, DWORD add) const {
  const LONG_PTR style = ::GetWindowLongPtrW(m_window, GWL_EXSTYLE);
  ::SetWindowLongPtrW(m_window, GWL_EXSTYLE, (style & ~static_cast<LONG_PTR>(remove)) | add);
}

void Window::SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_window, text); }

void Window::ShowWindow(int command) const { ::ShowWindow(m_window, command); }

void Window::EnableWindow(bool enable) const { ::EnableWindow(m_window, enable ? TRUE : FALSE); }

bool Window::IsWindowEnabled() const { return ::IsWindowEnabled(m_window) != FALSE; }

void Window::SetFont(HFONT font, bool redraw) const {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

HFONT Window::GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

}  // namespace Platform
