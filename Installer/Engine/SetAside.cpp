#include "Installer/Engine/SetAside.h"

#include "Installer/Engine/FileTree.h"
#include "Installer/Log/Log.h"

namespace InstallBackend {
namespace {

// More copies of one file than this are not kept apart.
constexpr int kMaxKeptCopies = 99;

}  // namespace

bool SetAside::MakeFoldersFor(const std::wstring& relative) {
  const std::wstring parent = ParentOf(relative);
  if (parent.empty()) return true;
  if (!MakeFoldersFor(parent)) return false;
  // The folder is made through no link someone laid at its name.
  switch (m_place.Find(parent)) {
    case TargetPlace::Found::InPlace:
      return true;
    case TargetPlace::Found::Missing:
      return m_files.MakeFolder(m_target + parent) && m_place.IsInPlace(parent);
    case TargetPlace::Found::Elsewhere:
      break;
  }
  LOG_ERROR << "InstallBackend::Recover " << LogText(m_target + parent) << " is a link or leads elsewhere: "
            << "nothing is set aside into it";
  return false;
}

bool SetAside::Keep(const std::wstring& path, const std::wstring& relative) {
  const std::wstring kept = std::wstring(kSetAsideFolderName) + L"\\" + relative;
  if (!MakeFoldersFor(kept)) return false;
  for (int copy = 1; copy <= kMaxKeptCopies; ++copy) {
    const std::wstring name = copy == 1 ? kept : kept + L"." + std::to_wstring(copy);
    if (m_files.PathExists(m_target + name)) continue;
    if (!m_files.MovePath(path, m_target + name)) return false;
    LOG_INFO << "InstallBackend::Recover " << LogText(path) << " was in the way and is set aside to "
             << LogText(m_target + name);
    return true;
  }
  return false;
}

}  // namespace InstallBackend
