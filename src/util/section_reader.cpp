// Section reader: the named-section cursor.
#include "util/section_reader.h"

#include <cstdio>
#include <cstring>

namespace {

// Longest accepted section name: its open tag "<name>" then takes 30 of the
// 32 bytes, and the close tag 31.
constexpr size_t kMaxNameLength = 28;

// Does s begin with the n bytes of tag? Stops at the first difference, so a
// text that ends early is never read past its NUL.
bool startsWith(const char* s, const char* tag, size_t n) { return strncmp(s, tag, n) == 0; }

// The plain-text reduction: tags dropped, &lt; &gt; &amp; decoded. Consumes at
// most length bytes of src (and never passes its NUL), writes at most room
// bytes into dest; returns the count written (unterminated).
size_t copyPlain(char* dest, size_t room, const char* src, size_t length) {
  static const struct {
    const char* entity;
    size_t length;
    char byte;
  } kDecoded[] = {{"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}};

  size_t read = 0;
  size_t written = 0;
  bool inTag = false;
  while (read < length && written < room && src[read] != '\0') {
    char c = src[read];
    if (inTag) {
      if (c == '>') inTag = false;
      read++;
      continue;
    }
    if (c == '<') {
      inTag = true;
      read++;
      continue;
    }
    bool decoded = false;
    if (c == '&') {
      for (const auto& d : kDecoded) {
        if (length - read >= d.length && startsWith(src + read, d.entity, d.length)) {
          dest[written++] = d.byte;
          read += d.length;
          decoded = true;
          break;
        }
      }
    }
    if (!decoded) {
      dest[written++] = c;
      read++;
    }
  }
  return written;
}

// uxmlCopy over a length that may exceed int.
void copySection(char* dest, int size, const char* src, size_t length, bool plain) {
  if (size <= 0) return;  // no room even for the terminator
  if (size == 1) {
    dest[0] = '\0';
    return;
  }
  size_t room = static_cast<size_t>(size) - 1;
  size_t n;
  if (plain) {
    n = copyPlain(dest, room, src, length);
  } else {
    size_t limit = length < room ? length : room;
    n = 0;
    while (n < limit && src[n] != '\0') {
      dest[n] = src[n];
      n++;
    }
  }
  dest[n] = '\0';
}

void markExhausted(UxmlCursor* cursor) { cursor->text = nullptr; }

}  // namespace

void uxmlInit(UxmlCursor* cursor, const char* text, const char* name) {
  cursor->openTag[0] = '\0';
  cursor->closeTag[0] = '\0';
  cursor->tagLen = 0;
  cursor->text = text;
  if (name == nullptr || name[0] == '\0') return;

  size_t n = strlen(name);
  if (n > kMaxNameLength) {
    markExhausted(cursor);
    return;
  }
  snprintf(cursor->openTag, sizeof cursor->openTag, "<%s>", name);
  snprintf(cursor->closeTag, sizeof cursor->closeTag, "</%s>", name);
  cursor->tagLen = static_cast<int>(n) + 2;
}

bool uxmlNext(UxmlCursor* cursor, char* dest, int size, bool plain) {
  const char* text = cursor->text;
  if (text == nullptr) return false;

  if (cursor->openTag[0] == '\0') {
    copySection(dest, size, text, strlen(text), plain);
    markExhausted(cursor);
    return true;
  }

  const char* open = strstr(text, cursor->openTag);
  if (open == nullptr) {
    markExhausted(cursor);
    return false;
  }

  const size_t openLen = static_cast<size_t>(cursor->tagLen);
  const char* content = open + openLen;
  int depth = 0;
  for (const char* p = content; *p; p++) {
    if (*p != '<') continue;
    if (startsWith(p, cursor->openTag, openLen)) {
      depth++;
    } else if (startsWith(p, cursor->closeTag, openLen + 1)) {
      if (depth == 0) {
        copySection(dest, size, content, static_cast<size_t>(p - content), plain);
        // Searching again from this content also finds nested sections.
        cursor->text = content;
        return true;
      }
      depth--;
    }
  }
  markExhausted(cursor);
  return false;
}

void uxmlCopy(char* dest, int size, const char* src, int length, bool plain) {
  copySection(dest, size, src, length > 0 ? static_cast<size_t>(length) : 0, plain);
}

void uxmlJoin(UxmlCursor* cursor, char* dest, int size, const char* text, const char* name,
              const char* sep, bool plain) {
  uxmlInit(cursor, text, name);
  if (size <= 0) return;
  if (sep == nullptr) sep = "";
  const int sepLen = static_cast<int>(strlen(sep));

  char* w = dest;
  int room = size;
  char* end = dest;
  // Every copy leaves room >= 1 and a separator is only written when it
  // leaves room >= 1, so w and end stay inside dest.
  while (uxmlNext(cursor, w, room, plain)) {
    int n = static_cast<int>(strlen(w));
    w += n;
    room -= n;
    end = w;
    if (room <= sepLen) break;
    memcpy(w, sep, sepLen);
    w += sepLen;
    room -= sepLen;
  }
  *end = '\0';
}
