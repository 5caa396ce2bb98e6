#include "Platform/Ui/TaskbarProgress.h"

#include <utility>

namespace Platform {
namespace {

ComPtr<ITaskbarList3> SystemTaskbarList() {
  ComPtr<ITaskbarList3> list;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                list.PutVoid()))) {
    return ComPtr<ITaskbarList3>();
  }
  if (FAILED(list->HrInit())) return ComPtr<ITaskbarList3>();
  return list;
}

}  // namespace

TaskbarProgress::TaskbarProgress(HWND window) : TaskbarProgress(window, SystemTaskbarList()) {}

TaskbarProgress::TaskbarProgress(HWND window, ComPtr<ITaskbarList3> list) : m_window(window), m_list(std::move(list)) {}

// A call made before the button exists fails harmlessly; the next one,
// made when the bar moves again, puts it right.
void TaskbarProgress::Show(int position, int range) {
  if (!m_list) return;
  m_list->SetProgressState(m_window, TBPF_NORMAL);
  m_list->SetProgressValue(m_window, static_cast<ULONGLONG>(position), static_cast<ULONGLONG>(range));
}

void TaskbarProgress::ShowFailed() {
  if (m_list) m_list->SetProgressState(m_window, TBPF_ERROR);
}

void TaskbarProgress::Clear() {
  if (m_list) m_list->SetProgressState(m_window, TBPF_NOPROGRESS);
}

}  // namespace Platform
