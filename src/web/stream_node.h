// The content network's scheduler: which edge nodes serve a stream. Runs in the renderer process
// inside the page's GetWsNgbNode call, so the page waits for it (about 12 s at most).
#pragma once

#include <string>

// Asks the scheduler for the nodes of `streamName` (UTF-8, inserted unescaped) and returns its
// reply body unchanged; empty when neither of the two attempts got a non-empty answer.
std::string QueryStreamNode(const std::string& streamName);

namespace zarvik {

// QueryStreamNode against another scheduler and pull host: `schedulerHost` is a bare host (and
// port) with no scheme and no path; the WS_URL header carries `pullHost` + "/show/" + stream name.
std::string QueryStreamNodeAt(const std::string& schedulerHost,
                              const std::string& pullHost,
                              const std::string& streamName);

}  // namespace zarvik
