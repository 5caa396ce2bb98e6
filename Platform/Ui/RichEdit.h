#pragma once
#include <windows.h>
#include <richedit.h>

#include "Platform/Ui/Window.h"

namespace Platform {

// A RichEdit 2.0 control bound to a template control. The RichEdit20W class
// must have been registered (Platform::InitRichEdit) before the dialog is made.
class RichEdit : public Window {
 public:
  // EM_STREAMIN; returns the number of characters read.
  LRESULT StreamIn(int format, EDITSTREAM& stream) const {
    return SendMessage(EM_STREAMIN, static_cast<WPARAM>(format), reinterpret_cast<LPARAM>(&stream));
  }
  // The most characters the control takes; 32,767 until told otherwise.
  void SetTextLimit(LPARAM characters) const { SendMessage(EM_EXLIMITTEXT, 0, characters); }
  void SetWordWrapMode(WPARAM options) const { SendMessage(EM_SETWORDWRAPMODE, options); }
};

}  // namespace Platform
