#include "ui/browser_error_page.h"

namespace zarvik {

namespace {

// The URL and the error text come from the network: they are shown as text, never as markup.
std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string BuildLoadErrorPage(const std::string& failedUrl,
                               const std::string& errorText,
                               int errorCode) {
  return "<html><body bgcolor=\"white\"><h2>Failed to load URL " + EscapeHtml(failedUrl) +
         " with error " + EscapeHtml(errorText) + " (" + std::to_string(errorCode) +
         ").</h2></body></html>";
}

}  // namespace zarvik
