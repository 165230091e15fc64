// The walk's order: depth first from the album root, each directory's files
// taken after all its subdirectories, subdirectories in listing order, the
// -filter: applied to each one entered. One rule, followed by the walk, by
// its look-ahead (to learn which directory comes next) and by the progress
// count (which pictures the walk will reach), so none of them can drift.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Whether -filter: leaves path out (false when no filter is given).
bool walkFiltered(const char* path);

// The walk builds every path in its 300-byte buffer, with room for the "/."
// a subdirectory's listing appends: whether name fits beside a directory of
// len characters. One that does not can't be walked.
bool walkFits(size_t len, const char* name);
// Names a path left out for its length (dir: its first len characters).
void walkReportTooLong(const char* dir, size_t len, const char* name);

// Listed names, shared: a copy of a level costs nothing however many
// subdirectories it has.
using WalkNames = std::shared_ptr<const std::vector<std::string>>;

// The names in list (a directory listing, or null) that the walk can enter
// below dir: "." and ".." left out, and those too long; with aloud, each one
// too long is named.
WalkNames walkNamesOf(const char* list, const std::string& dir, bool aloud);

// A directory on the way down and the subdirectories it has left to walk.
struct WalkLevel {
  std::string dir;    // the root as given, then dir + "/" + name
  WalkNames subdirs;  // listed, "." and ".." left out
  size_t next = 0;    // the first one not walked yet
};
using WalkLevels = std::vector<WalkLevel>;

// How a traversal meets a directory: whether it goes in, and its
// subdirectories (asked only of a directory entered).
struct WalkLister {
  virtual bool enter(const std::string& dir) = 0;
  virtual WalkNames subdirectories(const std::string& dir) = 0;

 protected:
  ~WalkLister() = default;
};

// The filter's verdict and a listing, without a word. A listing that fails
// gives no subdirectories (the walk lists it again when it gets there, and
// says why).
struct WalkQuietLister final : WalkLister {
  bool enter(const std::string& dir) override;
  WalkNames subdirectories(const std::string& dir) override;
};

// Goes down from the deepest level into the next subdirectory to walk, and on
// down its first ones, until the deepest level has none left: its files are
// the next taken. REQUIRES: levels is not empty.
void walkDescend(WalkLevels& levels, WalkLister& lister);

// Traverses the tree from root in the walk's order: for each directory
// entered, once all its subdirectories are done, take(levels) with it as
// levels.back() (its parent's level, when it has one, just before); the
// level is left after. False when lister does not enter root.
bool walkInOrder(const std::string& root, WalkLister& lister, const std::function<void(const WalkLevels&)>& take);

// The directory whose files are taken after those of levels.back() ("" when
// the walk ends there), learnt on a copy with the quiet lister.
std::string walkNextDirectory(const WalkLevels& levels);
