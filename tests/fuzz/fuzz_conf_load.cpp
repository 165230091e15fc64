// Configuration loading through a real file, then every template written
// through the emitter, with and without a style sheet.
//
// confLoad ends the process on an empty file or an oversize section, as it
// must for a user; those inputs are recognised beforehand and skipped, since
// libFuzzer would take the exit for a crash.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/settings.h"
#include "fuzz_scratch.h"
#include "pages/templates.h"
#include "util/section_reader.h"

namespace {

constexpr size_t kSectionMaxLength = 1496;

// Would confLoad stop the run on this file content?
bool endsTheRun(const uint8_t* data, size_t size) {
  if (size == 0) return true;
  // The loader's view: the text ends at its first Ctrl-Z (and at a NUL).
  std::string text(reinterpret_cast<const char*>(data), size);
  text.resize(strlen(text.c_str()));
  text.resize(std::min(text.size(), text.find('\x1A')));
  std::vector<char> section(text.size() + 1);
  for (const TemplateSection& s : kTemplateSections) {
    UxmlCursor cursor;
    uxmlInit(&cursor, text.c_str(), s.name);
    if (uxmlNext(&cursor, section.data(), static_cast<int>(section.size()), false) &&
        strlen(section.data()) > kSectionMaxLength)
      return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile file;
  static FILE* sink = fopen("/dev/null", "w");
  if (endsTheRun(data, size)) return 0;

  templatesReset();
  confLoad(file.write(data, size).c_str());

  for (const char* css : {static_cast<const char*>(nullptr), "style.css"}) {
    gSettings.css = css;
    for (const TemplateSection& s : kTemplateSections) templateWrite(sink, "a/b\\c.jpg", gTemplates.*s.slot);
  }
  gSettings.css = nullptr;
  return 0;
}
