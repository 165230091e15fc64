// HTML text writer: known tags, comments and references pass; every other
// byte goes through a fixed per-byte table.
#include "util/html_text.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "util/utf8.h"

namespace {

// The tag names a user's text may use; each gives the opening forms "<name"
// followed by tab, line feed, carriage return, space or ">", and (except
// !doctype) the closing form "</name>".
const char* const kTagNames[] = {
    "!doctype", "a",        "abbrev",    "abstract", "acronym",  "added",    "address",
    "app",      "applet",   "area",      "arg",      "b",        "base",     "basefont",
    "bgsound",  "big",      "blink",     "blockquote", "body",   "box",      "br",
    "byline",   "caption",  "center",    "changed",  "cite",     "cmd",      "code",
    "col",      "colgroup", "comment",   "dd",       "dfn",      "dir",      "div",
    "dl",       "dt",       "em",        "embed",    "fieldset", "fig",      "fn",
    "font",     "footnote", "form",      "frame",    "frameset", "h",        "h1",
    "h2",       "h3",       "h4",        "h5",       "h6",       "h7",       "head",
    "hr",       "html",     "htmlplus",  "i",        "iframe",   "image",    "img",
    "input",    "isindex",  "italic",    "kbd",      "key",      "l",        "left",
    "legend",   "li",       "link",      "listing",  "lit",      "map",      "margin",
    "marquee",  "math",     "menu",      "meta",     "nextid",   "nobr",     "noembed",
    "noframes", "note",     "object",    "ol",       "option",   "over",     "p",
    "param",    "person",   "plaintext", "pre",      "q",        "quote",    "removed",
    "render",   "s",        "samp",      "script",   "select",   "small",    "sound",
    "span",     "strike",   "strong",    "style",    "sub",      "sup",      "tab",
    "table",    "tbody",    "td",        "textarea", "tfoot",    "th",       "thead",
    "title",    "tr",       "tt",        "u",        "ul",       "var",      "wbr",
    "xmp",
};
static_assert(std::size(kTagNames) == 127);
constexpr char kNoClosingTag[] = "!doctype";
constexpr char kTagEndings[] = {'\t', '\n', '\r', ' ', '>'};

// Every byte written as a named entity, and the entity. These are also the
// only named entities let through as they stand, so that the writer's own
// output passes through it again unchanged.
struct NamedEntity {
  unsigned char byte;
  const char* text;
};
const NamedEntity kNamedEntities[] = {
    {0x22, "&quot;"},   {0x26, "&amp;"},    {0x3C, "&lt;"},     {0x3E, "&gt;"},
    {0x80, "&euro;"},   {0x8C, "&OElig;"},  {0x99, "&trade;"},  {0x9C, "&oelig;"},
    {0xA0, "&nbsp;"},   {0xA9, "&copy;"},   {0xAE, "&reg;"},
    {0xC0, "&Agrave;"}, {0xC1, "&Aacute;"}, {0xC2, "&Acirc;"},  {0xC3, "&Atilde;"},
    {0xC4, "&Auml;"},   {0xC5, "&Aring;"},  {0xC6, "&AElig;"},  {0xC7, "&Ccedil;"},
    {0xC8, "&Egrave;"}, {0xC9, "&Eacute;"}, {0xCA, "&Ecirc;"},  {0xCB, "&Euml;"},
    {0xCC, "&Igrave;"}, {0xCD, "&Iacute;"}, {0xCE, "&Icirc;"},  {0xCF, "&Iuml;"},
    {0xD0, "&ETH;"},    {0xD1, "&Ntilde;"}, {0xD2, "&Ograve;"}, {0xD3, "&Oacute;"},
    {0xD4, "&Ocirc;"},  {0xD5, "&Otilde;"}, {0xD6, "&Ouml;"},   {0xD8, "&Oslash;"},
    {0xD9, "&Ugrave;"}, {0xDA, "&Uacute;"}, {0xDB, "&Ucirc;"},  {0xDC, "&Uuml;"},
    {0xDD, "&Yacute;"}, {0xDE, "&THORN;"},  {0xDF, "&szlig;"},  {0xE0, "&agrave;"},
    {0xE1, "&aacute;"}, {0xE2, "&acirc;"},  {0xE3, "&atilde;"}, {0xE4, "&auml;"},
    {0xE5, "&aring;"},  {0xE6, "&aelig;"},  {0xE7, "&ccedil;"}, {0xE8, "&egrave;"},
    {0xE9, "&eacute;"}, {0xEA, "&ecirc;"},  {0xEB, "&euml;"},   {0xEC, "&igrave;"},
    {0xED, "&iacute;"}, {0xEE, "&icirc;"},  {0xEF, "&iuml;"},   {0xF0, "&eth;"},
    {0xF1, "&ntilde;"}, {0xF2, "&ograve;"}, {0xF3, "&oacute;"}, {0xF4, "&ocirc;"},
    {0xF5, "&otilde;"}, {0xF6, "&ouml;"},   {0xF8, "&oslash;"}, {0xF9, "&ugrave;"},
    {0xFA, "&uacute;"}, {0xFB, "&ucirc;"},  {0xFC, "&uuml;"},   {0xFD, "&yacute;"},
    {0xFE, "&thorn;"},  {0xFF, "&yuml;"},
};

static_assert(std::size(kNamedEntities) == 73);

struct Tables {
  std::vector<std::string> tags;      // sorted by byte value
  std::vector<std::string> entities;  // sorted by byte value
  std::array<std::string, 256> chars;
};

Tables buildTables() {
  Tables t;
  t.tags.push_back("<!--");
  for (const char* name : kTagNames) {
    for (char ending : kTagEndings) t.tags.push_back(std::string("<") + name + ending);
    if (strcmp(name, kNoClosingTag) != 0) t.tags.push_back(std::string("</") + name + ">");
  }
  std::sort(t.tags.begin(), t.tags.end());

  for (const NamedEntity& e : kNamedEntities) t.entities.push_back(e.text);
  std::sort(t.entities.begin(), t.entities.end());

  // Byte 0 stays empty; ASCII stands for itself; the upper half is numbered
  // by the byte's own value unless it has a name.
  for (int b = 1; b < 0x80; b++) t.chars[b] = std::string(1, static_cast<char>(b));
  for (int b = 0x80; b < 0x100; b++) t.chars[b] = "&#" + std::to_string(b) + ";";
  for (const NamedEntity& e : kNamedEntities) t.chars[e.byte] = e.text;
  return t;
}

const Tables& tables() {
  static const Tables t = buildTables();
  return t;
}

int asciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Compares text with entry over the entry's length; stops at the first
// difference, so a shorter text is never read past its NUL.
int compareEntry(const char* text, const std::string& entry, bool ignoreCase) {
  for (size_t i = 0; i < entry.size(); i++) {
    int a = static_cast<unsigned char>(text[i]);
    if (ignoreCase) a = asciiLower(static_cast<unsigned char>(a));
    int b = static_cast<unsigned char>(entry[i]);
    if (a != b) return a - b;
  }
  return 0;
}

bool bisect(const std::vector<std::string>& table, const char* text, bool ignoreCase) {
  size_t low = 0;
  size_t high = table.size();
  while (low < high) {
    size_t middle = (low + high) / 2;
    int c = compareEntry(text, table[middle], ignoreCase);
    if (c == 0) return true;
    if (c < 0) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return false;
}

bool startsWith(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

// Copies text up to (not including) stop or the end, writes stop, and
// returns the position after the stop byte, or the end.
const char* copyThrough(FILE* out, const char* text, char stop) {
  const char* found = strchr(text, stop);
  size_t n = found ? static_cast<size_t>(found - text) : strlen(text);
  fwrite(text, 1, n, out);
  fputc(stop, out);
  return found ? found + 1 : text + n;
}

}  // namespace

bool htmlIsTag(const char* text) {
  return bisect(tables().tags, text, true) || (text[0] == '<' && text[1] == '!');
}

bool htmlIsEntity(const char* text) { return bisect(tables().entities, text, false); }

const std::vector<std::string>& htmlTagTable() { return tables().tags; }
const std::vector<std::string>& htmlEntityTable() { return tables().entities; }
const char* htmlCharText(unsigned char byte) { return tables().chars[byte].c_str(); }

namespace {

// The code of a numeric reference "&#N;" or "&#xH;" at p, 0 when p holds
// none (an unclosed one, no digits).
unsigned numericReference(const char* p) {
  const bool hex = p[2] == 'x' || p[2] == 'X';
  char* end;
  const unsigned long code = strtoul(p + (hex ? 3 : 2), &end, hex ? 16 : 10);
  return *end == ';' && end != p + (hex ? 3 : 2) && code <= 0x10FFFF ? static_cast<unsigned>(code) : 0;
}

}  // namespace

void htmlWriteText(FILE* out, const char* text) {
  const Tables& t = tables();
  // A UTF-8 text is written by character: U+00A0 to U+00FF as the table has
  // them (so 'é' is "&eacute;" in either charset), others as "&#N;".
  const bool utf8 = utf8HasMultibyte(text);
  const char* p = text;
  while (*p) {
    if (*p == '<' && htmlIsTag(p)) {
      if (startsWith(p, "<!--")) {
        // An unclosed comment runs to the end and is closed there.
        fputs("<!--", out);
        p += 4;
        while (*p && !startsWith(p, "-->")) fputc(*p++, out);
        fputs("-->", out);
        if (*p) p += 3;
      } else {
        p = copyThrough(out, p, '>');
      }
    } else if (*p == '&' && p[1] == '#' && utf8IsBidiControl(numericReference(p))) {
      fputs(utf8BidiControlShown(numericReference(p)).c_str(), out);
      p = strchr(p, ';') + 1;
    } else if (*p == '&' && (p[1] == '#' || htmlIsEntity(p))) {
      p = copyThrough(out, p, ';');
    } else if (utf8 && static_cast<unsigned char>(*p) >= 0x80) {
      const unsigned code = utf8Next(&p);
      if (utf8IsBidiControl(code)) {
        fputs(utf8BidiControlShown(code).c_str(), out);
      } else if (code >= 0xA0 && code <= 0xFF) {
        fputs(t.chars[code].c_str(), out);
      } else {
        fprintf(out, "&#%u;", code);
      }
    } else {
      fputs(t.chars[static_cast<unsigned char>(*p)].c_str(), out);
      p++;
    }
  }
}
