// An exception thrown by a message handler never crosses the system's
// frames: it is reported, and a dialog it happens in ends as cancelled.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/Ui/Dialog.h"
#include "Platform/Ui/UnhandledException.h"
#include "resources/ScreenIds.h"

namespace {

constexpr UINT kPoke = WM_APP + 5;

std::vector<std::string> g_reports;

void Record(const char* where, const char* what) { g_reports.push_back(std::string(where) + ": " + what); }

class Reports : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reports.clear();
    Platform::SetExceptionReporter(&Record);
  }
  void TearDown() override { Platform::SetExceptionReporter(nullptr); }
};

class ThrowingWindow : public Platform::Window {
 private:
  LRESULT OnPoke(WPARAM, LPARAM) { throw std::runtime_error("poke failed"); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ThrowingWindow, Platform::Window)
  ON_MESSAGE(kPoke, OnPoke)
END_MESSAGE_MAP()

TEST_F(Reports, WindowOutlivesItsHandlersException) {
  HWND handle = ::CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(handle, nullptr);
  {
    ThrowingWindow window;
    ASSERT_TRUE(window.Attach(handle));
    EXPECT_EQ(::SendMessageW(handle, kPoke, 0, 0), 0);
    EXPECT_EQ(g_reports, std::vector<std::string>{"window procedure: poke failed"});
    // The window goes on working.
    ::SetWindowTextW(handle, L"after");
    wchar_t text[16] = {};
    ::GetWindowTextW(handle, text, 16);
    EXPECT_STREQ(text, L"after");
  }
  ::DestroyWindow(handle);
}

// The drive screen's template with a handler that throws during the
// initialisation, or a control that throws once the dialog runs.
class FailingDialog : public Platform::Dialog {
 public:
  explicit FailingDialog(bool inInit) : Platform::Dialog(IDD_DRIVE_SCREEN), m_inInit(inInit) {}

 protected:
  BOOL OnInitDialog() override {
    if (m_inInit) throw std::logic_error("no template");
    m_control.Attach(GetDlgItem(IDC_REFRESH));
    ::PostMessageW(m_control.Handle(), kPoke, 0, 0);
    return TRUE;
  }

 private:
  bool m_inInit;
  ThrowingWindow m_control;
};

TEST_F(Reports, DialogEndsCancelledWhenItOrOneOfItsControlsThrows) {
  FailingDialog failsToStart(true);
  EXPECT_EQ(failsToStart.DoModal(), IDCANCEL);
  FailingDialog controlFails(false);
  EXPECT_EQ(controlFails.DoModal(), IDCANCEL);
  EXPECT_EQ(g_reports, (std::vector<std::string>{"dialog: no template", "dialog: poke failed"}));
}

}  // namespace
