// Albums written into a folder of their own (-out:), through the real binary
// run as an ordinary user on a library that user can't write: everything
// lands in the out folder, the library stays as it was, and every page's
// links resolve in each -originals: mode.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/link_check.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

constexpr uid_t kNobody = 65534;

// What a run could change of a tree: each entry's mode, size, bytes and, where
// timed says so, modification time, by its path below root.
std::map<std::string, std::string> snapshot(const std::string& root,
                                            bool (*timed)(const fs::directory_entry&) = nullptr) {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st;
    lstat(e.path().c_str(), &st);
    std::ostringstream s;
    s << std::oct << st.st_mode << std::dec << ' ' << st.st_size;
    if (!timed || timed(e)) s << ' ' << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) s << ' ' << std::hash<std::string>{}(readFile(e.path()));
    entries[fs::relative(e.path(), root).string()] = s.str();
  }
  return entries;
}

// The files a run keeps when they are up to date: derived pictures, picture
// pages and placed originals. A folder's own pages, its play list and the
// about page are written anew on every run (the same bytes), with or without
// -out:, and so the folders that hold them change time too.
bool keptWhenUpToDate(const fs::directory_entry& e) {
  const std::string name = e.path().filename().string();
  return !e.is_directory() && !name.starts_with("quorvel") && name != "liste.m3u" && name != "cv.html";
}

// Where the links of every page and play list under root lead, as normal
// paths (fragments and schemes left out; the names here need no escaping).
std::vector<std::string> linkTargets(const std::string& root) {
  std::vector<std::string> targets;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    std::vector<std::string> links;
    if (name == "liste.m3u") {
      std::istringstream lines(readFile(e.path()));
      for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#') links.push_back(line);
    } else if (name.ends_with(".html") && name != "cv.html") {
      links = testsupport::pageLinks(readFile(e.path()));
    }
    for (std::string link : links) {
      link = link.substr(0, link.find('#'));
      if (link.empty() || link.find(':') != std::string::npos) continue;
      targets.push_back((e.path().parent_path() / link).lexically_normal().string());
    }
  }
  return targets;
}

bool under(const std::string& path, const std::string& dir) { return path.rfind(dir + "/", 0) == 0; }

// A library of four folders owned by root, read-only for everyone, and a
// folder owned by nobody to run in and write the album into.
class OutFolder : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a library nobody can write";
    chmod(t_.path().c_str(), 0755);
    testsupport::makeJpeg(lib("wide.jpg"), 1200, 500, 1);
    writeFile(lib("style.css"), "body { color: #333 }\n");
    writeFile(lib("title.txt"), "Holidays\n");
    testsupport::makeJpeg(lib("a/big.jpg"), 1024, 768, 2);
    writeFile(lib("a/big.txt"), "On the beach\n");
    writeFile(lib("a/song.mp3"), "ID3 not really music");
    writeFile(lib("a/film.mp4"), std::string(64, '\x11'));
    writeFile(lib("a/old.mpg"), std::string(64, '\x22'));
    testsupport::makeJpeg(lib("a/c/deep.jpg"), 900, 700, 3);
    testsupport::makeJpeg(lib("b/small.jpg"), 400, 300, 4);
    testsupport::makeGif(lib("b/anim.gif"), 300, 220, 5);
    // A header claiming 65000 x 65000: the picture is left out and the run fails.
    testsupport::makeJpeg(lib("b/bad.jpg"), 64, 64);
    std::string bad = readFile(lib("b/bad.jpg"));
    bad.replace(bad.find("\xff\xc0") + 5, 4, "\xfd\xe8\xfd\xe8");
    writeFile(lib("b/bad.jpg"), bad);
    for (const auto& e : fs::recursive_directory_iterator(lib())) {
      testsupport::touch(e.path(), -1000);
      chmod(e.path().c_str(), e.is_directory() ? 0555 : 0444);
    }
    chmod(lib().c_str(), 0555);
    testsupport::makeDirs(t_ / "pub");
    chown((t_ / "pub").c_str(), kNobody, kNobody);
  }

  std::string lib(const std::string& relative = "") const {
    return t_ / ("lib" + (relative.empty() ? "" : "/" + relative));
  }
  std::string out(const std::string& relative = "") const {
    return t_ / ("pub/album" + (relative.empty() ? "" : "/" + relative));
  }
  RunResult run(std::vector<std::string> options) {
    options.insert(options.begin(), {t_ / "lib", "-out:album"});
    return testsupport::runQuorvelUnprivileged(options, t_ / "pub");
  }

  TempDir t_;
};

TEST_F(OutFolder, EachModeWritesOnlyIntoTheOutFolderAndItsLinksResolve) {
  const auto library = snapshot(lib());
  const std::string damaged = "**** ERROR quorvel : picture too large \"" + lib("b/bad.jpg") + "\" (65000 x 65000)\n";
  const std::vector<std::string> placed = {"style.css", "a/song.mp3", "a/film.mp4", "a/old.mpg",
                                           "wide.jpg", "a/big.jpg", "a/c/deep.jpg", "b/small.jpg", "b/anim.gif"};
  for (const char* mode : {"", "copy", "link", "none"}) {
    SCOPED_TRACE(std::string("-originals:") + mode);
    fs::remove_all(out());
    std::vector<std::string> options = {"-mp3", "-video", "-css:style.css"};
    if (*mode) options.push_back(std::string("-originals:") + mode);
    if (!strcmp(mode, "none")) options = {"-originals:none"};
    const RunResult cold = run(options);
    EXPECT_EQ(cold.status, 1);
    EXPECT_EQ(cold.err, damaged);
    EXPECT_EQ(snapshot(lib()), library);
    EXPECT_EQ(testsupport::describe(testsupport::findBrokenLinks(out())), "");
    EXPECT_TRUE(fileExists(out("cv.html")));
    EXPECT_FALSE(fileExists(t_ / "pub/cv.html"));
    EXPECT_TRUE(fileExists(out("a/c/deep.vi.jpg")));

    const std::vector<std::string> targets = linkTargets(out());
    if (!*mode) {
      // The library's own files are linked where they are, and nothing else
      // outside the out folder is.
      for (const auto& target : targets) EXPECT_TRUE(under(target, out()) || under(target, lib())) << target;
      for (const auto& file : placed) {
        EXPECT_NE(std::find(targets.begin(), targets.end(), lib(file)), targets.end()) << file;
        EXPECT_FALSE(fileExists(out(file))) << file;
      }
    } else {
      for (const auto& target : targets) EXPECT_TRUE(under(target, out())) << target;
    }
    if (!strcmp(mode, "copy") || !strcmp(mode, "link")) {
      for (const auto& file : placed) EXPECT_EQ(readFile(out(file)), readFile(lib(file))) << file;
    }
    if (!strcmp(mode, "none")) {
      for (const auto& file : placed) EXPECT_FALSE(fileExists(out(file))) << file;
      // The medium view is the largest picture, so even the small one gets
      // one, at its own size rather than enlarged, and its page shows it.
      EXPECT_EQ(testsupport::jpegSize(out("b/small.md.jpg")), (testsupport::Size{400, 300}));
      EXPECT_NE(readFile(out("b/small.md.html")).find("src=\"small.md.jpg\""), std::string::npos);
      EXPECT_EQ(testsupport::jpegSize(out("a/big.md.jpg")), (testsupport::Size{640, 480}));
    }

    const auto album = snapshot(out(), keptWhenUpToDate);
    const RunResult warm = run(options);
    EXPECT_EQ(warm.status, 1);
    EXPECT_EQ(warm.err, damaged);
    EXPECT_EQ(testsupport::microLines(warm.out), std::vector<std::string>{});
    EXPECT_EQ(snapshot(out(), keptWhenUpToDate), album);
    EXPECT_EQ(snapshot(lib()), library);
  }
}

// The way from the out folder into the library, whatever names them: a
// library whose name needs escaping in a link, and one named by climbing
// (with an out folder named the same way) from a folder inside it.
TEST(OutFolderNames, LinksIntoTheLibraryResolveHoweverItIsNamed) {
  struct Case {
    std::string library, cwd, root, out;
  };
  const std::vector<Case> cases = {
      {"my lib #1", "", "my lib #1", "site"},
      {"lib", "lib/sub", "..", "../../site"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.root + " -out:" + c.out);
    TempDir t;
    testsupport::makeJpeg(t / (c.library + "/a/big.jpg"), 1024, 768);
    writeFile(t / (c.library + "/a/s #2.mp3"), "ID3 not really music");
    writeFile(t / (c.library + "/style.css"), "body { color: #333 }\n");
    testsupport::makeDirs(t / c.library + "/sub");
    const RunResult r =
        testsupport::runQuorvel({c.root, "-out:" + c.out, "-mp3", "-css:style.css"}, t / c.cwd);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fileExists(t / "site/a/big.md.html"));
    EXPECT_EQ(testsupport::describe(testsupport::findBrokenLinks(t / "site")), "");
  }
}

// What the command line refuses before anything is written: the reason
// named, status 1, no out folder and no about page made.
TEST(OutFolderRefusals, RefusedOptionsWriteNothing) {
  const std::string longName(94, 'x');  // the root "lib" is 3 characters; 90 more may be added
  struct Case {
    std::vector<std::string> options;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"-out:"}, "option -out: names no folder"},
      {{"-originals:copy"}, "option -originals:copy: only with -out:"},
      {{"-out:pub", "-originals:all"}, "option -originals:all: must be copy, link or none"},
      {{"-out:pub", "-originals:none", "-mp3"},
       "option -originals:none: leaves out music and videos, drop -mp3 or choose -originals:copy"},
      {{"-out:pub", "-originals:none", "-video"},
       "option -originals:none: leaves out music and videos, drop -video or choose -originals:copy"},
      {{"-out:" + longName},
       "-out: \"" + longName + "\" is too long: at most 90 characters more than the album root \"lib\""},
      {{"-out:" + longName.substr(1)}, ""},  // one character less fits
  };
  for (const auto& [options, message] : cases) {
    TempDir t;
    testsupport::makeDirs(t / "lib");
    std::vector<std::string> args = options;
    args.insert(args.begin(), "lib");
    const RunResult r = testsupport::runQuorvel(args, t.path());
    std::string made;
    for (const auto& e : fs::directory_iterator(t.path())) made += e.path().filename().string() + " ";
    if (message.empty()) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_TRUE(fileExists(t / (longName.substr(1) + "/cv.html")));
      continue;
    }
    EXPECT_EQ(r.status, 1) << message;
    EXPECT_EQ(r.err, "**** ERROR quorvel : " + message + "\n");
    // Without -out: the about page is written before the options are read, as on every run.
    EXPECT_EQ(made, options[0].starts_with("-out:") ? "lib " : "cv.html lib ") << message;
  }
}

}  // namespace
