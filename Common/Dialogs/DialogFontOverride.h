#pragma once
// Makes a dialog's font and layout follow the display DPI: creates the
// template's own font at that DPI and lays the dialog and its controls out
// again from the template's dialog units with that font's metrics. Restore
// gives the previous font back and deletes the created one.
#include <windows.h>

#include "Common/DialogLayout/DialogTemplate.h"
#include "Platform/Ui/GdiObjects.h"

namespace NCommon {

class DialogFontOverride {
 public:
  DialogFontOverride() = default;
  DialogFontOverride(const DialogFontOverride&) = delete;
  DialogFontOverride& operator=(const DialogFontOverride&) = delete;

  // Horizontal logical pixels per inch of the window's (or the screen's) DC.
  void MeasureDpi(HWND window);
  // Measures the screen first when nothing was measured yet.
  int GetDpi();
  void Apply(HINSTANCE resourceModule, HWND dialog, int templateId);
  // Does nothing when nothing is applied.
  void Restore();

 private:
  bool LoadTemplate(DialogTemplate* parsed) const;
  HFONT CreateTemplateFont(const DialogTemplateFont& font);
  void MeasureFont(int* averageCharWidth, int* textHeight) const;
  void SizeDialog(const DialogTemplate& parsed, int averageCharWidth, int textHeight) const;
  // Calls place(window, item) for each item whose window the walk finds.
  template <typename Place>
  void WalkControls(const DialogTemplate& parsed, Place place) const;

  int m_dpi = -1;
  unsigned m_templateId = 0;
  HINSTANCE m_resourceModule = nullptr;
  HWND m_dialog = nullptr;
  Platform::Font m_font;
  HFONT m_previousFont = nullptr;  // not owned
};

}  // namespace NCommon
