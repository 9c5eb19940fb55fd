#include "src/common/ipc_messages.h"

#include "src/common/text.h"

namespace cefimpl {

namespace {
bool ReadExact(HANDLE pipe, void* buffer, size_t size) {
  char* p = static_cast<char*>(buffer);
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, p, static_cast<DWORD>(size), &got, nullptr) || got == 0)
      return false;
    p += got;
    size -= got;
  }
  return true;
}
}  // namespace

IpcWriter& IpcWriter::List(CefRefPtr<CefListValue> list) {
  size_t n = list ? list->GetSize() : 0;
  Int(static_cast<int32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    CefValueType type = list->GetType(i);
    Int(type);
    switch (type) {
      case VTYPE_BOOL:
        Int(list->GetBool(i) ? 1 : 0);
        break;
      case VTYPE_INT:
        Int(list->GetInt(i));
        break;
      case VTYPE_DOUBLE:
        Double(list->GetDouble(i));
        break;
      case VTYPE_STRING:
        Str(list->GetString(i).ToString());
        break;
      default:
        break;  // null and what this engine does not carry
    }
  }
  return *this;
}

CefRefPtr<CefListValue> IpcReader::List() {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  int32_t n = Int();
  if (n < 0 || static_cast<size_t>(n) > m_data.size()) {
    m_ok = false;
    return list;
  }
  for (int32_t i = 0; i < n && m_ok; ++i) {
    switch (Int()) {
      case VTYPE_BOOL:
        list->SetBool(i, Int() != 0);
        break;
      case VTYPE_INT:
        list->SetInt(i, Int());
        break;
      case VTYPE_DOUBLE:
        list->SetDouble(i, Double());
        break;
      case VTYPE_STRING:
        list->SetString(i, Str());
        break;
      default:
        list->SetNull(i);
        break;
    }
  }
  return list;
}

bool ReadIpcMessage(HANDLE pipe, IpcMessage* message) {
  uint32_t size = 0;
  if (!ReadExact(pipe, &size, sizeof(size)) || size < 16 || size > kMaxIpcFrame)
    return false;
  std::string frame(size, '\0');
  if (!ReadExact(pipe, &frame[0], size))
    return false;
  memcpy(&message->type, frame.data(), 4);
  memcpy(&message->browserId, frame.data() + 4, 4);
  memcpy(&message->frameId, frame.data() + 8, 8);
  message->payload = frame.substr(16);
  return true;
}

bool WriteIpcMessage(HANDLE pipe, const IpcMessage& message) {
  std::string frame;
  uint32_t size = static_cast<uint32_t>(16 + message.payload.size());
  frame.append(reinterpret_cast<const char*>(&size), 4);
  frame.append(reinterpret_cast<const char*>(&message.type), 4);
  frame.append(reinterpret_cast<const char*>(&message.browserId), 4);
  frame.append(reinterpret_cast<const char*>(&message.frameId), 8);
  frame.append(message.payload);
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
  IpcReader r(payload);
  *title = Utf8ToWide(r.Str());
  int32_t n = r.Int();
  items->clear();
  for (int32_t i = 0; i < n && r.ok(); ++i) {
    DisplayItem item;
    item.kind = r.Int();
    item.text = Utf8ToWide(r.Str());
    item.element = r.Int();
    if (r.ok())
      items->push_back(item);
  }
  return r.ok();
}

}  // namespace cefimpl
