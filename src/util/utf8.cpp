// UTF-8 well-formedness and decoding, shared by the writers of names and of
// captions so that both read a text the same way.
#include "util/utf8.h"

#include <cstdio>
#include <cstring>

namespace {

// Length (1 to 4) of the well-formed sequence at p, or 0 when it is
// ill-formed; *cut tells an ill-formed one that is only short of bytes
// because the text ends. Never reads past the text's NUL.
int sequenceLength(const unsigned char* p, bool* cut) {
  *cut = false;
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  int length;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong below U+10000
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  for (int i = 1; i < length; i++) {
    if (p[i] == 0) {
      *cut = true;
      return 0;
    }
    if (p[i] < low || p[i] > high) return 0;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

}  // namespace

bool utf8HasMultibyte(const char* text) {
  bool multibyte = false;
  bool cut;
  for (auto p = reinterpret_cast<const unsigned char*>(text); *p;) {
    const int length = sequenceLength(p, &cut);
    if (length == 0) return false;
    multibyte |= length > 1;
    p += length;
  }
  return multibyte;
}

unsigned utf8Next(const char** p) {
  auto s = reinterpret_cast<const unsigned char*>(*p);
  unsigned code;
  int length;
  if (s[0] < 0x80) {
    code = s[0];
    length = 1;
  } else if (s[0] < 0xE0) {
    code = s[0] & 0x1F;
    length = 2;
  } else if (s[0] < 0xF0) {
    code = s[0] & 0x0F;
    length = 3;
  } else {
    code = s[0] & 0x07;
    length = 4;
  }
  for (int i = 1; i < length; i++) code = (code << 6) | (s[i] & 0x3F);
  *p += length;
  return code;
}

size_t utf8WholeLength(const char* text, size_t length) {
  size_t lead = length;
  while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return length;
  const unsigned char c = static_cast<unsigned char>(text[lead - 1]);
  const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return lead - 1 + need > length ? lead - 1 : length;
}

void utf8DropCutSequence(char* text) {
  const size_t length = strlen(text);
  const size_t whole = utf8WholeLength(text, length);
  if (whole == length) return;
  bool cut;
  if (sequenceLength(reinterpret_cast<const unsigned char*>(text + whole), &cut) != 0 || !cut) return;
  const char lead = text[whole];
  text[whole] = '\0';
  if (!utf8HasMultibyte(text)) text[whole] = lead;
}

void utf8Append(std::string* out, unsigned c) {
  if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return;
  if (c < 0x80) {
    *out += char(c);
  } else if (c < 0x800) {
    *out += char(0xC0 | (c >> 6));
    *out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += char(0xE0 | (c >> 12));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  } else {
    *out += char(0xF0 | (c >> 18));
    *out += char(0x80 | ((c >> 12) & 0x3F));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  }
}

bool utf8IsBidiControl(unsigned c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); }

std::string utf8BidiControlShown(unsigned c) {
  char shown[16];
  snprintf(shown, sizeof shown, "[U+%04X]", c);
  return shown;
}
