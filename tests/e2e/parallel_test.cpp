// Pictures made on several threads: every byte a run writes, on disk and on
// its streams, is what a run on one thread writes.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "support/test_support.h"

using testsupport::makeJpeg;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// Sets QUORVEL_JOBS for the runs of its lifetime.
class Jobs {
 public:
  explicit Jobs(int n) { setenv("QUORVEL_JOBS", std::to_string(n).c_str(), 1); }
  ~Jobs() { unsetenv("QUORVEL_JOBS"); }
  Jobs(const Jobs&) = delete;
  Jobs& operator=(const Jobs&) = delete;
};

// Every file under dir by its path relative to root, with its contents.
void collect(const std::string& root, const std::string& rel,
             std::map<std::string, std::string>& files) {
  DIR* dir = opendir((root + "/" + rel).c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = rel.empty() ? name : rel + "/" + name;
    struct stat st;
    if (lstat((root + "/" + path).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode))
      collect(root, path, files);
    else
      files[path] = testsupport::readFile(root + "/" + path);
  }
  closedir(dir);
}

// A tree with several directories of pictures (some up to date, one
// damaged, one clashing name pair), captions, MP3s and a video.
void makeTree(const std::string& root) {
  for (const std::string dir : {"a", "a/b", "a/c", "a/c/d"})
    for (int i = 0; i < 5; ++i)
      makeJpeg(root + "/" + dir + "/p" + std::to_string(i) + ".jpg", 200 + 97 * i, 150 + 61 * i, i);
  makeJpeg(root + "/a/big.jpg", 900, 700, 7);
  writeFile(root + "/a/big.txt", "Big <b>one</b>\nA caption.\n");
  writeFile(root + "/a/b/p2.txt", "Second\n");
  // Cut short: the library warns and the picture is made.
  std::string cut = testsupport::readFile(root + "/a/b/p3.jpg");
  writeFile(root + "/a/b/p3.jpg", cut.substr(0, cut.size() / 2));
  // A scan the library refuses: reported and left out.
  testsupport::JpegParams params;
  params.width = 320;
  params.height = 240;
  params.tune = [](jpeg_compress_struct* cinfo) { jpeg_simple_progression(cinfo); };
  testsupport::writeJpeg(root + "/a/b/p4.jpg", params);
  std::string bad = testsupport::readFile(root + "/a/b/p4.jpg");
  const size_t second = bad.find("\xFF\xDA", bad.find("\xFF\xDA") + 2);
  bad[second + 5 + 2 * static_cast<unsigned char>(bad[second + 4]) + 1] = static_cast<char>(112);
  writeFile(root + "/a/b/p4.jpg", bad);
  // Stray bytes in the header: the library warns while reading it.
  std::string stray = testsupport::readFile(root + "/a/p1.jpg");
  stray.insert(stray.find("\xFF\xDB"), 2, '\0');
  writeFile(root + "/a/p1.jpg", stray);
  // GIFs, made on the workers too: a whole one, and one whose image is 0
  // pixels wide (no palette byte of makeGif's is a comma), which gd refuses
  // in its own words.
  testsupport::makeGif(root + "/a/b/g0.gif", 400, 300, 1);
  testsupport::makeGif(root + "/a/b/g1.gif", 300, 250, 2);
  std::string empty = testsupport::readFile(root + "/a/b/g1.gif");
  empty[empty.find(',', 13) + 5] = empty[empty.find(',', 13) + 6] = 0;
  writeFile(root + "/a/b/g1.gif", empty);
  makeJpeg(root + "/a/c/Same.jpg", 300, 300, 3);
  makeJpeg(root + "/a/c/Same.JPG", 320, 300, 4);
  writeFile(root + "/a/song.mp3", std::string(4000, 'm'));
  writeFile(root + "/a/c/clip.avi", std::string(3000, 'v'));
}

struct Outcome {
  RunResult run;
  std::map<std::string, std::string> files;
};

// merged: standard error goes into the file of standard output, so the order
// of the two streams' bytes in it is compared too.
Outcome runWith(int jobs, const std::vector<std::string>& args, bool merged = false) {
  TempDir t;
  makeTree(t.path());
  // One directory made already: its pictures are up to date.
  {
    Jobs one(1);
    EXPECT_EQ(testsupport::runQuorvel({"a/c/d"}, t.path()).status, 0);
  }
  Jobs n(jobs);
  Outcome outcome{merged ? testsupport::runQuorvelPrepared(args, t.path(), [] { dup2(1, 2); })
                         : testsupport::runQuorvel(args, t.path()),
                  {}};
  collect(t.path(), "", outcome.files);
  return outcome;
}

void expectSame(const Outcome& one, const Outcome& many) {
  EXPECT_EQ(one.run.status, many.run.status);
  EXPECT_EQ(one.run.out, many.run.out);
  EXPECT_EQ(one.run.err, many.run.err);
  ASSERT_EQ(one.files.size(), many.files.size());
  for (const auto& [path, bytes] : one.files) {
    auto other = many.files.find(path);
    ASSERT_NE(other, many.files.end()) << path;
    EXPECT_TRUE(other->second == bytes) << path << " differs";
  }
}

}  // namespace

TEST(Parallel, EveryByteWrittenIsTheSameOnOneThreadOrMany) {
  const std::vector<std::string> args = {"-mp3", "-video", "a"};
  const Outcome one = runWith(1, args);
  EXPECT_EQ(one.run.status, 1);  // the damaged picture is reported
  EXPECT_NE(one.run.err.find("a/b/p3.jpg: Premature end"), std::string::npos);
  EXPECT_NE(one.run.err.find("imgJpegReadFile(\"a/b/p4.jpg\")"), std::string::npos);
  EXPECT_NE(one.run.err.find("GD Warning: one parameter"), std::string::npos);
  EXPECT_NE(one.run.err.find("imgGifReadFile(\"a/b/g1.gif\"): cannot be opened or decoded"), std::string::npos);
  expectSame(one, runWith(2, args));
  expectSame(one, runWith(3, args));
  // -force makes the up-to-date directory again too.
  const std::vector<std::string> forced = {"-force", "-mp3", "-video", "a"};
  expectSame(runWith(1, forced), runWith(2, forced));
  expectSame(runWith(1, args, true), runWith(2, args, true));
  // A directory the filter leaves out is never planned ahead.
  const std::vector<std::string> filtered = {"-filter:!a/c", "a"};
  expectSame(runWith(1, filtered), runWith(2, filtered));
}

// A picture that can't be written ends the run where a run on one thread
// ends it, with the same message, whatever the workers made beyond it.
TEST(Parallel, WriteFailureEndsTheRunAsOnOneThread) {
  auto run = [](int jobs) {
    TempDir t;
    chmod(t.path().c_str(), 0777);  // cv.html is written here
    for (int i = 0; i < 6; ++i) makeJpeg(t / ("a/b/p" + std::to_string(i) + ".jpg"), 300, 300, i);
    for (int i = 0; i < 3; ++i) makeJpeg(t / ("a/ro/q" + std::to_string(i) + ".jpg"), 300, 300, i);
    chmod((t / "a/ro").c_str(), 0555);
    Jobs n(jobs);
    RunResult r = testsupport::runQuorvelUnprivileged({"a"}, t.path());
    chmod((t / "a/ro").c_str(), 0755);
    return r;
  };
  const RunResult one = run(1);
  EXPECT_EQ(one.status, 1);
  EXPECT_NE(one.err.find("Permission denied"), std::string::npos);
  for (int jobs : {2, 3}) {
    const RunResult many = run(jobs);
    EXPECT_EQ(one.status, many.status);
    EXPECT_EQ(one.out, many.out);
    EXPECT_EQ(one.err, many.err);
  }
}
