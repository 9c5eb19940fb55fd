#include "report_config.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "CrashRpt.h"

namespace {

using crashrpt::ReportConfig;

TEST(InstallRecord, HasThePublishedLayout) {
  // The client fills the record by these offsets; a shifted member would install nonsense. The
  // 32-bit record is the published one (also checked at compile time); the 64-bit one is the
  // natural layout of the same members.
  struct Layout {
    size_t size, appName, url, priorities, flags, miniDumpType, saveDir, smtpPassword;
  };
  const Layout layout = sizeof(void*) == 4 ? Layout{100, 4, 20, 32, 52, 64, 68, 96}
                                           : Layout{176, 8, 40, 64, 84, 104, 112, 168};
  EXPECT_EQ(sizeof(CR_INSTALL_INFOW), layout.size);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, pszAppName), layout.appName);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, pszUrl), layout.url);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, uPriorities), layout.priorities);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, dwFlags), layout.flags);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, uMiniDumpType), layout.miniDumpType);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, pszErrorReportSaveDir), layout.saveDir);
  EXPECT_EQ(offsetof(CR_INSTALL_INFOW, pszSmtpPassword), layout.smtpPassword);
}

TEST(ReportConfigText, RoundTripsEverySetting) {
  ReportConfig in;
  in.appName = L"Zarvik";
  in.appVersion = L"1.0.6.18";
  in.url = L"http://127.0.0.1:8/c/crashServlet?&ip=&version=1.0.6.18&osVersion=Windows XP";
  in.saveDir = L"C:\\ProgramData\\hollmere\\Client\\Lm\\CrashRpt";
  in.exePath = L"C:\\Zarvik\\zarvik.exe";
  in.commandLine = L"\"C:\\Zarvik\\zarvik.exe\" opt XVEND_x 12 1 {guid}";
  in.currentDir = L"C:\\Zarvik";
  in.flags = 0x411FFF;
  in.dumpType = 2;
  in.httpPriority = 3;
  in.screenshot = true;
  in.screenshotFlags = 26;
  in.jpegQuality = 10;
  in.restartCount = 2;
  in.properties = {{L"SoundCard", L"声卡名称  状态 OK"}, {L"Empty", L""}, {L"CPU", L"x=y"}};

  std::wstring text = crashrpt::SerializeConfig(in);
  ReportConfig out;
  ASSERT_TRUE(crashrpt::ParseConfig(text.data(), text.size(), &out));
  EXPECT_EQ(out.appName, in.appName);
  EXPECT_EQ(out.appVersion, in.appVersion);
  EXPECT_EQ(out.url, in.url);
  EXPECT_EQ(out.saveDir, in.saveDir);
  EXPECT_EQ(out.exePath, in.exePath);
  EXPECT_EQ(out.commandLine, in.commandLine);
  EXPECT_EQ(out.currentDir, in.currentDir);
  EXPECT_EQ(out.flags, in.flags);
  EXPECT_EQ(out.dumpType, in.dumpType);
  EXPECT_EQ(out.httpPriority, in.httpPriority);
  EXPECT_TRUE(out.screenshot);
  EXPECT_EQ(out.screenshotFlags, in.screenshotFlags);
  EXPECT_EQ(out.jpegQuality, in.jpegQuality);
  EXPECT_EQ(out.restartCount, in.restartCount);
  EXPECT_EQ(out.properties, in.properties);
}

TEST(ReportConfigText, RefusesCutText) {
  ReportConfig in;
  in.appName = L"Zarvik";
  in.properties = {{L"CPU", L"fast"}};
  std::wstring text = crashrpt::SerializeConfig(in);
  ReportConfig out;
  out.appName = L"untouched";
  for (size_t cut : {size_t(0), size_t(3), text.size() - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_FALSE(crashrpt::ParseConfig(text.data(), cut, &out));
    EXPECT_EQ(out.appName, L"untouched");
  }
}

TEST(RestartPolicy, QuickCrashesStopRestartingAfterThree) {
  struct Row {
    DWORD flags;
    int count;
    uint64_t runMs;
    bool restart;
    int next;
  };
  const Row rows[] = {
      {CR_INST_APP_RESTART, 0, 1000, true, 1},
      {CR_INST_APP_RESTART, 2, 1000, true, 3},
      {CR_INST_APP_RESTART, 3, 1000, false, 4},
      {CR_INST_APP_RESTART, 3, 60000, true, 0},  // a long run resets the count
      {CR_INST_APP_RESTART, 0, 3600000, true, 0},
      {0, 0, 3600000, false, 0},  // no restart without the flag
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "count " << row.count << " run " << row.runMs);
    ReportConfig config;
    config.flags = row.flags;
    config.restartCount = row.count;
    EXPECT_EQ(crashrpt::ShouldRestart(config, row.runMs), row.restart);
    if (row.flags) {
      EXPECT_EQ(crashrpt::NextRestartCount(config, row.runMs), row.next);
    }
  }
}

TEST(ReportXml, DescribesTheCrashAndEscapesTexts) {
  ReportConfig config;
  config.appName = L"Zarvik";
  config.appVersion = L"1.0.6.18";
  config.exePath = L"C:\\a&b\\zarvik.exe";
  config.properties = {{L"SoundCard", L"声卡名称 <x> 状态 \"OK\""}, {L"Memory", L"8192M"}};
  crashrpt::CrashFacts facts;
  facts.crashGuid = L"G";
  facts.exceptionCode = 0xC0000005;
  facts.exceptionAddress = 1;
  facts.osName = L"Microsoft Windows 7";
  facts.files = {{L"crashdump.dmp", L"Crash Minidump"}};
  std::string xml = crashrpt::BuildReportXml(config, facts);

  for (const char* piece :
       {"<?xml version=\"1.0\" encoding=\"utf-8\"?>", "<AppName>Zarvik</AppName>",
        "<AppVersion>1.0.6.18</AppVersion>", "<ImageName>C:\\a&amp;b\\zarvik.exe</ImageName>",
        "<ExceptionCode>0xC0000005</ExceptionCode>",
        "<ExceptionAddress>0x00000001</ExceptionAddress>",
        "<OperatingSystem>Microsoft Windows 7</OperatingSystem>",
        u8"<Prop name=\"SoundCard\" value=\"声卡名称 &lt;x&gt; 状态 &quot;OK&quot;\"/>",
        "<FileItem name=\"crashdump.dmp\" description=\"Crash Minidump\"/>"}) {
    SCOPED_TRACE(piece);
    EXPECT_NE(xml.find(piece), std::string::npos) << xml;
  }
  // Properties keep their order.
  EXPECT_LT(xml.find("SoundCard"), xml.find("Memory"));
  EXPECT_EQ(crashrpt::XmlEscape(L"a\x01"
                                L"b"),
            "a b");  // not allowed in XML
  EXPECT_EQ(crashrpt::HexCode(0x12345678ABull, 16), L"0x00000012345678AB");
}

TEST(TransportUrl, EncodesOnlyWhatHttpCannotCarry) {
  EXPECT_EQ(crashrpt::UrlForTransport(L"http://h:1/c/crashServlet?&ip=&version=1.0&osVersion=Win7"),
            "http://h:1/c/crashServlet?&ip=&version=1.0&osVersion=Win7");
  EXPECT_EQ(crashrpt::UrlForTransport(L"http://h/c?osVersion=Windows XP&v=声"),
            "http://h/c?osVersion=Windows%20XP&v=%E5%A3%B0");
}

}  // namespace
