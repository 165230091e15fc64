// What a run tells a person at a terminal: a progress line and a summary on
// standard error, none of it when standard error is no terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "support/test_support.h"

namespace {

using testsupport::TempDir;

// Runs quorvel with args in cwd on a pseudo-terminal (of columns, when given);
// everything it wrote there.
std::string runOnTerminal(const std::vector<std::string>& args, const std::string& cwd, unsigned short columns = 0) {
  int master;
  winsize size{24, columns, 0, 0};
  const pid_t pid = forkpty(&master, nullptr, nullptr, columns ? &size : nullptr);
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

// Once drawn, the progress line is either drawn again or cleared before any
// other byte: no line of either stream ever starts on its row.
void expectNothingOnTheProgressRow(const std::string& out) {
  const std::string draw = "\rquorvel: ";
  for (size_t at = out.find(draw); at != std::string::npos; at = out.find(draw, at + 1)) {
    const size_t end = out.find("\x1b[K", at);
    ASSERT_NE(end, std::string::npos) << out;
    const size_t next = end + 3;
    if (next < out.size()) {
      EXPECT_EQ(out[next], '\r') << "after the line at " << at << ":\n" << out;
    }
  }
}

// The line is drawn when the first picture is made (later draws wait for the
// clock), so each layer's message is the first thing after it in a run of its own.
TEST(Terminal, EveryLayersMessageStartsOnALineOfItsOwn) {
  struct Case {
    const char* layer;
    std::function<void(const TempDir&)> plant;
    const char* message;
  };
  const Case cases[] = {
      {"util: the caption of a picture up to date, linked out of the album",
       [](const TempDir& t) {
         testsupport::makeJpeg(t / "al/one/b.jpg", 300, 300, 1);
         testsupport::writeFile(t / "outside.txt", "a caption from outside");
         ASSERT_EQ(symlink("../../outside.txt", (t / "al/one/b.txt").c_str()), 0);
         testsupport::runQuorvel({"al"}, t.path());
       },
       "*** quorvel: \"al/one/b.txt\" is a link out of the album: not read\r\n"},
      {"album: the library's words on a damaged picture",
       [](const TempDir& t) { testsupport::writeFile(t / "al/one/c.jpg", "not a picture"); },
       "al/one/c.jpg: Not a JPEG file"},
      {"run: the next directory's heading",
       [](const TempDir& t) { testsupport::makeJpeg(t / "al/two/d.jpg", 300, 300, 2); }, "*** two ***\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    TempDir t;
    c.plant(t);
    testsupport::makeJpeg(t / "al/one/a.jpg", 300, 300);
    const std::string out = runOnTerminal({"al"}, t.path());
    ASSERT_NE(out.find("\rquorvel: 1 of "), std::string::npos) << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
    expectNothingOnTheProgressRow(out);
  }
}

// A name's control bytes are shown on a terminal, never obeyed there, in
// either stream; a UTF-8 name's characters stay. Redirected, every byte is as
// the name has it.
TEST(Terminal, ControlBytesOfNamesAreShownOnATerminalAndKeptWhenRedirected) {
  TempDir t;
  testsupport::makeJpeg(t / "al/caf\xc3\xa9\x1b[2J.jpg", 300, 300);
  testsupport::writeFile(t / "al/x\x1b]0;owned\x07.jpg", "not a picture");
  const std::string out = runOnTerminal({"al"}, t.path());
  EXPECT_NE(out.find("al/caf\xc3\xa9^[[2J.vi.jpg\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("al/x^[]0;owned^G.jpg: Not a JPEG file"), std::string::npos) << out;
  const auto piped = testsupport::runQuorvel({"-force", "al"}, t.path());
  EXPECT_NE(piped.out.find("al/caf\xc3\xa9\x1b[2J.vi.jpg\n"), std::string::npos) << piped.out;
  EXPECT_NE(piped.err.find("al/x\x1b]0;owned\x07.jpg: Not a JPEG file"), std::string::npos) << piped.err;
}

// On a narrow terminal the progress line is cut to one column less than its
// width, so it never wraps onto a row its carriage return can't reach.
TEST(Terminal, ProgressLineFitsANarrowTerminal) {
  TempDir t;
  tree(t);
  const std::string out = runOnTerminal({"today"}, t.path(), 10);
  const size_t first = out.find("\rquorvel:");
  ASSERT_NE(first, std::string::npos) << out;
  for (size_t at = first; at != std::string::npos; at = out.find("\rquorvel:", at + 1)) {
    const size_t end = out.find("\x1b[K", at);
    ASSERT_NE(end, std::string::npos) << out;
    if (out.find('\n', at) < end) continue;  // a summary line, not the progress line
    EXPECT_LE(end - at - 1, 9u) << out.substr(at, end - at);
  }
}
}  // namespace
