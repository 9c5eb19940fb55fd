// What the renderer takes from markup: title, painted flow, clickable elements and scripts.
#include <gtest/gtest.h>

#include "src/renderer/html_document.h"

namespace {

using cefimpl::DisplayItem;
using cefimpl::HtmlDocument;

std::vector<std::pair<int, std::wstring>> Flow(const HtmlDocument& doc) {
  std::vector<std::pair<int, std::wstring>> out;
  for (const DisplayItem& item : doc.items)
    out.emplace_back(item.kind, item.text);
  return out;
}

TEST(HtmlDocumentTest, BuildsTheFlowWithLinksButtonsAndScriptsInOrder) {
  const char* markup =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title> Live &amp; hall </title>\n"
      "<style>p { color: red }</style><script src=\"lib.js\"></script></head>\n"
      "<body><h1>Zarvik\n  hall</h1><p>Signed in as <b>p&lt;1&gt;</b>.</p>\n"
      "<a href=\"/next\" target=_blank>Next page</a><button onclick=\"go('x>y')\">Go</button>\n"
      "<script>\nvar a = '<b>';\n</script><!-- <p>hidden</p> --></body></html>";
  HtmlDocument doc = cefimpl::ParseHtml(markup);
  EXPECT_EQ(doc.title, L"Live & hall");
  std::vector<std::pair<int, std::wstring>> expected = {
      {cefimpl::DISPLAY_HEADING, L"Zarvik hall"},     {cefimpl::DISPLAY_BREAK, L""},
      {cefimpl::DISPLAY_TEXT, L"Signed in as p<1>."}, {cefimpl::DISPLAY_BREAK, L""},
      {cefimpl::DISPLAY_LINK, L"Next page"},          {cefimpl::DISPLAY_BUTTON, L"Go"},
  };
  EXPECT_EQ(Flow(doc), expected);
  ASSERT_EQ(doc.elements.size(), 2u);
  EXPECT_EQ(doc.items[4].element, 0);
  EXPECT_EQ(doc.elements[0].attrs["href"], "/next");
  EXPECT_EQ(doc.elements[0].attrs["target"], "_blank");
  EXPECT_EQ(doc.elements[1].attrs["onclick"], "go('x>y')");
  ASSERT_EQ(doc.scripts.size(), 2u);
  EXPECT_EQ(doc.scripts[0].src, "lib.js");
  EXPECT_EQ(doc.scripts[1].code, "\nvar a = '<b>';\n");
  EXPECT_EQ(doc.scripts[1].line, 7);  // the line of the markup where the code starts
}

TEST(HtmlDocumentTest, DecodesCharacterReferences) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a &amp; b", "a & b"},         {"&#20013;&#x6587;", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"&unknown; &", "&unknown; &"}, {"&#;", "&#;"},
      {"&#1114112;", "\xEF\xBF\xBD"},  // beyond Unicode
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(cefimpl::DecodeEntities(c.in), c.out);
  }
}

TEST(HtmlDocumentTest, ToleratesBrokenMarkup) {
  HtmlDocument doc = cefimpl::ParseHtml("<p>open <a href='x'>never closed <script>var x");
  ASSERT_EQ(doc.scripts.size(), 1u);
  EXPECT_EQ(doc.scripts[0].code, "var x");
  HtmlDocument text = cefimpl::ParseHtml("a < b and <3", true);
  ASSERT_FALSE(text.items.empty());
  EXPECT_EQ(text.items[0].text, L"a < b and <3");
  HtmlDocument plain = cefimpl::ParseHtml("<b>not markup</b>", false);
  EXPECT_EQ(plain.items[0].text, L"<b>not markup</b>");
}

}  // namespace
