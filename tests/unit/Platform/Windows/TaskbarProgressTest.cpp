// The taskbar button follows the bar: normal while working, the error state
// on failure, none at the end. The system's taskbar list is replaced by a
// recording one; the real installer runs with Wine's own list, which
// accepts the calls and shows nothing (tests/e2e/test_progress_detail.py).
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/Ui/TaskbarProgress.h"

namespace Platform {
namespace {

class RecordingTaskbarList final : public ITaskbarList3 {
 public:
  std::vector<std::string> calls;
  HWND window = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
  HRESULT STDMETHODCALLTYPE SetProgressValue(HWND hwnd, ULONGLONG done, ULONGLONG total) override {
    window = hwnd;
    calls.push_back("value " + std::to_string(done) + "/" + std::to_string(total));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProgressState(HWND hwnd, TBPFLAG state) override {
    window = hwnd;
    calls.push_back("state " + std::to_string(static_cast<int>(state)));
    return S_OK;
  }
  ULONG References() const { return m_references; }

  // Nothing else is the progress's business.
  HRESULT STDMETHODCALLTYPE HrInit() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return E_NOTIMPL; }

 private:
  ULONG m_references = 1;
};

ComPtr<ITaskbarList3> Lend(RecordingTaskbarList& list) {
  ComPtr<ITaskbarList3> pointer;
  list.AddRef();
  *pointer.Put() = &list;
  return pointer;
}

const HWND kWindow = reinterpret_cast<HWND>(0x1234);

TEST(TaskbarProgress, ButtonFollowsTheBarAndShowsTheOutcome) {
  RecordingTaskbarList list;
  {
    TaskbarProgress taskbar(kWindow, Lend(list));
    taskbar.Show(0, 100);
    taskbar.Show(27, 100);
    taskbar.ShowFailed();
    taskbar.Clear();
  }
  const std::vector<std::string> expected = {"state 2", "value 0/100", "state 2", "value 27/100",
                                             "state 4", "state 0"};
  EXPECT_EQ(list.calls, expected);  // TBPF_NORMAL, TBPF_ERROR, TBPF_NOPROGRESS
  EXPECT_EQ(list.window, kWindow);
  EXPECT_EQ(list.References(), 1u) << "the list is released with the progress";
}

}  // namespace
}  // namespace Platform
