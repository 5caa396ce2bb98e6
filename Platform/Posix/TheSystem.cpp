// The native build's services: the real file system, for the benchmark and
// the tests of the zip reader and the extraction. WinHTTP, WMI and
// Authenticode exist only in the Windows executable; here each answers as
// the Windows one does when its service is missing.
#include "Platform/Files/NativeFileSystem.h"
#include "Platform/SystemServices.h"

namespace Platform {
namespace {

// ERROR_NOT_SUPPORTED.
constexpr std::uint32_t kNotSupported = 50;

class NoHttpClient final : public IHttpClient {
 public:
  bool GetIEProxyConfigForCurrentUser(HttpProxySettings&) override { return false; }
  HttpHandle Open(const std::wstring&, std::uint32_t, const std::wstring&, const std::wstring&) override {
    return nullptr;
  }
  HttpHandle Connect(HttpHandle, const std::wstring&, std::uint16_t) override { return nullptr; }
  HttpHandle OpenRequest(HttpHandle, const std::wstring&, const std::wstring&, std::uint32_t) override {
    return nullptr;
  }
  bool SetTimeouts(HttpHandle, int, int, int, int) override { return false; }
  bool GetProxyForUrl(HttpHandle, const std::wstring&, const HttpAutoProxyOptions&, HttpProxyInfo&) override {
    return false;
  }
  bool SetProxy(HttpHandle, const HttpProxyInfo&) override { return false; }
  bool QueryProxy(HttpHandle, HttpProxyInfo&) override { return false; }
  bool AddRequestHeaders(HttpHandle, const std::wstring&, std::uint32_t) override { return false; }
  bool SendRequest(HttpHandle) override { return false; }
  bool ReceiveResponse(HttpHandle) override { return false; }
  bool QueryContentLength(HttpHandle, std::uint32_t&) override { return false; }
  bool QueryHeaderText(HttpHandle, const std::wstring&, std::wstring&) override { return false; }
  bool QueryDataAvailable(HttpHandle, std::uint32_t&) override { return false; }
  bool ReadData(HttpHandle, void*, std::uint32_t, std::uint32_t&) override { return false; }
  void CloseHandle(HttpHandle) override {}
  void SetWaitLimits(const HttpWaitLimits&) override {}
  std::uint32_t LastError() override { return kNotSupported; }
};

// As with WMI unreachable: no USB drive, no label.
class NoDriveInfoSource final : public IDriveInfoSource {
 public:
  std::unique_ptr<IWmiConnection> ConnectWmi() override { return nullptr; }
  std::wstring GetVolumeLabel(const std::wstring&) override { return std::wstring(); }
};

// Nothing can be found genuine, so nothing is started.
class NoSignatureCheck final : public IMakerSignatureCheck {
 public:
  SignatureCheck CheckMakerSignature(const std::wstring&) override { return SignatureCheck(); }
  SignatureCheck StartIfGenuine(const std::wstring&, const std::wstring&, const std::wstring&) override {
    return SignatureCheck();
  }
};

}  // namespace

const SystemServices& TheSystem() {
  static NativeFileSystem files;
  static NoHttpClient http;
  static NoDriveInfoSource drives;
  static NoSignatureCheck signatures;
  static const SystemServices services{files, http, drives, signatures};
  return services;
}

}  // namespace Platform
