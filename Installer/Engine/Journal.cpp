#include "Installer/Engine/Journal.h"

#include "Installer/Engine/StagingArea.h"
#include "Platform/Text/TextConversion.h"

namespace InstallBackend {
namespace {

// One record a line, in UTF-8: a heading, "folder NAME" and "file NAME"
// records, and a last line that proves the journal was written whole.
const char kHeading[] = "korvane journal 1";
const char kFolder[] = "folder ";
const char kFile[] = "file ";
const char kEnd[] = "end";
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

bool IsRecordedName(const std::wstring& name) {
  return name.size() <= kMaxNameUnits && IsInstallableName(name) && name.find(L'/') == std::wstring::npos &&
         name.back() != L'\\';
}

JournalRead Checked(CommitPlan& plan) {
  for (const auto* names : {&plan.newFolders, &plan.files}) {
    for (const std::wstring& name : *names) {
      if (!IsRecordedName(name)) {
        plan = CommitPlan();
        return JournalRead::Refused;
      }
    }
  }
  return JournalRead::Whole;
}

}  // namespace

bool WriteJournal(Platform::IFileSystem& files, const std::wstring& path, const CommitPlan& plan) {
  std::string text = std::string(kHeading) + "\n";
  for (const std::wstring& folder : plan.newFolders) text += kFolder + Platform::Utf16ToUtf8(folder) + "\n";
  for (const std::wstring& file : plan.files) text += kFile + Platform::Utf16ToUtf8(file) + "\n";
  text += std::string(kEnd) + "\n";
  std::unique_ptr<Platform::WritableFile> file = files.CreateForWriting(path, Platform::kAttributeArchive);
  return file && file->Write(text.data(), text.size()) && file->Flush();
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
      if (line != kHeading) return JournalRead::Unreadable;
      headed = true;
    } else if (line == kEnd) {
      return Checked(plan);
    } else if (StartsWith(line, kFolder)) {
      plan.newFolders.push_back(Rest(line, kFolder));
    } else if (StartsWith(line, kFile)) {
      plan.files.push_back(Rest(line, kFile));
    } else {
      return JournalRead::Unreadable;
    }
  }
  return JournalRead::Unreadable;
}

}  // namespace InstallBackend
