#include "diagnostics/wmi_query.h"

#include <objbase.h>
#include <wbemcli.h>

#include <cwchar>

namespace {

// The WMI locator's class and interface.
const CLSID kWbemLocatorClass = {0x4590F811,
                                 0x1D3A,
                                 0x11D0,
                                 {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};
const IID kWbemLocatorInterface = {0xDC12A687,
                                   0x737F,
                                   0x11CF,
                                   {0x88, 0x4D, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

constexpr LONG kMaxArrayIndex = 519;

class ScopedBstr {
 public:
  explicit ScopedBstr(const std::wstring& text) : m_bstr(SysAllocString(text.c_str())) {}
  ~ScopedBstr() { SysFreeString(m_bstr); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR Get() const { return m_bstr; }

 private:
  BSTR m_bstr;
};

}  // namespace

namespace zarvik {

void VariantToText(const VARIANT& value, std::wstring& out) {
  switch (value.vt) {
    case VT_I4:
      out = std::to_wstring(value.lVal);
      return;
    case VT_UI4:
      out = std::to_wstring(value.ulVal);
      return;
    case VT_UI1:
      out = std::to_wstring(value.bVal);
      return;
    case VT_BSTR:
      out =
          value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : std::wstring();
      return;
    case VT_BOOL:
      out = value.boolVal != VARIANT_FALSE ? L"是" : L"否";
      return;
    case VT_ARRAY | VT_BSTR: {
      out.clear();
      SAFEARRAY* array = value.parray;
      LONG lower = 0, upper = -1;
      if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
          FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper < lower)
        return;
      BSTR first = nullptr;
      if (SUCCEEDED(SafeArrayGetElement(array, &lower, &first)) && first) {
        out.assign(first, SysStringLen(first));
        SysFreeString(first);
      }
      return;
    }
    case VT_ARRAY | VT_I4: {
      SAFEARRAY* array = value.parray;
      LONG lower = 0, upper = -1;
      if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
          FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return;
      void* data = nullptr;
      if (FAILED(SafeArrayAccessData(array, &data)))
        return;
      const BYTE* bytes = static_cast<const BYTE*>(data);
      // One byte per index: the array holds four times as many, so this never reads past it.
      for (LONG i = lower; i <= upper && i <= kMaxArrayIndex; ++i) {
        wchar_t hex[4];
        swprintf(hex, 4, L"%02X", bytes[i - lower]);
        out += hex;
      }
      SafeArrayUnaccessData(array);
      return;
    }
    default:
      return;
  }
}

}  // namespace zarvik

CWmiQuery::CWmiQuery() {
  // Fails once the process has set its security; the result is deliberately ignored.
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                       RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  if (FAILED(CoCreateInstance(kWbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER,
                              kWbemLocatorInterface, reinterpret_cast<void**>(&m_locator)))) {
    m_locator = nullptr;
    return;
  }
  ScopedBstr resource(L"ROOT\\CIMV2");
  if (FAILED(m_locator->ConnectServer(resource.Get(), nullptr, nullptr, nullptr, 0, nullptr,
                                      nullptr, &m_services))) {
    m_services = nullptr;
    return;
  }
  CoSetProxyBlanket(m_services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                    RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

CWmiQuery::~CWmiQuery() {
  ReleaseResult();
  if (m_services)
    m_services->Release();
  if (m_locator)
    m_locator->Release();
}

void CWmiQuery::ReleaseResult() {
  if (m_object) {
    m_object->Release();
    m_object = nullptr;
  }
  if (m_enumerator) {
    m_enumerator->Release();
    m_enumerator = nullptr;
  }
}

bool CWmiQuery::QueryFirst(
    const std::wstring& className,
    const std::vector<std::pair<const wchar_t*, std::wstring*>>& properties) {
  if (!m_services)
    return false;
  ScopedBstr language(L"WQL");
  ScopedBstr query(L"SELECT * FROM " + className);
  bool found = false;
  if (SUCCEEDED(m_services->ExecQuery(language.Get(), query.Get(),
                                      WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                      nullptr, &m_enumerator)) &&
      m_enumerator) {
    ULONG returned = 0;
    if (SUCCEEDED(m_enumerator->Next(WBEM_INFINITE, 1, &m_object, &returned)) && returned == 1 &&
        m_object) {
      found = true;
      for (const auto& property : properties) {
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(m_object->Get(property.first, 0, &value, nullptr, nullptr)))
          zarvik::VariantToText(value, *property.second);
        VariantClear(&value);
      }
    }
  }
  ReleaseResult();
  return found;
}

bool CWmiQuery::Query(const std::wstring& className,
                      const std::wstring& property,
                      std::wstring& out) {
  if (!m_services)
    return false;
  ScopedBstr language(L"WQL");
  ScopedBstr query(L"SELECT * FROM " + className);
  bool read = false;
  if (SUCCEEDED(m_services->ExecQuery(language.Get(), query.Get(),
                                      WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                      nullptr, &m_enumerator)) &&
      m_enumerator) {
    ULONG returned = 0;
    if (SUCCEEDED(m_enumerator->Next(WBEM_INFINITE, 1, &m_object, &returned)) && returned == 1 &&
        m_object) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(m_object->Get(property.c_str(), 0, &value, nullptr, nullptr))) {
        zarvik::VariantToText(value, out);
        read = true;
      }
      VariantClear(&value);
    }
  }
  ReleaseResult();
  return read;
}
