#include "Installer/Engine/InstalledApplication.h"

#include "Installer/Log/LogText.h"

namespace InstallBackend {

std::wstring InstalledExecutableIn(const std::wstring& target) {
  const bool endsWithSeparator = !target.empty() && (target.back() == L'\\' || target.back() == L'/');
  // "E:" alone would name the file relative to E:'s current folder.
  return target + (endsWithSeparator ? L"" : L"\\") + kInstalledExecutableName;
}

std::string DescribeRefusal(const Platform::SignatureCheck& check) {
  std::string text = "result " + Platform::ResultCodeText(check.result);
  if (!check.signer.empty()) text += ", signed by \"" + LogText(check.signer) + "\"";
  return text;
}

}  // namespace InstallBackend
