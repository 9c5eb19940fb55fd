// A document as this engine understands it: the title, a flow of text, links and buttons for
// painting, and the scripts in document order. Not a DOM: a small tokenizer over the markup.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "src/common/ipc_messages.h"

namespace cefimpl {

struct HtmlElement {
  std::string tag;                           // "a" or "button"
  std::map<std::string, std::string> attrs;  // names in lower case, values decoded (UTF-8)
  std::wstring text;
};

struct HtmlScript {
  std::string code;  // inline code (UTF-8), empty with src
  std::string src;   // as written in the markup
  int line = 1;      // line of the markup where the inline code starts
};

struct HtmlDocument {
  std::wstring title;
  std::vector<DisplayItem> items;
  std::vector<HtmlElement> elements;  // DisplayItem::element indexes this
  std::vector<HtmlScript> scripts;
};

// Reads UTF-8 markup. Plain text (a non-HTML MIME type) becomes one text flow.
HtmlDocument ParseHtml(const std::string& markup, bool isHtml = true);

// Decodes character references (&amp; &lt; &#39; &#x4E2D; ...) in UTF-8 text.
std::string DecodeEntities(const std::string& text);

}  // namespace cefimpl
