#include "Platform/Win32/RunningPrograms.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>

#include "Platform/Win32/UniqueHandle.h"

namespace Platform {
namespace {

// PROCESS_ALL_ACCESS as the systems since Vista define it.
constexpr DWORD kFullProcessAccess = 0x1FFFFF;

// The first thread the snapshot lists for the process; 0 when none.
// Throws nothing: an unreadable thread list is reported by *listed false.
DWORD FirstThreadOf(DWORD processId, bool* listed) {
  UniqueHandle threads(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  *listed = threads.Valid();
  if (!*listed) return 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Thread32First(threads.Get(), &entry); more; more = ::Thread32Next(threads.Get(), &entry)) {
    if (entry.th32OwnerProcessID == processId) return entry.th32ThreadID;
    entry.dwSize = sizeof(entry);
  }
  return 0;
}

}  // namespace

WindowAnswer SendToWindowTitled(const wchar_t* title, UINT message, unsigned timeoutMs) {
  HWND window = ::FindWindowW(nullptr, title);
  if (!window) return WindowAnswer::NoWindow;
  DWORD_PTR result = 0;
  const LRESULT sent = ::SendMessageTimeoutW(window, message, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result);
  return sent ? WindowAnswer::Handled : WindowAnswer::NoAnswer;
}

int PostToMainThreadsOf(const wchar_t* exeName, UINT message) {
  UniqueHandle processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!processes.Valid()) return 0;
  int told = 0;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(processes.Get(), &entry); more;
       more = ::Process32NextW(processes.Get(), &entry)) {
    if (std::wcscmp(entry.szExeFile, exeName) != 0) continue;
    UniqueHandle process(::OpenProcess(kFullProcessAccess, FALSE, entry.th32ProcessID));
    if (!process.Valid()) continue;
    bool listed = false;
    const DWORD thread = FirstThreadOf(entry.th32ProcessID, &listed);
    if (!listed) break;
    if (thread && ::PostThreadMessageW(thread, message, 0, 0)) ++told;
  }
  return told;
}

bool StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  const bool started = ::ShellExecuteExW(&info) != FALSE;
  // The program runs on by itself; its handle is not needed.
  UniqueHandle process(info.hProcess);
  return started;
}

}  // namespace Platform
