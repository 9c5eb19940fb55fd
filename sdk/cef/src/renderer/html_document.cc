#include "src/renderer/html_document.h"

#include <cctype>
#include <cstdlib>

#include "src/common/text.h"

namespace cefimpl {

namespace {

bool IsBlockTag(const std::string& tag) {
  static const char* const kBlocks[] = {
      "p",   "div",  "br",  "h1",         "h2",      "h3",     "h4",     "h5", "h6",   "li",
      "ul",  "ol",   "tr",  "table",      "section", "header", "footer", "hr", "form", "article",
      "nav", "main", "pre", "blockquote", "body",    "dl",     "dt",     "dd"};
  for (const char* block : kBlocks) {
    if (tag == block)
      return true;
  }
  return false;
}

bool IsHeading(const std::string& tag) {
  return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6';
}

void AppendUtf8(std::string* out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF)
    cp = 0xFFFD;
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Collapses runs of white space into one blank, as the flow shows text.
std::wstring CollapseSpace(const std::wstring& text, bool* lastWasSpace) {
  std::wstring out;
  for (wchar_t c : text) {
    bool space = c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f';
    if (space) {
      if (!*lastWasSpace)
        out.push_back(L' ');
      *lastWasSpace = true;
    } else {
      out.push_back(c == 0xA0 ? L' ' : c);
      *lastWasSpace = false;
    }
  }
  return out;
}

class Parser {
 public:
  Parser(const std::string& markup, HtmlDocument* doc) : m_in(markup), m_doc(doc) {}

  void Run() {
    while (m_pos < m_in.size()) {
      if (m_in[m_pos] == '<' && TryTag())
        continue;
      size_t next = m_in.find('<', m_pos + 1);
      if (next == std::string::npos)
        next = m_in.size();
      Text(m_in.substr(m_pos, next - m_pos));
      m_pos = next;
    }
    Break();
  }

 private:
  int LineAt(size_t pos) const {
    int line = 1;
    for (size_t i = 0; i < pos && i < m_in.size(); ++i) {
      if (m_in[i] == '\n')
        ++line;
    }
    return line;
  }

  // Content of a raw-text element up to its end tag; moves past the end tag.
  std::string RawText(const std::string& tag) {
    std::string lower = AsciiLower(m_in.substr(m_pos));
    size_t end = lower.find("</" + tag);
    std::string content = m_in.substr(m_pos, end == std::string::npos ? std::string::npos : end);
    if (end == std::string::npos) {
      m_pos = m_in.size();
    } else {
      size_t close = m_in.find('>', m_pos + end);
      m_pos = close == std::string::npos ? m_in.size() : close + 1;
    }
    return content;
  }

  bool TryTag() {
    if (m_in.compare(m_pos, 4, "<!--") == 0) {
      size_t end = m_in.find("-->", m_pos + 4);
      m_pos = end == std::string::npos ? m_in.size() : end + 3;
      return true;
    }
    size_t p = m_pos + 1;
    bool closing = p < m_in.size() && m_in[p] == '/';
    if (closing)
      ++p;
    if (p < m_in.size() && m_in[p] == '!') {  // doctype and the like
      size_t end = m_in.find('>', p);
      m_pos = end == std::string::npos ? m_in.size() : end + 1;
      return true;
    }
    if (p >= m_in.size() || !std::isalpha(static_cast<unsigned char>(m_in[p])))
      return false;
    size_t nameStart = p;
    while (p < m_in.size() && (std::isalnum(static_cast<unsigned char>(m_in[p])) || m_in[p] == '-'))
      ++p;
    std::string tag = AsciiLower(m_in.substr(nameStart, p - nameStart));
    std::map<std::string, std::string> attrs;
    // Attributes up to '>' (quotes may hold '>').
    while (p < m_in.size() && m_in[p] != '>') {
      if (std::isspace(static_cast<unsigned char>(m_in[p])) || m_in[p] == '/') {
        ++p;
        continue;
      }
      size_t a = p;
      while (p < m_in.size() && !std::isspace(static_cast<unsigned char>(m_in[p])) &&
             m_in[p] != '=' && m_in[p] != '>' && m_in[p] != '/')
        ++p;
      std::string name = AsciiLower(m_in.substr(a, p - a));
      std::string value;
      while (p < m_in.size() && std::isspace(static_cast<unsigned char>(m_in[p])))
        ++p;
      if (p < m_in.size() && m_in[p] == '=') {
        ++p;
        while (p < m_in.size() && std::isspace(static_cast<unsigned char>(m_in[p])))
          ++p;
        if (p < m_in.size() && (m_in[p] == '"' || m_in[p] == '\'')) {
          char quote = m_in[p++];
          size_t end = m_in.find(quote, p);
          if (end == std::string::npos)
            end = m_in.size();
          value = m_in.substr(p, end - p);
          p = end < m_in.size() ? end + 1 : end;
        } else {
          size_t v = p;
          while (p < m_in.size() && !std::isspace(static_cast<unsigned char>(m_in[p])) &&
                 m_in[p] != '>')
            ++p;
          value = m_in.substr(v, p - v);
        }
      }
      if (!name.empty())
        attrs[name] = DecodeEntities(value);
    }
    m_pos = p < m_in.size() ? p + 1 : m_in.size();
    if (closing)
      EndTag(tag);
    else
      StartTag(tag, attrs);
    return true;
  }

  void StartTag(const std::string& tag, const std::map<std::string, std::string>& attrs) {
    if (tag == "script") {
      HtmlScript script;
      auto src = attrs.find("src");
      if (src != attrs.end()) {
        script.src = src->second;
        RawText("script");
      } else {
        script.line = LineAt(m_pos);
        script.code = RawText("script");
      }
      m_doc->scripts.push_back(script);
      return;
    }
    if (tag == "title") {
      std::wstring title = Utf8ToWide(DecodeEntities(RawText("title")));
      bool space = true;
      title = CollapseSpace(title, &space);
      while (!title.empty() && title.back() == L' ')
        title.pop_back();
      if (m_doc->title.empty())
        m_doc->title = title;
      return;
    }
    if (tag == "style" || tag == "textarea" || tag == "noscript" || tag == "template") {
      RawText(tag);
      return;
    }
    if (tag == "head") {
      m_inHead = true;
      return;
    }
    if (tag == "body")
      m_inHead = false;
    if (tag == "a" || tag == "button") {
      HtmlElement element;
      element.tag = tag;
      element.attrs = attrs;
      m_doc->elements.push_back(element);
      m_element = static_cast<int>(m_doc->elements.size()) - 1;
      m_elementKind = tag == "a" ? DISPLAY_LINK : DISPLAY_BUTTON;
      return;
    }
    if (IsBlockTag(tag)) {
      Break();
      if (IsHeading(tag))
        m_heading = true;
    }
  }

  void EndTag(const std::string& tag) {
    if (tag == "head") {
      m_inHead = false;
      return;
    }
    if ((tag == "a" || tag == "button") && m_element >= 0) {
      HtmlElement& element = m_doc->elements[m_element];
      while (!element.text.empty() && element.text.back() == L' ')
        element.text.pop_back();
      DisplayItem item;
      item.kind = m_elementKind;
      item.text = element.text.empty() && m_elementKind == DISPLAY_LINK
                      ? Utf8ToWide(element.attrs["href"])
                      : element.text;
      item.element = m_element;
      m_doc->items.push_back(item);
      m_lastWasSpace = false;
      m_element = -1;
      return;
    }
    if (IsBlockTag(tag)) {
      Break();
      if (IsHeading(tag))
        m_heading = false;
    }
  }

  void Text(const std::string& raw) {
    if (m_inHead)
      return;
    std::wstring text = CollapseSpace(Utf8ToWide(DecodeEntities(raw)), &m_lastWasSpace);
    if (text.empty())
      return;
    if (m_element >= 0) {
      HtmlElement& element = m_doc->elements[m_element];
      if (element.text.empty() && !text.empty() && text[0] == L' ')
        text.erase(0, 1);
      element.text += text;
      return;
    }
    if (text == L" " && (m_doc->items.empty() || m_doc->items.back().kind == DISPLAY_BREAK))
      return;
    int kind = m_heading ? DISPLAY_HEADING : DISPLAY_TEXT;
    if (!m_doc->items.empty() && m_doc->items.back().kind == kind) {
      m_doc->items.back().text += text;
    } else {
      if (m_doc->items.empty() || m_doc->items.back().kind == DISPLAY_BREAK) {
        if (!text.empty() && text[0] == L' ')
          text.erase(0, 1);
      }
      if (text.empty())
        return;
      DisplayItem item;
      item.kind = kind;
      item.text = text;
      m_doc->items.push_back(item);
    }
  }

  void Break() {
    m_lastWasSpace = true;
    if (m_doc->items.empty() || m_doc->items.back().kind == DISPLAY_BREAK)
      return;
    DisplayItem item;
    item.kind = DISPLAY_BREAK;
    m_doc->items.push_back(item);
  }

  const std::string& m_in;
  HtmlDocument* m_doc;
  size_t m_pos = 0;
  bool m_inHead = false;
  bool m_heading = false;
  bool m_lastWasSpace = true;
  int m_element = -1;
  int m_elementKind = DISPLAY_TEXT;
};

}  // namespace

std::string DecodeEntities(const std::string& text) {
  static const struct {
    const char* name;
    unsigned long cp;
  } kNamed[] = {{"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},
                {"apos", '\''},    {"nbsp", 0xA0},    {"copy", 0xA9},     {"reg", 0xAE},
                {"mdash", 0x2014}, {"ndash", 0x2013}, {"hellip", 0x2026}, {"middot", 0xB7}};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out.push_back(text[i]);
      continue;
    }
    size_t semi = text.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out.push_back('&');
      continue;
    }
    std::string ref = text.substr(i + 1, semi - i - 1);
    bool done = false;
    if (!ref.empty() && ref[0] == '#') {
      char* end = nullptr;
      unsigned long cp = (ref.size() > 1 && (ref[1] == 'x' || ref[1] == 'X'))
                             ? std::strtoul(ref.c_str() + 2, &end, 16)
                             : std::strtoul(ref.c_str() + 1, &end, 10);
      if (end && *end == '\0' && ref.size() > 1) {
        AppendUtf8(&out, cp);
        done = true;
      }
    } else {
      for (const auto& named : kNamed) {
        if (ref == named.name) {
          AppendUtf8(&out, named.cp);
          done = true;
          break;
        }
      }
    }
    if (done)
      i = semi;
    else
      out.push_back('&');
  }
  return out;
}

HtmlDocument ParseHtml(const std::string& markup, bool isHtml) {
  HtmlDocument doc;
  if (!isHtml) {
    bool space = true;
    DisplayItem item;
    item.text = CollapseSpace(Utf8ToWide(markup), &space);
    if (!item.text.empty())
      doc.items.push_back(item);
    return doc;
  }
  Parser parser(markup, &doc);
  parser.Run();
  // Blanks at the end of a line are not shown.
  std::vector<DisplayItem> items;
  for (size_t i = 0; i < doc.items.size(); ++i) {
    DisplayItem item = doc.items[i];
    bool lineEnds = i + 1 == doc.items.size() || doc.items[i + 1].kind == DISPLAY_BREAK;
    if ((item.kind == DISPLAY_TEXT || item.kind == DISPLAY_HEADING) && lineEnds) {
      while (!item.text.empty() && item.text.back() == L' ')
        item.text.pop_back();
      if (item.text.empty())
        continue;
    }
    items.push_back(item);
  }
  while (!items.empty() && items.back().kind == DISPLAY_BREAK)
    items.pop_back();
  doc.items.swap(items);
  return doc;
}

}  // namespace cefimpl
