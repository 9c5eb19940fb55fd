// The document shown in a frame whose page could not be loaded.
#pragma once

#include <string>

namespace zarvik {

// "<html><body bgcolor="white"><h2>Failed to load URL <url> with error <text> (<code>).</h2>
// </body></html>" with the URL and the error text (UTF-8) shown as text: "<", ">", "&" and '"'
// are written as character references.
std::string BuildLoadErrorPage(const std::string& failedUrl,
                               const std::string& errorText,
                               int errorCode);

}  // namespace zarvik
