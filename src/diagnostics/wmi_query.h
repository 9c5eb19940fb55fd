// One WMI connection to "ROOT\CIMV2" and the reading of a single property of a class's first
// instance as text.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

struct IWbemLocator;
struct IWbemServices;
struct IEnumWbemClassObject;
struct IWbemClassObject;

class CWmiQuery {
 public:
  // Connects; on failure the object stays empty and every Query returns false. The thread must
  // have initialised COM.
  CWmiQuery();
  ~CWmiQuery();
  CWmiQuery(const CWmiQuery&) = delete;
  CWmiQuery& operator=(const CWmiQuery&) = delete;

  // Reads property of the first instance that "SELECT * FROM <className>" yields into out.
  // True when the property was read; out then holds its text (see VariantToText).
  bool Query(const std::wstring& className, const std::wstring& property, std::wstring& out);

  // Reads several properties of that first instance with one query: each (name, out) pair as
  // Query would, an out whose property cannot be read left as it was. True when the class had
  // an instance.
  bool QueryFirst(const std::wstring& className,
                  const std::vector<std::pair<const wchar_t*, std::wstring*>>& properties);
  bool IsConnected() const { return m_services != nullptr; }

 private:
  void ReleaseResult();

  IWbemLocator* m_locator = nullptr;
  IWbemServices* m_services = nullptr;
  IEnumWbemClassObject* m_enumerator = nullptr;
  IWbemClassObject* m_object = nullptr;
};

namespace zarvik {
// Text of a WMI value: integers in decimal, strings as they are (empty for a null string),
// booleans "是"/"否", the first element of a string array; the data bytes of a 32-bit integer
// array (at most up to index 519) are appended as "%02X" each. Other types leave out unchanged.
void VariantToText(const VARIANT& value, std::wstring& out);
}  // namespace zarvik
