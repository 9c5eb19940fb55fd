#include "src/browser/renderer_host.h"

#include <bcrypt.h>
#include <sddl.h>
#include <stdint.h>

#include <vector>

#include "src/browser/engine.h"
#include "src/common/text.h"
#include "src/common/threads.h"
#include "src/common/trace_events.h"

namespace cefimpl {

namespace {

// Names tried for the renderer's pipes before the launch fails (each with another random part).
const int kPipeNameTries = 3;

// A renderer asked to end gets this long to do so before it is terminated ...
const DWORD kRendererEndWaitMs = 5000;
// ... and a terminated one this long to be gone before the pipes are let go anyway.
const DWORD kTerminatedRendererWaitMs = 5000;

std::wstring OwnExecutable() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The pipes' access list: only the user this process runs as (and the system). Null when it
// cannot be built; the pipe then gets the default one, and the process id check still holds.
ScopedLocalMemory<PSECURITY_DESCRIPTOR> UserOnlySecurity() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken))
    return {};
  ScopedHandle token(rawToken);
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()),
                           &size))
    return {};
  wchar_t* rawSid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &rawSid))
    return {};
  ScopedLocalMemory<wchar_t*> sid(rawSid);
  std::wstring sddl = L"D:P(A;;GA;;;" + std::wstring(sid.Get()) + L")(A;;GA;;;SY)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                       nullptr);
  return ScopedLocalMemory<PSECURITY_DESCRIPTOR>(descriptor);
}

// One instance, this machine only (remote clients are refused), this user only.
ScopedFileHandle CreatePipeEnd(const std::wstring& name, DWORD direction) {
  ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor = UserOnlySecurity();
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.Get(), FALSE};
  return ScopedFileHandle(
      CreateNamedPipeW(name.c_str(), direction | FILE_FLAG_FIRST_PIPE_INSTANCE,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                       1, 1 << 16, 1 << 16, 0, descriptor ? &attributes : nullptr));
}

// 64 random bits in 16 hex digits, so that no other process can guess a pipe's name and create
// it first (which would stop the renderer from starting).
std::wstring RandomNamePart() {
  uint64_t bits = 0;
  NTSTATUS status = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bits), sizeof(bits),
                                    BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) {
    // Still different on every try, though not secret.
    EngineLog(LOGSEVERITY_WARNING, "no random bytes for the renderer pipe name, status " +
                                       std::to_string(static_cast<unsigned long>(status)));
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    bits = static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull ^ GetTickCount();
  }
  std::wstring text(16, L'0');
  for (int i = 15; i >= 0; --i, bits >>= 4)
    text[i] = L"0123456789abcdef"[bits & 0xF];
  return text;
}

}  // namespace

bool RendererHost::Launch() {
  TraceSpan span("renderer process started");
  Engine* engine = Engine::Get();
  static LONG counter = 0;
  const std::wstring prefix = L"\\\\.\\pipe\\cef-renderer-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(InterlockedIncrement(&counter)) + L"-";
  DWORD error = 0;
  for (int attempt = 0; attempt < kPipeNameTries && (!m_toRenderer || !m_fromRenderer); ++attempt) {
    m_pipeName = prefix + RandomNamePart();
    m_toRenderer = CreatePipeEnd(m_pipeName + kToRendererPipeSuffix, PIPE_ACCESS_OUTBOUND);
    error = GetLastError();
    if (m_toRenderer) {
      m_fromRenderer = CreatePipeEnd(m_pipeName + kFromRendererPipeSuffix, PIPE_ACCESS_INBOUND);
      error = GetLastError();
    }
    if (!m_toRenderer || !m_fromRenderer) {
      m_toRenderer.Reset();
      m_fromRenderer.Reset();
    }
  }
  if (!m_toRenderer || !m_fromRenderer) {
    EngineLog(LOGSEVERITY_ERROR,
              "cannot create the renderer pipes, error " + std::to_string(error));
    m_ended = true;
    return false;
  }

  // The renderer gets the switches of the browser's command line (with what the application
  // added), its role, the language and the pipe.
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->SetProgram(engine->settings.subprocessPath.empty() ? OwnExecutable()
                                                           : engine->settings.subprocessPath);
  line->AppendSwitchWithValue(kProcessTypeSwitch, kRendererProcessType);
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
    std::string bare = WideToUtf8(key.substr(prefix));
    if (bare == kProcessTypeSwitch || bare == kLanguageSwitch || bare == kRendererPipeSwitch)
      continue;
    if (eq == std::wstring::npos)
      line->AppendSwitch(key);
    else
      line->AppendSwitchWithValue(key, arg.substr(eq + 1));
  }
  line->AppendSwitchWithValue(kLanguageSwitch, engine->settings.locale);
  line->AppendSwitchWithValue(kRendererPipeSwitch, m_pipeName);
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
    m_toRenderer.Reset();  // nobody will connect: the pipe names are free again
    m_fromRenderer.Reset();
    m_ended = true;
    return false;
  }
  m_process.Reset(pi.hProcess);
  ScopedHandle thread(pi.hThread);
  m_processId = pi.dwProcessId;
  // The renderer ends with this process: a job that kills its members when its last handle
  // closes; the renderer also ends when its pipe breaks.
  m_job.Reset(CreateJobObjectW(nullptr, nullptr));
  if (m_job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job.Get(), JobObjectExtendedLimitInformation, &limits,
                            sizeof(limits));
    // a failure leaves the pipe as the only tie
    AssignProcessToJobObject(m_job.Get(), m_process.Get());
  }
  ResumeThread(thread.Get());
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
                  (known ? std::to_string(client)
                         : "unknown (error " + std::to_string(GetLastError()) + ")") +
                  " is not the renderer " + std::to_string(m_processId));
    DisconnectNamedPipe(pipe);
  }
}

void RendererHost::WriterMain() {
  bool connected = ConnectRenderer(m_toRenderer.Get(), "in");
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
    if (!connected || !WriteIpcMessage(m_toRenderer.Get(), message)) {
      std::lock_guard<std::mutex> lock(m_lock);
      m_queue.clear();
      if (m_stop)
        return;
      connected = false;
    }
  }
}

void RendererHost::ReaderMain() {
  if (ConnectRenderer(m_fromRenderer.Get(), "out")) {
    IpcMessage message;
    while (ReadIpcMessage(m_fromRenderer.Get(), &message)) {
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
    CefPostTask(TID_UI, cefimpl::FunctionTask([] { OnRendererGone(TS_PROCESS_CRASHED); }));
  }
}

// Lets a thread blocked in ConnectNamedPipe go on: connect to the pipe ourselves.
void RendererHost::Unblock() {
  ScopedFileHandle in(CreateFileW((m_pipeName + kToRendererPipeSuffix).c_str(), GENERIC_READ, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
  ScopedFileHandle out(CreateFileW((m_pipeName + kFromRendererPipeSuffix).c_str(), GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
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
  if (m_process && WaitForSingleObject(m_process.Get(), kRendererEndWaitMs) != WAIT_OBJECT_0) {
    EngineLog(LOGSEVERITY_WARNING, "renderer did not end; terminating it");
    TerminateProcess(m_process.Get(), 1);
    WaitForSingleObject(m_process.Get(), kTerminatedRendererWaitMs);
  }
  // Threads still waiting for a renderer that never connected are let go.
  Unblock();
  if (m_writer.joinable())
    m_writer.join();
  if (m_reader.joinable())
    m_reader.join();
  // The pipes, the process and the job (which ends a renderer still in it) close with their
  // owners.
}

}  // namespace cefimpl
