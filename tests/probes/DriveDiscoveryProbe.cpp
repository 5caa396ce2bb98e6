// Prints what the real drive discovery finds, for the end-to-end tests:
//   usb <letter> <instance id>      one line per entry of GetUsbDrives
//   describe <letter> <text>        DescribeDrive of every letter given as argument
// COM is set up exactly as the installer's start-up does it.
#include <cstdio>
#include <string>

#include "Common/Drives/UsbDrives.h"
#include "Platform/SystemServices.h"
#include "Platform/Text/TextConversion.h"
#include "Platform/Win32/CommandLine.h"
#include "Platform/Win32/ProcessSetup.h"

int main() {
  if (Platform::InitializeComMultithreaded() < 0 || Platform::InitializeComSecurity() < 0) return 2;
  Platform::IDriveInfoSource& drives = Platform::TheSystem().drives;
  for (const auto& [letter, instance] : GetUsbDrives(drives)) {
    std::printf("usb %c %s\n", static_cast<char>(letter), Platform::Utf16ToUtf8(instance).c_str());
  }
  const auto arguments = Platform::SplitCommandLine(Platform::GetRawCommandLine());
  for (size_t i = 1; i < arguments.size(); ++i) {
    const wchar_t letter = arguments[i].empty() ? L'\0' : arguments[i][0];
    std::printf("describe %c %s\n", static_cast<char>(letter), Platform::Utf16ToUtf8(DescribeDrive(drives, letter)).c_str());
  }
  return 0;
}
