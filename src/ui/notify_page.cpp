#include "ui/notify_page.h"

#include "ui/simple_handler.h"

namespace {

void SendToMainFrame(SimpleHandler* client, const char* name, const int* value) {
  if (!client)
    return;
  // A counted reference taken under the client's lock, used after it is released.
  CefRefPtr<CefBrowser> browser = client->GetBrowser();
  if (!browser)
    return;
  CefRefPtr<CefFrame> frame = browser->GetMainFrame();
  if (!frame)
    return;
  frame->SendProcessMessage(PID_RENDERER, CreatePageMessage(name, value));
}

}  // namespace

CefRefPtr<CefProcessMessage> CreatePageMessage(const char* name, const int* value) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
  if (value)
    message->GetArgumentList()->SetInt(0, *value);
  return message;
}

void NotifyPage(SimpleHandler* client, const char* name) {
  SendToMainFrame(client, name, nullptr);
}

void NotifyPage(SimpleHandler* client, const char* name, int value) {
  SendToMainFrame(client, name, &value);
}

