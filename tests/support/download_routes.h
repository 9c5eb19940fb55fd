// The routes the download tests ask the loopback server for, as its handler. The path picks the
// answer (the query gives the size):
//   /file?size=N     200 with Content-Length and N bytes
//   /nolength?size=N 200 without Content-Length, N bytes, then close
//   /moved           302 to /file?size=100
//   /short?size=N    announces N bytes, sends half of them, closes
//   /grow?size=N     announces and sends N + (number of earlier requests) bytes: the size probe
//                    and the transfer disagree
//   /stall           reads the request and never answers, until the client hangs up
//   /headonly?size=N the first, third, ... request (the size probe) gets the headers only; the
//                    others get a quarter of the body and then nothing more
//   anything else    404 with a short page, "<html>not here</html>"
// Files set on the server (SetFile) come before these routes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "support/loopback_http_server.h"

namespace zarvik_test {

std::function<HttpResponseScript(const HttpRequestRecord&)> DownloadRoutes();

// The body the routes send for a size: byte i is (i * 7 + 3) & 0xFF.
std::string RouteBody(size_t size);

// The page of the 404 answer.
constexpr char kNotHerePage[] = "<html>not here</html>";

}  // namespace zarvik_test
