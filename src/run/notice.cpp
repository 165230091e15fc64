// Start-up notice and the embedded document.
#include "run/notice.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "embedded_doc.inc"  // kEmbeddedDocBytes, coded at build time
#include "base/user_output.h"
#include "util/file_handle.h"
#include "util/temp_file.h"

namespace {

// The line of src/run/cv.html that tells our page from a user's own cv.html.
constexpr char kCvMarker[] = "<!-- quorvel-about-page:";

// quorvel 1.0.0 wrote its page without the marker; it is known by its exact
// size and FNV-1a hash.
constexpr size_t kCv100Size = 1781;
constexpr uint64_t kCv100Hash = 0x013ccf67028cef18;

// Our page is a few kilobytes: a larger file is someone else's.
constexpr size_t kCvReadLimit = 65536;

uint64_t fnv1a(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3;
  return hash;
}

}  // namespace

bool docIsOwnCv(const char* path) {
  FileHandle in = fileOpen(path, "rb");
  struct stat st;
  if (!in || fstat(fileno(in.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::string bytes(kCvReadLimit + 1, '\0');
  bytes.resize(fread(bytes.data(), 1, bytes.size(), in.get()));
  if (bytes.size() > kCvReadLimit) return false;
  return bytes.find(kCvMarker) != std::string::npos ||
         (bytes.size() == kCv100Size && fnv1a(bytes) == kCv100Hash);
}

void noticePrint(bool outFolder) {
  userOutText(outFolder ? "quorvel " QUORVEL_VERSION " - static photo albums\n"
                          "thumbnails, rollover lenses and frameset pages in a folder of their own\n"
                          "cv.html in that folder tells more\n"
                          "\n"
                        : "quorvel " QUORVEL_VERSION " - static photo albums\n"
                          "thumbnails, rollover lenses and frameset pages beside your pictures\n"
                          "cv.html in the current directory tells more\n"
                          "\n");
}

void docWrite(const char* block, FILE* out) {
  const char* entry[256] = {};
  const char* cursor = block;
  for (int code = 1; code <= 255; ++code) {
    entry[code] = cursor;
    while (*cursor) ++cursor;
    ++cursor;
  }
  for (const unsigned char* code = reinterpret_cast<const unsigned char*>(cursor); *code; ++code)
    fputs(entry[*code], out);
}

const char* embeddedDoc() { return kEmbeddedDocBytes; }

CvOutcome docWriteCv(const char* path) {
  // lstat, so that even a dangling link counts as a file that is there.
  struct stat st;
  if (lstat(path, &st) == 0 && !docIsOwnCv(path)) return CvOutcome::LeftAlone;
  TempFile cv;
  if (cv.create(path) != 0) return CvOutcome::Failed;
  docWrite(embeddedDoc(), cv.get());
  return cv.commit() == 0 ? CvOutcome::Written : CvOutcome::Failed;
}
