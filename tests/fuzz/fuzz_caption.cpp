// Caption files through a real file: the reader's buffers at the sizes the
// pages use, allocated exactly, then the title block the pages write.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "fuzz_scratch.h"
#include "pages/album_pages.h"
#include "util/caption_file.h"

namespace {

constexpr int kTextSize = 1500;
constexpr int kTitleSize = 150;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchDir scratch;
  static FILE* sink = fopen("/dev/null", "w");
  const std::string path = scratch.write("title.txt", data, size);

  std::unique_ptr<char[]> text(new char[kTextSize]);
  std::unique_ptr<char[]> title(new char[kTitleSize]);
  text[0] = title[0] = '\0';
  if (captionRead(text.get(), kTextSize, title.get(), kTitleSize, path.c_str())) {
    if (strnlen(text.get(), kTextSize) >= kTextSize) abort();
    if (strnlen(title.get(), kTitleSize) >= kTitleSize) abort();
  } else if (size > 0) {
    abort();  // only an empty file fails to load
  }

  htmlWriteTitleBlock(sink, scratch.path("picture.jpg").c_str());
  return 0;
}
