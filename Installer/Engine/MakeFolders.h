#pragma once
#include <string>

namespace InstallBackend {

// Creates root (its last component only) when missing, then every folder of
// path below it, outermost first. Failures are not reported: a folder that
// could not be made shows when the file inside it cannot be created.
// An empty root means none: path is then taken as it stands.
void MakeFolders(const std::wstring& root, const std::wstring& path);

}  // namespace InstallBackend
