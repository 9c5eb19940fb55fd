// What crosses the pipe between the browser process and its renderer: one header for both
// sides. A frame on the pipe is: uint32 size of what follows, uint32 type, int32 browser id,
// int64 frame id, then the payload written with IpcWriter (little-endian numbers, strings as
// uint32 byte count and UTF-8 bytes).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "include/cef_values.h"

namespace cefimpl {

enum IpcType : uint32_t {
  // Browser process -> renderer.
  IPC_BROWSER_CREATED = 1,  // int is_popup
  IPC_BROWSER_DESTROYED,    // -
  IPC_COMMIT_DOCUMENT,      // int nav id, str url, int http status, str mime type, str body
  IPC_EXECUTE_JAVASCRIPT,   // str code, str script url, int start line
  IPC_PROCESS_MESSAGE,      // str name, list arguments (both directions)
  IPC_ACTIVATE_ELEMENT,     // int element id (a click or Enter on a link or button)
  IPC_SHUTDOWN,             // -
  // Renderer -> browser process.
  IPC_RENDERER_READY = 100,  // int process id
  IPC_CONSOLE_MESSAGE,       // int severity, str message, str source, int line
  IPC_NAVIGATE,              // str url, int transition type
  IPC_OPEN_POPUP,            // str url, str target frame name, int disposition, int user gesture
  IPC_FULLSCREEN,            // int entered
  IPC_DISPLAY_LIST,          // str title, int count, count x (int kind, str text, int element)
  IPC_DOCUMENT_READY,        // int nav id
};

// One element of the painted document.
enum DisplayKind : int {
  DISPLAY_TEXT = 0,
  DISPLAY_LINK = 1,
  DISPLAY_BUTTON = 2,
  DISPLAY_BREAK = 3,
  DISPLAY_HEADING = 4,
};

struct DisplayItem {
  int kind = DISPLAY_TEXT;
  std::wstring text;
  int element = -1;  // links and buttons: the id the renderer activates
};

struct IpcMessage {
  uint32_t type = 0;
  int32_t browserId = 0;
  int64_t frameId = 0;
  std::string payload;
};

class IpcWriter {
 public:
  IpcWriter& Int(int32_t v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Int64(int64_t v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Double(double v) { return Raw(&v, sizeof(v)); }
  IpcWriter& Str(const std::string& s) {
    uint32_t n = static_cast<uint32_t>(s.size());
    Raw(&n, sizeof(n));
    m_data.append(s);
    return *this;
  }
  IpcWriter& List(CefRefPtr<CefListValue> list);
  const std::string& data() const { return m_data; }

 private:
  IpcWriter& Raw(const void* p, size_t n) {
    m_data.append(static_cast<const char*>(p), n);
    return *this;
  }
  std::string m_data;
};

// Reads what IpcWriter wrote; a short or damaged payload reads as zeros and empty strings and
// makes ok() false.
class IpcReader {
 public:
  explicit IpcReader(const std::string& data) : m_data(data) {}
  int32_t Int() {
    int32_t v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  int64_t Int64() {
    int64_t v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  double Double() {
    double v = 0;
    Raw(&v, sizeof(v));
    return v;
  }
  std::string Str() {
    uint32_t n = 0;
    Raw(&n, sizeof(n));
    if (!m_ok || n > m_data.size() - m_pos) {
      m_ok = false;
      return std::string();
    }
    std::string s = m_data.substr(m_pos, n);
    m_pos += n;
    return s;
  }
  CefRefPtr<CefListValue> List();
  bool ok() const { return m_ok; }

 private:
  void Raw(void* p, size_t n) {
    if (!m_ok || n > m_data.size() - m_pos) {
      m_ok = false;
      return;
    }
    memcpy(p, m_data.data() + m_pos, n);
    m_pos += n;
  }
  const std::string& m_data;
  size_t m_pos = 0;
  bool m_ok = true;
};

// The largest frame either side accepts; a bigger size means a broken pipe.
constexpr uint32_t kMaxIpcFrame = 64u << 20;

// Blocking frame I/O on a pipe handle. False when the pipe is closed or broken.
bool ReadIpcMessage(HANDLE pipe, IpcMessage* message);
bool WriteIpcMessage(HANDLE pipe, const IpcMessage& message);

IpcMessage MakeIpc(uint32_t type, int32_t browserId, int64_t frameId, const IpcWriter& payload);

std::string EncodeDisplayList(const std::wstring& title, const std::vector<DisplayItem>& items);
bool DecodeDisplayList(const std::string& payload,
                       std::wstring* title,
                       std::vector<DisplayItem>* items);

}  // namespace cefimpl
