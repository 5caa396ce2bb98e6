#include "Platform/Win32/ProcessSetup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "Platform/Win32/SystemLibrary.h"

namespace Platform {

long InitializeComMultithreaded() {
  return ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

long InitializeComSecurity() {
  return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
}

void RegisterCommonControls() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
}

void EnableControlContainer() {}

void EndProcessNow(unsigned exitCode) {
  ::TerminateProcess(::GetCurrentProcess(), exitCode);
  for (;;) ::Sleep(INFINITE);  // never reached: the call does not return for the current process
}

void InitRichEdit() {
  static SystemLibrary richEdit1(L"riched32.dll");
  static SystemLibrary richEdit2(L"riched20.dll");
}

}  // namespace Platform
