#include "support/download_routes.h"

#include <cstdlib>
#include <memory>
#include <mutex>

namespace zarvik_test {
namespace {

// Longer than any download in the tests waits; a stall ends early when the client hangs up.
constexpr DWORD kStallMs = 120000;

size_t SizeParameter(const std::string& target) {
  size_t at = target.find("size=");
  return at == std::string::npos
             ? 0
             : static_cast<size_t>(strtoul(target.c_str() + at + 5, nullptr, 10));
}

HttpResponseScript Binary(const std::string& body) {
  HttpResponseScript response;
  response.body = body;
  response.contentType = "application/octet-stream";
  return response;
}

// Counts the requests of /headonly: every other one is the size probe.
struct HeadOnlyCount {
  std::mutex lock;
  int seen = 0;
};

}  // namespace

std::string RouteBody(size_t size) {
  std::string body(size, '\0');
  for (size_t i = 0; i < size; ++i)
    body[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return body;
}

std::function<HttpResponseScript(const HttpRequestRecord&)> DownloadRoutes() {
  auto headOnly = std::make_shared<HeadOnlyCount>();
  return [headOnly](const HttpRequestRecord& request) {
    const std::string path = LoopbackHttpServer::PathOf(request);
    const size_t size = SizeParameter(request.target);
    if (path == "/file")
      return Binary(RouteBody(size));
    if (path == "/nolength") {
      HttpResponseScript response = Binary(RouteBody(size));
      response.sendLength = false;
      return response;
    }
    if (path == "/moved") {
      HttpResponseScript response = Binary("");
      response.status = 302;
      response.extraHeaders.push_back("Location: /file?size=100");
      return response;
    }
    if (path == "/short") {
      HttpResponseScript response = Binary(RouteBody(size / 2));
      response.announcedLength = static_cast<long long>(size);
      return response;
    }
    if (path == "/grow")
      return Binary(RouteBody(size + static_cast<size_t>(request.sequence - 1)));
    if (path == "/stall") {
      HttpResponseScript response = Binary("");
      response.stallMs = kStallMs;
      return response;
    }
    if (path == "/headonly") {
      bool probe;
      {
        std::lock_guard<std::mutex> guard(headOnly->lock);
        probe = headOnly->seen++ % 2 == 0;
      }
      HttpResponseScript response = Binary(probe ? std::string() : RouteBody(size / 4));
      response.announcedLength = static_cast<long long>(size);
      if (!probe) {
        response.headersBeforeStall = true;
        response.bytesBeforeStall = size / 4;
        response.stallMs = kStallMs;
      }
      return response;
    }
    HttpResponseScript missing;
    missing.status = 404;
    missing.body = kNotHerePage;
    missing.contentType = "text/html";
    return missing;
  };
}

}  // namespace zarvik_test
