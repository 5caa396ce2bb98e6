#include "Support/UpdateRig.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <unistd.h>
#endif

namespace KorvaneTest {

#ifdef _WIN32
namespace {

// Wine's name for where a Windows path lies on the host; empty on Windows.
std::string HostName(const fs::path& path) {
  using Converter = char*(WINAPI*)(const wchar_t*);
  const auto convert = reinterpret_cast<Converter>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* name = convert(fs::absolute(path).wstring().c_str());
  if (!name) return std::string();
  std::string result = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Runs a host program under Wine, which neither waits for it nor learns
// its exit code: done() shows that it ran.
template <typename Done>
bool RunOnHost(std::wstring command, const wchar_t* program, Done done) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(program, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    ::Sleep(10);
  }
  return false;
}

std::wstring Quoted(const std::string& hostPath) { return L" \"" + fs::u8path(hostPath).wstring() + L"\""; }

}  // namespace

bool MakeFolderLink(const fs::path& link, const fs::path& target) {
  const std::string hostTarget = HostName(target);
  const std::string hostLink = HostName(link);
  if (hostTarget.empty() || hostLink.empty()) {
    // Windows itself: a symbolic link as developer mode allows one.
    return ::CreateSymbolicLinkW(link.wstring().c_str(), target.wstring().c_str(),
                                 SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2) != FALSE;
  }
  return RunOnHost(L"Z:\\bin\\ln -s" + Quoted(hostTarget) + Quoted(hostLink), L"Z:\\bin\\ln",
                   [&link] { return ::GetFileAttributesW(link.wstring().c_str()) != INVALID_FILE_ATTRIBUTES; });
}

void RemoveWithLinks(const fs::path& path) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(path, error))) return;
  const std::string hostPath = HostName(path);
  if (hostPath.empty()) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
    return;
  }
  // Wine would remove what a link names, or nothing where it names nothing.
  RunOnHost(L"Z:\\bin\\rm -rf" + Quoted(hostPath), L"Z:\\bin\\rm", [&path, &error] {
    return !fs::exists(fs::symlink_status(path, error));
  });
}
#else
bool MakeFolderLink(const fs::path& link, const fs::path& target) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

void RemoveWithLinks(const fs::path& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}
#endif

}  // namespace KorvaneTest
