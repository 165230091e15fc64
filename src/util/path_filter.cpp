// Path filter expressions: patterns joined by | & ! and parentheses,
// evaluated by recursive descent straight from the text, nothing kept.
#include "util/path_filter.h"

#include "base/limits.h"
#include "util/paths.h"

namespace {

// A pattern holds at most kPatternMax characters; the rest is read and dropped.
constexpr int kPatternMax = static_cast<int>(kPathSize) - 1;

// Groups nested deeper than this make the expression false: the recursion
// must not run off the stack on a hostile expression. Hand-written filters
// stay far below it.
constexpr int kMaxGroupDepth = 500;
int groupDepth = 0;
// Set when a group is left unclosed: the expression is then false for every
// path, though it is read to its end.
bool groupUnclosed = false;

bool isOperator(char c) {
  return c == '(' || c == ')' || c == '|' || c == '&' || c == '!';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

char* strUnescape(char* text) {
  char* r = text;
  char* w = text;
  while (*r) {
    if (r[0] == '\\' && r[1]) {
      int value = -1;
      int length = 2;
      switch (r[1]) {
        case '\\': value = '\\'; break;
        case 'a': value = 0x07; break;
        case 'b': value = 0x08; break;
        case 't': value = 0x09; break;
        case 'n': value = 0x0A; break;
        case 'v': value = 0x0B; break;
        case 'r': value = 0x0D; break;
        case 'x':
          // r[3] is read only when r[2] is a digit, so never past the NUL.
          if (hexValue(r[2]) >= 0 && hexValue(r[3]) >= 0) {
            value = hexValue(r[2]) * 16 + hexValue(r[3]);
            length = 4;
          }
          break;
        default: break;
      }
      if (value >= 0) {
        *w++ = static_cast<char>(value);
        r += length;
        continue;
      }
    }
    // Unknown pairs stay as they are; scanning resumes after the backslash.
    *w++ = *r++;
  }
  *w = '\0';
  return text;
}

bool pathExprMatch(const char* expr, const char* path) {
  const char* pos = expr;
  bool value = pathExpr_OR(&pos, path);
  return value && *pos == '\0';
}

bool pathExprParses(const char* expr, const char** stop) {
  const char* pos = expr;
  groupUnclosed = false;
  (void)pathExpr_OR(&pos, "");
  if (stop) *stop = pos;
  return *pos == '\0' && !groupUnclosed;
}

bool pathExpr_OR(const char** pos, const char* path) {
  bool value = pathExpr_AND(pos, path);
  while (**pos == '|') {
    ++*pos;
    // Both operands are read whatever the left side gave.
    bool right = pathExpr_AND(pos, path);
    value = value || right;
  }
  return value;
}

bool pathExpr_AND(const char** pos, const char* path) {
  bool value = pathExpr_NOT(pos, path);
  while (**pos == '&') {
    ++*pos;
    bool right = pathExpr_NOT(pos, path);
    value = value && right;
  }
  return value;
}

bool pathExpr_NOT(const char** pos, const char* path) {
  // A run of '!' is counted rather than recursed into, so its length cannot
  // exhaust the stack; the value is the same.
  bool negate = false;
  while (**pos == '!') {
    ++*pos;
    negate = !negate;
  }
  return pathExpr_PAR(pos, path) != negate;
}

bool pathExpr_PAR(const char** pos, const char* path) {
  if (**pos != '(') return pathExpr_PATTERN(pos, path);
  // Left unread, the '(' stops every enclosing level, so the whole
  // expression ends up false.
  if (groupDepth >= kMaxGroupDepth) return false;
  ++*pos;
  ++groupDepth;
  bool value = pathExpr_OR(pos, path);
  --groupDepth;
  if (**pos != ')') {
    groupUnclosed = true;
    return false;
  }
  ++*pos;
  return value;
}

bool pathExpr_PATTERN(const char** pos, const char* path) {
  char pattern[kPatternMax + 1];
  int length = 0;
  const char* p = *pos;
  while (*p && !isOperator(*p)) {
    if (*p == '\\') {
      if (!p[1]) {  // a lone backslash at the very end is dropped
        ++p;
        break;
      }
      // The pair is kept whole or not at all, so a cut never splits it.
      if (length + 2 <= kPatternMax) {
        pattern[length++] = p[0];
        pattern[length++] = p[1];
      }
      p += 2;
      continue;
    }
    if (length < kPatternMax) pattern[length++] = *p;
    ++p;
  }
  pattern[length] = '\0';
  *pos = p;
  return pathMatch(strUnescape(pattern), path);
}
