// Text encoders over any name: bounded results, and encodings that decode
// back to the name they came from.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_scratch.h"
#include "util/paths.h"
#include "util/text_encode.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;  // the encoders write lower-case digits only
}

// Undoes a %xx encoding; aborts on a malformed escape.
std::string percentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) abort();
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) abort();
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string m3uForm(const char* text) {
  return streamText([text](FILE* out) { urlEncodeM3u(out, text); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool dateLabels = in.ConsumeBool();
  const long long byteCount = in.ConsumeIntegral<long long>();
  const std::string input = in.ConsumeRemainingBytesAsString();
  const char* name = input.c_str();
  const size_t length = strlen(name);

  const char* label = dateLabel(name, dateLabels);
  if (label != name && strlen(label) >= 200) abort();

  const char* form = pathFilterForm(name);
  if (form != name) {
    if (strlen(form) != length) abort();
    for (const char* p = form; *p; ++p) {
      if (*p == '\\' || (*p >= 1 && *p <= 31)) abort();
    }
  }

  int separators = 0;
  for (const char* p = name; *p; ++p) separators += *p == '/' || *p == '\\';
  if (pathDepth(name) != separators) abort();

  const std::string m3u = m3uForm(name);
  if (percentDecoded(m3u) != name) abort();

  const std::string link = linkForm(name);
  if (percentDecoded(link) != name) abort();
  for (unsigned char c : link) {
    if (c < 0x20 || c >= 0x7F || strchr("\"#&'<>?\\", c)) abort();
  }
  // A browser would strip a space at either end.
  if (!link.empty() && (link.front() == ' ' || link.back() == ' ')) abort();

  const std::string text = textForm(name);
  if (text.find_first_of("<>\"") != std::string::npos) abort();

  if (strlen(sizeText(byteCount)) >= 32) abort();
  return 0;
}
