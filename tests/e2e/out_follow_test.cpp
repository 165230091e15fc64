// An album in a folder of its own follows its library: what belonged to a
// file or folder gone from the library goes at the next run, nothing else.
#include <gtest/gtest.h>

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

// Every file under root, relative to it.
std::set<std::string> files(const std::string& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) names.insert(e.path().lexically_relative(root).string());
  return names;
}

TEST(OutFollow, ANextRunRemovesExactlyWhatBelongedToTheDeletedFiles) {
  TempDir t;
  makeJpeg(t / "lib/a/kept.jpg", 800, 640);
  makeJpeg(t / "lib/a/gone.jpg", 800, 640, 1);
  writeFile(t / "lib/a/gone.txt", "Its caption\n");
  writeFile(t / "lib/a/clip.mp4", "not really a video");
  writeFile(t / "lib/a/kept.mp4", "not really a video either");
  makeJpeg(t / "lib/b/deep.jpg", 300, 300, 2);
  makeJpeg(t / "lib/b/c/deeper.jpg", 800, 640, 3);
  writeFile(t / "lib/look/style.css", "body {}");
  const std::vector<std::string> args{"lib", "-out:album", "-video", "-originals:copy", "-css:look/style.css"};
  auto first = runQuorvel(args, t.path());
  ASSERT_EQ(first.status, 0) << first.err;

  const std::set<std::string> before = files(t / "album");
  fs::remove(t / "lib/a/gone.jpg");
  fs::remove(t / "lib/a/clip.mp4");
  fs::remove_all(t / "lib/b/c");
  writeFile(t / "album/a/mine.html", "the user's");
  writeFile(t / "album/b/c/keep.txt", "the user's too");
  auto next = runQuorvel(args, t.path());
  ASSERT_EQ(next.status, 0) << next.err;

  std::set<std::string> expected{"a/mine.html", "b/c/keep.txt"};
  for (const std::string& name : before)
    if (name.find("gone.") == std::string::npos && name != "a/clip.mp4" && name.rfind("b/c/", 0) != 0)
      expected.insert(name);
  EXPECT_EQ(files(t / "album"), expected);
  EXPECT_TRUE(before.count("a/gone.md.html") && before.count("a/clip.mp4") && before.count("b/c/deeper.vi.jpg"));

  // The cleaner on the out folder leaves only the user's files, the copied sheet gone too.
  EXPECT_EQ(runQuorvel({"--clean", "album"}, t.path()).status, 0);
  EXPECT_EQ(files(t / "album"), (std::set<std::string>{"a/mine.html", "b/c/keep.txt"}));
  EXPECT_FALSE(fs::exists(t / "album/look"));
}

// With workers, a folder's pictures are made before the walk reaches the
// folder and follows the library there: what they made is not taken for
// the files of pictures gone.
TEST(OutFollow, FilesMadeAheadOfTheirFolderStay) {
  TempDir t;
  for (const char* dir : {"a", "b", "c"}) makeJpeg(t / ("lib/" + std::string(dir) + "/p.jpg"), 1200, 900);
  setenv("QUORVEL_JOBS", "3", 1);
  auto run = runQuorvel({"lib", "-out:album", "-hidpi"}, t.path());
  unsetenv("QUORVEL_JOBS");
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* dir : {"a", "b", "c"})
    for (const char* name : {"p.lg.jpg", "p.vi3.jpg", "p.md.jpg"})
      EXPECT_TRUE(fs::exists(t / ("album/" + std::string(dir) + "/" + name))) << dir << "/" << name;

  // A run without -hidpi still knows them: those of a picture gone go, and
  // the cleaner takes every one.
  fs::remove(t / "lib/a/p.jpg");
  ASSERT_EQ(runQuorvel({"lib", "-out:album"}, t.path()).status, 0);
  for (const std::string& name : files(t / "album")) EXPECT_NE(name.rfind("a/p.", 0), 0u) << name;
  EXPECT_EQ(runQuorvel({"--clean", "album"}, t.path()).status, 0);
  EXPECT_EQ(files(t / "album"), std::set<std::string>{});
}

}  // namespace
