#pragma once
// A modal dialog run from a dialog template resource of the program. The
// dialog has no owner window. DoModal creates it, binds the template's
// controls to member objects (DoDataExchange) during OnInitDialog, runs a
// message loop that offers every message to PreTranslateMessage, and returns
// the result given to EndDialog (IDOK, IDCANCEL), or -1 when the template
// cannot be created.
#include "Platform/Ui/Window.h"

namespace Platform {

class Dialog : public Window {
 public:
  // parent may be null: the dialog then has no owner.
  explicit Dialog(int templateId, HWND parent = nullptr);
  ~Dialog() override;

  int TemplateId() const { return m_templateId; }
  virtual INT_PTR DoModal();
  void EndDialog(int result);

  virtual BOOL PreTranslateMessage(MSG* message);

 protected:
  // Binds the controls and returns TRUE, so the first control that takes
  // the focus gets it.
  virtual BOOL OnInitDialog();
  // Binds template controls to member objects with BindControl.
  virtual void DoDataExchange() {}
  void BindControl(int id, Window& control);
  virtual void OnOK() { EndDialog(IDOK); }
  // The dialog keeps the font it was last given, so that WM_GETFONT
  // answers with it on every system.
  LRESULT OnSetFont(WPARAM font, LPARAM redraw);
  LRESULT OnGetFont(WPARAM, LPARAM);
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A handler threw: reported, and the dialog ends as cancelled, so that
  // whoever runs it goes no further.
  void OnUnhandledException() noexcept override;

  DECLARE_MESSAGE_MAP()

 private:
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  BOOL InitializeFromTemplate(HWND window);
  void CenterOnScreen() const;

  int m_templateId;
  HWND m_parent;
  INT_PTR m_result = -1;
  bool m_ended = false;
  HFONT m_font = nullptr;  // not owned
};

}  // namespace Platform
