#include "Platform/Win32/CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace Platform {
namespace {

struct LocalFreeDeleter {
  void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

}  // namespace

std::wstring GetRawCommandLine() {
  const wchar_t* text = ::GetCommandLineW();
  return text ? std::wstring(text) : std::wstring();
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  int count = 0;
  std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(::CommandLineToArgvW(commandLine.c_str(), &count));
  std::vector<std::wstring> arguments;
  if (!argv) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(argv.get()[i]);
  return arguments;
}

}  // namespace Platform
