// Text encoders: date labels, filter form, depth, size texts, play-list and
// link encodings.
#include "util/text_encode.h"

#include <algorithm>
#include <cstring>

#include "base/limits.h"
#include "util/utf8.h"

namespace {

const char kHexDigits[] = "0123456789abcdef";

void putEscape(FILE* out, unsigned char c) {
  fputc('%', out);
  fputc(kHexDigits[c >> 4], out);
  fputc(kHexDigits[c & 15], out);
}

void appendEscape(std::string* s, unsigned char c) {
  s->push_back('%');
  s->push_back(kHexDigits[c >> 4]);
  s->push_back(kHexDigits[c & 15]);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The first two decimals of x/1024, cut rather than rounded.
int hundredths(long long x) { return static_cast<int>(((x % 1024) * 1000 / 1024) / 10); }

}  // namespace

const char* dateLabel(const char* name, bool dateLabels) {
  static char label[kLabelSize];
  if (!dateLabels || name == nullptr) return name;

  int digits = 0;
  while (digits < 8 && isDigit(name[digits])) digits++;

  char* w = label;
  if (digits == 8) {
    const char parts[] = {name[6], name[7], '.', name[4], name[5], '.',
                          name[0], name[1], name[2], name[3]};
    memcpy(w, parts, sizeof parts);
    w += sizeof parts;
  } else if (digits == 6) {
    const char parts[] = {name[4], name[5], '.', name[0], name[1], name[2], name[3]};
    memcpy(w, parts, sizeof parts);
    w += sizeof parts;
  } else {
    return name;
  }

  const char* rest = name + digits;
  if (*rest != '\0') {
    *w++ = ' ';
    if (*rest == '-' || *rest == '.' || *rest == '_') rest++;
    // A long name keeps its date and as much of the rest as the label holds,
    // without a cut UTF-8 character.
    const size_t room = kLabelSize - 1 - static_cast<size_t>(w - label);
    const size_t n = std::min(strlen(rest), room);
    memcpy(w, rest, n);
    w += n;
    *w = '\0';
    if (n < strlen(rest)) utf8DropCutSequence(label);
    return label;
  }
  *w = '\0';
  return label;
}

const char* sizeText(long long size) {
  // Longest text: "-9223372036854775808 o".
  static char text[32];
  const long long n = size;
  if (n < 1024) {
    snprintf(text, sizeof text, "%lld o", n);
  } else if (n < 10240) {
    snprintf(text, sizeof text, "%lld,%02d Ko", n / 1024, hundredths(n));
  } else if (n < 102400) {
    snprintf(text, sizeof text, "%lld,%d Ko", n / 1024, hundredths(n) / 10);
  } else if (n < 1048576) {
    snprintf(text, sizeof text, "%lld Ko", n / 1024);
  } else if (n < 10485760) {
    snprintf(text, sizeof text, "%lld,%02d Mo", n / 1048576, hundredths(n / 1024));
  } else if (n < 104857600) {
    snprintf(text, sizeof text, "%lld,%d Mo", n / 1048576, hundredths(n / 1024) / 10);
  } else {
    snprintf(text, sizeof text, "%lld Mo", n / 1048576);
  }
  return text;
}

void urlEncodeM3u(FILE* out, const char* text) {
  for (const char* p = text; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c >= 0x80 || strchr(" \\\"?&=+%#", c) != nullptr) {
      putEscape(out, c);
    } else {
      fputc(c, out);
    }
  }
}

std::string linkForm(const char* name) {
  std::string link;
  if (name == nullptr) return link;
  const size_t length = strlen(name);
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    // Browsers strip spaces at both ends of an href or src value.
    const bool endSpace = c == ' ' && (i == 0 || i == length - 1);
    if (c < 0x20 || c >= 0x7F || endSpace || strchr("\"#%&'<>?\\:", c) != nullptr) {
      appendEscape(&link, c);
    } else {
      link.push_back(static_cast<char>(c));
    }
  }
  return link;
}

namespace {

// c as page text: the four characters that could make markup as entities.
void appendTextChar(std::string* text, char c) {
  switch (c) {
    case '&': *text += "&amp;"; break;
    case '<': *text += "&lt;"; break;
    case '>': *text += "&gt;"; break;
    case '"': *text += "&quot;"; break;
    default: text->push_back(c); break;
  }
}

}  // namespace

std::string textEscaped(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\0') appendTextChar(&out, c);
  return out;
}

std::string textForm(const char* name) {
  std::string text;
  if (name == nullptr) return text;
  // A UTF-8 name shows its characters whatever charset the page declares.
  const bool utf8 = utf8HasMultibyte(name);
  for (const char* p = name; *p;) {
    if (utf8 && static_cast<unsigned char>(*p) >= 0x80) {
      const unsigned code = utf8Next(&p);
      text += utf8IsBidiControl(code) ? utf8BidiControlShown(code) : "&#" + std::to_string(code) + ";";
      continue;
    }
    appendTextChar(&text, *p);
    p++;
  }
  return text;
}
