// A small HTTP/1.1 server on 127.0.0.1 for unit tests: records every request with its raw header
// lines and answers with scripted responses (queued, or from a handler), including stalls and
// connections closed without an answer. Each connection gets its own thread and is answered once,
// then closed.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zarvik_test {

struct HttpRequestRecord {
  std::string method;
  std::string target;                    // as sent: "/path?query"
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

  // Answers are taken from the queue first, then from the handler, then the default (404).
  void Enqueue(const HttpResponseScript& response);
  void SetHandler(std::function<HttpResponseScript(const HttpRequestRecord&)> handler);

  std::vector<HttpRequestRecord> Requests() const;
  // Waits until `count` requests have been answered or ended; false when that did not happen.
  bool WaitForRequests(size_t count, DWORD timeoutMs) const;
  // The header value of a recorded request (first match, name compared without case), or "".
  static std::string Header(const HttpRequestRecord& request, const std::string& name);

 private:
  void AcceptLoop();
  void Serve(uintptr_t socket);
  HttpResponseScript NextResponse(const HttpRequestRecord& request);
  bool Stall(uintptr_t socket, DWORD ms, bool untilPeerCloses);

  uintptr_t m_listener;
  int m_port = 0;
  HANDLE m_stopEvent = nullptr;
  std::thread m_acceptThread;
  std::vector<std::thread> m_connections;

  mutable std::mutex m_lock;
  mutable std::condition_variable m_changed;
  std::vector<HttpRequestRecord> m_requests;
  size_t m_finished = 0;
  std::vector<HttpResponseScript> m_queue;
  std::function<HttpResponseScript(const HttpRequestRecord&)> m_handler;
};

}  // namespace zarvik_test
