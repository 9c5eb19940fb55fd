// The page notices the main window sends: the name and, when given, the value at argument 0.
#include "ui/notify_page.h"

#include <gtest/gtest.h>

#include "bridge/common/bridge_messages.h"
#include "ui/simple_handler.h"

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

TEST(NotifyPage, NothingHappensWithoutBrowser) {
  // No client, or a client whose browser list is empty: nothing to send to and no crash.
  NotifyPage(nullptr, kMsgCloseMic, 1);
  CefRefPtr<SimpleHandler> client = new SimpleHandler(nullptr);
  EXPECT_FALSE(client->GetBrowser());
  NotifyPage(client.get(), kMsgBrowseHistory);
  NotifyPage(client.get(), kMsgChangeWindowSize, 0);
  EXPECT_FALSE(client->IsClosing());
}

