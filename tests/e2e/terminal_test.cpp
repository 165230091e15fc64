// What a run tells a person at a terminal: a progress line and a summary on
// standard error, none of it when standard error is no terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

// Runs quorvel with args in cwd on a pseudo-terminal; everything it wrote there.
std::string runOnTerminal(const std::vector<std::string>& args, const std::string& cwd) {
  int master;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(QUORVEL_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    setenv("QUORVEL_JOBS", "1", 1);
    execv(QUORVEL_BINARY, argv.data());
    _exit(127);
  }
  std::string text;
  char buf[4096];
  ssize_t got;
  while ((got = read(master, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(got));
  close(master);
  waitpid(pid, nullptr, 0);
  return text;
}

void tree(const TempDir& t) {
  testsupport::makeJpeg(t / "today/a.jpg", 300, 300);
  testsupport::makeJpeg(t / "today/b.jpg", 300, 300, 1);
  testsupport::writeFile(t / "today/c.HEIC", "x");
  testsupport::writeFile(t / "today/d.png", "x");
  testsupport::writeFile(t / "today/e.mp4", "x");
  testsupport::writeFile(t / "today/f.mp3", "x");
  testsupport::writeFile(t / "today/g.jpg", "not a picture");
}

TEST(Terminal, ProgressLineIsDrawnAndClearedBeforeOtherLines) {
  TempDir t;
  tree(t);
  const std::string out = runOnTerminal({"today"}, t.path());
  const size_t line = out.find("\rquorvel: 1 of 3 pictures made, 33%, 0:");
  ASSERT_NE(line, std::string::npos) << out;
  EXPECT_NE(out.find("\x1b[K\r\x1b[Ktoday/b.vi.jpg", line), std::string::npos) << out;
}

TEST(Terminal, SummaryOnATerminalOnlyNothingForAPipe) {
  TempDir t;
  tree(t);
  const std::string out = runOnTerminal({"today"}, t.path());
  for (const char* line : {"quorvel: 1 album written, 2 pictures shown (2 made, 0 already up to date)\r\n",
                           "quorvel: 1 picture left out: 1 damaged\r\n",
                           "quorvel: not taken: 1 .HEIC, 1 .png (use -allpics); 1 .mp4 (use -video); 1 .mp3 (use -mp3)\r\n",
                           "quorvel: open today/quorvelFrameset.html\r\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  const auto piped = testsupport::runQuorvel({"-force", "today"}, t.path());
  EXPECT_EQ(piped.out.find("quorvel:"), std::string::npos);
  EXPECT_EQ(piped.err.find("quorvel:"), std::string::npos);
  EXPECT_EQ(piped.err.find('\r'), std::string::npos);
}

}  // namespace
