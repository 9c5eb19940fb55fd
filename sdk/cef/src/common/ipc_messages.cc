#include "src/common/ipc_messages.h"

#include "src/common/text.h"

namespace cefimpl {

void WriteList(IpcWriter& w, CefRefPtr<CefListValue> list) {
  size_t n = list ? list->GetSize() : 0;
  w.Int(static_cast<int32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    CefValueType type = list->GetType(i);
    w.Int(type);
    switch (type) {
      case VTYPE_BOOL:
        w.Int(list->GetBool(i) ? 1 : 0);
        break;
      case VTYPE_INT:
        w.Int(list->GetInt(i));
        break;
      case VTYPE_DOUBLE:
        w.Double(list->GetDouble(i));
        break;
      case VTYPE_STRING:
        w.Str(list->GetString(i).ToString());
        break;
      default:
        break;  // null and what this engine does not carry
    }
  }
}

CefRefPtr<CefListValue> ReadList(IpcReader& r) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  int32_t n = r.Int();
  if (n < 0 || static_cast<size_t>(n) > r.remaining()) {
    r.Fail();
    return list;
  }
  for (int32_t i = 0; i < n && r.ok(); ++i) {
    switch (r.Int()) {
      case VTYPE_BOOL:
        list->SetBool(i, r.Int() != 0);
        break;
      case VTYPE_INT:
        list->SetInt(i, r.Int());
        break;
      case VTYPE_DOUBLE:
        list->SetDouble(i, r.Double());
        break;
      case VTYPE_STRING:
        list->SetString(i, r.Str());
        break;
      default:
        list->SetNull(i);
        break;
    }
  }
  return list;
}

bool ReadIpcMessage(HANDLE pipe, IpcMessage* message) {
  return ReadIpcFrame(
      [pipe](char* buffer, size_t capacity) -> size_t {
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, static_cast<DWORD>(capacity), &got, nullptr))
          return 0;
        return got;
      },
      message);
}

bool WriteIpcMessage(HANDLE pipe, const IpcMessage& message) {
  std::string frame = EncodeIpcFrame(message);
  const char* p = frame.data();
  size_t left = frame.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(pipe, p, static_cast<DWORD>(left), &written, nullptr) || written == 0)
      return false;
    p += written;
    left -= written;
  }
  return true;
}

IpcMessage MakeIpc(uint32_t type, int32_t browserId, int64_t frameId, const IpcWriter& payload) {
  IpcMessage m;
  m.type = type;
  m.browserId = browserId;
  m.frameId = frameId;
  m.payload = payload.data();
  return m;
}

std::string EncodeDisplayList(const std::wstring& title, const std::vector<DisplayItem>& items) {
  IpcWriter w;
  w.Str(WideToUtf8(title)).Int(static_cast<int32_t>(items.size()));
  for (const auto& item : items)
    w.Int(item.kind).Str(WideToUtf8(item.text)).Int(item.element);
  return w.data();
}

bool DecodeDisplayList(const std::string& payload,
                       std::wstring* title,
                       std::vector<DisplayItem>* items) {
  std::string utf8Title;
  std::vector<DisplayItemUtf8> utf8Items;
  bool ok = DecodeDisplayListUtf8(payload, &utf8Title, &utf8Items);
  *title = Utf8ToWide(utf8Title);
  items->clear();
  for (const DisplayItemUtf8& item : utf8Items) {
    DisplayItem wide;
    wide.kind = item.kind;
    wide.text = Utf8ToWide(item.text);
    wide.element = item.element;
    items->push_back(std::move(wide));
  }
  return ok;
}

}  // namespace cefimpl
