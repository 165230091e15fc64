// Section reader: cursor, join and bounded copy over any text and name, into
// destinations allocated at their exact size so that one byte too many shows.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "util/section_reader.h"

namespace {

const char* const kSeparators[] = {"", " - ", ",", "<t>", "&amp;"};

// A bounded copy always leaves a terminated text shorter than its buffer.
void checkBounded(const char* dest, int size) {
  if (size > 0 && strnlen(dest, static_cast<size_t>(size)) >= static_cast<size_t>(size)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int destSize = in.ConsumeIntegralInRange<int>(-1, 1600);
  const uint8_t mode = in.ConsumeIntegral<uint8_t>();
  const std::string name = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 34));
  const std::string text = in.ConsumeRemainingBytesAsString();

  // mode: bit 0 plain text, bit 1 join instead of next, bits 2-7 the
  // separator, bits 4-7 the length of the bare copy.
  const bool plain = mode & 1;
  const bool join = mode & 2;
  const char* sep = kSeparators[(mode >> 2) % std::size(kSeparators)];
  std::unique_ptr<char[]> dest(new char[destSize > 0 ? destSize : 0]);
  UxmlCursor cursor;

  if (join) {
    uxmlJoin(&cursor, dest.get(), destSize, text.c_str(), name.c_str(), sep, plain);
    checkBounded(dest.get(), destSize);
  } else {
    uxmlInit(&cursor, text.c_str(), name.c_str());
    const bool whole = name.c_str()[0] == '\0';
    int found = 0;
    while (uxmlNext(&cursor, dest.get(), destSize, plain)) {
      checkBounded(dest.get(), destSize);
      // Unchanged copies are cut from the text itself.
      if (!plain && destSize > 0 && !strstr(text.c_str(), dest.get())) abort();
      ++found;
    }
    if (whole && found != 1) abort();  // whole-text mode yields exactly one section
  }

  // The bare copy with a length that may run past the text's NUL.
  const int length = static_cast<int>(mode >> 4) * 64 - 64;
  uxmlCopy(dest.get(), destSize, text.c_str(), length, plain);
  checkBounded(dest.get(), destSize);
  return 0;
}
