#include "Platform/Ui/Dialog.h"

#include "Platform/Ui/ResourceModule.h"
#include "Platform/Ui/UnhandledException.h"

namespace Platform {

BEGIN_MESSAGE_MAP(Dialog, Window)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
  ON_MESSAGE(WM_SETFONT, OnSetFont)
  ON_MESSAGE(WM_GETFONT, OnGetFont)
END_MESSAGE_MAP()

Dialog::Dialog(int templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

Dialog::~Dialog() {
  if (Handle() && ::IsWindow(Handle())) ::DestroyWindow(Handle());
}

INT_PTR Dialog::DialogProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  auto* dialog = reinterpret_cast<Dialog*>(lParam);
  try {
    return dialog->InitializeFromTemplate(window);
  } catch (...) {
    dialog->OnUnhandledException();
    return FALSE;
  }
}

BOOL Dialog::InitializeFromTemplate(HWND window) {
  Attach(window);
  const RECT before = GetWindowRect();
  const BOOL result = OnInitDialog();
  const RECT after = GetWindowRect();
  // A dialog whose initialisation left it where the template put it is
  // centred, as the system's own modal dialogs are.
  if (before.left == after.left && before.top == after.top) CenterOnScreen();
  return result;
}

void Dialog::CenterOnScreen() const {
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const RECT rect = GetWindowRect();
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int x = work.left + ((work.right - work.left) - width) / 2;
  const int y = work.top + ((work.bottom - work.top) - height) / 2;
  ::SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Dialog::OnSetFont(WPARAM font, LPARAM) {
  m_font = reinterpret_cast<HFONT>(font);
  return Default();
}

LRESULT Dialog::OnGetFont(WPARAM, LPARAM) {
  return m_font ? reinterpret_cast<LRESULT>(m_font) : Default();
}

BOOL Dialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

void Dialog::OnUnhandledException() noexcept {
  ReportCurrentException("dialog");
  EndDialog(IDCANCEL);
}

void Dialog::BindControl(int id, Window& control) { control.Attach(GetDlgItem(id)); }

INT_PTR Dialog::DoModal() {
  m_ended = false;
  m_result = -1;
  HWND window = ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), m_parent,
                                     &Dialog::DialogProcedure, reinterpret_cast<LPARAM>(this));
  if (!window) return -1;
  if (!m_ended) ::ShowWindow(window, SW_SHOWNORMAL);
  MSG message = {};
  while (!m_ended) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // Someone asked the thread to quit: end the dialog and let the
      // caller's loop see the request too.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (!PreTranslateMessage(&message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ::DestroyWindow(window);
  m_font = nullptr;
  return m_result;
}

void Dialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
  // Wakes the loop when the request came from outside a message handler.
  if (Handle()) ::PostMessageW(Handle(), WM_NULL, 0, 0);
}

BOOL Dialog::PreTranslateMessage(MSG* message) {
  // Only keyboard input needs the dialog manager (Tab, Enter, Esc); every
  // other message is dispatched as usual.
  if (message->message < WM_KEYFIRST || message->message > WM_KEYLAST) return FALSE;
  return ::IsDialogMessageW(Handle(), message);
}

}  // namespace Platform
