// Filter expressions: the expression up to the input's first NUL byte, the
// path after it. Deep nesting, long patterns and escapes must neither crash
// nor overflow the pattern buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/path_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string expr = input.substr(0, split);
  const std::string path = split == std::string::npos ? std::string() : input.substr(split + 1);

  const bool match = pathExprMatch(expr.c_str(), path.c_str());
  // A doubled '!' changes nothing; the evaluation keeps no state between calls.
  if (pathExprMatch(("!!" + expr).c_str(), path.c_str()) != match) abort();
  if (pathExprMatch(expr.c_str(), path.c_str()) != match) abort();

  std::string escaped = expr;
  strUnescape(escaped.data());
  if (strlen(escaped.c_str()) > expr.size()) abort();  // unescaping only shortens
  return 0;
}
