#include "Installer/Engine/TargetPlace.h"

#include "Common/Zip/ZipEntryName.h"
#include "Installer/Engine/FileTree.h"

namespace InstallBackend {

bool SameFinalPath(const std::wstring& left, const std::wstring& right) {
  return FoldEntryPath(left) == FoldEntryPath(right);
}

std::wstring Misplacement(const Platform::PathIdentity& found, const std::wstring& expectedFinal,
                          std::uint64_t expectedVolume) {
  if (found.isLink) return L"it is a link to " + found.finalPath;
  if (found.volume != expectedVolume) return L"it lies on another volume, at " + found.finalPath;
  if (!SameFinalPath(found.finalPath, expectedFinal)) return L"it leads to " + found.finalPath;
  return std::wstring();
}

TargetPlace::TargetPlace(Platform::IFileSystem& files, const std::wstring& target)
    : m_files(files), m_target(WithSeparator(target)) {
  m_known = m_files.IdentifyPath(m_target, m_identity);
}

TargetPlace::Found TargetPlace::Find(const std::wstring& relative, std::wstring* why) {
  const std::wstring path = m_target + relative;
  Platform::PathIdentity identity;
  if (!m_files.IdentifyPath(path, identity)) {
    if (!m_files.PathExists(path)) return Found::Missing;
    if (why) *why = L"it cannot be opened";
    return Found::Elsewhere;
  }
  if (!m_known) {
    if (why) *why = L"the target itself cannot be opened";
    return Found::Elsewhere;
  }
  const std::wstring wrong =
      Misplacement(identity, WithoutSeparator(m_identity.finalPath) + L"\\" + relative, m_identity.volume);
  if (wrong.empty()) return Found::InPlace;
  if (why) *why = wrong;
  return Found::Elsewhere;
}

}  // namespace InstallBackend
