#include "Installer/Engine/ConnectionFailure.h"

#include "Platform/Http/HttpClient.h"

namespace InstallBackend {
namespace {

namespace Http = Platform::HttpConstants;

bool IsWinHttpCode(std::uint32_t code) { return code >= 12000 && code < 12200; }

bool IsSecurityRefusal(std::uint32_t code) {
  switch (code) {
    case Http::ErrorSecureCertDateInvalid:
    case Http::ErrorSecureCertCnInvalid:
    case Http::ErrorClientAuthCertNeeded:
    case Http::ErrorSecureInvalidCa:
    case Http::ErrorSecureChannelError:
    case Http::ErrorSecureInvalidCert:
    case Http::ErrorSecureCertRevoked:
    case Http::ErrorSecureFailure:
    case Http::ErrorSecureCertWrongUsage:
      return true;
    default:
      return false;
  }
}

// Winsock's own codes, which some WinHTTP implementations hand on.
constexpr std::uint32_t WsaConnectionAborted = 10053;
constexpr std::uint32_t WsaConnectionReset = 10054;
constexpr std::uint32_t WsaTimedOut = 10060;
constexpr std::uint32_t WsaConnectionRefused = 10061;

}  // namespace

const char* ConnectionFailureName(std::uint32_t code) {
  if (IsSecurityRefusal(code)) return nullptr;
  switch (code) {
    case Http::ErrorCannotConnect:
    case WsaConnectionRefused:
      return "connection refused";
    case Http::ErrorNameNotResolved:
      return "server name not resolved";
    case Http::ErrorTimeout:
    case WsaTimedOut:
      return "connection timed out";
    case Http::ErrorInvalidServerResponse:
      return "answer broken off";
    case Http::ErrorConnectionError:
    case WsaConnectionAborted:
    case WsaConnectionReset:
      return "connection reset";
    default:
      break;
  }
  // Any other WinHTTP code is the program's own mistake (a handle in the
  // wrong state, a header it cannot parse); a code from below WinHTTP (the
  // secure channel's own, as Wine hands on for a reset) is the connection's.
  return IsWinHttpCode(code) ? nullptr : "connection reset";
}

}  // namespace InstallBackend
