#pragma once
#include <string>

#include "Platform/Ui/Window.h"

namespace Platform {

// A combo box bound to a template control. Indexes are the control's;
// CB_ERR (-1) means none.
class ComboBox : public Window {
 public:
  void ResetContent() const { SendMessage(CB_RESETCONTENT); }
  int AddString(const std::wstring& text) const;
  int InsertString(int index, const std::wstring& text) const;
  void SetItemData(int index, DWORD_PTR data) const;
  DWORD_PTR GetItemData(int index) const;
  void SetCurSel(int index) const { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
};

}  // namespace Platform
