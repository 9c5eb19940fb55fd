#include "include/cef_command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <mutex>

#include "src/common/library_names.h"
#include "src/common/text.h"

namespace {

const wchar_t* const kSwitchPrefixes[] = {L"--", L"-", L"/"};

size_t SwitchPrefixLength(const std::wstring& arg) {
  for (const wchar_t* prefix : kSwitchPrefixes) {
    size_t n = wcslen(prefix);
    if (arg.compare(0, n, prefix) == 0 && arg.size() > n)
      return n;
  }
  return 0;
}

std::wstring LowerWide(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z')
      c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

// Quotes an argument so CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
    return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    out.push_back(c);
  }
  out.append(backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

class CommandLineImpl : public CefCommandLine {
 public:
  explicit CommandLineImpl(bool readOnly = false) : m_readOnly(readOnly) { m_argv.push_back(L""); }

  bool IsValid() override { return true; }
  bool IsReadOnly() override { return m_readOnly; }
  CefRefPtr<CefCommandLine> Copy() override {
    std::lock_guard<std::mutex> lock(m_lock);
    CefRefPtr<CommandLineImpl> copy = new CommandLineImpl();
    copy->m_argv = m_argv;
    copy->m_switches = m_switches;
    copy->m_beginArgs = m_beginArgs;
    return copy.get();
  }
  void InitFromArgv(int argc, const char* const* argv) override {
    std::vector<std::wstring> args;
    for (int i = 0; i < argc; ++i)
      args.push_back(cefimpl::Utf8ToWide(argv[i] ? argv[i] : ""));
    InitFromList(args);
  }
  void InitFromString(const CefString& commandLine) override {
    std::vector<std::wstring> args;
    std::wstring text = commandLine.ToWString();
    // Leading blanks would make the system's splitter take an empty program name.
    size_t start = text.find_first_not_of(L" \t");
    if (start != std::wstring::npos) {
      int count = 0;
      LPWSTR* list = CommandLineToArgvW(text.c_str() + start, &count);
      if (list) {
        for (int i = 0; i < count; ++i)
          args.push_back(list[i]);
        LocalFree(list);
      }
    }
    InitFromList(args);
  }
  void Reset() override {
    if (m_readOnly)
      return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_argv.assign(1, L"");
    m_switches.clear();
    m_beginArgs = 1;
  }
  void GetArgv(std::vector<CefString>& argv) override {
    std::lock_guard<std::mutex> lock(m_lock);
    argv.clear();
    for (const auto& a : m_argv)
      argv.push_back(a);
  }
  CefString GetCommandLineString() override {
    std::lock_guard<std::mutex> lock(m_lock);
    std::wstring out;
    for (size_t i = 0; i < m_argv.size(); ++i) {
      if (i == 0 && m_argv[0].empty())
        continue;
      if (!out.empty())
        out.push_back(L' ');
      out += QuoteArgument(m_argv[i]);
    }
    return out;
  }
  CefString GetProgram() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_argv[0];
  }
  void SetProgram(const CefString& program) override {
    if (m_readOnly)
      return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_argv[0] = program.ToWString();
  }
  bool HasSwitches() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return !m_switches.empty();
  }
  bool HasSwitch(const CefString& name) override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_switches.count(LowerWide(name.ToWString())) != 0;
  }
  CefString GetSwitchValue(const CefString& name) override {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_switches.find(LowerWide(name.ToWString()));
    return it == m_switches.end() ? CefString() : CefString(it->second);
  }
  void GetSwitches(SwitchMap& switches) override {
    std::lock_guard<std::mutex> lock(m_lock);
    switches.clear();
    for (const auto& s : m_switches)
      switches[s.first] = s.second;
  }
  void AppendSwitch(const CefString& name) override { AppendSwitchWithValue(name, CefString()); }
  void AppendSwitchWithValue(const CefString& name, const CefString& value) override {
    if (m_readOnly)
      return;
    std::lock_guard<std::mutex> lock(m_lock);
    // The switch keeps the prefix it was given; one without gets "--".
    std::wstring text = LowerWide(name.ToWString());
    size_t prefix = SwitchPrefixLength(text);
    m_switches[text.substr(prefix)] = value.ToWString();
    if (prefix == 0)
      text = L"--" + text;
    if (!value.empty())
      text += L"=" + value.ToWString();
    m_argv.insert(m_argv.begin() + m_beginArgs, text);
    ++m_beginArgs;
  }
  bool HasArguments() override {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_argv.size() > m_beginArgs;
  }
  void GetArguments(ArgumentList& arguments) override {
    std::lock_guard<std::mutex> lock(m_lock);
    arguments.clear();
    for (size_t i = m_beginArgs; i < m_argv.size(); ++i)
      arguments.push_back(m_argv[i]);
  }
  void AppendArgument(const CefString& argument) override {
    if (m_readOnly)
      return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_argv.push_back(argument.ToWString());
  }
  void PrependWrapper(const CefString& wrapper) override {
    if (m_readOnly)
      return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_argv.insert(m_argv.begin(), wrapper.ToWString());
    ++m_beginArgs;
  }

  void InitFromList(const std::vector<std::wstring>& args) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_argv.assign(1, args.empty() ? std::wstring() : args[0]);
    m_switches.clear();
    m_beginArgs = 1;
    bool parseSwitches = true;
    std::vector<std::wstring> plain;
    for (size_t i = 1; i < args.size(); ++i) {
      const std::wstring& arg = args[i];
      if (parseSwitches && arg == L"--") {
        parseSwitches = false;
        continue;
      }
      size_t prefix = parseSwitches ? SwitchPrefixLength(arg) : 0;
      if (prefix == 0) {
        plain.push_back(arg);
        continue;
      }
      std::wstring body = arg.substr(prefix);
      size_t eq = body.find(L'=');
      std::wstring key = LowerWide(body.substr(0, eq));
      m_switches[key] = eq == std::wstring::npos ? std::wstring() : body.substr(eq + 1);
      m_argv.insert(m_argv.begin() + m_beginArgs, arg);
      ++m_beginArgs;
    }
    for (const auto& p : plain)
      m_argv.push_back(p);
  }
  void MakeReadOnly() { m_readOnly = true; }

 private:
  std::mutex m_lock;
  bool m_readOnly;
  std::vector<std::wstring> m_argv;  // program, switches in order, then the plain arguments
  std::map<std::wstring, std::wstring> m_switches;
  size_t m_beginArgs = 1;

  IMPLEMENT_REFCOUNTING(CommandLineImpl);
};

}  // namespace

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() {
  return new CommandLineImpl();
}

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() {
  static CefRefPtr<CommandLineImpl> global = [] {
    CefRefPtr<CommandLineImpl> line = new CommandLineImpl();
    line->InitFromString(GetCommandLineW());
    line->MakeReadOnly();
    return line;
  }();
  return global.get();
}

CefRefPtr<CefCommandLine> cef_command_line_create() {
  return CefCommandLine::CreateCommandLine();
}
CefRefPtr<CefCommandLine> cef_command_line_get_global() {
  return CefCommandLine::GetGlobalCommandLine();
}
