// The browser process's side of the renderer: starts the renderer process (this executable
// again with "--type=renderer"), and moves framed messages over two named pipes. Messages sent
// before the renderer has connected wait in order; messages from it run as UI-thread tasks.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "src/common/ipc_messages.h"
#include "src/common/scoped_handle.h"

namespace cefimpl {

class RendererHost {
 public:
  RendererHost() = default;
  ~RendererHost();  // asks the renderer to end, waits a little, then ends it
  RendererHost(const RendererHost&) = delete;
  RendererHost& operator=(const RendererHost&) = delete;

  // UI thread. Builds the command line (OnBeforeChildProcessLaunch) and starts the process.
  bool Launch();
  // Any thread; queued until the renderer is connected.
  void Send(const IpcMessage& message);
  bool HasEnded() const { return m_ended.load(); }
  DWORD ProcessId() const { return m_processId; }

 private:
  void ReaderMain();
  void WriterMain();
  void Unblock();
  bool ConnectRenderer(HANDLE pipe, const char* end);

  std::wstring m_pipeName;
  ScopedFileHandle m_toRenderer;
  ScopedFileHandle m_fromRenderer;
  ScopedHandle m_process;
  ScopedHandle m_job;
  DWORD m_processId = 0;
  std::thread m_reader;
  std::thread m_writer;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<IpcMessage> m_queue;
  bool m_stop = false;
  std::atomic<bool> m_ended{false};
};

// Handles one message from the renderer on the UI thread.
void DispatchRendererMessage(const IpcMessage& message);
// The renderer died on its own or could not start (UI thread): the browsers hear of it with
// |status|; the next load starts a new renderer.
void OnRendererGone(cef_termination_status_t status);

}  // namespace cefimpl
