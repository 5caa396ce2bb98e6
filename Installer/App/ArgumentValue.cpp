#include "Installer/App/ArgumentValue.h"

#include "Installer/Startup/StartupArguments.h"
#include "Platform/Win32/CommandLine.h"

std::wstring GetArgumentValue(const std::wstring& name) {
  return FindArgumentValue(Platform::SplitCommandLine(Platform::GetRawCommandLine()), name);
}
