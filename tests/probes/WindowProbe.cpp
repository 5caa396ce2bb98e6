// Looks at and drives a top-level window of another program the way
// assistive software does: by window texts, control ids and messages.
//
//   WindowProbe dump TITLE          the window and its controls, one per line:
//     window <visible> <x> <y> <width> <height> <focused control id>
//     control <id> <class> <visible> <enabled> <x> <y> <width> <height> <text>
//     item <control id> <index> <text>          (combo boxes)
//     selected <control id> <index>
//     position <control id> <position>          (progress bars)
//   WindowProbe click TITLE ID      presses the button (BM_CLICK, posted)
//   WindowProbe select TITLE ID N   selects item N of a combo box as a user does
//   WindowProbe post TITLE MSG WPARAM LPARAM   posts a message to the window
//   WindowProbe device-change TITLE EVENT LETTER [COUNT]   sends WM_DEVICECHANGE
//     as the system does when a volume arrives (0x8000) or goes (0x8004),
//     COUNT times in a row (a burst, as when a drive with several volumes
//     is plugged in)
//
// Texts are printed as hex of their UTF-8 bytes ("-" when empty); control
// coordinates are in the window's client area. Exit code 3 when no window
// has the title.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kTimeoutMs = 5000;

std::string Hex(const std::wstring& text) {
  if (text.empty()) return "-";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
  std::string hex;
  char pair[3];
  for (unsigned char byte : utf8) {
    std::snprintf(pair, sizeof(pair), "%02x", byte);
    hex += pair;
  }
  return hex;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result)) return -1;
  return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND window) {
  const LRESULT length = Ask(window, WM_GETTEXTLENGTH);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = Ask(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  ::GetClassNameW(window, name, 128);
  return name;
}

void PrintComboItems(HWND combo, int id) {
  const LRESULT count = Ask(combo, CB_GETCOUNT);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Ask(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
    if (length > 0) Ask(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    std::printf("item %d %ld %s\n", id, static_cast<long>(i), Hex(text).c_str());
  }
  std::printf("selected %d %ld\n", id, static_cast<long>(Ask(combo, CB_GETCURSEL)));
}

struct DumpContext {
  HWND top;
};

BOOL CALLBACK DumpControl(HWND control, LPARAM context) {
  const HWND top = reinterpret_cast<DumpContext*>(context)->top;
  if (::GetParent(control) != top) return TRUE;
  const int id = ::GetDlgCtrlID(control);
  RECT rect = {};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
  const std::wstring className = ClassOf(control);
  std::printf("control %d %s %d %d %ld %ld %ld %ld %s\n", id, Hex(className).c_str(),
              ::IsWindowVisible(control) ? 1 : 0, ::IsWindowEnabled(control) ? 1 : 0, rect.left, rect.top,
              rect.right - rect.left, rect.bottom - rect.top, Hex(WindowText(control)).c_str());
  if (_wcsicmp(className.c_str(), L"ComboBox") == 0) PrintComboItems(control, id);
  if (_wcsicmp(className.c_str(), PROGRESS_CLASSW) == 0) {
    std::printf("position %d %ld\n", id, static_cast<long>(Ask(control, PBM_GETPOS)));
  }
  return TRUE;
}

int Dump(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof(thread);
  int focus = 0;
  if (::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &thread) && thread.hwndFocus) {
    focus = ::GetDlgCtrlID(thread.hwndFocus);
  }
  POINT origin = {0, 0};
  ::ClientToScreen(window, &origin);
  std::printf("window %d %ld %ld %ld %ld %d\n", ::IsWindowVisible(window) ? 1 : 0, rect.left, rect.top,
              rect.right - rect.left, rect.bottom - rect.top, focus);
  std::printf("client_origin %ld %ld\n", origin.x, origin.y);
  DumpContext context = {window};
  ::EnumChildWindows(window, &DumpControl, reinterpret_cast<LPARAM>(&context));
  return 0;
}

unsigned long Number(const wchar_t* text) { return std::wcstoul(text, nullptr, 0); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const std::wstring command = argv[1];
  HWND window = ::FindWindowW(nullptr, argv[2]);
  if (!window) {
    std::printf("none\n");
    return 3;
  }
  if (command == L"dump") return Dump(window);
  if (command == L"click" && argc == 4) {
    HWND button = ::GetDlgItem(window, static_cast<int>(Number(argv[3])));
    return button && ::PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (command == L"select" && argc == 5) {
    const int id = static_cast<int>(Number(argv[3]));
    HWND combo = ::GetDlgItem(window, id);
    if (!combo || Ask(combo, CB_SETCURSEL, Number(argv[4])) < 0) return 1;
    return ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo)) ? 0 : 1;
  }
  if (command == L"device-change" && (argc == 5 || argc == 6)) {
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << ((argv[4][0] | 0x20) - L'a');
    const unsigned long count = argc == 6 ? Number(argv[5]) : 1;
    for (unsigned long i = 0; i < count; ++i) {
      if (Ask(window, WM_DEVICECHANGE, static_cast<WPARAM>(Number(argv[3])), reinterpret_cast<LPARAM>(&volume)) == -1) {
        return 1;
      }
    }
    return 0;
  }
  if (command == L"post" && argc == 6) {
    return ::PostMessageW(window, static_cast<UINT>(Number(argv[3])), static_cast<WPARAM>(Number(argv[4])),
                          static_cast<LPARAM>(Number(argv[5])))
               ? 0
               : 1;
  }
  return 2;
}
