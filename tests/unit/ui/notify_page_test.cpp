// The page notices the main window sends: the name and, when given, the value at argument 0,
// delivered to the renderer through the main frame of the client's browser.
#include "ui/notify_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/common/bridge_messages.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "ui/simple_handler.h"

namespace {

struct Sent {
  CefProcessId target;
  std::string name;
  std::vector<int> args;
};

// A main frame that keeps what is sent through it.
class RecordingFrame : public CefFrame {
 public:
  std::vector<Sent> sent;

  void SendProcessMessage(CefProcessId target, CefRefPtr<CefProcessMessage> message) override {
    Sent record{target, message->GetName().ToString(), {}};
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    for (size_t i = 0; i < args->GetSize(); ++i)
      record.args.push_back(args->GetInt(i));
    sent.push_back(record);
  }
  bool IsValid() override { return true; }
  void ExecuteJavaScript(const CefString&, const CefString&, int) override {}
  void LoadURL(const CefString&) override {}
  void LoadString(const CefString&, const CefString&) override {}
  bool IsMain() override { return true; }
  bool IsFocused() override { return true; }
  CefString GetName() override { return CefString(); }
  int64 GetIdentifier() override { return 1; }
  CefRefPtr<CefFrame> GetParent() override { return nullptr; }
  CefString GetURL() override { return CefString(); }
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  CefRefPtr<CefV8Context> GetV8Context() override { return nullptr; }

 private:
  IMPLEMENT_REFCOUNTING(RecordingFrame);
};

class WindowlessHost : public CefBrowserHost {
 public:
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  void CloseBrowser(bool) override {}
  bool TryCloseBrowser() override { return true; }
  void SetFocus(bool) override {}
  CefWindowHandle GetWindowHandle() override { return nullptr; }
  CefWindowHandle GetOpenerWindowHandle() override { return nullptr; }
  CefRefPtr<CefClient> GetClient() override { return nullptr; }
  CefRefPtr<CefRequestContext> GetRequestContext() override { return nullptr; }
  void WasResized() override {}
  void Invalidate() override {}

 private:
  IMPLEMENT_REFCOUNTING(WindowlessHost);
};

// A browser without a window whose main frame is `frame` (none when null).
class FakeBrowser : public CefBrowser {
 public:
  explicit FakeBrowser(CefRefPtr<CefFrame> frame) : m_frame(frame), m_host(new WindowlessHost) {}

  CefRefPtr<CefBrowserHost> GetHost() override { return m_host; }
  bool CanGoBack() override { return false; }
  void GoBack() override {}
  bool CanGoForward() override { return false; }
  void GoForward() override {}
  bool IsLoading() override { return false; }
  void Reload() override {}
  void ReloadIgnoreCache() override {}
  void StopLoad() override {}
  int GetIdentifier() override { return 7; }
  bool IsSame(CefRefPtr<CefBrowser> that) override { return that.get() == this; }
  bool IsPopup() override { return false; }
  bool HasDocument() override { return true; }
  CefRefPtr<CefFrame> GetMainFrame() override { return m_frame; }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return m_frame; }
  CefRefPtr<CefFrame> GetFrame(int64) override { return m_frame; }
  CefRefPtr<CefFrame> GetFrame(const CefString&) override { return m_frame; }
  size_t GetFrameCount() override { return m_frame ? 1 : 0; }

 private:
  CefRefPtr<CefFrame> m_frame;
  CefRefPtr<CefBrowserHost> m_host;
  IMPLEMENT_REFCOUNTING(FakeBrowser);
};

}  // namespace

TEST(NotifyPage, MessageCarriesNameAndOptionalValue) {
  struct Row {
    const char* name;
    bool hasValue;
    int value;
  } rows[] = {{kMsgChangeWindowSize, true, 1},
              {kMsgChangeWindowMode, true, 0},
              {kMsgCloseMic, true, 1},
              {kMsgBrowseHistory, false, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CefRefPtr<CefProcessMessage> message =
        CreatePageMessage(row.name, row.hasValue ? &row.value : nullptr);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->GetName().ToString(), row.name);
    CefRefPtr<CefListValue> args = message->GetArgumentList();
    ASSERT_EQ(args->GetSize(), row.hasValue ? 1u : 0u);
    if (row.hasValue) {
      EXPECT_EQ(args->GetInt(0), row.value);
    }
  }
}

TEST(NotifyPage, NoticesReachTheRendererThroughTheMainFrame) {
  CefRefPtr<RecordingFrame> frame = new RecordingFrame;
  CefRefPtr<SimpleHandler> client = new SimpleHandler(nullptr);
  client->OnAfterCreated(new FakeBrowser(frame.get()));
  ASSERT_TRUE(client->GetBrowser());

  NotifyPage(client.get(), kMsgChangeWindowSize, 2);
  NotifyPage(client.get(), kMsgBrowseHistory);
  NotifyPage(client.get(), kMsgCloseMic, -1);

  ASSERT_EQ(frame->sent.size(), 3u);
  const struct {
    const char* name;
    std::vector<int> args;
  } expected[] = {{kMsgChangeWindowSize, {2}}, {kMsgBrowseHistory, {}}, {kMsgCloseMic, {-1}}};
  for (size_t i = 0; i < frame->sent.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(frame->sent[i].target, PID_RENDERER);
    EXPECT_EQ(frame->sent[i].name, expected[i].name);
    EXPECT_EQ(frame->sent[i].args, expected[i].args);
  }
}

TEST(NotifyPage, NothingIsSentWithoutBrowserOrMainFrame) {
  // No client, a client whose browser list is empty, or a browser without its main frame (it
  // is being torn down): nothing is sent and nothing crashes.
  NotifyPage(nullptr, kMsgCloseMic, 1);
  CefRefPtr<SimpleHandler> empty = new SimpleHandler(nullptr);
  EXPECT_FALSE(empty->GetBrowser());
  NotifyPage(empty.get(), kMsgBrowseHistory);
  NotifyPage(empty.get(), kMsgChangeWindowSize, 0);
  EXPECT_FALSE(empty->IsClosing());

  CefRefPtr<SimpleHandler> frameless = new SimpleHandler(nullptr);
  CefRefPtr<FakeBrowser> browser = new FakeBrowser(nullptr);
  frameless->OnAfterCreated(browser.get());
  ASSERT_TRUE(frameless->GetBrowser());
  NotifyPage(frameless.get(), kMsgChangeWindowMode, 1);  // must not reach through a null frame

  // The frame the first browser had is not used once the client's browser is gone.
  CefRefPtr<RecordingFrame> frame = new RecordingFrame;
  CefRefPtr<SimpleHandler> closed = new SimpleHandler(nullptr);
  CefRefPtr<FakeBrowser> closing = new FakeBrowser(frame.get());
  closed->OnAfterCreated(closing.get());
  closed->OnBeforeClose(closing.get());
  NotifyPage(closed.get(), kMsgCloseMic, 1);
  EXPECT_TRUE(frame->sent.empty());
}
