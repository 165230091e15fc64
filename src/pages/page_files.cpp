// Page files: naming, creating and finishing, or ending the run.
#include "pages/page_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "util/album_root.h"
#include "util/paths.h"

std::string pageSiblingName(const char* path, const char* name) {
  const char* sibling = pathSiblingName(path, name);
  if (!sibling) error("path too long \"%s\"", path);
  return sibling;
}

TempFile pageCreate(const std::string& pagePath) {
  TempFile page;
  const std::string path = fileOutPath(pagePath);
  if (const int failure = page.create(path)) error("can't create \"%s\": %s", path.c_str(), strerror(failure));
  return page;
}

TempFile pageCreateBeside(const char* path, const char* name) {
  return pageCreate(pageSiblingName(path, name));
}

namespace {

// True when path is a regular file (not a link) holding exactly bytes.
bool holds(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) == bytes.size();
  if (same) {
    std::string held(bytes.size(), '\0');
    size_t got = 0;
    while (got < held.size()) {
      const ssize_t n = read(fd, held.data() + got, held.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    same = got == held.size() && held == bytes;
  }
  close(fd);
  return same;
}

}  // namespace

std::string pageText(const std::function<void(FILE*)>& write) {
  char* bytes = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&bytes, &size);
  if (!out) error("mem");
  write(out);
  const bool made = fclose(out) == 0;
  std::string text = made ? std::string(bytes, size) : "";
  free(bytes);
  if (!made) error("mem");
  return text;
}

void pageWriteUnlessSame(const std::string& pagePath, const std::string& bytes) {
  if (!holds(fileOutPath(pagePath), bytes)) pageWrite(pagePath, bytes);
}

void pageWrite(const std::string& pagePath, const std::string& bytes) {
  TempFile page = pageCreate(pagePath);
  // A write refused here (a full disk) keeps its reason; the temporary goes
  // with page.
  if (fwrite(bytes.data(), 1, bytes.size(), page.get()) != bytes.size())
    error("can't write \"%s\": %s", pagePath.c_str(), strerror(errno));
  pageFinish(page);
}

void pageFinish(TempFile& page) {
  if (const int failure = page.commit())
    error("can't write \"%s\": %s", page.finalPath().c_str(), strerror(failure));
}

bool pageIsAlbumPage(const char* name) {
  for (const char* page : kAlbumPages)
    if (!strcmp(name, page)) return true;
  return false;
}
