#include "Platform/Ui/ComboBox.h"

namespace Platform {

int ComboBox::AddString(const std::wstring& text) const {
  return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

int ComboBox::InsertString(int index, const std::wstring& text) const {
  return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.c_str())));
}

void ComboBox::SetItemData(int index, DWORD_PTR data) const {
  SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

DWORD_PTR ComboBox::GetItemData(int index) const {
  return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
}

}  // namespace Platform
