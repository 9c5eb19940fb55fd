// Values and process messages, and the frames that carry them over the renderer's pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "include/cef_process_message.h"
#include "src/common/ipc_messages.h"
#include "src/common/text.h"

namespace {

TEST(CefListValueTest, ReadsMissingOrOtherTypesAsDefaults) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  list->SetString(0, "text");
  list->SetInt(2, -7);  // grows the list; index 1 stays null
  EXPECT_EQ(list->GetSize(), 3u);
  EXPECT_EQ(list->GetType(1), VTYPE_NULL);
  EXPECT_EQ(list->GetType(5), VTYPE_INVALID);
  EXPECT_EQ(list->GetInt(0), 0);  // a string read as an integer
  EXPECT_EQ(list->GetString(2).ToString(), "");
  EXPECT_EQ(list->GetInt(2), -7);
  EXPECT_EQ(list->GetInt(9), 0);  // past the end
  EXPECT_EQ(list->GetString(0).ToString(), "text");
}

TEST(CefProcessMessageTest, CarriesItsArgumentsThroughThePipeInOrder) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("closeMic");
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, 1);
  args->SetString(1, L"\u4e2d\u6587 text");
  args->SetBool(2, true);
  args->SetDouble(3, 2.5);
  args->SetNull(4);

  cefimpl::IpcWriter w;
  w.Str(message->GetName().ToString());
  cefimpl::WriteList(w, args);
  ASSERT_TRUE(WriteIpcMessage(write, cefimpl::MakeIpc(cefimpl::IPC_PROCESS_MESSAGE, 3, 77, w)));
  cefimpl::IpcWriter second;
  second.Int(5);
  ASSERT_TRUE(WriteIpcMessage(write, cefimpl::MakeIpc(cefimpl::IPC_SHUTDOWN, 0, 0, second)));

  cefimpl::IpcMessage got;
  ASSERT_TRUE(cefimpl::ReadIpcMessage(read, &got));
  EXPECT_EQ(got.type, cefimpl::IPC_PROCESS_MESSAGE);
  EXPECT_EQ(got.browserId, 3);
  EXPECT_EQ(got.frameId, 77);
  cefimpl::IpcReader r(got.payload);
  EXPECT_EQ(r.Str(), "closeMic");
  CefRefPtr<CefListValue> back = cefimpl::ReadList(r);
  ASSERT_TRUE(r.ok());
  ASSERT_EQ(back->GetSize(), 5u);
  EXPECT_EQ(back->GetInt(0), 1);
  EXPECT_EQ(back->GetString(1).ToWString(), L"\u4e2d\u6587 text");
  EXPECT_TRUE(back->GetBool(2));
  EXPECT_EQ(back->GetDouble(3), 2.5);
  EXPECT_EQ(back->GetType(4), VTYPE_NULL);

  ASSERT_TRUE(cefimpl::ReadIpcMessage(read, &got));
  EXPECT_EQ(got.type, cefimpl::IPC_SHUTDOWN);

  // A writer that goes away mid-frame leaves the reader with a clean failure.
  uint32_t size = 100;
  DWORD written = 0;
  WriteFile(write, &size, sizeof(size), &written, nullptr);
  CloseHandle(write);
  EXPECT_FALSE(cefimpl::ReadIpcMessage(read, &got));
  CloseHandle(read);
}

TEST(IpcReaderTest, ShortPayloadReadsAsEmptyAndNotOk) {
  std::string payload(
      "\x05\x00\x00\x00"
      "ab",
      6);  // says 5 bytes, holds 2
  cefimpl::IpcReader r(payload);
  EXPECT_EQ(r.Str(), "");
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.Int(), 0);
}

TEST(IpcMessagesTest, OversizedFrameIsRefused) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  uint32_t size = cefimpl::kMaxIpcFrame + 1;
  DWORD written = 0;
  WriteFile(write, &size, sizeof(size), &written, nullptr);
  cefimpl::IpcMessage got;
  EXPECT_FALSE(cefimpl::ReadIpcMessage(read, &got));
  CloseHandle(write);
  CloseHandle(read);
}

TEST(DataUrlTest, DecodesPlainPercentAndBase64Forms) {
  struct Case {
    const char* url;
    bool ok;
    const char* mime;
    const char* body;
  } cases[] = {
      {"data:text/html,<h1>Hi</h1>", true, "text/html", "<h1>Hi</h1>"},
      {"data:text/html;charset=utf-8,%3Cb%3Ex%3C/b%3E", true, "text/html", "<b>x</b>"},
      {"data:text/html;base64,PGgxPk9LPC9oMT4=", true, "text/html", "<h1>OK</h1>"},
      {"data:,plain", true, "text/plain", "plain"},
      {"data:text/html;base64,***", false, "", ""},
      {"data:text/html", false, "", ""},
      {"http://x/", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string mime, body;
    EXPECT_EQ(cefimpl::DecodeDataUrl(c.url, &mime, &body), c.ok);
    if (c.ok) {
      EXPECT_EQ(mime, c.mime);
      EXPECT_EQ(body, c.body);
    }
  }
}

TEST(UrlTest, ResolvesAgainstTheDocument) {
  struct Case {
    const char* base;
    const char* relative;
    const char* expected;
  } cases[] = {
      {"http://127.0.0.1:8/a/b.html", "c.html", "http://127.0.0.1:8/a/c.html"},
      {"http://127.0.0.1:8/a/b.html", "/root?x=1", "http://127.0.0.1:8/root?x=1"},
      {"http://127.0.0.1:8/a/b.html", "about:blank", "about:blank"},
      {"http://127.0.0.1:8/a/", "http://other/", "http://other/"},
      {"data:text/html,x", "page.html", "page.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relative);
    EXPECT_EQ(cefimpl::ResolveUrl(c.base, c.relative), c.expected);
  }
}

TEST(CefProcessMessageTest, FramesLargerThanOneReadArriveWhole) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  std::string body(3 * cefimpl::kIpcReadChunk + 123, '\0');
  for (size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>(i * 7);
  cefimpl::IpcWriter w;
  w.Str(body);
  std::thread writer([&] {
    WriteIpcMessage(write, cefimpl::MakeIpc(cefimpl::IPC_COMMIT_DOCUMENT, 1, 2, w));
    // Announces 64 MiB, then the writer goes away: a clean failure, not a 64 MiB buffer.
    uint32_t size = cefimpl::kMaxIpcFrame;
    DWORD written = 0;
    WriteFile(write, &size, sizeof(size), &written, nullptr);
    WriteFile(write, "0123456789abcdefXYZ", 19, &written, nullptr);
    CloseHandle(write);
  });
  cefimpl::IpcMessage got;
  ASSERT_TRUE(cefimpl::ReadIpcMessage(read, &got));
  cefimpl::IpcReader r(got.payload);
  EXPECT_EQ(r.Str(), body);
  cefimpl::IpcMessage cut;
  EXPECT_FALSE(cefimpl::ReadIpcMessage(read, &cut));
  EXPECT_LE(cut.payload.capacity(), cefimpl::kIpcReadChunk);
  writer.join();
  CloseHandle(read);
}

}  // namespace
