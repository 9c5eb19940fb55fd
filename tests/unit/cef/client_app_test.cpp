// The application objects and the choice of process role.
#include <gtest/gtest.h>

#include "bridge/browser/client_app_browser.h"
#include "app/client_app_other.h"
#include "app/process_role.h"
#include "bridge/renderer/client_app_renderer.h"

namespace {

TEST(ClientAppBrowserTest, AddsTheTenSwitchesInOrderForEveryProcessType) {
  const std::vector<std::wstring> expected = {
      L"--disable-web-security",
      L"--disable-direct-write",
      L"--disable-site-isolation-trial-opt-out",
      L"--force-device-scale-factor=1",
      L"--renderer-process-limit=1",
      L"--ppapi-flash-path=ppflash/pepflashplayer.dll",
      L"--ppapi-flash-version=28.0.0.137",
      L"--disable-gpu",
      L"--disable-gpu-compositing",
      L"--enable-begin-frame-scheduling",
  };
  CefRefPtr<ClientAppBrowser> app = new ClientAppBrowser();
  for (const char* type : {"", "renderer", "gpu-process", "Renderer"}) {
    SCOPED_TRACE(type);
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->InitFromString(L"zarvik.exe opt");
    app->OnBeforeCommandLineProcessing(type, line);
    std::vector<CefString> argv;
    line->GetArgv(argv);
    ASSERT_EQ(argv.size(), expected.size() + 2);
    for (size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(argv[i + 1].ToWString(), expected[i]);
    EXPECT_EQ(argv.back().ToWString(), L"opt");
  }
  // The last switch is handed over without dashes, as written.
  EXPECT_STREQ(kClientEngineSwitches[9].name, "enable-begin-frame-scheduling");
}

TEST(ClientAppBrowserTest, IsItsOwnBrowserProcessHandlerAndHasNoOther) {
  CefRefPtr<ClientAppBrowser> app = new ClientAppBrowser();
  EXPECT_EQ(app->GetBrowserProcessHandler().get(),
            static_cast<CefBrowserProcessHandler*>(app.get()));
  EXPECT_FALSE(app->GetRenderProcessHandler());
  EXPECT_FALSE(app->GetResourceBundleHandler());
  EXPECT_FALSE(app->GetPrintHandler());
  // Held by the engine's counted references: one holder, one count.
  EXPECT_TRUE(app->HasOneRef());
}

TEST(ClientAppOtherTest, ChangesNothing) {
  CefRefPtr<CefApp> app = new ClientAppOther();
  CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
  line->InitFromString(L"zarvik.exe --type=gpu-process");
  app->OnBeforeCommandLineProcessing("gpu-process", line);
  std::vector<CefString> argv;
  line->GetArgv(argv);
  EXPECT_EQ(argv.size(), 2u);
  EXPECT_FALSE(app->GetBrowserProcessHandler());
  EXPECT_FALSE(app->GetRenderProcessHandler());
}

TEST(ProcessRoleTest, RendererOnlyForTheExactValue) {
  struct Case {
    const wchar_t* line;
    ProcessRole role;
  } cases[] = {
      {L"zarvik.exe opt XVEND_{X} 1 1 {G}", ProcessRole::kBrowser},
      {L"zarvik.exe --type=renderer --lang=zh-CN", ProcessRole::kRenderer},
      {L"zarvik.exe --type=Renderer", ProcessRole::kOther},
      {L"zarvik.exe --type=RENDERER", ProcessRole::kOther},
      {L"zarvik.exe --type=", ProcessRole::kOther},
      {L"zarvik.exe --type", ProcessRole::kOther},
      {L"zarvik.exe \"--type=renderer \"", ProcessRole::kOther},
      {L"zarvik.exe --type=gpu-process", ProcessRole::kOther},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.line);
    CefRefPtr<CefCommandLine> line = CefCommandLine::CreateCommandLine();
    line->InitFromString(c.line);
    ProcessRole role = ChooseProcessRole(line);
    EXPECT_EQ(role, c.role);
    CefRefPtr<CefApp> app = CreateApplicationObject(role);
    switch (role) {
      case ProcessRole::kBrowser:
        EXPECT_NE(dynamic_cast<ClientAppBrowser*>(app.get()), nullptr);
        break;
      case ProcessRole::kRenderer:
        EXPECT_NE(dynamic_cast<ClientAppRenderer*>(app.get()), nullptr);
        EXPECT_TRUE(app->GetRenderProcessHandler());
        break;
      case ProcessRole::kOther:
        EXPECT_NE(dynamic_cast<ClientAppOther*>(app.get()), nullptr);
        break;
    }
  }
}

}  // namespace
