#include <windows.h>

#include "Platform/Win32/Application.h"
#include "Platform/Win32/SystemLibrary.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Platform::RestrictDllSearchToSystemFolder();
  return Platform::RunApplication();
}
