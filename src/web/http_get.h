// Blocking HTTP GET into a narrow string, and the libcurl sinks that collect a reply's body and
// header text. Used by the server queries, the game-driven web calls and the streaming-node query.
#pragma once

#include <cstddef>
#include <string>

// The most a service reply may hold in memory. Replies are short JSON or node lists; a body or
// header text that would grow past its cap stops the transfer (libcurl result 23) and is logged.
constexpr size_t kMaxReplyBodyBytes = 256 * 1024;
constexpr size_t kMaxReplyHeaderBytes = 64 * 1024;

// GET `url` and append the reply body to `body`. Returns the libcurl result code: 0 when the
// transfer completed (also for an HTTP error status, whose page is then the body), 2 when no
// transfer handle could be created. Connecting and the whole transfer are limited to 30 s each.
int HttpGetToString(const std::string& url, std::string& body);

// libcurl write callback: `userdata` is a std::string that receives every delivered byte.
// Returns `count` (libcurl always passes size 1), or (size_t)-1 to abort the transfer when the data
// or the string is missing, or when the string would grow past kMaxReplyBodyBytes.
size_t AppendBodyToString(void* data, size_t size, size_t count, void* userdata);

// libcurl header callback: `userdata` is a std::string; the delivered bytes are appended as text,
// ending at the first zero byte. Returns `count`, or (size_t)-1 when the data or string is missing
// or the text would grow past kMaxReplyHeaderBytes.
size_t AppendHeaderToString(void* data, size_t size, size_t count, void* userdata);

namespace zarvik {

// HttpGetToString with other limits (seconds), so a stalled service can be shown quickly.
int HttpGetWithTimeouts(const std::string& url,
                        std::string& body,
                        long connectSeconds,
                        long totalSeconds);

}  // namespace zarvik
