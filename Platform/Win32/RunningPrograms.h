#pragma once
// Reaching other programs of the session: a window found by its title, the
// main threads of processes found by their executable's name, and starting
// a program through the shell.
#include <windows.h>

#include <string>

namespace Platform {

enum class WindowAnswer : int { NoWindow = 0, Handled = 1, NoAnswer = 2 };

// Sends message (wParam and lParam 0) to the top-level window whose title
// is exactly `title` and waits until its thread has handled it, at most
// timeoutMs and not at all when the system already counts that window as
// hung. NoAnswer when it did not handle the message in that time.
WindowAnswer SendToWindowTitled(const wchar_t* title, UINT message, unsigned timeoutMs);

// Posts message (wParam and lParam 0) to the main thread (the first thread
// the system lists) of every process whose executable name is exactly
// exeName, case-sensitive. A process that cannot be opened with full access
// is skipped; when the thread list cannot be taken the walk stops there.
// Returns how many threads were told.
int PostToMainThreadsOf(const wchar_t* exeName, UINT message);

// Starts a program with the shell's "open" verb, shown normally, with the
// given parameters and working directory (either may be empty), and does not
// wait for it. False when the shell could not start it.
bool StartProgram(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory);

}  // namespace Platform
