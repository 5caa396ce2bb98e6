#include "Installer/Startup/StartupArguments.h"

#include "Common/Drives/DriveLetter.h"
#include "Installer/Engine/InstalledApplication.h"

namespace {

const wchar_t kPathSwitch[] = L"--path";
const wchar_t kInstallPathSwitch[] = L"/path=";
const wchar_t kAppUpdateSwitch[] = L"/AppUpdate";

// "E:\" and nothing else; the letter itself is taken as it is.
bool IsDriveRoot(const std::wstring& text) {
  return text.size() == 3 && text[1] == L':' && text[2] == L'\\';
}

void ReadDriveSwitch(const std::vector<std::wstring>& arguments, StartupValues& values) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] != kPathSwitch) continue;
    if (i + 1 < arguments.size() && IsDriveRoot(arguments[i + 1])) {
      values.driveLetter = arguments[i + 1][0];
      values.driveGiven = true;
    }
    return;
  }
}

// The value is what follows the first "/path=" of the argument, so text in
// front of the switch never leaks into the path. The last such argument wins.
void ReadInstallPathSwitch(const std::vector<std::wstring>& arguments, StartupValues& values) {
  const std::wstring marker = kInstallPathSwitch;
  for (size_t i = 1; i < arguments.size(); ++i) {
    const size_t at = arguments[i].find(marker);
    if (at != std::wstring::npos) values.installPath = arguments[i].substr(at + marker.size());
  }
}

}  // namespace

StartupValues ParseStartupArguments(const std::vector<std::wstring>& arguments) {
  StartupValues values;
  ReadDriveSwitch(arguments, values);
  if (!values.driveGiven) ReadInstallPathSwitch(arguments, values);
  return values;
}

std::wstring FindArgumentValue(const std::vector<std::wstring>& arguments, const std::wstring& name) {
  for (size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == name) return arguments[i + 1];
  }
  return std::wstring();
}

bool IsAbsoluteTarget(const std::wstring& path) {
  if (path.size() < 3 || path[1] != L':' || (path[2] != L'\\' && path[2] != L'/')) return false;
  const wchar_t letter = path[0];
  return (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
}

bool RequestsAppUpdate(const std::wstring& rawCommandLine) {
  return rawCommandLine.find(kAppUpdateSwitch) != std::wstring::npos;
}

std::wstring InstalledExecutablePath(wchar_t driveLetter) {
  return DriveLetter(driveLetter).Below(InstallBackend::kInstalledExecutableName);
}
