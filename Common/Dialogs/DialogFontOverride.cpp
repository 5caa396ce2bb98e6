#include "Common/Dialogs/DialogFontOverride.h"

#include "Common/DialogLayout/DialogUnits.h"
#include "Platform/Ui/GdiObjects.h"

namespace NCommon {
namespace {

const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

void GiveFont(HWND window, HFONT font) {
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace

void DialogFontOverride::MeasureDpi(HWND window) {
  Platform::WindowDc dc(window);
  m_dpi = ::GetDeviceCaps(dc.Get(), LOGPIXELSX);
}

int DialogFontOverride::GetDpi() {
  if (m_dpi < 0) MeasureDpi(nullptr);
  return m_dpi;
}

bool DialogFontOverride::LoadTemplate(DialogTemplate* parsed) const {
  HRSRC found = ::FindResourceW(m_resourceModule, MAKEINTRESOURCEW(m_templateId), RT_DIALOG);
  if (!found) return false;
  HGLOBAL loaded = ::LoadResource(m_resourceModule, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return false;
  return ParseDialogTemplate(static_cast<const std::uint8_t*>(data),
                             ::SizeofResource(m_resourceModule, found), parsed);
}

HFONT DialogFontOverride::CreateTemplateFont(const DialogTemplateFont& font) {
  return ::CreateFontW(FontHeightForDpi(font.pointSize, GetDpi()), 0, 0, 0, font.weight,
                       font.italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                       font.face.c_str());
}

void DialogFontOverride::Apply(HINSTANCE resourceModule, HWND dialog, int templateId) {
  if (m_dialog) Restore();
  m_dialog = dialog;
  m_resourceModule = resourceModule;
  m_templateId = static_cast<unsigned>(templateId) & 0xFFFF;
  DialogTemplate parsed;
  if (!LoadTemplate(&parsed)) {
    // Nothing applied: a later Restore must not hand the dialog a null font.
    m_dialog = nullptr;
    return;
  }
  m_font.Reset(CreateTemplateFont(parsed.font));
  m_previousFont = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
  GiveFont(dialog, m_font.Get());
  int averageCharWidth = 0, textHeight = 0;
  MeasureFont(&averageCharWidth, &textHeight);
  SizeDialog(parsed, averageCharWidth, textHeight);
  WalkControls(parsed, [&](HWND control, const DialogTemplateItem& item) {
    ::MoveWindow(control, HorizontalUnitsToPixels(item.x, averageCharWidth),
                 VerticalUnitsToPixels(item.y, textHeight),
                 HorizontalUnitsToPixels(item.width, averageCharWidth),
                 VerticalUnitsToPixels(item.height, textHeight), TRUE);
    GiveFont(control, m_font.Get());
  });
}

void DialogFontOverride::MeasureFont(int* averageCharWidth, int* textHeight) const {
  Platform::PaintDc dc(m_dialog);
  Platform::SelectedObject selected(dc.Get(), m_font.Get());
  TEXTMETRICW metrics = {};
  ::GetTextMetricsW(dc.Get(), &metrics);
  SIZE extent = {};
  ::GetTextExtentPoint32W(dc.Get(), kLetters, 52, &extent);
  *textHeight = metrics.tmHeight;
  *averageCharWidth = AverageCharWidth(extent.cx);
}

void DialogFontOverride::SizeDialog(const DialogTemplate& parsed, int averageCharWidth,
                                    int textHeight) const {
  RECT rect = {};
  ::GetClientRect(m_dialog, &rect);
  rect.right = rect.left + HorizontalUnitsToPixels(parsed.width, averageCharWidth);
  rect.bottom = rect.top + VerticalUnitsToPixels(parsed.height, textHeight);
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ::ClientToScreen(m_dialog, &corners[0]);
  ::ClientToScreen(m_dialog, &corners[1]);
  rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  ::AdjustWindowRectEx(&rect, parsed.style, parsed.hasMenu ? TRUE : FALSE, parsed.extendedStyle);
  ::MoveWindow(m_dialog, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

template <typename Place>
void DialogFontOverride::WalkControls(const DialogTemplate& parsed, Place place) const {
  HWND next = ::GetWindow(m_dialog, GW_CHILD);
  for (const DialogTemplateItem& item : parsed.items) {
    HWND control = next;
    while (control && static_cast<unsigned>(::GetDlgCtrlID(control)) != (item.id & 0xFFFF)) {
      control = ::GetWindow(control, GW_HWNDNEXT);
    }
    if (!control) return;
    place(control, item);
    next = ::GetWindow(control, GW_HWNDNEXT);
  }
}

void DialogFontOverride::Restore() {
  if (!m_dialog) return;
  GiveFont(m_dialog, m_previousFont);
  DialogTemplate parsed;
  if (LoadTemplate(&parsed)) {
    WalkControls(parsed, [&](HWND control, const DialogTemplateItem&) { GiveFont(control, m_previousFont); });
  }
  m_font.Reset();
  m_dialog = nullptr;
  m_previousFont = nullptr;
}

}  // namespace NCommon
