// A small HTTP/1.1 server on 127.0.0.1 for unit tests: records every request with its raw header
// lines and answers with scripted responses (queued, files by path, or from a handler), including
// stalls, wrong or missing lengths and connections closed without an answer. Each connection gets
// its own thread and is answered once, then closed. download_routes.h has the routes of the
// download tests as a handler.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"

namespace zarvik_test {

struct HttpRequestRecord {
  std::string requestLine;  // "GET /path?query HTTP/1.1", as sent
  std::string method;
  std::string target;                    // as sent: "/path?query" (absolute through a proxy)
  std::vector<std::string> headerLines;  // raw lines after the request line, without CRLF
  int sequence = 0;                      // 1 for the first request the server received
  ULONGLONG receivedTick = 0;            // GetTickCount64 when the request was read
  ULONGLONG answeredTick = 0;            // when the answer was written (0: none written)
};

struct HttpResponseScript {
  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  std::vector<std::string> extraHeaders;  // "Name: value"
  // Content-Length as sent: the body's size unless announcedLength is 0 or more; none at all
  // without sendLength (the body then ends when the connection closes).
  bool sendLength = true;
  long long announcedLength = -1;
  // Wait this long before answering; a stall ends early when the client hangs up or the server
  // stops, and the connection is then closed without the rest.
  DWORD stallMs = 0;
  // With headersBeforeStall, the status line, headers and the first bytesBeforeStall bytes of the
  // body go out before the stall, the rest after it.
  bool headersBeforeStall = false;
  size_t bytesBeforeStall = 0;
  bool closeWithoutAnswer = false;  // hang up right after reading the request
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool IsListening() const { return m_port != 0; }
  int port() const { return m_port; }
  // "127.0.0.1:<port>" and "http://127.0.0.1:<port>" + path.
  std::string HostPort() const;
  std::string Url(const std::string& path = "/") const;

  // Answers are taken from the queue first, then from the files, then from the handler, then the
  // default (404).
  void Enqueue(const HttpResponseScript& response);
  // A file at `path`: 200 with `body` for every request of that path, whatever its query.
  void SetFile(const std::string& path, const std::string& body);
  void RemoveFile(const std::string& path);
  void SetHandler(std::function<HttpResponseScript(const HttpRequestRecord&)> handler);

  std::vector<HttpRequestRecord> Requests() const;
  // Waits until `count` requests have been answered or ended; false when that did not happen.
  bool WaitForRequests(size_t count, DWORD timeoutMs) const;
  // The header value of a recorded request (first match, name compared without case), or "".
  static std::string Header(const HttpRequestRecord& request, const std::string& name);
  // The path of a request without its query, also when it came in absolute form to a proxy.
  static std::string PathOf(const HttpRequestRecord& request);

 private:
  void AcceptLoop();
  void Serve(uintptr_t socket);
  HttpResponseScript NextResponse(const HttpRequestRecord& request);
  bool Stall(uintptr_t socket, DWORD ms, bool untilPeerCloses);

  uintptr_t m_listener;
  int m_port = 0;
  zarvik::ScopedHandle m_stopEvent;
  std::thread m_acceptThread;
  std::vector<std::thread> m_connections;

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<HttpRequestRecord> m_requests;
  size_t m_finished = 0;
  std::vector<HttpResponseScript> m_queue;
  std::map<std::string, std::string> m_files;
  std::function<HttpResponseScript(const HttpRequestRecord&)> m_handler;
};

}  // namespace zarvik_test
