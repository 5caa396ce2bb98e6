#include "Installer/Engine/Journal.h"

#include <cstdio>

#include "Installer/Engine/StagingArea.h"
#include "Platform/Text/TextConversion.h"

namespace InstallBackend {
namespace {

// One record a line, in UTF-8: a heading, "moved NAME", "folder NAME" and
// "file SIZE CRC OLDSIZE OLDCRC NAME" records (sizes in decimal, CRCs in
// hexadecimal, "-" for both old ones of a file new to the target), and a
// last line that proves the journal was written whole. Journals of the
// first form ("file NAME") are still read.
const char kHeading[] = "korvane journal 2";
const char kFirstHeading[] = "korvane journal 1";
const char kFolder[] = "folder ";
const char kMoved[] = "moved ";
const char kFile[] = "file ";
const char kEnd[] = "end";
const char kMark[] = "korvane committed\n";
constexpr std::uint64_t kMaxJournalBytes = 64ull * 1024 * 1024;
// No name of a file below a target is longer than a Windows path.
constexpr std::size_t kMaxNameUnits = 259;

bool StartsWith(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

std::wstring Rest(const std::string& line, const char* prefix) {
  return Platform::Utf8ToUtf16(line.substr(std::char_traits<char>::length(prefix)));
}

bool ReadAll(Platform::IFileSystem& files, const std::wstring& path, std::string& text) {
  std::unique_ptr<Platform::ReadableFile> file = files.OpenForReading(path);
  std::uint64_t length = 0;
  if (!file || !file->Length(length) || length > kMaxJournalBytes) return false;
  text.resize(static_cast<std::size_t>(length));
  return file->ReadAt(0, &text[0], text.size()) == static_cast<std::int64_t>(length);
}

std::string IdentityText(const std::optional<FileIdentity>& identity) {
  if (!identity) return "- -";
  char crc[9];
  std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(identity->crc));
  return std::to_string(identity->size) + " " + crc;
}

std::string FileRecord(const PlannedFile& file) {
  return kFile + IdentityText(file.fresh) + " " + IdentityText(file.old) + " " + Platform::Utf16ToUtf8(file.name);
}

// Reads "SIZE CRC " (or "- - " where none may stand) at `at`, moving past it.
bool ReadIdentity(const std::string& line, std::size_t& at, std::optional<FileIdentity>& identity, bool mayBeNone) {
  if (mayBeNone && line.compare(at, 4, "- - ") == 0) {
    at += 4;
    identity.reset();
    return true;
  }
  const std::size_t sizeEnd = line.find(' ', at);
  const std::size_t crcEnd = sizeEnd == std::string::npos ? sizeEnd : line.find(' ', sizeEnd + 1);
  if (crcEnd == std::string::npos || sizeEnd == at || crcEnd - sizeEnd != 9) return false;
  const std::string size = line.substr(at, sizeEnd - at), crc = line.substr(sizeEnd + 1, 8);
  if (size.size() > 19 || size.find_first_not_of("0123456789") != std::string::npos ||
      crc.find_first_not_of("0123456789abcdef") != std::string::npos) {
    return false;
  }
  identity = FileIdentity{std::stoull(size), static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16))};
  at = crcEnd + 1;
  return true;
}

bool ReadFileRecord(const std::string& line, bool identified, PlannedFile& file) {
  std::size_t at = std::char_traits<char>::length(kFile);
  if (identified) {
    std::optional<FileIdentity> fresh;
    if (!ReadIdentity(line, at, fresh, false) || !ReadIdentity(line, at, file.old, true)) return false;
    file.fresh = *fresh;
  }
  file.name = Platform::Utf8ToUtf16(line.substr(at));
  return true;
}

bool IsRecordedName(const std::wstring& name) {
  return name.size() <= kMaxNameUnits && IsInstallableName(name) && name.find(L'/') == std::wstring::npos &&
         name.back() != L'\\';
}

JournalRead Checked(CommitPlan& plan) {
  bool named = true;
  for (const std::wstring& name : plan.movedFolders) named = named && IsRecordedName(name);
  for (const std::wstring& name : plan.newFolders) named = named && IsRecordedName(name);
  for (const PlannedFile& file : plan.files) named = named && IsRecordedName(file.name);
  if (named) return JournalRead::Whole;
  plan = CommitPlan();
  return JournalRead::Refused;
}

}  // namespace

bool WriteJournal(Platform::IFileSystem& files, const std::wstring& path, const CommitPlan& plan) {
  std::string text = std::string(kHeading) + "\n";
  for (const std::wstring& folder : plan.movedFolders) text += kMoved + Platform::Utf16ToUtf8(folder) + "\n";
  for (const std::wstring& folder : plan.newFolders) text += kFolder + Platform::Utf16ToUtf8(folder) + "\n";
  for (const PlannedFile& file : plan.files) text += FileRecord(file) + "\n";
  text += std::string(kEnd) + "\n";
  std::unique_ptr<Platform::WritableFile> file = files.CreateForWriting(path, Platform::kAttributeArchive);
  return file && file->Write(text.data(), text.size()) && file->Flush();
}

bool WriteCommitMark(Platform::IFileSystem& files, const std::wstring& path) {
  std::unique_ptr<Platform::WritableFile> file = files.CreateForWriting(path, Platform::kAttributeArchive);
  return file && file->Write(kMark, sizeof kMark - 1) && file->Flush();
}

bool IsCommitMark(Platform::IFileSystem& files, const std::wstring& path) {
  std::string text;
  if (!files.PathExists(path) || !ReadAll(files, path, text)) return false;
  const std::string journalEnd = std::string("\n") + kEnd + "\n";
  return text == kMark || (text.rfind(std::string(kFirstHeading) + "\n", 0) == 0 && text.size() >= journalEnd.size() &&
                           text.compare(text.size() - journalEnd.size(), journalEnd.size(), journalEnd) == 0);
}

JournalRead ReadJournal(Platform::IFileSystem& files, const std::wstring& path, CommitPlan& plan) {
  plan = CommitPlan();
  std::string text;
  if (!ReadAll(files, path, text)) return JournalRead::Unreadable;
  std::size_t start = 0;
  bool headed = false;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) return JournalRead::Unreadable;
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!headed) {
      if (line != kHeading && line != kFirstHeading) return JournalRead::Unreadable;
      plan.identified = line == kHeading;
      headed = true;
    } else if (line == kEnd) {
      return Checked(plan);
    } else if (plan.identified && StartsWith(line, kMoved)) {
      plan.movedFolders.push_back(Rest(line, kMoved));
    } else if (StartsWith(line, kFolder)) {
      plan.newFolders.push_back(Rest(line, kFolder));
    } else if (StartsWith(line, kFile)) {
      plan.files.emplace_back();
      if (!ReadFileRecord(line, plan.identified, plan.files.back())) return JournalRead::Unreadable;
    } else {
      return JournalRead::Unreadable;
    }
  }
  return JournalRead::Unreadable;
}

}  // namespace InstallBackend
