#include "Platform/Win32/Shell.h"

#include <windows.h>

#include "BuildConfig.h"
#include "Platform/Win32/AuthenticodeCheck.h"
#include "Platform/Win32/RunningPrograms.h"
#include "Platform/Win32/UniqueHandle.h"

namespace Platform {

SignatureCheck StartIfGenuine(const std::wstring& path, const std::wstring& parameters,
                              const std::wstring& directory) {
  const UniqueHandle heldFile(OpenFileAgainstChanges(path));
  if (!heldFile.Valid()) {
    SignatureCheck check;
    check.result = LastErrorResult();
    return check;
  }
  const SignatureCheck check = CheckSignatureOfOpenFile(heldFile.Get(), path, KORVANE_SIGNER_NAME_W);
  if (check.IsGenuine()) StartProgram(path, parameters, directory);
  return check;
}

}  // namespace Platform
