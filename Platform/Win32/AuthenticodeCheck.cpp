#include "Platform/Win32/AuthenticodeCheck.h"

#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "BuildConfig.h"
#include "Platform/Win32/RunningPrograms.h"
#include "Platform/Win32/SystemLibrary.h"
#include "Platform/Win32/UniqueHandle.h"

namespace Platform {
namespace {

// wintrust.dll and crypt32.dll are not among the DLLs Windows always takes
// from its system folder, so they are loaded at run time from there, never
// imported: a copy planted beside the installer would otherwise decide
// what counts as signed.
using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);
using ProvDataFromStateDataFunction = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
using ProvSignerFromChainFunction = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
using CertGetNameStringFunction = DWORD(WINAPI*)(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD);

// WINTRUST_ACTION_GENERIC_VERIFY_V2: the Authenticode policy.
GUID GenericVerifyV2() {
  return GUID{0x00aac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};
}

std::uint32_t ResultOf(LONG status) { return static_cast<std::uint32_t>(static_cast<unsigned long>(status)); }

// The signer the trust provider validated, from its state after a
// verification; null when it holds none.
CRYPT_PROVIDER_SGNR* ValidatedSigner(HANDLE stateData, const SystemLibrary& wintrust) {
  auto provDataFromState = wintrust.Get<ProvDataFromStateDataFunction>("WTHelperProvDataFromStateData");
  auto signerFromChain = wintrust.Get<ProvSignerFromChainFunction>("WTHelperGetProvSignerFromChain");
  if (!provDataFromState || !signerFromChain) return nullptr;
  CRYPT_PROVIDER_DATA* provider = provDataFromState(stateData);
  if (!provider) return nullptr;
  CRYPT_PROVIDER_SGNR* signer = signerFromChain(provider, 0, FALSE, 0);
  if (!signer || signer->csCertChain == 0 || !signer->pasCertChain || !signer->pasCertChain[0].pCert) {
    return nullptr;
  }
  return signer;
}

// The common name in the subject of the certificate that made the signature.
std::wstring SignerCommonName(const CRYPT_PROVIDER_SGNR& signer, const SystemLibrary& crypt32) {
  auto getNameString = crypt32.Get<CertGetNameStringFunction>("CertGetNameStringW");
  if (!getNameString) return std::wstring();
  PCCERT_CONTEXT leaf = signer.pasCertChain[0].pCert;
  void* commonName = const_cast<char*>(szOID_COMMON_NAME);
  const DWORD length = getNameString(leaf, CERT_NAME_ATTR_TYPE, 0, commonName, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::vector<wchar_t> name(length);
  const DWORD written = getNameString(leaf, CERT_NAME_ATTR_TYPE, 0, commonName, name.data(), length);
  if (written <= 1 || written > length) return std::wstring();
  // Kept whole, an embedded null included, so that the comparison sees it.
  return std::wstring(name.data(), written - 1);
}

}  // namespace

std::uint32_t LastErrorResult() {
  const DWORD error = ::GetLastError();
  if (error == ERROR_SUCCESS) return SignatureCheck::kNotChecked;
  return ResultOf(HRESULT_FROM_WIN32(error));
}

HANDLE OpenFileAgainstChanges(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

SignatureCheck CheckSignatureOfOpenFile(HANDLE file, const std::wstring& path, const std::wstring& expectedSigner) {
  SignatureCheck check;
  const SystemLibrary wintrust(L"wintrust.dll");
  const SystemLibrary crypt32(L"crypt32.dll");
  auto verifyTrust = wintrust.Get<WinVerifyTrustFunction>("WinVerifyTrust");
  if (!verifyTrust || !crypt32.IsLoaded()) {
    check.result = LastErrorResult();
    return check;
  }

  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof fileInfo;
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;

  WINTRUST_DATA trust = {};
  trust.cbStruct = sizeof trust;
  trust.dwUIChoice = WTD_UI_NONE;
  // Revocation is looked up, but only in what the machine has cached: an
  // offline machine must still be able to install and start Korvane.
  trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  trust.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &fileInfo;
  trust.dwStateAction = WTD_STATEACTION_VERIFY;

  GUID action = GenericVerifyV2();
  const LONG status = verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust);
  if (status == ERROR_SUCCESS) {
    const CRYPT_PROVIDER_SGNR* signer = ValidatedSigner(trust.hWVTStateData, wintrust);
    if (!signer || !signer->pChainContext) {
      check.result = ResultOf(TRUST_E_NOSIGNATURE);
    } else if (const std::uint32_t fault = ChainFaultResult(signer->pChainContext->TrustStatus.dwErrorStatus)) {
      check.result = fault;
    } else {
      check.signer = SignerCommonName(*signer, crypt32);
      check.result = SignerNameMatches(check.signer, expectedSigner) ? 0 : SignatureCheck::kSignerMismatch;
    }
  } else {
    check.result = ResultOf(status);
  }
  // The provider's state lives until it is closed, whatever the verdict.
  trust.dwStateAction = WTD_STATEACTION_CLOSE;
  verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust);
  return check;
}

namespace {

// Checks the file while holding it open against changes and, when it is
// genuine, calls whenGenuine before letting it go.
template <typename Use>
SignatureCheck CheckHeldFile(const std::wstring& path, Use whenGenuine) {
  const UniqueHandle file(OpenFileAgainstChanges(path));
  if (!file.Valid()) {
    SignatureCheck check;
    check.result = LastErrorResult();
    return check;
  }
  const SignatureCheck check = CheckSignatureOfOpenFile(file.Get(), path, KORVANE_SIGNER_NAME_W);
  if (check.IsGenuine()) whenGenuine();
  return check;
}

}  // namespace

SignatureCheck AuthenticodeMakerCheck::CheckMakerSignature(const std::wstring& path) {
  return CheckHeldFile(path, [] {});
}

SignatureCheck AuthenticodeMakerCheck::StartIfGenuine(const std::wstring& path, const std::wstring& parameters,
                                                      const std::wstring& directory) {
  return CheckHeldFile(path, [&] { StartProgram(path, parameters, directory); });
}

}  // namespace Platform
