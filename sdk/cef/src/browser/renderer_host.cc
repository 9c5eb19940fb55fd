#include "src/browser/renderer_host.h"

#include <sddl.h>

#include <vector>

#include "src/browser/engine.h"
#include "src/common/text.h"
#include "src/common/threads.h"

namespace cefimpl {

namespace {

std::wstring OwnExecutable() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The pipes' access list: only the user this process runs as (and the system). Null when it
// cannot be built; the pipe then gets the default one, and the process id check still holds.
PSECURITY_DESCRIPTOR UserOnlySecurity() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return nullptr;
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                          &size)) {
    wchar_t* sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      std::wstring sddl = L"D:P(A;;GA;;;" + std::wstring(sid) + L")(A;;GA;;;SY)";
      ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                           &descriptor, nullptr);
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return descriptor;
}

// One instance, this machine only (remote clients are refused), this user only.
HANDLE CreatePipeEnd(const std::wstring& name, DWORD direction) {
  PSECURITY_DESCRIPTOR descriptor = UserOnlySecurity();
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  HANDLE pipe = CreateNamedPipeW(
      name.c_str(), direction | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 1 << 16,
      1 << 16, 0, descriptor ? &attributes : nullptr);
  if (descriptor)
    LocalFree(descriptor);
  return pipe;
}

}  // namespace

bool RendererHost::Launch() {
  Engine* engine = Engine::Get();
  static LONG counter = 0;
  m_pipeName = L"\\\\.\\pipe\\cef-renderer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(InterlockedIncrement(&counter));
  m_toRenderer = CreatePipeEnd(m_pipeName + L".in", PIPE_ACCESS_OUTBOUND);
  m_fromRenderer = CreatePipeEnd(m_pipeName + L".out", PIPE_ACCESS_INBOUND);
  if (m_toRenderer == INVALID_HANDLE_VALUE || m_fromRenderer == INVALID_HANDLE_VALUE) {
    EngineLog(LOGSEVERITY_ERROR,
              "cannot create the renderer pipes, error " + std::to_string(GetLastError()));
    m_ended = true;
    return false;
  }

  // The renderer gets the switches of the browser's command line (with what the application
  // added), its role, the language and the pipe.
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->SetProgram(engine->settings.subprocessPath.empty() ? OwnExecutable()
                                                           : engine->settings.subprocessPath);
  line->AppendSwitchWithValue("type", "renderer");
  std::vector<CefString> argv;
  engine->commandLine->GetArgv(argv);
  CefCommandLine::ArgumentList arguments;
  engine->commandLine->GetArguments(arguments);
  size_t switchEnd = argv.size() - arguments.size();
  for (size_t i = 1; i < switchEnd; ++i) {
    std::wstring arg = argv[i].ToWString();
    size_t eq = arg.find(L'=');
    std::wstring key = arg.substr(0, eq);
    if (key.empty())
      continue;
    size_t prefix = key.compare(0, 2, L"--") == 0 ? 2 : (key[0] == L'-' || key[0] == L'/' ? 1 : 0);
    std::wstring bare = key.substr(prefix);
    if (bare == L"type" || bare == L"lang" || bare == L"renderer-pipe")
      continue;
    if (eq == std::wstring::npos)
      line->AppendSwitch(key);
    else
      line->AppendSwitchWithValue(key, arg.substr(eq + 1));
  }
  line->AppendSwitchWithValue("lang", engine->settings.locale);
  line->AppendSwitchWithValue("renderer-pipe", m_pipeName);
  if (engine->processHandler)
    engine->processHandler->OnBeforeChildProcessLaunch(line);

  std::wstring program = line->GetProgram().ToWString();
  std::wstring text = line->GetCommandLineString().ToWString();
  STARTUPINFOW si = {sizeof(si)};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(program.c_str(), &text[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                      nullptr, &si, &pi)) {
    EngineLog(LOGSEVERITY_ERROR,
              "cannot start the renderer process, error " + std::to_string(GetLastError()));
    m_ended = true;
    return false;
  }
  // The renderer ends with this process: a job that kills its members when its last handle
  // closes; the renderer also ends when its pipe breaks.
  m_job = CreateJobObjectW(nullptr, nullptr);
  if (m_job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    AssignProcessToJobObject(m_job, pi.hProcess);  // a failure leaves the pipe as the only tie
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  m_process = pi.hProcess;
  m_processId = pi.dwProcessId;
  EngineLog(LOGSEVERITY_INFO,
            "renderer process " + std::to_string(m_processId) + " started: " + WideToUtf8(text));
  m_writer = std::thread([this] { WriterMain(); });
  m_reader = std::thread([this] { ReaderMain(); });
  return true;
}

void RendererHost::Send(const IpcMessage& message) {
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_stop)
      return;
    m_queue.push_back(message);
  }
  m_wake.notify_one();
}

// Waits for the renderer on one pipe end. Any other client (a local process that opened the
// name first) is logged and disconnected, and the wait goes on. False when the pipe broke or
// the host is stopping (its own Unblock connects then).
bool RendererHost::ConnectRenderer(HANDLE pipe, const char* end) {
  for (;;) {
    if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED)
      return false;
    ULONG client = 0;
    bool known = GetNamedPipeClientProcessId(pipe, &client) != FALSE;
    if (known && client == m_processId)
      return true;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      if (m_stop)
        return false;
    }
    EngineLog(LOGSEVERITY_ERROR,
              std::string("refused a client of the renderer pipe ") + end + ": process " +
                  (known ? std::to_string(client) : "unknown (error " +
                                                        std::to_string(GetLastError()) + ")") +
                  " is not the renderer " + std::to_string(m_processId));
    DisconnectNamedPipe(pipe);
  }
}

void RendererHost::WriterMain() {
  bool connected = ConnectRenderer(m_toRenderer, "in");
  for (;;) {
    IpcMessage message;
    {
      std::unique_lock<std::mutex> lock(m_lock);
      m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
      if (m_queue.empty())
        return;  // stopping with nothing left to send
      message = std::move(m_queue.front());
      m_queue.pop_front();
    }
    if (!connected || !WriteIpcMessage(m_toRenderer, message)) {
      std::lock_guard<std::mutex> lock(m_lock);
      m_queue.clear();
      if (m_stop)
        return;
      connected = false;
    }
  }
}

void RendererHost::ReaderMain() {
  if (ConnectRenderer(m_fromRenderer, "out")) {
    IpcMessage message;
    while (ReadIpcMessage(m_fromRenderer, &message)) {
      IpcMessage copy = message;
      CefPostTask(TID_UI, cefimpl::FunctionTask([copy] { DispatchRendererMessage(copy); }));
    }
  }
  bool expected;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    expected = m_stop;
  }
  m_ended = true;
  if (!expected) {
    EngineLog(LOGSEVERITY_ERROR, "renderer process " + std::to_string(m_processId) + " is gone");
    CefPostTask(TID_UI, cefimpl::FunctionTask([] { OnRendererGone(); }));
  }
}

// Lets a thread blocked in ConnectNamedPipe go on: connect to the pipe ourselves.
void RendererHost::Unblock() {
  HANDLE in = CreateFileW((m_pipeName + L".in").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr);
  HANDLE out = CreateFileW((m_pipeName + L".out").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
  if (in != INVALID_HANDLE_VALUE)
    CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE)
    CloseHandle(out);
}

RendererHost::~RendererHost() {
  if (m_process) {
    IpcWriter none;
    Send(MakeIpc(IPC_SHUTDOWN, 0, 0, none));
  }
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  // The writer sends what is queued, the shutdown last; a renderer that does not end in time is
  // ended, which breaks the pipes under both threads.
  if (m_process && WaitForSingleObject(m_process, 5000) != WAIT_OBJECT_0) {
    EngineLog(LOGSEVERITY_WARNING, "renderer did not end; terminating it");
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, 5000);
  }
  // Threads still waiting for a renderer that never connected are let go.
  Unblock();
  if (m_writer.joinable())
    m_writer.join();
  if (m_reader.joinable())
    m_reader.join();
  if (m_toRenderer != INVALID_HANDLE_VALUE)
    CloseHandle(m_toRenderer);
  if (m_fromRenderer != INVALID_HANDLE_VALUE)
    CloseHandle(m_fromRenderer);
  if (m_process)
    CloseHandle(m_process);
  if (m_job)
    CloseHandle(m_job);
}

}  // namespace cefimpl
