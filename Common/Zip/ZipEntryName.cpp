#include "Common/Zip/ZipEntryName.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// Drops everything up to and including the first occurrence of pattern.
bool DropThrough(std::wstring& name, const wchar_t* pattern) {
  const std::size_t at = name.find(pattern);
  if (at == std::wstring::npos) return false;
  name.erase(0, at + 4);
  return true;
}

bool ApplyOneRule(std::wstring& name) {
  if (name.size() >= 2 && name[1] == L':') {
    name.erase(0, 2);
    return true;
  }
  if (!name.empty() && IsSeparator(name[0])) {
    name.erase(0, 1);
    return true;
  }
  return DropThrough(name, L"\\..\\") || DropThrough(name, L"\\../") ||
         DropThrough(name, L"/../") || DropThrough(name, L"/..\\");
}

bool IsDotComponent(const std::wstring& name, std::size_t begin, std::size_t end) {
  int dots = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (name[i] == L'.') {
      ++dots;
    } else if (name[i] != L' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

std::wstring GuardEntryName(std::wstring name) {
  // Each rule shortens the name, so this ends after at most size() rounds.
  while (ApplyOneRule(name)) {
  }
  return name;
}

bool IsContainedEntryName(const std::wstring& name) {
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsSeparator(name[i])) {
      if (IsDotComponent(name, begin, i)) return false;
      begin = i + 1;
    }
  }
  return true;
}
