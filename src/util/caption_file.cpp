// Caption files.
#include "util/caption_file.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "util/album_root.h"
#include "util/files.h"
#include "util/section_reader.h"
#include "util/utf8.h"

namespace {

// A UTF-8 character that a full buffer cut in two would make the whole text
// read as ISO-8859-1.
void dropCutCharacter(char* text, int size) {
  if (size > 0 && strlen(text) == static_cast<size_t>(size - 1)) utf8DropCutSequence(text);
}

}  // namespace

bool captionRead(char* text, int textSize, char* title, int titleSize, const char* path) {
  if (!fileStaysInAlbum(path)) return false;
  char* whole = fileLoad(alloc, path);
  if (!whole) return false;
  UxmlCursor cursor;
  uxmlJoin(&cursor, text, textSize, whole, "", " - ", true);
  uxmlJoin(&cursor, title, titleSize, whole, "t", " - ", true);
  free(whole);
  dropCutCharacter(text, textSize);
  dropCutCharacter(title, titleSize);
  return true;
}

std::string captionBody(const char* path, int bodySize) {
  if (!fileStaysInAlbum(path)) return "";
  char* whole = fileLoad(alloc, path);
  if (!whole) return "";
  std::string rest = whole;
  free(whole);
  for (size_t open; (open = rest.find("<t>")) != std::string::npos;) {
    const size_t close = rest.find("</t>", open);
    rest.erase(open, close == std::string::npos ? std::string::npos : close + 4 - open);
  }
  std::string body(static_cast<size_t>(bodySize), '\0');
  uxmlCopy(body.data(), bodySize, rest.c_str(), static_cast<int>(rest.size()), true);
  body.resize(strlen(body.c_str()));
  dropCutCharacter(body.data(), bodySize);
  body.resize(strlen(body.c_str()));
  body.erase(0, body.find_first_not_of(" \t\r\n"));
  return body;
}
