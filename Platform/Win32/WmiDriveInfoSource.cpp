#include "Platform/Win32/WmiDriveInfoSource.h"

#include <windows.h>
#include <wbemcli.h>

#include "Platform/Win32/ComPtr.h"

namespace Platform {
namespace {

// A BSTR freed with the object.
class SystemString {
 public:
  explicit SystemString(const std::wstring& text) : m_text(::SysAllocString(text.c_str())) {}
  ~SystemString() { ::SysFreeString(m_text); }
  SystemString(const SystemString&) = delete;
  SystemString& operator=(const SystemString&) = delete;
  BSTR Get() const { return m_text; }

 private:
  BSTR m_text;
};

// A VARIANT cleared with the object.
class Variant {
 public:
  Variant() { ::VariantInit(&m_value); }
  ~Variant() { ::VariantClear(&m_value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* Get() { return &m_value; }

 private:
  VARIANT m_value;
};

class WmiConnection : public IWmiConnection {
 public:
  explicit WmiConnection(ComPtr<IWbemServices> services) : m_services(std::move(services)) {}
  std::vector<std::wstring> QueryWmiStrings(const std::wstring& query, const std::wstring& property) override;

 private:
  ComPtr<IWbemServices> m_services;
};

// QueryWmiStrings: the objects' string values of one property, in order.
std::vector<std::wstring> WmiConnection::QueryWmiStrings(const std::wstring& query, const std::wstring& property) {
  std::vector<std::wstring> values;
  ComPtr<IEnumWbemClassObject> results;
  {
    SystemString language(L"WQL");
    SystemString text(query);
    const HRESULT hr = m_services->ExecQuery(language.Get(), text.Get(),
                                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                             nullptr, results.Put());
    if (FAILED(hr) || !results) return values;
  }
  for (;;) {
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    results->Next(WBEM_INFINITE, 1, object.Put(), &returned);
    if (returned == 0 || !object) break;
    Variant value;
    if (SUCCEEDED(object->Get(property.c_str(), 0, value.Get(), nullptr, nullptr)) &&
        value.Get()->vt == VT_BSTR) {
      const BSTR text = value.Get()->bstrVal;
      values.emplace_back(text ? text : L"");
    }
  }
  return values;
}

}  // namespace

std::unique_ptr<IWmiConnection> WmiDriveInfoSource::ConnectWmi() {
  ComPtr<IWbemLocator> locator;
  if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                locator.PutVoid()))) {
    return nullptr;
  }
  ComPtr<IWbemServices> services;
  SystemString root(L"ROOT\\CIMV2");
  if (FAILED(locator->ConnectServer(root.Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.Put())) ||
      !services) {
    return nullptr;
  }
  if (FAILED(::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE))) {
    return nullptr;
  }
  return std::make_unique<WmiConnection>(std::move(services));
}

std::wstring WmiDriveInfoSource::GetVolumeLabel(const std::wstring& rootPath) {
  wchar_t label[MAX_PATH] = {};
  ::GetVolumeInformationW(rootPath.c_str(), label, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0);
  label[MAX_PATH - 1] = L'\0';
  return std::wstring(label, ::lstrlenW(label));
}

}  // namespace Platform
