// HTML text writer over any text: nothing read past the text's end, and the
// writer's own output passing through it again unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_scratch.h"
#include "util/html_text.h"

namespace {

std::string written(const char* text) {
  return streamText([text](FILE* out) { htmlWriteText(out, text); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The writer stops at the first NUL, as a page text does.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string once = written(text.c_str());
  if (once.find('\0') != std::string::npos) abort();
  if (written(once.c_str()) != once) abort();

  // The predicates alone, at every '<' and '&', including those at the end.
  for (const char* p = text.c_str(); *p; ++p) {
    if (*p == '<') htmlIsTag(p);
    if (*p == '&') htmlIsEntity(p);
  }
  return 0;
}
