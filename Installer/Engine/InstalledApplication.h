#pragma once
#include <string>

#include "Platform/Signature/SignatureCheck.h"

// The application the installer puts on a drive and starts from there.
namespace InstallBackend {

constexpr wchar_t kInstalledExecutableName[] = L"Korvane.exe";

// Where an install into target ("E:", "E:\", "E:\Apps") puts the
// application: "E:\Korvane.exe", "E:\Apps\Korvane.exe".
std::wstring InstalledExecutableIn(const std::wstring& target);

// Why a file was refused, for its ERROR record: "result 0x800B0100", and
// for a valid signature by somebody else also who signed it:
// "result 0x800B0004, signed by "Someone Else"".
std::string DescribeRefusal(const Platform::SignatureCheck& check);

}  // namespace InstallBackend
