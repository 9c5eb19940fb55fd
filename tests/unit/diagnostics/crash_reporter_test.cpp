#include "diagnostics/crash_reporter.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>

#include <regex>
#include <string>
#include <vector>

#include "diagnostics/system_profile.h"
#include "diagnostics/wmi_query.h"
#include "support/temp_dir.h"

namespace {

using zarvik_test::TempDir;

TEST(CrashUrl, CarriesVersionAndWindowsNameUnescaped) {
  struct Row {
    const wchar_t* base;
    const wchar_t* version;
    const wchar_t* os;
    const wchar_t* url;
  };
  const Row rows[] = {
      {L"http://127.0.0.1:18080/", L"1.0.6.18", L"Win7",
       L"http://127.0.0.1:18080/c/crashServlet?&ip=&version=1.0.6.18&detail=&title=&callStack="
       L"&osVersion=Win7&browserVersion=&terminal=1"},
      // Nothing is escaped, and no version record leaves the version empty.
      {L"http://web.example/", L"", L"Windows XP",
       L"http://web.example/c/crashServlet?&ip=&version=&detail=&title=&callStack="
       L"&osVersion=Windows XP&browserVersion=&terminal=1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.os);
    EXPECT_EQ(zarvik::BuildCrashUrl(row.base, row.version, row.os), row.url);
  }
}

TEST(WindowsName, FollowsTheVersionTable) {
  struct Row {
    DWORD platform, major, minor;
    const wchar_t* name;
  };
  const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS, kNt = VER_PLATFORM_WIN32_NT;
  const Row rows[] = {
      {k9x, 3, 10, L"Windows 32"},
      {k9x, 4, 10, L"Windows 98"},
      {k9x, 4, 90, L"Windows ME"},
      {k9x, 4, 0, L"Windows 95"},
      {k9x, 5, 0, L"Windows 95"},
      {kNt, 4, 0, L"Windows NT"},
      {kNt, 5, 0, L"Windows 2000"},
      {kNt, 5, 1, L"Windows XP"},
      {kNt, 5, 2, L"Windows 2003"},
      {kNt, 6, 0, L"Vista"},
      {kNt, 6, 1, L"Win7"},
      {kNt, 6, 2, L"Win8"},
      {kNt, 6, 3, L"Windows NT 3.0"},
      {kNt, 10, 0, L"Windows NT 3.0"},
      {kNt, 3, 51, L"Windows NT 3.0"},
      {kNt, 5, 3, L"Windows NT 3.0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.platform << " " << row.major << "." << row.minor);
    OsVersion version;
    version.platformId = row.platform;
    version.major = row.major;
    version.minor = row.minor;
    EXPECT_EQ(OsNameForVersion(version), row.name);
  }
}

OsVersion g_fakeVersion;
bool g_fakeAnswers = true;
bool FakeVersionQuery(OsVersion* version) {
  *version = g_fakeVersion;
  return g_fakeAnswers;
}

TEST(WindowsName, AsksTheGivenVersionQuery) {
  g_fakeVersion.platformId = VER_PLATFORM_WIN32_NT;
  g_fakeVersion.major = 5;
  g_fakeVersion.minor = 1;
  g_fakeAnswers = true;
  EXPECT_EQ(GetOsName(FakeVersionQuery), L"Windows XP");
  g_fakeAnswers = false;
  EXPECT_EQ(GetOsName(FakeVersionQuery), L"");
  // This machine's own answer is one of the table's names.
  std::wstring own = GetOsName();
  EXPECT_FALSE(own.empty());
}

TEST(CrashReportDir, CreatesTheFourLevels) {
  TempDir base;
  std::wstring root = base.path().substr(0, base.path().size() - 1);
  // An existing first level is kept with what it holds.
  ASSERT_TRUE(CreateDirectoryW((root + L"\\hollmere").c_str(), nullptr));
  ASSERT_TRUE(zarvik_test::WriteFileBytes(root + L"\\hollmere\\keep.txt", "x"));

  std::wstring dir = zarvik::MakeCrashReportDir(root);
  EXPECT_EQ(dir, root + L"\\hollmere\\Client\\Lm\\CrashRpt");
  DWORD attributes = GetFileAttributesW(dir.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(zarvik_test::ReadFileBytes(root + L"\\hollmere\\keep.txt"), "x");
  // Running again finds everything in place.
  EXPECT_EQ(zarvik::MakeCrashReportDir(root), dir);
}

TEST(CrashReportDir, LiesUnderCommonApplicationData) {
  wchar_t common[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(
      SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common)));
  std::wstring dir = GetCrashReportDir();
  EXPECT_EQ(dir, std::wstring(common) + L"\\hollmere\\Client\\Lm\\CrashRpt");
  DWORD attributes = GetFileAttributesW(dir.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST(MachineTexts, MemoryAndVideoMemoryFormats) {
  EXPECT_EQ(zarvik::FormatMemoryText(8ull << 30), L"8192M");
  EXPECT_EQ(zarvik::FormatMemoryText((8ull << 30) + 1048575), L"8192M");
  EXPECT_EQ(zarvik::FormatMemoryText(0), L"0M");
  std::wregex memory(L"^[0-9]+M$");
  EXPECT_TRUE(std::regex_match(GetMemoryText(), memory)) << GetMemoryText();

  struct Row {
    const wchar_t* adapterRam;
    const wchar_t* text;
  };
  const Row rows[] = {
      {L"536870912", L" 显卡内存 512MB"},
      {L"-1", L" 显卡内存 0MB"},  // 4 GiB - 1 as a signed number
      {L"-2147483648", L" 显卡内存 -2048MB"},
      {L"", L" 显卡内存 0MB"},  // the query failed
      {L"12abc", L" 显卡内存 0MB"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.adapterRam);
    EXPECT_EQ(zarvik::FormatVideoMemory(row.adapterRam), row.text);
  }
}

TEST(MachineTexts, RegistryValuesAreReadOrEmpty) {
  EXPECT_EQ(zarvik::ReadMachineRegistryText(L"SOFTWARE\\NoSuchVendor\\NoSuchKey", L"Version", 64),
            L"");
  EXPECT_EQ(zarvik::ReadMachineRegistryText(L"SOFTWARE\\Microsoft\\DirectX", L"NoSuchValue", 64),
            L"");
  // A value longer than the limit is not cut into a wrong text.
  std::wstring name = zarvik::ReadMachineRegistryText(
      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName", 2048);
  ASSERT_GT(name.size(), 4u);
  EXPECT_EQ(zarvik::ReadMachineRegistryText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                            L"ProductName", 4),
            L"");
}

VARIANT StringArray(std::initializer_list<const wchar_t*> items) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_BSTR;
  value.parray = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(items.size()));
  LONG index = 0;
  for (const wchar_t* item : items) {
    BSTR text = SysAllocString(item);
    SafeArrayPutElement(value.parray, &index, text);
    SysFreeString(text);
    ++index;
  }
  return value;
}

VARIANT IntArray(std::initializer_list<LONG> items) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_I4;
  value.parray = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(items.size()));
  LONG index = 0;
  for (LONG item : items) {
    SafeArrayPutElement(value.parray, &index, &item);
    ++index;
  }
  return value;
}

TEST(WmiValues, BecomeTextByType) {
  struct Row {
    const char* name;
    VARIANT value;
    const wchar_t* text;  // out starts as "old"
  };
  VARIANT i4, ui4, ui1, str, nullStr, yes, no, strings, emptyStrings, ints, dbl, null;
  for (VARIANT* v : {&i4, &ui4, &ui1, &str, &nullStr, &yes, &no, &dbl, &null})
    VariantInit(v);
  i4.vt = VT_I4;
  i4.lVal = -1;
  ui4.vt = VT_UI4;
  ui4.ulVal = 4294967295u;
  ui1.vt = VT_UI1;
  ui1.bVal = 200;
  str.vt = VT_BSTR;
  str.bstrVal = SysAllocString(L"Realtek");
  nullStr.vt = VT_BSTR;
  nullStr.bstrVal = nullptr;
  yes.vt = VT_BOOL;
  yes.boolVal = VARIANT_TRUE;
  no.vt = VT_BOOL;
  no.boolVal = VARIANT_FALSE;
  strings = StringArray({L"first", L"second"});
  emptyStrings = StringArray({});
  ints = IntArray({0x04030201, 0x08070605, 0x0C0B0A09});
  dbl.vt = VT_R8;
  dbl.dblVal = 1.5;
  null.vt = VT_NULL;

  const Row rows[] = {
      {"i4", i4, L"-1"},
      {"ui4", ui4, L"4294967295"},
      {"ui1", ui1, L"200"},
      {"string", str, L"Realtek"},
      {"null string", nullStr, L""},
      {"true", yes, L"是"},
      {"false", no, L"否"},
      {"string array", strings, L"first"},
      {"empty string array", emptyStrings, L""},
      // One data byte per index of the three-element array, appended.
      {"int array", ints, L"old010203"},
      {"double", dbl, L"old"},
      {"null", null, L"old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::wstring out = L"old";
    zarvik::VariantToText(row.value, out);
    EXPECT_EQ(out, row.text);
  }
  for (VARIANT* v : {&str, &strings, &emptyStrings, &ints})
    VariantClear(v);
}

TEST(WmiValues, IntegerArrayStopsAtIndex519) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_ARRAY | VT_I4;
  value.parray = SafeArrayCreateVector(VT_I4, 0, 600);
  std::wstring out;
  zarvik::VariantToText(value, out);
  EXPECT_EQ(out, std::wstring(520 * 2, L'0'));
  VariantClear(&value);
}

// WMI and the profile need COM on the thread, as start-up has it.
class MachineProfile : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(MachineProfile, QueryOfAMissingClassLeavesTheTextAlone) {
  CWmiQuery wmi;
  std::wstring out = L"untouched";
  EXPECT_FALSE(wmi.Query(L"Win32_NoSuchThing", L"Caption", out));
  EXPECT_EQ(out, L"untouched");
  // The same object answers again after a failed query.
  ASSERT_TRUE(wmi.IsConnected());
  std::wstring caption;
  EXPECT_TRUE(wmi.Query(L"Win32_VideoController", L"Caption", caption));
  EXPECT_FALSE(caption.empty());
}

TEST_F(MachineProfile, OneQueryReadsWhatSeparateQueriesRead) {
  struct Case {
    const wchar_t* className;
    std::vector<const wchar_t*> names;
  } cases[] = {
      {L"Win32_VideoController", {L"Caption", L"VideoProcessor", L"AdapterRAM"}},
      {L"Win32_SoundDevice", {L"Caption", L"Status"}},
      {L"Win32_Processor", {L"Name", L"NoSuchProperty", L"Manufacturer"}},
  };
  CWmiQuery wmi;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.className, c.className + wcslen(c.className)));
    std::vector<std::wstring> one(c.names.size(), L"untouched"), separate = one;
    std::vector<std::pair<const wchar_t*, std::wstring*>> wanted;
    for (size_t i = 0; i < c.names.size(); ++i) {
      wanted.emplace_back(c.names[i], &one[i]);
      wmi.Query(c.className, c.names[i], separate[i]);
    }
    EXPECT_TRUE(wmi.QueryFirst(c.className, wanted));
    EXPECT_EQ(one, separate);
  }
  // A class without instances leaves every value alone.
  std::wstring value = L"untouched";
  EXPECT_FALSE(wmi.QueryFirst(L"Win32_NoSuchThing", {{L"Caption", &value}}));
  EXPECT_EQ(value, L"untouched");
}

TEST_F(MachineProfile, FivePropertiesInOrderEvenWithEmptyValues) {
  auto properties = zarvik::CollectCrashProperties(L"1.0.6.18");
  ASSERT_EQ(properties.size(), 5u);
  const wchar_t* names[] = {L"SoundCard", L"VideoCard", L"CPU", L"Memory", L"ClientVersion"};
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(properties[i].first, names[i]);

  // Labels stay when a device value is missing (under Wine the sound caption is).
  std::wregex sound(L"^声卡名称 .* 状态 .*$");
  EXPECT_TRUE(std::regex_match(properties[0].second, sound)) << properties[0].second.size();
  std::wregex video(L"^显卡名称 .* 芯片类型 .* 显卡内存 -?[0-9]+MB DirectX版本 .*$");
  EXPECT_TRUE(std::regex_match(properties[1].second, video));
  EXPECT_EQ(properties[2].second, GetProcessorName());
  EXPECT_EQ(properties[3].second, GetMemoryText());
  EXPECT_EQ(properties[4].second, L"1.0.6.18");
}

TEST_F(MachineProfile, ReporterInstallsAndUninstalls) {
  // The test program has no version record; installation works all the same.
  ASSERT_TRUE(InstallCrashReporter(L"http://127.0.0.1:9/"));
  UninstallCrashReporter();
  // Once removed, it can be installed again.
  ASSERT_TRUE(InstallCrashReporter(L"http://127.0.0.1:9/"));
  UninstallCrashReporter();
}

}  // namespace
