// The album cleaner removes what quorvel wrote and nothing that only looks
// like it, whatever the album folder is called.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::makeJpeg;
using testsupport::runQuorvel;
using testsupport::TempDir;
using testsupport::writeFile;

// Every file and link under root, relative to it.
std::set<std::string> tree(const std::string& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory() || e.is_symlink()) names.insert(fs::relative(e.path(), root).string());
  return names;
}

TEST(CleanTree, RemovesOnlyWhatQuorvelWroteEvenInAFolderNamedLikeAnOption) {
  TempDir t;
  const std::string album = t / "-delete";
  makeJpeg(album + "/big.jpg", 800, 640);                // medium view, picture page
  makeJpeg(album + "/small.jpg", 100, 80, 1);            // captioned: pic.html
  writeFile(album + "/small.txt", "Small\n");
  makeJpeg(album + "/plain.jpg", 100, 80, 2);            // no page of its own
  makeJpeg(album + "/sub/-name/deep.jpg", 800, 640, 3);  // sub-albums, one named like an option
  fs::create_directories(t / "outside");
  writeFile(t / "outside/quorvelLeft.html", "not in the album");
  fs::create_directory_symlink("../outside", album + "/linked");
  writeFile(t / "keep.txt", "beside the album");
  auto made = runQuorvel({"./-delete"}, t.path());
  ASSERT_EQ(made.status, 0) << made.err;

  const std::set<std::string> sources = tree(album);
  // What only looks like quorvel's: no source beside it, no page the run
  // would write, no fixed page name, not a temporary's form.
  const char* lookAlikes[] = {"paris.md.jpg", "rome.vi.jpg",   "quorvelNotes.html", "plain.html",
                              "small.md.html", "draft.quorvel-tmp"};
  for (const char* name : lookAlikes) writeFile(album + "/" + name, "the user's");
  const std::string live = album + "/.quorvel-tmp-LiveLiveLi";
  writeFile(live, "a running run's");
  const int held = open(live.c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  writeFile(album + "/sub/.quorvel-tmp-DeadDeadDe", "a dead run's");

  std::set<std::string> expected;
  for (const std::string& name : tree(album))
    if (!name.ends_with(".vi.jpg") && !name.ends_with(".vr.jpg") && !name.ends_with(".md.jpg") &&
        !name.ends_with(".md.html") && !name.ends_with("small.html") && !name.ends_with("quorvelFrameset.html") &&
        !name.ends_with("quorvelTop.html") && !name.ends_with("quorvelLeft.html") &&
        !name.ends_with("quorvelRight.html") && !name.ends_with("DeadDeadDe"))
      expected.insert(name);
  for (const char* name : lookAlikes) expected.insert(name);

  const std::string clean = "cd '" + t.path() + "' && QUORVEL='" QUORVEL_BINARY "' " QUORVEL_SOURCE_DIR
                            "/scripts/clean-album.sh -delete >/dev/null";
  ASSERT_EQ(system(clean.c_str()), 0);
  close(held);
  EXPECT_EQ(tree(album), expected);
  EXPECT_FALSE(testsupport::fileExists(t / "cv.html"));
  EXPECT_EQ(testsupport::readFile(t / "keep.txt"), "beside the album");
  EXPECT_EQ(testsupport::readFile(t / "outside/quorvelLeft.html"), "not in the album");
  EXPECT_GT(sources.size(), 10u);
}

// The page -nav gives a picture without caption or medium view carries the
// bar the cleaner knows it by.
TEST(CleanTree, RemovesThePagesOfNav) {
  TempDir t;
  makeJpeg(t / "a/small.jpg", 300, 300);
  ASSERT_EQ(runQuorvel({"a", "-nav"}, t.path()).status, 0);
  ASSERT_TRUE(testsupport::fileExists(t / "a/small.html"));
  const std::string clean = "cd '" + t.path() + "' && '" QUORVEL_BINARY "' --clean a >/dev/null";
  ASSERT_EQ(system(clean.c_str()), 0);
  EXPECT_EQ(tree(t / "a"), std::set<std::string>{"small.jpg"});
}

}  // namespace
