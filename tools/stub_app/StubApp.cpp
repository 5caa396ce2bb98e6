// Stand-in for the installed Korvane.exe. It writes one line per event to
// the file named by KORVANE_STUB_RECORD (or "<exe>.record" beside itself):
//   started <command line>
//   directory <working directory>
//   window-message <msg> <wParam> <lParam>
//   thread-message <msg> <wParam> <lParam>
//   exiting <reason>
// Like the installed application, its main window carries the title the
// installer looks for, and it ends when its main thread is told that an
// update begins (WM_APP + 7), so that the update can replace its files.
// Otherwise it ends after KORVANE_STUB_SECONDS seconds (default 4) or on
// WM_CLOSE. With KORVANE_STUB_HANG=1 it plays a hung application: its window
// is there, but its thread reads no message at all until it ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const wchar_t kWindowTitle[] = L"{637693CC-9D1F-49D5-B4D4-7A5F659E0BC5}";
const UINT_PTR kLifetimeTimer = 1;
const UINT kUpdateBeginsThreadMessage = WM_APP + 7;

std::wstring RecordPath() {
  wchar_t buffer[MAX_PATH * 2] = {};
  if (GetEnvironmentVariableW(L"KORVANE_STUB_RECORD", buffer, MAX_PATH * 2)) return buffer;
  GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
  return std::wstring(buffer) + L".record";
}

void Record(const std::wstring& line) {
  FILE* file = _wfopen(RecordPath().c_str(), L"ab");
  if (!file) return;
  const std::wstring text = line + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), file);
  fclose(file);
}

void RecordMessage(const wchar_t* kind, UINT msg, WPARAM wParam, LPARAM lParam) {
  wchar_t line[128];
  swprintf(line, 128, L"%ls %u %lu %ld", kind, msg, static_cast<unsigned long>(wParam),
           static_cast<long>(lParam));
  Record(line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_APP && msg < 0xC000) RecordMessage(L"window-message", msg, wParam, lParam);
  if (msg == WM_TIMER && wParam == kLifetimeTimer) DestroyWindow(window);
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  Record(std::wstring(L"started ") + GetCommandLineW());
  wchar_t directory[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, directory);
  Record(std::wstring(L"directory ") + directory);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"KorvaneStubWindow";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(windowClass.lpszClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200,
                              100, nullptr, nullptr, instance, nullptr);
  wchar_t seconds[16] = {};
  const int lifetime = GetEnvironmentVariableW(L"KORVANE_STUB_SECONDS", seconds, 16) ? _wtoi(seconds) : 4;
  wchar_t hang[4] = {};
  if (window && GetEnvironmentVariableW(L"KORVANE_STUB_HANG", hang, 4) && hang[0] == L'1') {
    Record(L"hanging");
    Sleep(lifetime * 1000);
    Record(L"exiting hang");
    return 0;
  }
  if (window) SetTimer(window, kLifetimeTimer, lifetime * 1000, nullptr);
  MSG message;
  while (window && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!message.hwnd) {
      RecordMessage(L"thread-message", message.message, message.wParam, message.lParam);
      if (message.message == kUpdateBeginsThreadMessage) {
        Record(L"exiting update");
        DestroyWindow(window);
        continue;
      }
    }
    DispatchMessageW(&message);
  }
  Record(L"exited");
  return 0;
}
