// The walk's order, on a stack of levels: the walk takes a directory's files
// after all its subdirectories, so it keeps each directory on the way down
// with the subdirectories it has left.
#include "run/walk_order.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "util/files.h"
#include "util/path_filter.h"
#include "util/paths.h"
#include "util/str_list.h"

bool walkFiltered(const char* path) {
  return gSettings.filter && !pathExprMatch(gSettings.filter, pathFilterForm(path));
}

bool walkFits(size_t len, const char* name) { return len + strlen(name) + 5 <= kPathSize; }

void walkReportTooLong(const char* dir, size_t len, const char* name) {
  report("path too long \"%.*s/%s\": left out", static_cast<int>(len), dir, name);
}

WalkNames walkNamesOf(const char* list, const std::string& dir, bool aloud) {
  auto names = std::make_shared<std::vector<std::string>>();
  if (list)
    for (const char* name : strListEach(list)) {
      if (pathIsDotName(name)) continue;
      if (walkFits(dir.size(), name))
        names->push_back(name);
      else if (aloud)
        walkReportTooLong(dir.c_str(), dir.size(), name);
    }
  return names;
}

bool WalkQuietLister::enter(const std::string& dir) { return !walkFiltered(dir.c_str()); }

WalkNames WalkQuietLister::subdirectories(const std::string& dir) {
  const std::unique_ptr<char, decltype(&free)> listed(
      dirListQuiet((dir + "/.").c_str(), DirListMode::Subdirectories), &free);
  return walkNamesOf(listed.get(), dir, false);
}

void walkDescend(WalkLevels& levels, WalkLister& lister) {
  for (;;) {
    WalkLevel& deepest = levels.back();
    if (deepest.next == deepest.subdirs->size()) return;
    std::string child = deepest.dir + "/" + (*deepest.subdirs)[deepest.next++];
    if (!lister.enter(child)) continue;
    WalkNames subdirs = lister.subdirectories(child);
    levels.push_back({std::move(child), std::move(subdirs)});
  }
}

bool walkInOrder(const std::string& root, WalkLister& lister, const std::function<void(const WalkLevels&)>& take) {
  if (!lister.enter(root)) return false;
  WalkLevels levels;
  levels.push_back({root, lister.subdirectories(root)});
  while (!levels.empty()) {
    walkDescend(levels, lister);
    take(levels);
    levels.pop_back();
  }
  return true;
}

// The descent never climbs, so the parent's level is all it needs.
std::string walkNextDirectory(const WalkLevels& levels) {
  if (levels.size() < 2) return "";
  WalkLevels ahead{levels[levels.size() - 2]};
  WalkQuietLister quiet;
  walkDescend(ahead, quiet);
  return ahead.back().dir;
}
