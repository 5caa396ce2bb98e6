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

namespace {

bool IsRefusedCharacter(wchar_t c) {
  return c < 0x20 || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 0x20) : c; }

// Windows looks at what comes before the first dot, spaces at its end
// dropped: "nul.txt", "Com1 .log" and "AUX" all name devices.
bool IsDeviceComponent(const std::wstring& name, std::size_t begin, std::size_t end) {
  std::size_t stem = begin;
  while (stem < end && name[stem] != L'.') ++stem;
  while (stem > begin && name[stem - 1] == L' ') --stem;
  std::wstring upper;
  for (std::size_t i = begin; i < stem; ++i) upper.push_back(UpperAscii(name[i]));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : kDevices) {
    if (upper == device) return true;
  }
  if (upper.size() != 4 || (upper.compare(0, 3, L"COM") != 0 && upper.compare(0, 3, L"LPT") != 0)) return false;
  const wchar_t number = upper[3];
  // The superscript digits count too.
  return (number >= L'1' && number <= L'9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
}

}  // namespace

bool IsPlainRelativeName(const std::wstring& name) {
  if (name.empty() || IsSeparator(name[0]) || !IsContainedEntryName(name)) return false;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && IsRefusedCharacter(name[i])) return false;
    if (i == name.size() || IsSeparator(name[i])) {
      if (IsDeviceComponent(name, begin, i)) return false;
      begin = i + 1;
    }
  }
  return true;
}

namespace {

wchar_t FoldCase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  // Latin Extended-A pairs its letters upper then lower, the parity
  // changing after the letters without a pair (U+0138, U+0149, U+0178).
  const bool lowerAtOdd = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool lowerAtEven = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((lowerAtOdd && (c & 1) != 0) || (lowerAtEven && (c & 1) == 0)) return static_cast<wchar_t>(c - 1);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 0x20);
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  return c;
}

}  // namespace

std::wstring FoldEntryPath(const std::wstring& path) {
  std::wstring out;
  out.reserve(path.size());
  std::size_t componentStart = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      while (out.size() > componentStart && (out.back() == L'.' || out.back() == L' ')) out.pop_back();
      if (i == path.size()) break;
      out.push_back(L'\\');
      componentStart = out.size();
      continue;
    }
    out.push_back(FoldCase(path[i]));
  }
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}
