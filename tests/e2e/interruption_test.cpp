// A run killed while it makes pictures, then run again, must leave exactly the
// tree that one uninterrupted run makes: no cut-off picture taken as up to
// date, no temporary file left behind, nothing made twice that was whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <future>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::countTemporaries;
using testsupport::fileExists;
using testsupport::makeJpeg;
using testsupport::microLines;
using testsupport::readFile;
using testsupport::runQuorvel;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

// Every temporary's name starts so (and ends in ten random letters).
constexpr char kTemp[] = ".quorvel-tmp-";

// Sources carry one fixed old date in every copy, so that copies are judged
// up to date or not alike.
constexpr time_t kSourceDate = 1'100'000'000;

// Six pictures in four directories, each larger than the medium box, so
// that every picture takes three encodings.
void makeSourceTree(const TempDir& t) {
  const char* names[] = {"album/p1.jpg",
                         "album/p2.jpg",
                         "album/2005 trip/a.jpg",
                         "album/2005 trip/b.jpg",
                         "album/2005 trip/day 2/c.jpg",
                         "album/misc/d.jpg"};
  int seed = 0;
  for (const char* name : names) {
    ++seed;
    if (seed == 4)
      makeJpeg(t / name, 640, 800, seed);
    else
      makeJpeg(t / name, 800, 640, seed);
  }
}

// A fresh copy of the source tree in its own parent directory, so that every
// copy is walked under the same root text "album".
void copySources(const TempDir& sources, const TempDir& parent) {
  fs::copy(sources / "album", parent / "album", fs::copy_options::recursive);
  const utimbuf times{kSourceDate, kSourceDate};
  for (const auto& e : fs::recursive_directory_iterator(parent / "album"))
    if (e.is_regular_file()) utime(e.path().c_str(), &times);
}

// A Left page numbers its thumbnails by the position of the picture among
// all the files the directory held when the run began, derived ones included,
// so a run after an interruption numbers them otherwise: only the order of
// the numbers is compared.
std::string renumbered(const std::string& page) {
  static const std::regex number("(['\"])i([0-9]+)(['\"])");
  std::map<std::string, int> ordinal;
  std::string out;
  auto last = page.cbegin();
  for (std::sregex_iterator m(page.begin(), page.end(), number), end; m != end; ++m) {
    auto [it, added] = ordinal.emplace((*m)[2].str(), static_cast<int>(ordinal.size()) + 1);
    out.append(last, (*m)[0].first);
    out += (*m)[1].str() + "i" + std::to_string(it->second) + (*m)[3].str();
    last = (*m)[0].second;
  }
  out.append(last, page.cend());
  return out;
}

// Every file under root by its relative path, with its bytes (pages
// renumbered).
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    const std::string name = fs::relative(e.path(), root).string();
    const std::string bytes = readFile(e.path());
    files[name] = name.ends_with(".html") ? renumbered(bytes) : bytes;
  }
  return files;
}

std::string baseOf(const std::string& microLine) {
  return microLine.substr(0, microLine.size() - 7);
}

// Thumbnails of 240 pixels rather than 96: more bytes in every encoding that
// a kill can cut.
const std::vector<std::string> kRun = {"album", "-uw:240", "-uh:240"};

// Runs quorvel (kRun) in cwd with the test build's kill hook set to stop it
// at step ("writing" half-way through its temporary, "renaming" once that is
// whole) of the derived file. True when the run died there, false when it
// never reached that point. With sig other than SIGKILL, that signal ends it,
// with jobs worker threads.
bool killedAt(const std::string& cwd, const char* step, const std::string& derived, int sig = SIGKILL,
              const char* jobs = nullptr) {
  const std::string kill = std::string(step).append(":").append(derived);
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    if (chdir(cwd.c_str()) != 0 || setenv("QUORVEL_TEST_KILL", kill.c_str(), 1) != 0) _exit(126);
    if (setenv("QUORVEL_TEST_SIGNAL", std::to_string(sig).c_str(), 1) != 0) _exit(126);
    if (jobs && setenv("QUORVEL_JOBS", jobs, 1) != 0) _exit(126);
    execl(QUORVEL_KILL_BINARY, QUORVEL_KILL_BINARY, kRun[0].c_str(), kRun[1].c_str(), kRun[2].c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status;
  return waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) && WTERMSIG(status) == sig;
}

class Interruption : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    sources_ = new TempDir;
    makeSourceTree(*sources_);
    reference_ = new TempDir;
    copySources(*sources_, *reference_);
    RunResult r = runQuorvel(kRun, reference_->path());
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.err, "");
    order_ = microLines(r.out);
    ASSERT_EQ(order_.size(), 6u);
    expected_ = snapshot(*reference_ / "album");
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete sources_;
  }

  // The pictures a killed run left unfinished: their micro picture is missing.
  static std::vector<std::string> unfinished(const TempDir& parent) {
    std::vector<std::string> left;
    for (const auto& line : order_)
      if (!fileExists(parent / line)) left.push_back(line);
    return left;
  }

  // The size of the largest temporary in dir; -1 when there is none.
  static long largestTemporary(const std::string& dir) {
    long largest = -1;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().starts_with(kTemp))
        largest = std::max(largest, static_cast<long>(e.file_size()));
    return largest;
  }

  // Runs to the end, as a later run that finds the killed runs' temporaries
  // old, and checks the tree against the uninterrupted one; only the
  // pictures the killed runs did not finish are made.
  static void finishAndCompare(const TempDir& parent) {
    for (const auto& e : fs::recursive_directory_iterator(parent.path()))
      if (e.path().filename().string().starts_with(kTemp))
        testsupport::touch(e.path(), -3600);
    std::vector<std::string> remaining = unfinished(parent);
    RunResult r = runQuorvel(kRun, parent.path());
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(microLines(r.out), remaining);
    EXPECT_EQ(countTemporaries(parent.path()), 0);
    auto got = snapshot(parent / "album");
    std::vector<std::string> names, expectedNames;
    for (const auto& [name, bytes] : got) names.push_back(name);
    for (const auto& [name, bytes] : expected_) expectedNames.push_back(name);
    ASSERT_EQ(names, expectedNames);
    for (const auto& [name, bytes] : expected_) EXPECT_TRUE(got[name] == bytes) << name;
  }

  // The derived file with the suffix of the index'th picture.
  static std::string derived(size_t index, const char* suffix) {
    return baseOf(order_[index]) + suffix;
  }

  static TempDir* sources_;
  static TempDir* reference_;
  static std::vector<std::string> order_;
  static std::map<std::string, std::string> expected_;
};

TempDir* Interruption::sources_ = nullptr;
TempDir* Interruption::reference_ = nullptr;
std::vector<std::string> Interruption::order_;
std::map<std::string, std::string> Interruption::expected_;

TEST_F(Interruption, KilledRunFinishedLaterEqualsOneUninterruptedRun) {
  struct KillPoint {
    const char* label;
    const char* step;
    size_t picture;
    const char* suffix;
  };
  const KillPoint points[] = {
      {"early: first medium picture, half written", "writing", 0, ".md.jpg"},
      {"middle: a micro picture, whole but not renamed", "renaming", 2, ".vi.jpg"},
      {"late: last medium picture, half written", "writing", 5, ".md.jpg"},
  };
  for (const auto& p : points) {
    SCOPED_TRACE(p.label);
    TempDir parent;
    copySources(*sources_, parent);
    const std::string target = derived(p.picture, p.suffix);
    ASSERT_TRUE(killedAt(parent.path(), p.step, target));
    // Cut off or whole, the temporary holds bytes a later run must not trust.
    EXPECT_FALSE(fileExists(parent / target));
    EXPECT_GT(largestTemporary(fs::path(parent / target).parent_path()), 0);
    finishAndCompare(parent);
  }
}

TEST_F(Interruption, RunKilledAgainAndAgainStillEndsEqual) {
  TempDir parent;
  copySources(*sources_, parent);
  ASSERT_TRUE(killedAt(parent.path(), "writing", derived(1, ".vr.jpg")));
  ASSERT_TRUE(killedAt(parent.path(), "renaming", derived(4, ".md.jpg")));
  finishAndCompare(parent);
}

// A signal that can be caught ends the run as it would end any program, but
// only after the live temporaries (a half-written medium view, a page) are
// gone.
TEST_F(Interruption, CaughtSignalLeavesNoTemporary) {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    for (const char* jobs : {"1", "2"}) {
      SCOPED_TRACE(std::string(strsignal(sig)) + ", jobs " + jobs);
      TempDir parent;
      copySources(*sources_, parent);
      ASSERT_TRUE(killedAt(parent.path(), "writing", derived(2, ".md.jpg"), sig, jobs));
      EXPECT_EQ(countTemporaries(parent.path()), 0);
    }
  }
}

// Each run writes into temporaries of its own and removes no live one, so
// two runs at once on one tree both succeed and leave what one run leaves.
TEST_F(Interruption, TwoRunsAtOnceBothSucceedAndEqualOneRun) {
  for (int trial = 0; trial < 4; ++trial) {
    SCOPED_TRACE(trial);
    TempDir parent;
    copySources(*sources_, parent);
    auto other = std::async(std::launch::async, [&] { return runQuorvel(kRun, parent.path()); });
    RunResult one = runQuorvel(kRun, parent.path());
    RunResult two = other.get();
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(countTemporaries(parent.path()), 0);
    EXPECT_TRUE(snapshot(parent / "album") == expected_);
  }
}

// Why derived pictures are written aside first: the date test trusts a micro
// picture newer than its source, whole or not.
TEST_F(Interruption, CutOffMicroPictureCountsAsUpToDateButATemporaryNeverDoes) {
  TempDir t;
  makeJpeg(t / "album/p.jpg", 800, 640);
  makeJpeg(t / "album/q.jpg", 800, 640, 1);
  testsupport::touch(t / "album/p.jpg", -100);
  testsupport::touch(t / "album/q.jpg", -100);
  ASSERT_EQ(runQuorvel({"album"}, t.path()).status, 0);

  const std::string micro = readFile(t / "album/p.vi.jpg");
  const std::string qMicro = readFile(t / "album/q.vi.jpg");
  const std::string cut = micro.substr(0, micro.size() / 2);
  writeFile(t / "album/p.vi.jpg", cut);
  // What a run killed while writing q's micro picture leaves.
  fs::remove(t / "album/q.vi.jpg");
  const std::string leftover = t / ("album/" + std::string(kTemp) + "QQQQQQQQQQ");
  writeFile(leftover, cut);
  testsupport::touch(leftover, -3600);

  RunResult r = runQuorvel({"album", "-list:copy.bat"}, t.path());
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(microLines(r.out), std::vector<std::string>{"album/q.vi.jpg"});
  EXPECT_EQ(readFile(t / "album/p.vi.jpg"), cut);  // trusted by its date: the design
  EXPECT_EQ(readFile(t / "album/q.vi.jpg"), qMicro);
  EXPECT_FALSE(fileExists(leftover));
  EXPECT_EQ(readFile(t / "album/quorvelLeft.html").find(kTemp), std::string::npos);
  EXPECT_EQ(readFile(t / "copy.bat"),
            "copy \"album/p.jpg\" \"%1\\00000.jpg\"\n"
            "copy \"album/q.jpg\" \"%1\\00001.jpg\"\n");
}

}  // namespace
