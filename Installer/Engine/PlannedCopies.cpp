#include "Installer/Engine/PlannedCopies.h"

#include "Installer/Engine/FileTree.h"

namespace InstallBackend {

PlannedCopies::PlannedCopies(Platform::IFileSystem& files, const StagingArea& area, const PlannedFile& file)
    : m_files(files),
      m_file(file),
      m_staged(area.newTree + file.name),
      m_installed(area.target + file.name),
      m_backup(area.backups + file.name),
      m_isStaged(files.PathExists(m_staged)),
      m_isInstalled(files.PathExists(m_installed)),
      m_isBackedUp(file.old && files.PathExists(m_backup)) {}

// Read only where the places leave it open: a commit's renames alone never
// leave an installed copy beside both others, so the common states cost
// no read of a file.
PlannedCopies::Holds PlannedCopies::InstalledHolds() {
  if (m_installedHolds != Holds::Unknown) return m_installedHolds;
  FileIdentity found;
  if (!ReadFileIdentity(m_files, m_installed, found)) return m_installedHolds = Holds::Unreadable;
  // A file both versions hold alike is the old one's in a roll-back and
  // the new one's going forward: either way it is right where it is.
  if (m_file.old && found == *m_file.old) return m_installedHolds = Holds::Old;
  if (found == m_file.fresh) return m_installedHolds = Holds::New;
  return m_installedHolds = Holds::Other;
}

bool PlannedCopies::HasOld() {
  if (!m_file.old || m_isBackedUp) return true;
  // Not moved aside yet: the installed file is the old one, unless the
  // staged one is gone too (then it may be the new one).
  return m_isInstalled && (m_isStaged || InstalledHolds() == Holds::Old);
}

bool PlannedCopies::HasNew() {
  if (m_isStaged) return true;
  if (!m_isInstalled) return false;
  const Holds holds = InstalledHolds();
  return holds == Holds::New || (holds == Holds::Old && m_file.old && *m_file.old == m_file.fresh);
}

// Gets whatever is at the installed path out of the way of the old copy.
bool PlannedCopies::ClearInstalled(SetAside& aside) {
  // Beside a staged copy the installed one is the package's only when a
  // torn rename left it twice; alone, it is the one the commit moved in.
  const Holds holds = m_isStaged ? InstalledHolds() : Holds::New;
  switch (holds) {
    case Holds::New:
      return m_isStaged ? aside.Keep(m_file.name) : m_files.MovePath(m_installed, m_staged);
    case Holds::Other:
      return aside.Keep(m_file.name);
    default:
      return false;
  }
}

bool PlannedCopies::PutBack(SetAside& aside) {
  if (!m_file.old) {
    // What is in place and is not the package's file was never the
    // commit's to move (it came after the plan looked): it stays. (Files
    // of folders new to the target are moved with their folder.)
    if (!m_isInstalled || (m_isStaged && InstalledHolds() == Holds::Other)) return true;
    return ClearInstalled(aside);
  }
  if (!m_isBackedUp) return HasOld();  // the old file has not left its place
  if (m_isInstalled) {
    // A rename torn between the two names left the old file twice.
    if (m_isStaged && InstalledHolds() == Holds::Old) return aside.Keep(m_backup, m_file.name);
    if (!ClearInstalled(aside)) return false;
  }
  return m_files.MovePath(m_backup, m_installed);
}

bool PlannedCopies::PutForward(SetAside& aside) {
  if (!m_isStaged) return HasNew();
  if (m_isInstalled) {
    switch (InstalledHolds()) {
      case Holds::New:
        return aside.Keep(m_staged, m_file.name);  // a second name of it
      case Holds::Old:
        // Beside a backup it is a second name of that; alone, the old
        // version's file, given up.
        if (m_isBackedUp ? !aside.Keep(m_file.name) : !RemoveFileEvenReadOnly(m_files, m_installed)) return false;
        break;
      case Holds::Other:
        if (!aside.Keep(m_file.name)) return false;
        break;
      default:
        return false;
    }
  }
  return m_files.MovePath(m_staged, m_installed);
}

}  // namespace InstallBackend
