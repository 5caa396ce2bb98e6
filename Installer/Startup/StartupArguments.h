#pragma once
#include <string>
#include <vector>

// What the command line asks of a run, worked out from the argument vector
// (element 0 is the program path).
struct StartupValues {
  wchar_t driveLetter = 0;  // 0: no drive chosen yet
  bool driveGiven = false;  // the letter came from "--path"
  std::wstring installPath; // the value of "/path=", empty when none
};

StartupValues ParseStartupArguments(const std::vector<std::wstring>& arguments);

// True for a target that names its place on its own: a drive letter, a
// colon and a separator ("E:\", "E:\Apps"). "E:Apps" or "E:" would depend on
// the drive's current directory, which the install itself changes.
bool IsAbsoluteTarget(const std::wstring& path);

// The argument after the first one equal to name (case-sensitive), or empty.
std::wstring FindArgumentValue(const std::vector<std::wstring>& arguments, const std::wstring& name);

// Update mode is asked for anywhere in the raw command line, even inside
// another argument.
bool RequestsAppUpdate(const std::wstring& rawCommandLine);

// The installed application's path in a drive's root: "E:\Korvane.exe".
std::wstring InstalledExecutablePath(wchar_t driveLetter);
