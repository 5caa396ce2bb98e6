// The font override on a real dialog made from a real screen template.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "Common/DialogLayout/DialogUnits.h"
#include "Common/Dialogs/AnimatedBitmapButton.h"
#include "Common/Dialogs/DialogFontOverride.h"
#include "Platform/Ui/Dialog.h"
#include "Platform/Ui/GdiObjects.h"
#include "resources/ScreenIds.h"

namespace NCommon {
namespace {

// Runs a test body while the real drive screen template is initialising,
// then closes the dialog.
class ProbeDialog : public Platform::Dialog {
 public:
  explicit ProbeDialog(std::function<void(HWND)> body)
      : Platform::Dialog(IDD_DRIVE_SCREEN), m_body(std::move(body)) {}

 protected:
  BOOL OnInitDialog() override {
    Platform::Dialog::OnInitDialog();
    m_body(Handle());
    EndDialog(IDOK);
    return TRUE;
  }

 private:
  std::function<void(HWND)> m_body;
};

class DialogFontOverrideTest : public ::testing::Test {
 protected:
  // Runs body(dialog) inside a real modal dialog.
  void WithDialog(const std::function<void()>& body) {
    ProbeDialog dialog([&](HWND window) {
      m_dialog = window;
      body();
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    m_dialog = nullptr;
  }

  HFONT FontOf(HWND window) const { return reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)); }
  HWND Item(int id) const { return ::GetDlgItem(m_dialog, id); }

  // The metrics the override lays out with, measured independently.
  void Metrics(HFONT font, int* averageCharWidth, int* textHeight) const {
    Platform::WindowDc dc(m_dialog);
    Platform::SelectedObject selected(dc.Get(), font);
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc.Get(), &metrics);
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc.Get(), L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &extent);
    *averageCharWidth = ((extent.cx / 26) + 1) / 2;
    *textHeight = metrics.tmHeight;
  }

  RECT ClientRectOf(int id) const {
    RECT rect = {};
    ::GetWindowRect(Item(id), &rect);
    ::MapWindowPoints(nullptr, m_dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  HWND m_dialog = nullptr;
};

TEST_F(DialogFontOverrideTest, ApplyGivesEveryControlTheDpiFontAndTheTemplateLayout) {
  WithDialog([&] {
    const HFONT systemFont = FontOf(m_dialog);
    DialogFontOverride override;
    override.MeasureDpi(m_dialog);
    override.Apply(::GetModuleHandleW(nullptr), m_dialog, IDD_DRIVE_SCREEN);

    const HFONT font = FontOf(m_dialog);
    ASSERT_NE(font, systemFont);
    LOGFONTW description = {};
    ::GetObjectW(font, sizeof(description), &description);
    EXPECT_EQ(description.lfHeight, FontHeightForDpi(8, override.GetDpi()));
    EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
    EXPECT_STREQ(description.lfFaceName, L"MS Shell Dlg");
    for (int id : {IDC_HELP_BUTTON, IDC_CLOSE_BUTTON, IDC_DRIVE_HEADING, IDC_INSTALL, IDC_REFRESH}) {
      EXPECT_EQ(FontOf(Item(id)), font) << id;
    }

    int aw = 0, th = 0;
    Metrics(font, &aw, &th);
    RECT client = {};
    ::GetClientRect(m_dialog, &client);
    EXPECT_EQ(client.right, HorizontalUnitsToPixels(186, aw));
    EXPECT_EQ(client.bottom, VerticalUnitsToPixels(106, th));
    const RECT install = ClientRectOf(IDC_INSTALL);
    EXPECT_EQ(install.left, HorizontalUnitsToPixels(94, aw));
    EXPECT_EQ(install.top, VerticalUnitsToPixels(79, th));
    EXPECT_EQ(install.right - install.left, HorizontalUnitsToPixels(82, aw));
    EXPECT_EQ(install.bottom - install.top, VerticalUnitsToPixels(20, th));
    const RECT help = ClientRectOf(IDC_HELP_BUTTON);  // hidden, laid out all the same
    EXPECT_EQ(help.left, HorizontalUnitsToPixels(154, aw));
    EXPECT_EQ(help.right - help.left, HorizontalUnitsToPixels(11, aw));
  });
}

TEST_F(DialogFontOverrideTest, RestoreGivesThePreviousFontBackAndDeletesItsOwn) {
  WithDialog([&] {
    const HFONT systemFont = FontOf(m_dialog);
    DialogFontOverride override;
    override.Apply(::GetModuleHandleW(nullptr), m_dialog, IDD_DRIVE_SCREEN);
    const HFONT first = FontOf(m_dialog);
    // A second Apply restores the first one before it creates its own font.
    override.Apply(::GetModuleHandleW(nullptr), m_dialog, IDD_DRIVE_SCREEN);
    const HFONT second = FontOf(m_dialog);
    EXPECT_EQ(::GetObjectType(first), 0u);
    EXPECT_EQ(FontOf(Item(IDC_INSTALL)), second);

    override.Restore();
    EXPECT_EQ(FontOf(m_dialog), systemFont);
    EXPECT_EQ(FontOf(Item(IDC_INSTALL)), systemFont);
    EXPECT_EQ(FontOf(Item(IDC_REFRESH)), systemFont);
    EXPECT_EQ(::GetObjectType(second), 0u);
    override.Restore();  // nothing applied: nothing happens
    EXPECT_EQ(FontOf(m_dialog), systemFont);
  });
}

TEST_F(DialogFontOverrideTest, MissingTemplateLeavesTheDialogAsItWas) {
  WithDialog([&] {
    const HFONT systemFont = FontOf(m_dialog);
    RECT before = {};
    ::GetWindowRect(m_dialog, &before);
    DialogFontOverride override;
    override.Apply(::GetModuleHandleW(nullptr), m_dialog, 4242);
    override.Restore();
    RECT after = {};
    ::GetWindowRect(m_dialog, &after);
    EXPECT_EQ(FontOf(m_dialog), systemFont);
    EXPECT_EQ(FontOf(Item(IDC_INSTALL)), systemFont);
    EXPECT_TRUE(::EqualRect(&before, &after));
  });
}

TEST_F(DialogFontOverrideTest, RestoreAfterTheDialogIsGoneOnlyDeletesTheFont) {
  DialogFontOverride override;
  HFONT font = nullptr;
  WithDialog([&] {
    override.Apply(::GetModuleHandleW(nullptr), m_dialog, IDD_DRIVE_SCREEN);
    font = FontOf(m_dialog);
  });
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(::GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  override.Restore();
  EXPECT_EQ(::GetObjectType(font), 0u);
}

TEST_F(DialogFontOverrideTest, ButtonsAreSizedToTheirImageTimesTheScale) {
  WithDialog([&] {
    AnimatedBitmapButton refresh;
    AnimatedBitmapButton install;
    ASSERT_TRUE(refresh.Attach(Item(IDC_REFRESH)));
    ASSERT_TRUE(install.Attach(Item(IDC_INSTALL)));
    refresh.m_scale = 1.25;
    install.m_scale = 1.25;
    ASSERT_TRUE(refresh.LoadBitmaps(IDB_REFRESH, IDB_REFRESH, IDB_REFRESH));
    ASSERT_TRUE(install.LoadBitmaps(IDB_ACCEPT_TILE));
    const RECT before = ClientRectOf(IDC_INSTALL);
    refresh.SizeToContent();
    install.SizeToContent();
    const RECT small = ClientRectOf(IDC_REFRESH);
    const RECT wide = ClientRectOf(IDC_INSTALL);
    EXPECT_EQ(small.right - small.left, 20);
    EXPECT_EQ(small.bottom - small.top, 20);
    EXPECT_EQ(wide.right - wide.left, 153);  // 152.5 + 0.5
    EXPECT_EQ(wide.bottom - wide.top, 38);   // 37.5 + 0.5
    EXPECT_EQ(wide.left, before.left);
    EXPECT_EQ(wide.top, before.top);
    // A missing normal image leaves the button without images.
    EXPECT_FALSE(install.LoadBitmaps(4242));
  });
}

}  // namespace
}  // namespace NCommon
