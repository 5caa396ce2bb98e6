#include "Installer/Log/DiagnosticLog.h"

#include <easylogging++.h>

#include "Platform/Environment.h"
#include "Platform/Text/TextConversion.h"

INITIALIZE_EASYLOGGINGPP

namespace {

const wchar_t kWorkingFolderName[] = L"{502ABB8A-27F4-4A9D-A0B4-C99B926B99EE}";
const wchar_t kLogFileName[] = L"Installer.log";

// The library's release in Debian defaults to another date-time pattern, so
// the layout of every record is spelled out here.
#define KORVANE_DATETIME "%datetime{%d/%M/%Y %H:%m:%s,%g}"

struct LevelFormat {
  el::Level level;
  const char* format;
};

const LevelFormat kFormats[] = {
    {el::Level::Global, KORVANE_DATETIME " %level [%logger] %msg"},
    {el::Level::Debug, KORVANE_DATETIME " %level [%logger] [%user@%host] [%func] [%loc] %msg"},
    {el::Level::Verbose, KORVANE_DATETIME " %level-%vlevel [%logger] %msg"},
    {el::Level::Trace, KORVANE_DATETIME " %level [%logger] [%func] [%loc] %msg"},
};

}  // namespace

std::wstring GetWorkingFolder() {
  return Platform::GetTempDirectory() + kWorkingFolderName + Platform::kPathSeparator;
}

void ConfigureLogging() {
  el::Configurations configuration;
  configuration.setToDefault();
  for (const LevelFormat& entry : kFormats) {
    configuration.set(entry.level, el::ConfigurationType::Format, entry.format);
  }
  configuration.setGlobally(el::ConfigurationType::ToFile, "true");
  const std::wstring logFile = GetWorkingFolder() + kLogFileName;
  configuration.setGlobally(el::ConfigurationType::Filename, Platform::Utf16ToUtf8(logFile));
  el::Loggers::reconfigureAllLoggers(configuration);
  el::Loggers::setDefaultConfigurations(configuration, true);
}
