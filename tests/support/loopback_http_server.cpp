#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/loopback_http_server.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zarvik_test {
namespace {

bool SendAll(SOCKET socket, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    int n = send(socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0)
      return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

const char* ReasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : m_listener(INVALID_SOCKET) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
    return;
  m_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET)
    return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  int length = sizeof(address);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener);
    return;
  }
  m_listener = listener;
  m_port = ntohs(address.sin_port);
  m_acceptThread = std::thread(&LoopbackHttpServer::AcceptLoop, this);
}

LoopbackHttpServer::~LoopbackHttpServer() {
  if (m_stopEvent)
    SetEvent(m_stopEvent.Get());
  if (m_acceptThread.joinable())
    m_acceptThread.join();
  for (std::thread& connection : m_connections)
    connection.join();
  if (m_listener != INVALID_SOCKET)
    closesocket(m_listener);
  WSACleanup();
}

std::string LoopbackHttpServer::HostPort() const {
  return "127.0.0.1:" + std::to_string(m_port);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

void LoopbackHttpServer::Enqueue(const HttpResponseScript& response) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_queue.push_back(response);
}

void LoopbackHttpServer::SetFile(const std::string& path, const std::string& body) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_files[path] = body;
}

void LoopbackHttpServer::RemoveFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_files.erase(path);
}

void LoopbackHttpServer::SetHandler(
    std::function<HttpResponseScript(const HttpRequestRecord&)> handler) {
  std::lock_guard<std::mutex> guard(m_lock);
  m_handler = std::move(handler);
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_requests;
}

bool LoopbackHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) const {
  std::unique_lock<std::mutex> guard(m_lock);
  return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_finished >= count; });
}

std::string LoopbackHttpServer::Header(const HttpRequestRecord& request, const std::string& name) {
  std::string wanted = Lower(name) + ":";
  for (const std::string& line : request.headerLines) {
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      size_t start = line.find_first_not_of(' ', wanted.size());
      return start == std::string::npos ? std::string() : line.substr(start);
    }
  }
  return std::string();
}

std::string LoopbackHttpServer::PathOf(const HttpRequestRecord& request) {
  std::string path = request.target;
  if (path.rfind("http://", 0) == 0) {
    const size_t slash = path.find('/', 7);
    path = slash == std::string::npos ? "/" : path.substr(slash);
  }
  return path.substr(0, path.find('?'));
}

void LoopbackHttpServer::AcceptLoop() {
  SOCKET listener = static_cast<SOCKET>(m_listener);
  while (WaitForSingleObject(m_stopEvent.Get(), 0) != WAIT_OBJECT_0) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait = {0, 50 * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
      continue;
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      continue;
    m_connections.emplace_back(&LoopbackHttpServer::Serve, this, static_cast<uintptr_t>(client));
  }
}

HttpResponseScript LoopbackHttpServer::NextResponse(const HttpRequestRecord& request) {
  std::function<HttpResponseScript(const HttpRequestRecord&)> handler;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_queue.empty()) {
      HttpResponseScript next = m_queue.front();
      m_queue.erase(m_queue.begin());
      return next;
    }
    auto file = m_files.find(PathOf(request));
    if (file != m_files.end()) {
      HttpResponseScript found;
      found.body = file->second;
      found.contentType = "application/octet-stream";
      return found;
    }
    handler = m_handler;
  }
  if (handler)
    return handler(request);
  HttpResponseScript missing;
  missing.status = 404;
  missing.body = "not found";
  missing.contentType = "text/plain";
  return missing;
}

// True when the whole time passed; false when the peer hung up or the server stopped.
bool LoopbackHttpServer::Stall(uintptr_t socketValue, DWORD ms, bool untilPeerCloses) {
  SOCKET socket = static_cast<SOCKET>(socketValue);
  ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    if (WaitForSingleObject(m_stopEvent.Get(), 0) == WAIT_OBJECT_0)
      return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval wait = {0, 20 * 1000};
    if (untilPeerCloses && select(0, &readable, nullptr, nullptr, &wait) > 0) {
      char probe;
      if (recv(socket, &probe, 1, MSG_PEEK) <= 0)
        return false;
      Sleep(20);  // unexpected extra bytes: keep waiting
    } else if (!untilPeerCloses) {
      Sleep(20);
    }
  }
  return true;
}

void LoopbackHttpServer::Serve(uintptr_t socketValue) {
  SOCKET socket = static_cast<SOCKET>(socketValue);
  // Bounded reads and writes: a client that hangs up in the middle of a large body can leave a
  // blocking send waiting for ever under Wine, and the destructor joins this thread. Nothing in
  // the tests waits on one call longer; stalls are timed by Stall, not by the socket.
  DWORD timeout = 10000;
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));
  std::string data;
  char buffer[4096];
  size_t headerEnd = std::string::npos;
  while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < (1u << 20)) {
    int n = recv(socket, buffer, sizeof(buffer), 0);
    if (n <= 0)
      break;
    data.append(buffer, static_cast<size_t>(n));
  }

  HttpRequestRecord request;
  request.receivedTick = GetTickCount64();
  if (headerEnd != std::string::npos) {
    size_t lineStart = 0;
    bool first = true;
    while (lineStart < headerEnd) {
      size_t lineEnd = data.find("\r\n", lineStart);
      std::string line = data.substr(lineStart, lineEnd - lineStart);
      lineStart = lineEnd + 2;
      if (first) {
        request.requestLine = line;
        size_t space = line.find(' ');
        size_t second = line.find(' ', space + 1);
        request.method = line.substr(0, space);
        if (space != std::string::npos)
          request.target = line.substr(space + 1, second - space - 1);
        first = false;
      } else {
        request.headerLines.push_back(line);
      }
    }
  }
  size_t index;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    request.sequence = static_cast<int>(m_requests.size()) + 1;
    m_requests.push_back(request);
    index = m_requests.size() - 1;
  }

  if (headerEnd != std::string::npos) {
    HttpResponseScript response = NextResponse(request);
    bool answered = false;
    if (!response.closeWithoutAnswer) {
      const long long length = response.announcedLength >= 0
                                   ? response.announcedLength
                                   : static_cast<long long>(response.body.size());
      std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                         ReasonOf(response.status) + "\r\nContent-Type: " + response.contentType +
                         "\r\n";
      if (response.sendLength)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
      head += "Connection: close\r\n";
      for (const std::string& extra : response.extraHeaders)
        head += extra + "\r\n";
      head += "\r\n";
      size_t early = std::min(response.bytesBeforeStall, response.body.size());
      bool going = true;
      if (response.headersBeforeStall)
        going = SendAll(socket, head + response.body.substr(0, early));
      if (going && response.stallMs)
        going = Stall(socketValue, response.stallMs, true);
      if (going) {
        answered = response.headersBeforeStall ? SendAll(socket, response.body.substr(early))
                                               : SendAll(socket, head + response.body);
      }
    }
    if (answered) {
      std::lock_guard<std::mutex> guard(m_lock);
      m_requests[index].answeredTick = GetTickCount64();
    }
  }
  shutdown(socket, SD_SEND);
  // Let the client read everything before the socket goes away.
  Stall(socketValue, 2000, true);
  closesocket(socket);
  {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_finished;
  }
  m_changed.notify_all();
}

}  // namespace zarvik_test
