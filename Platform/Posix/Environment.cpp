#include "Platform/Environment.h"

#include <cstdlib>

#include "Platform/Text/TextConversion.h"

namespace Platform {

const wchar_t kPathSeparator = L'/';

std::wstring GetTempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp";
  if (path.back() != '/') path.push_back('/');
  return Utf8ToUtf16(path);
}

}  // namespace Platform
