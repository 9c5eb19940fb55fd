// What crosses the pipe between the browser process and its renderer: one header for both
// sides. The framing and the payload encoding are in ipc_frames.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "include/cef_values.h"
#include "src/common/ipc_frames.h"

namespace cefimpl {

// How the browser process starts its renderer: this executable again with these switches.
constexpr char kProcessTypeSwitch[] = "type";
constexpr char kRendererProcessType[] = "renderer";
constexpr char kLanguageSwitch[] = "lang";
constexpr char kRendererPipeSwitch[] = "renderer-pipe";
// The renderer-pipe switch names a pair of pipes, one per direction: the browser process writes
// to the name plus kToRendererPipeSuffix and reads from the name plus kFromRendererPipeSuffix.
constexpr wchar_t kToRendererPipeSuffix[] = L".in";
constexpr wchar_t kFromRendererPipeSuffix[] = L".out";

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

// The argument lists of process messages, in the payload encoding of ipc_frames.h.
void WriteList(IpcWriter& writer, CefRefPtr<CefListValue> list);
CefRefPtr<CefListValue> ReadList(IpcReader& reader);

// Blocking frame I/O on a pipe handle. False when the pipe is closed or broken.
bool ReadIpcMessage(HANDLE pipe, IpcMessage* message);
bool WriteIpcMessage(HANDLE pipe, const IpcMessage& message);

IpcMessage MakeIpc(uint32_t type, int32_t browserId, int64_t frameId, const IpcWriter& payload);

std::string EncodeDisplayList(const std::wstring& title, const std::vector<DisplayItem>& items);
bool DecodeDisplayList(const std::string& payload,
                       std::wstring* title,
                       std::vector<DisplayItem>* items);

}  // namespace cefimpl
