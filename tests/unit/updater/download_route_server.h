// A small HTTP/1.1 server on 127.0.0.1 for the downloader tests. A thread per connection; every
// answer closes its connection. The path picks the answer:
//   /file?size=N     200 with Content-Length and N bytes
//   /nolength?size=N 200 without Content-Length, N bytes, then close
//   /missing         404 with a short page
//   /moved           302 to /file?size=100
//   /short?size=N    announces N bytes, sends half of them, closes
//   a path given to SetFile: 200 with that body (the query is ignored)
//   /grow?size=N     announces N + (number of earlier requests) bytes: the size probe and the
//                    transfer disagree
//   /stall           accepts the request and never answers
//   /headonly?size=N odd requests (the size probe) are answered with headers only; even ones get
//                    a quarter of the body and then nothing more
// Named apart from the scripted server in tests/support, so no program holds two classes of one
// name.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zarvik_test {

class DownloadRouteServer {
 public:
  DownloadRouteServer();
  ~DownloadRouteServer();
  DownloadRouteServer(const DownloadRouteServer&) = delete;
  DownloadRouteServer& operator=(const DownloadRouteServer&) = delete;

  bool ok() const { return m_listener != INVALID_SOCKET; }
  std::string Url(const std::string& path) const;
  void SetFile(const std::string& path, const std::string& body);
  void RemoveFile(const std::string& path);
  // Request lines received so far ("GET /file?size=3 HTTP/1.1").
  std::vector<std::string> Requests();
  // The body the server sends for a size: byte i is (i * 7 + 3) & 0xFF.
  static std::string Body(size_t size);

 private:
  void Serve();
  void Handle(SOCKET client);
  void Answer(SOCKET client, const std::string& requestLine);

  SOCKET m_listener = INVALID_SOCKET;
  int m_port = 0;
  std::thread m_thread;
  std::vector<std::thread> m_workers;  // touched by the accepting thread only, then joined
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_count{0};
  CRITICAL_SECTION m_lock;
  std::vector<std::string> m_requests;
  std::map<std::string, std::string> m_files;
  int m_headOnlySeen = 0;
};

}  // namespace zarvik_test
