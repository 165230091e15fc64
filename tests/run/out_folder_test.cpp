// The out folder: which folders it refuses, what it removes as the library
// changes, and the cleaner's pass over it.
#include "run/out_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "run/clean_tree.h"
#include "run/notice.h"
#include "support/test_support.h"
#include "util/album_root.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// Every file, link and folder under root, relative to it.
std::set<std::string> tree(const std::string& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root)) names.insert(e.path().lexically_relative(root).string());
  return names;
}

std::string markOf(const std::string& library) { return "quorvel album of " + fs::canonical(library).string() + "\n"; }

// Runs step as a run would: in a child process, since the album root a run
// sets stays the process's for good. The child must end with status and
// write to stderr what matches pattern.
void asRun(const std::string& library, const std::function<void()>& step, int status, const std::string& pattern) {
  EXPECT_EXIT(
      {
        fileConfineToAlbum(library.c_str());
        step();
        exit(0);
      },
      testing::ExitedWithCode(status), pattern);
}

void openOut(const std::string& library, const std::string& out) { outFolderOpen(library.c_str(), out.c_str()); }

TEST(OutFolder, RefusesAFolderThatOverlapsTheLibraryOrHoldsAnotherAlbum) {
  TempDir t;
  const std::string lib = t / "lib";
  writeFile(lib + "/a.jpg", "a picture");
  fs::create_directory_symlink("lib", t / "alias");
  writeFile(t / "mine/notes.txt", "the user's");
  writeFile(t / "other/.quorvel-album", "quorvel album of /elsewhere/photos\n");
  writeFile(t / "other/a.vi.jpg", "another album's");
  const std::pair<std::string, const char*> cases[] = {
      {lib + "/", "is the album root itself"},
      {t / "alias/album", "lies inside the album root"},
      {t / "new/../lib/album", "lies inside the album root"},
      {t.path(), "contains the album root"},
      {t / "mine", "holds files and is no album of quorvel's"},
      {t / "other", "holds the album of another folder \"/elsewhere/photos\""}};
  const std::set<std::string> before = tree(t.path());
  for (const auto& [out, why] : cases) asRun(lib, [&] { openOut(lib, out); }, 1, why);
  EXPECT_EQ(tree(t.path()), before);
}

TEST(OutFolder, MarksANewFolderAndLeavesARightMarkUnwritten) {
  TempDir t;
  writeFile(t / "lib/a.jpg", "a picture");
  fs::create_directory(t / "empty");
  asRun(t / "lib", [&] { openOut(t / "lib", t / "empty"); }, 0, "^$");
  asRun(t / "lib", [&] { openOut(t / "lib", t / "new/album/"); }, 0, "^$");
  EXPECT_EQ(readFile(t / "new/album/.quorvel-album"), markOf(t / "lib"));
  struct stat first, second;
  ASSERT_EQ(stat((t / "new/album/.quorvel-album").c_str(), &first), 0);
  writeFile(t / "new/album/a.vi.jpg", "made by the first run");
  asRun(t / "lib/.", [&] { openOut(t / "lib/.", t / "new/album"); }, 0, "^$");
  ASSERT_EQ(stat((t / "new/album/.quorvel-album").c_str(), &second), 0);
  EXPECT_EQ(second.st_ino, first.st_ino);
}

TEST(OutFolder, FollowRemovesExactlyWhatBelongedToFilesGoneFromTheLibrary) {
  TempDir t;
  const std::string lib = t / "lib", out = t / "out";
  writeFile(lib + "/keep.jpg", "p");
  writeFile(lib + "/also.heic", "p");  // a picture whatever the options
  writeFile(lib + "/sub/s.jpg", "p");
  writeFile(lib + "/moved", "a folder become a file");
  writeFile(out + "/.quorvel-album", markOf(lib));
  // A kept picture (copied), another (not), a gone one (copied), one MP3 listed, the user's files, a dead run's
  // temporary; a folder left to its own turn, one gone with its folders, one gone but holding the user's file.
  const char* outFiles[] = {"keep.jpg", "keep.vi.jpg", "keep.vr.jpg", "keep.md.jpg", "keep.md.html", "also.vi.jpg",
                            "also.vr.jpg", "also.html", "gone.jpg", "gone.vi.jpg", "gone.vr.jpg", "gone.md.jpg",
                            "gone.md.html", "Rock & roll.mp3", "unlisted.mp3", "quorvelRight.html", "liste.m3u",
                            "notes.html", "photo.jpg", ".quorvel-tmp-DeadDeadDe", "sub/x.vi.jpg",
                            "trip/quorvelLeft.html", "trip/liste.m3u", "trip/p.jpg", "trip/p.vi.jpg", "trip/p.html",
                            "trip/deep/q.vi.jpg", "trip/deep/quorvelFrameset.html", "walk/quorvelTop.html",
                            "walk/mine.txt", "moved/quorvelTop.html"};
  for (const char* name : outFiles) writeFile(out + "/" + name, "made");
  writeFile(out + "/quorvelRight.html", "<li> <a href=\"Rock %26 roll.mp3\">Rock &amp; roll</a>\n");
  testsupport::touch(out + "/.quorvel-tmp-DeadDeadDe", -3600);
  fs::create_symlink("../elsewhere.jpg", out + "/linked.vi.jpg");

  asRun(lib, [&] { openOut(lib, out), outFolderFollow(lib, out); }, 0, "^$");

  EXPECT_EQ(tree(out), (std::set<std::string>{".quorvel-album", "keep.jpg", "keep.vi.jpg", "keep.vr.jpg",
                                               "keep.md.jpg", "keep.md.html", "also.vi.jpg", "also.vr.jpg",
                                               "also.html", "unlisted.mp3", "quorvelRight.html", "liste.m3u",
                                               "notes.html", "photo.jpg", "sub", "sub/x.vi.jpg", "walk",
                                               "walk/mine.txt", "linked.vi.jpg"}));
}

TEST(OutFolder, CleanerRemovesTheWholeAlbumAndTheMarkButKeepsTheUsersFiles) {
  TempDir t;
  const std::string out = t / "out";
  writeFile(out + "/.quorvel-album", "quorvel album of /gone/photos\n");
  const char* made[] = {"quorvelFrameset.html", "quorvelLeft.html", "liste.m3u", "a.jpg", "a.vi.jpg", "a.vr.jpg",
                        "a.md.jpg", "a.md.html", "trip/quorvelTop.html", "trip/b.vi.jpg", "trip/night/c.vi.jpg",
                        "keep/quorvelTop.html"};
  for (const char* name : made) writeFile(out + "/" + name, "made");
  writeFile(out + "/cv.html", testsupport::streamText([](FILE* f) { docWrite(embeddedDoc(), f); }));
  writeFile(out + "/keep/mine.txt", "the user's");
  writeFile(out + "/photo.jpg", "the user's, never shown");

  testing::internal::CaptureStdout();
  EXPECT_EQ(cleanTree(out.c_str()), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "quorvel: removed 14 files\n");
  EXPECT_EQ(tree(out), (std::set<std::string>{"keep", "keep/mine.txt", "photo.jpg"}));
}

}  // namespace
