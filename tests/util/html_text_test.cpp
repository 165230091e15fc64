#include "util/html_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/test_support.h"

namespace {

// What htmlWriteText writes for text.
std::string written(const std::string& text) {
  return testsupport::streamText([&](FILE* out) { htmlWriteText(out, text.c_str()); });
}

}  // namespace

TEST(HtmlTables, TagTableHasEveryFormSortedByByte) {
  const auto& tags = htmlTagTable();
  ASSERT_EQ(tags.size(), 762u);
  EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
  EXPECT_EQ(std::adjacent_find(tags.begin(), tags.end()), tags.end());
  EXPECT_EQ(tags.front(), "<!--");
  EXPECT_EQ(tags.back(), "<xmp>");
  for (const char* entry : {"<!doctype ", "<a\t", "<a\n", "<a\r", "<a ", "<a>", "</a>",
                            "<blockquote>", "</h7>", "</xmp>"}) {
    EXPECT_TRUE(std::binary_search(tags.begin(), tags.end(), std::string(entry))) << entry;
  }
  EXPECT_FALSE(std::binary_search(tags.begin(), tags.end(), std::string("</!doctype>")));
}

TEST(HtmlTables, EntityTableHoldsExactlyTheNamedCharacters) {
  const auto& entities = htmlEntityTable();
  ASSERT_EQ(entities.size(), 73u);
  EXPECT_TRUE(std::is_sorted(entities.begin(), entities.end()));
  EXPECT_EQ(entities.front(), "&AElig;");  // capitals first
  EXPECT_EQ(entities.back(), "&yuml;");

  int named = 0;
  for (int b = 1; b < 256; b++) {
    std::string text = htmlCharText(static_cast<unsigned char>(b));
    bool isNamed = text.size() > 1 && text[0] == '&' && text[1] != '#';
    if (isNamed) {
      named++;
      EXPECT_TRUE(std::binary_search(entities.begin(), entities.end(), text)) << text;
    }
  }
  EXPECT_EQ(named, 73);
}

TEST(HtmlTables, CharacterTable) {
  const struct {
    unsigned char byte;
    const char* text;
  } cases[] = {
      {0x00, ""},         {0x01, "\x01"},    {0x09, "\t"},      {0x22, "&quot;"},
      {0x26, "&amp;"},    {0x27, "'"},       {0x3C, "&lt;"},    {0x3E, "&gt;"},
      {0x7F, "\x7f"},     {0x80, "&euro;"},  {0x81, "&#129;"},  {0x8C, "&OElig;"},
      {0x99, "&trade;"},  {0x9C, "&oelig;"}, {0x9F, "&#159;"},  {0xA0, "&nbsp;"},
      {0xA1, "&#161;"},   {0xA9, "&copy;"},  {0xAE, "&reg;"},   {0xBF, "&#191;"},
      {0xC0, "&Agrave;"}, {0xD0, "&ETH;"},   {0xD7, "&#215;"},  {0xDE, "&THORN;"},
      {0xDF, "&szlig;"},  {0xE9, "&eacute;"}, {0xF7, "&#247;"}, {0xFF, "&yuml;"},
  };
  for (const auto& c : cases) EXPECT_STREQ(htmlCharText(c.byte), c.text) << int(c.byte);
}

TEST(HtmlIsTag, KnownTagsAnyCaseOrBangOnly) {
  EXPECT_TRUE(htmlIsTag("<b>"));
  EXPECT_TRUE(htmlIsTag("<B>x"));
  EXPECT_TRUE(htmlIsTag("<Table\tborder=1>"));
  EXPECT_TRUE(htmlIsTag("</XMP>"));
  EXPECT_TRUE(htmlIsTag("<!anything"));
  EXPECT_TRUE(htmlIsTag("<!"));
  EXPECT_FALSE(htmlIsTag("<br/>"));
  EXPECT_FALSE(htmlIsTag("<foo>"));
  EXPECT_FALSE(htmlIsTag("<b"));  // the text ends before the tag's ending
  EXPECT_FALSE(htmlIsTag("<"));
  EXPECT_FALSE(htmlIsTag("< b>"));
}

TEST(HtmlIsEntity, KnownEntitiesExactCase) {
  EXPECT_TRUE(htmlIsEntity("&eacute;"));
  EXPECT_TRUE(htmlIsEntity("&AElig;x"));
  EXPECT_TRUE(htmlIsEntity("&yuml;"));
  EXPECT_FALSE(htmlIsEntity("&EACUTE;"));
  EXPECT_FALSE(htmlIsEntity("&nbsp"));
  EXPECT_FALSE(htmlIsEntity("&hellip;"));
  EXPECT_FALSE(htmlIsEntity("&"));
}

TEST(HtmlWriteText, Cases) {
  const struct {
    const char* text;
    const char* html;
  } cases[] = {
      {"\xe9t\xe9", "&eacute;t&eacute;"},
      {"<b>x</b>", "<b>x</b>"},
      {"<B>x</B>", "<B>x</B>"},
      {"<br/>", "&lt;br/&gt;"},
      {"<foo>", "&lt;foo&gt;"},
      {"a < b", "a &lt; b"},
      {"<!-- \xe9 -->", "<!-- \xe9 -->"},
      {"<!DOCTYPE html>", "<!DOCTYPE html>"},
      {"<!-- open", "<!-- open-->"},
      {"<!--", "<!---->"},
      {"<!x", "<!x>"},
      {"<a href=x", "<a href=x>"},
      {"<a href=\"\xe9\">\"</a>", "<a href=\"\xe9\">&quot;</a>"},
      {"&eacute;", "&eacute;"},
      {"&#233;", "&#233;"},
      {"&EACUTE;", "&amp;EACUTE;"},
      {"&nbsp x", "&amp;nbsp x"},
      {"&#65", "&#65;"},
      {"&#", "&#;"},
      {"&", "&amp;"},
      {"R&D \x80 5\xa0%", "R&amp;D &euro; 5&nbsp;%"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.text), c.html) << c.text;
}

// A UTF-8 text gets the same entities as its ISO-8859-1 twin where the
// table names the character; markup and references pass as they are.
TEST(HtmlWriteText, Utf8TextIsWrittenByCharacter) {
  const struct {
    const char* text;
    const char* html;
  } cases[] = {
      {"Journ\xc3\xa9" "e d'\xc3\xa9t\xc3\xa9", "Journ&eacute;e d'&eacute;t&eacute;"},
      {"Journ\xe9" "e d'\xe9t\xe9", "Journ&eacute;e d'&eacute;t&eacute;"},
      {"\xe2\x82\xac 5\xc2\xa0\xc2\xa1 \xc2\x80", "&#8364; 5&nbsp;&#161; &#128;"},
      {"<a href=\"\xc3\xa9\">\xc3\xa9</a> <!-- \xc3\xa9 --> &#233; &eacute; & \"",
       "<a href=\"\xc3\xa9\">&eacute;</a> <!-- \xc3\xa9 --> &#233; &eacute; &amp; &quot;"},
      {"\xc3\xa9\xe9", "&Atilde;&copy;&eacute;"},  // ill-formed: byte by byte
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.text), c.html) << c.text;
}

// Nor can a caption, as a character or as a reference.
TEST(HtmlWriteText, BidiControlsAreShownNotObeyed) {
  EXPECT_EQ(written("a\xe2\x80\xaa b&#8238; c&#x2066; d&#8207;"), "a[U+202A] b[U+202E] c[U+2066] d&#8207;");
}

TEST(HtmlWriteText, OwnOutputPassesUnchanged) {
  std::string all;
  for (int b = 1; b < 256; b++) all.push_back(static_cast<char>(b));
  const std::string texts[] = {
      all,
      "<b>x</b> <br/> <foo> a < b & c > d \"q\"",
      "<!-- unclosed",
      "<!---",
      "<a href=x",
      "&#65 &nbsp &EACUTE; &eacute;",
      "\xe9t\xe9 \x80\x8c\x99\x9c\xa0\xa9\xae\xd7\xf7",
  };
  for (const std::string& text : texts) {
    std::string once = written(text);
    EXPECT_EQ(written(once), once) << text;
  }
}
