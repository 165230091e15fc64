// Names of the files derived from a picture.
#include "album/derived_names.h"

#include "base/fatal.h"
#include "base/limits.h"
#include "util/album_root.h"
#include "util/paths.h"

namespace {

constexpr const char* kMicroSuffix = ".vi.jpg";
constexpr const char* kRolloverSuffix = ".vr.jpg";
constexpr const char* kMediumSuffix = ".md.jpg";

// base + suffix, or "" when that would reach kNameSize characters.
std::string joined(const char* base, const char* suffix) {
  char buf[kNameSize];
  return strConcatBounded(buf, base, suffix);
}

}  // namespace

bool pictureNamesBuild(const char* path, PictureNames* names) {
  // Under -out: they are made in the out folder, and the name limit holds there.
  const std::string base = fileOutPath(pathWithoutExt(path));
  PictureNames built{joined(base.c_str(), kMicroSuffix), joined(base.c_str(), kRolloverSuffix),
                     joined(base.c_str(), kMediumSuffix)};
  // The suffixes are of one length: all fit or none does.
  if (built.micro.empty()) return false;
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

bool isDerivedName(const char* path) {
  return strEndsWith(path, kMediumSuffix) || strEndsWith(path, kMicroSuffix) || strEndsWith(path, kRolloverSuffix);
}
