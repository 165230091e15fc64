// Names of the files derived from a picture.
#include "album/derived_names.h"

#include <sys/stat.h>

#include <cstring>
#include <iterator>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "util/album_root.h"
#include "util/paths.h"

namespace {

constexpr const char* kMicroSuffix = ".vi.jpg";
constexpr const char* kRolloverSuffix = ".vr.jpg";
constexpr const char* kMediumSuffix = ".md.jpg";
// -hidpi's, one character longer but for the large view's.
constexpr const char* kHidpiSuffixes[] = {".vi2.jpg", ".vi3.jpg", ".vr2.jpg", ".vr3.jpg", ".lg.jpg"};

// base + suffix, or "" when that would reach kNameSize characters.
std::string joined(const char* base, const char* suffix) {
  char buf[kNameSize];
  return strConcatBounded(buf, base, suffix);
}

}  // namespace

bool pictureNamesBuild(const char* path, PictureNames* names, bool hidpi) {
  // Under -out: they are made in the out folder, and the name limit holds there.
  const std::string base = fileOutPath(pathWithoutExt(path));
  PictureNames built;
  built.micro = joined(base.c_str(), kMicroSuffix);
  built.rollover = joined(base.c_str(), kRolloverSuffix);
  built.medium = joined(base.c_str(), kMediumSuffix);
  // The suffixes are of one length: all fit or none does.
  if (built.micro.empty()) return false;
  if (hidpi) {
    std::string* hidpi[] = {&built.micro2, &built.micro3, &built.rollover2, &built.rollover3, &built.large};
    for (size_t i = 0; i < std::size(hidpi); ++i) {
      *hidpi[i] = joined(base.c_str(), kHidpiSuffixes[i]);
      if (hidpi[i]->empty()) return false;
    }
  }
  *names = std::move(built);
  return true;
}

PictureNames pictureNames(const char* path) {
  PictureNames names;
  if (!pictureNamesBuild(path, &names)) error("path too long \"%s\"", path);
  return names;
}

std::string picturePageName(const char* source) {
  std::string name = joined(pathWithoutExt(source), ".html");
  if (name.empty()) error("path too long \"%s\"", source);
  return name;
}

namespace {

// A regular file (not a link) at path's place in the album.
bool madeFile(const std::string& path) {
  struct stat st;
  return lstat(fileOutPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The -hidpi suffix path ends in, or null.
const char* hidpiSuffix(const char* path) {
  for (const char* suffix : kHidpiSuffixes)
    if (strEndsWith(path, suffix)) return suffix;
  return nullptr;
}

}  // namespace

bool isHidpiName(const char* path) { return hidpiSuffix(path) != nullptr; }

std::string hidpiStem(const char* path) {
  const char* suffix = hidpiSuffix(path);
  return suffix ? std::string(path, strlen(path) - strlen(suffix)) : "";
}

bool isDerivedName(const char* path) {
  if (strEndsWith(path, kMediumSuffix) || strEndsWith(path, kMicroSuffix) || strEndsWith(path, kRolloverSuffix))
    return true;
  // -hidpi's: under the option, always; without it, where the 1x
  // thumbnail of the same picture stands beside it (a -hidpi run made both)
  // and none of its own does (no run took it for a picture), so that a
  // picture of the user's so named is taken as it always was.
  if (!isHidpiName(path)) return false;
  if (gSettings.hidpi) return true;
  return madeFile(hidpiStem(path) + kMicroSuffix) &&
         !madeFile(std::string(path, strlen(path) - strlen(".jpg")) + kMicroSuffix);
}
