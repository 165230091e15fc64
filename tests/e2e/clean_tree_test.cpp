// The album cleaner removes what quorvel wrote and nothing that only looks
// like it, whatever the album folder is called.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::makeJpeg;
using testsupport::RunResult;
using testsupport::runQuorvel;
using testsupport::TempDir;
using testsupport::writeFile;

// Every file and link under root, relative to it.
std::set<std::string> tree(const std::string& root) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory() || e.is_symlink()) names.insert(e.path().lexically_relative(root).string());
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

// quorvel-kill --clean album, with album/sub swapped for a link to outside
// once the cleaner has listed album: its exit status.
int cleanSwapped(const std::string& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    if (chdir(cwd.c_str()) != 0 || setenv("QUORVEL_TEST_SWAP", "cleaning:album", 1) != 0 ||
        setenv("QUORVEL_TEST_SWAP_DIR", "album/sub", 1) != 0 ||
        setenv("QUORVEL_TEST_SWAP_TARGET", (cwd + "/outside").c_str(), 1) != 0)
      _exit(126);
    execl(QUORVEL_KILL_BINARY, QUORVEL_KILL_BINARY, "--clean", "album", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The cleaner never leaves the album, refuses a folder that is none, and
// leaves what it can't tell is quorvel's; what it can't do it names.
TEST(CleanTree, StaysInTheAlbumAndLeavesWhatItCannotTellIsQuorvels) {
  TempDir t;
  auto make = [&](const std::vector<std::string>& args) { ASSERT_EQ(runQuorvel(args, t.path()).status, 0); };

  // A sub-album swapped for a link between the listing and the entering.
  makeJpeg(t / "album/a.jpg", 300, 300);
  makeJpeg(t / "album/sub/s.jpg", 300, 300, 1);
  makeJpeg(t / "outside/o.jpg", 800, 640, 2);
  make({"album"});
  make({"outside"});
  const std::set<std::string> outside = tree(t / "outside"), sub = tree(t / "album/sub");
  EXPECT_EQ(cleanSwapped(t.path()), 0);
  ASSERT_TRUE(fs::is_directory(t / "album/sub.was")) << "the cleaner listed album without swapping sub";
  EXPECT_EQ(tree(t / "outside"), outside);
  EXPECT_EQ(tree(t / "album/sub.was"), sub);
  std::set<std::string> swapped{"a.jpg", "sub"};
  for (const std::string& name : sub) swapped.insert("sub.was/" + name);
  EXPECT_EQ(tree(t / "album"), swapped);

  // The whole disk and the home folder, album or not.
  chmod(t.path().c_str(), 0755);
  RunResult r = testsupport::runQuorvelUnprivileged({"--clean", "/"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "*** quorvel: won't clean \"/\": it is the whole file system\n");
  const std::set<std::string> home = tree(t / "outside");
  r = testsupport::runQuorvelPrepared({"--clean", "outside"}, t.path(),
                                      [&] { setenv("HOME", (t / "outside").c_str(), 1); });
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("it is your home directory"), std::string::npos) << r.err;
  EXPECT_EQ(tree(t / "outside"), home);

  // A web site, not an album: refused, and with --force its page stays.
  makeJpeg(t / "site/logo.jpg", 300, 300, 3);
  writeFile(t / "site/logo.txt", "The logo\n");
  writeFile(t / "site/logo.html", "<html><body>our logo</body></html>\n");
  makeJpeg(t / "site/team.jpg", 300, 300, 4);
  writeFile(t / "site/team.vi.jpg", "a thumbnail");
  r = runQuorvel({"--clean", "site"}, t.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("won't clean \"site\": no page at its top shows an album quorvel made"), std::string::npos)
      << r.err;
  EXPECT_TRUE(testsupport::fileExists(t / "site/team.vi.jpg"));
  EXPECT_EQ(runQuorvel({"--clean", "--force", "site"}, t.path()).status, 0);
  EXPECT_EQ(tree(t / "site"), (std::set<std::string>{"logo.jpg", "logo.txt", "logo.html", "team.jpg"}));
}

// Beside a run's files, names of options the run was not given, a folder
// it can list but not enter and one where a live run writes.
TEST(CleanTree, LeavesOtherOptionsNamesAndNamesTheFoldersItLeaves) {
  TempDir t;
  makeJpeg(t / "album/p.jpg", 800, 640);
  writeFile(t / "album/song.mp3", "ID3 not really");
  makeJpeg(t / "album/locked/l.jpg", 300, 300, 1);
  makeJpeg(t / "album/busy/b.jpg", 300, 300, 2);
  makeJpeg(t / "album/sub/q.jpg", 300, 300, 3);
  ASSERT_EQ(runQuorvel({"album", "-mp3"}, t.path()).status, 0);
  ASSERT_TRUE(testsupport::fileExists(t / "album/liste.m3u"));
  const std::set<std::string> busy = tree(t / "album/busy");
  // The user's, named as the options -allpics, -mp3 and -nav would write.
  writeFile(t / "album/logo.png", "a picture -allpics would take");
  writeFile(t / "album/logo.vi.jpg", "the user's");
  writeFile(t / "album/sub/liste.m3u", "#EXTM3U\nmine.mp3\n");
  writeFile(t / "album/p.html", "<div class=\"quorvel-nav\">the user's</div>\n");
  fs::create_symlink("p.jpg", t / "album/linked.jpg");
  writeFile(t / "album/linked.vi.jpg", "the user's");
  const std::string live = t / "album/busy/.quorvel-tmp-LiveLiveLi";
  writeFile(live, "a running run's");
  const int held = open(live.c_str(), O_RDONLY);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // As an ordinary user, whom a folder without search permission keeps out.
  fs::create_directory(t / "work");
  if (geteuid() == 0) {
    ASSERT_EQ(system(("chown -R 65534:65534 '" + t / "album' '" + t / "work'").c_str()), 0);
  }
  chmod(t.path().c_str(), 0755);
  chmod((t / "album/locked").c_str(), 0644);

  RunResult r = testsupport::runQuorvelUnprivileged({"--clean", t / "album"}, t / "work");
  close(held);
  chmod((t / "album/locked").c_str(), 0755);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("can't enter the folder \"" + t / "album/locked\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("*** quorvel: a running quorvel is writing in \"" + t / "album/busy\", left as it is\n"),
            std::string::npos)
      << r.err;
  std::set<std::string> expected{"p.jpg",      "song.mp3",      "logo.png",  "logo.vi.jpg",  "p.html",
                                 "linked.jpg", "linked.vi.jpg", "sub/q.jpg", "sub/liste.m3u"};
  for (const std::string& name : tree(t / "album/locked")) expected.insert("locked/" + name);
  for (const std::string& name : busy) expected.insert("busy/" + name);
  expected.insert("busy/.quorvel-tmp-LiveLiveLi");
  EXPECT_EQ(tree(t / "album"), expected);
}

}  // namespace
