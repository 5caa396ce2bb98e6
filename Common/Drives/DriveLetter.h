#pragma once
#include <string>

// A drive's letter and the texts the system names the drive by, so that no
// caller strings a colon and a separator onto a letter itself.
class DriveLetter {
 public:
  explicit DriveLetter(wchar_t letter) : m_letter(letter) {}

  wchar_t Letter() const { return m_letter; }
  // The drive itself, "E:": an install target, a logical disk's name in WMI.
  std::wstring Name() const { return std::wstring{m_letter, L':'}; }
  // Its root folder, "E:\".
  std::wstring Root() const { return Name() + L'\\'; }
  // A path below the root, "E:\Korvane.exe" for "Korvane.exe".
  std::wstring Below(const std::wstring& relative) const { return Root() + relative; }

 private:
  wchar_t m_letter;
};
