#include "report_config.h"

#include <cstdio>
#include <cwchar>

#include "CrashRpt.h"

namespace crashrpt {

namespace {

void Put(std::wstring* out, const wchar_t* key, const std::wstring& value) {
  out->append(key);
  out->push_back(L'\0');
  out->append(value);
  out->push_back(L'\0');
}

std::wstring Number(unsigned long long value) {
  return std::to_wstring(value);
}

unsigned long ToNumber(const std::wstring& text) {
  return std::wcstoul(text.c_str(), nullptr, 10);
}

const wchar_t* ExceptionTypeName(DWORD type) {
  static const wchar_t* const kNames[] = {L"SEH exception",
                                          L"terminate call",
                                          L"unexpected call",
                                          L"pure virtual call",
                                          L"new operator error",
                                          L"security error",
                                          L"invalid parameter",
                                          L"SIGABRT",
                                          L"SIGFPE",
                                          L"SIGILL",
                                          L"SIGINT",
                                          L"SIGSEGV",
                                          L"SIGTERM"};
  return type < sizeof(kNames) / sizeof(kNames[0]) ? kNames[type] : L"unknown";
}

}  // namespace

std::wstring SerializeConfig(const ReportConfig& c) {
  std::wstring out;
  Put(&out, L"AppName", c.appName);
  Put(&out, L"AppVersion", c.appVersion);
  Put(&out, L"Url", c.url);
  Put(&out, L"SaveDir", c.saveDir);
  Put(&out, L"ExePath", c.exePath);
  Put(&out, L"CommandLine", c.commandLine);
  Put(&out, L"CurrentDir", c.currentDir);
  Put(&out, L"Flags", Number(c.flags));
  Put(&out, L"DumpType", Number(c.dumpType));
  Put(&out, L"HttpPriority", Number(c.httpPriority));
  Put(&out, L"Screenshot", c.screenshot ? L"1" : L"0");
  Put(&out, L"ScreenshotFlags", Number(c.screenshotFlags));
  Put(&out, L"JpegQuality", Number(static_cast<unsigned>(c.jpegQuality)));
  Put(&out, L"RestartCount", Number(static_cast<unsigned>(c.restartCount)));
  for (const auto& property : c.properties) {
    Put(&out, L"PropName", property.first);
    Put(&out, L"PropValue", property.second);
  }
  out.push_back(L'\0');  // end of the pairs
  return out;
}

bool ParseConfig(const wchar_t* text, size_t chars, ReportConfig* config) {
  ReportConfig c;
  size_t pos = 0;
  auto next = [&](std::wstring* out) {
    size_t start = pos;
    while (pos < chars && text[pos] != L'\0')
      ++pos;
    if (pos >= chars)
      return false;
    out->assign(text + start, pos - start);
    ++pos;
    return true;
  };
  bool ended = false;
  while (pos < chars) {
    if (text[pos] == L'\0') {
      ended = true;
      break;
    }
    std::wstring key, value;
    if (!next(&key) || !next(&value))
      return false;
    if (key == L"AppName")
      c.appName = value;
    else if (key == L"AppVersion")
      c.appVersion = value;
    else if (key == L"Url")
      c.url = value;
    else if (key == L"SaveDir")
      c.saveDir = value;
    else if (key == L"ExePath")
      c.exePath = value;
    else if (key == L"CommandLine")
      c.commandLine = value;
    else if (key == L"CurrentDir")
      c.currentDir = value;
    else if (key == L"Flags")
      c.flags = ToNumber(value);
    else if (key == L"DumpType")
      c.dumpType = ToNumber(value);
    else if (key == L"HttpPriority")
      c.httpPriority = ToNumber(value);
    else if (key == L"Screenshot")
      c.screenshot = value == L"1";
    else if (key == L"ScreenshotFlags")
      c.screenshotFlags = ToNumber(value);
    else if (key == L"JpegQuality")
      c.jpegQuality = static_cast<int>(ToNumber(value));
    else if (key == L"RestartCount")
      c.restartCount = static_cast<int>(ToNumber(value));
    else if (key == L"PropName")
      c.properties.emplace_back(value, std::wstring());
    else if (key == L"PropValue" && !c.properties.empty())
      c.properties.back().second = value;
    // Unknown keys come from a newer writer and are skipped.
  }
  if (!ended)
    return false;
  *config = std::move(c);
  return true;
}

bool ShouldRestart(const ReportConfig& config, uint64_t runMs) {
  if (!(config.flags & CR_INST_APP_RESTART))
    return false;
  return runMs >= kQuickCrashMs || config.restartCount < kMaxQuickRestarts;
}

int NextRestartCount(const ReportConfig& config, uint64_t runMs) {
  return runMs >= kQuickCrashMs ? 0 : config.restartCount + 1;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty())
    return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty())
    return std::wstring();
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(size > 0 ? size : 0, L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

std::string XmlEscape(const std::wstring& text) {
  std::string out;
  for (char c : ToUtf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        // Control characters other than tab and line ends are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
          out += ' ';
        else
          out += c;
    }
  }
  return out;
}

std::wstring HexCode(uint64_t value, int digits) {
  wchar_t text[32];
  swprintf(text, 32, L"0x%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string BuildReportXml(const ReportConfig& c, const CrashFacts& f) {
  auto element = [](const char* name, const std::wstring& value) {
    return std::string("  <") + name + ">" + XmlEscape(value) + "</" + name + ">\n";
  };
  int addressDigits = f.exceptionAddress > 0xFFFFFFFFull ? 16 : 8;
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<CrashRpt version=\"1402\">\n";
  xml += element("CrashGUID", f.crashGuid);
  xml += element("AppName", c.appName);
  xml += element("AppVersion", c.appVersion);
  xml += element("ImageName", c.exePath);
  xml += element("CommandLine", c.commandLine);
  xml += element("OperatingSystem", f.osName);
  xml += element("OSVersion", f.osVersion);
  xml += element("SystemTimeUTC", f.systemTimeUtc);
  xml += element("ProcessId", std::to_wstring(f.pid));
  xml += element("CrashedThreadId", std::to_wstring(f.tid));
  xml += element("ExceptionType", std::to_wstring(f.exceptionType));
  xml += element("ExceptionTypeName", ExceptionTypeName(f.exceptionType));
  xml += element("ExceptionCode", HexCode(f.exceptionCode, 8));
  xml += element("ExceptionAddress", HexCode(f.exceptionAddress, addressDigits));
  xml += element("ExceptionModule", f.exceptionModule);
  xml += "  <CustomProps>\n";
  for (const auto& p : c.properties)
    xml +=
        "    <Prop name=\"" + XmlEscape(p.first) + "\" value=\"" + XmlEscape(p.second) + "\"/>\n";
  xml += "  </CustomProps>\n  <FileList>\n";
  for (const auto& file : f.files)
    xml += "    <FileItem name=\"" + XmlEscape(file.first) + "\" description=\"" +
           XmlEscape(file.second) + "\"/>\n";
  xml += "  </FileList>\n</CrashRpt>\n";
  return xml;
}

std::string UrlForTransport(const std::wstring& url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : ToUtf8(url)) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
        c == '`' || c == '{' || c == '|' || c == '}') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace crashrpt
