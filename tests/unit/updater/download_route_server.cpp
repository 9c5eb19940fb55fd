#include "download_route_server.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace zarvik_test {
namespace {

void SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0)
      return;
    sent += static_cast<size_t>(n);
  }
}

size_t SizeParameter(const std::string& target) {
  size_t at = target.find("size=");
  return at == std::string::npos
             ? 0
             : static_cast<size_t>(strtoul(target.c_str() + at + 5, nullptr, 10));
}

}  // namespace

DownloadRouteServer::DownloadRouteServer() {
  InitializeCriticalSection(&m_lock);
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(m_listener, 8) != 0) {
    closesocket(m_listener);
    m_listener = INVALID_SOCKET;
    return;
  }
  int length = sizeof(address);
  getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

DownloadRouteServer::~DownloadRouteServer() {
  m_stop = true;
  if (m_listener != INVALID_SOCKET)
    closesocket(m_listener);  // ends the blocking accept
  if (m_thread.joinable())
    m_thread.join();
  for (std::thread& worker : m_workers)
    worker.join();
  DeleteCriticalSection(&m_lock);
  WSACleanup();
}

std::string DownloadRouteServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void DownloadRouteServer::SetFile(const std::string& path, const std::string& body) {
  EnterCriticalSection(&m_lock);
  m_files[path] = body;
  LeaveCriticalSection(&m_lock);
}

void DownloadRouteServer::RemoveFile(const std::string& path) {
  EnterCriticalSection(&m_lock);
  m_files.erase(path);
  LeaveCriticalSection(&m_lock);
}

std::vector<std::string> DownloadRouteServer::Requests() {
  EnterCriticalSection(&m_lock);
  std::vector<std::string> copy = m_requests;
  LeaveCriticalSection(&m_lock);
  return copy;
}

std::string DownloadRouteServer::Body(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i)
    body[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return body;
}

void DownloadRouteServer::Serve() {
  while (!m_stop) {
    SOCKET client = accept(m_listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      return;
    // A connection of its own thread: a client that keeps one open cannot hold up the next.
    m_workers.emplace_back([this, client] { Handle(client); });
  }
}

void DownloadRouteServer::Handle(SOCKET client) {
  DWORD timeout = 10000;  // nothing in these tests waits longer
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));
  setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
             sizeof(timeout));
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    int n = recv(client, buffer, sizeof(buffer), 0);
    if (n <= 0)
      break;
    head.append(buffer, static_cast<size_t>(n));
  }
  std::string requestLine = head.substr(0, head.find("\r\n"));
  EnterCriticalSection(&m_lock);
  m_requests.push_back(requestLine);
  LeaveCriticalSection(&m_lock);
  Answer(client, requestLine);
  shutdown(client, SD_SEND);
  // Let the client read everything before the socket goes away.
  while (recv(client, buffer, sizeof(buffer), 0) > 0) {
  }
  closesocket(client);
}

void DownloadRouteServer::Answer(SOCKET client, const std::string& requestLine) {
  size_t space = requestLine.find(' ');
  std::string target = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
  if (target.rfind("http://", 0) == 0)  // absolute form, as a proxy receives it
    target = target.substr(target.find('/', 7));
  size_t size = SizeParameter(target);
  int earlier = m_count++;
  const std::string close = "Connection: close\r\n";
  EnterCriticalSection(&m_lock);
  auto file = m_files.find(target.substr(0, target.find('?')));
  bool known = file != m_files.end();
  std::string fileBody = known ? file->second : std::string();
  LeaveCriticalSection(&m_lock);
  if (known) {
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(fileBody.size()) +
                        "\r\n" + close + "\r\n" + fileBody);
    return;
  }
  if (target.rfind("/stall", 0) == 0) {
    // Accepts and never answers, until the client gives up or the server stops.
    for (int i = 0; i < 1200 && !m_stop; ++i)
      Sleep(100);
  } else if (target.rfind("/headonly", 0) == 0) {
    // Answers the size probe, then stalls in the body of the transfer.
    EnterCriticalSection(&m_lock);
    const bool probe = m_headOnlySeen++ % 2 == 0;
    LeaveCriticalSection(&m_lock);
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n" + close +
                        "\r\n" + (probe ? std::string() : Body(size / 4)));
    for (int i = 0; i < 1200 && !m_stop && !probe; ++i)
      Sleep(100);
  } else if (target.rfind("/file", 0) == 0) {
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n" + close +
                        "\r\n" + Body(size));
  } else if (target.rfind("/nolength", 0) == 0) {
    SendAll(client, "HTTP/1.1 200 OK\r\n" + close + "\r\n" + Body(size));
  } else if (target.rfind("/moved", 0) == 0) {
    SendAll(client, "HTTP/1.1 302 Found\r\nLocation: /file?size=100\r\nContent-Length: 0\r\n" +
                        close + "\r\n");
  } else if (target.rfind("/short", 0) == 0) {
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n" + close +
                        "\r\n" + Body(size / 2));
  } else if (target.rfind("/grow", 0) == 0) {
    size_t grown = size + static_cast<size_t>(earlier);
    SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(grown) + "\r\n" + close +
                        "\r\n" + Body(grown));
  } else {
    std::string page = "<html>not here</html>";
    SendAll(client, "HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(page.size()) +
                        "\r\n" + close + "\r\n" + page);
  }
}

}  // namespace zarvik_test
