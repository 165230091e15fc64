#include "run/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "album/memory_budget.h"
#include "base/settings.h"
#include "pages/templates.h"

namespace {

// A mutable argument vector with its terminating null entry.
struct Args {
  explicit Args(std::vector<std::string> words) : storage(std::move(words)) {
    storage.insert(storage.begin(), "quorvel");
    for (auto& w : storage) argv.push_back(w.data());
    argv.push_back(nullptr);
    argc = static_cast<int>(storage.size());
  }
  std::vector<std::string> rest() const {
    std::vector<std::string> r;
    for (int i = 1; i < argc; ++i) r.push_back(argv[i]);
    return r;
  }
  std::vector<std::string> storage;
  std::vector<char*> argv;
  int argc;
};

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { gSettings = Settings{}; }
  void TearDown() override {
    gSettings = Settings{};
    templatesReset();
  }
};

TEST(ArgFind, RemovesFirstMatchAndKeepsOrderOfTheRest) {
  Args a({"dir", "-mw:50", "-x", "-mw:60"});
  const char* text = argFind(a.argc, a.argv.data(), "-mw:");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "50");
  EXPECT_EQ(a.rest(), (std::vector<std::string>{"dir", "-x", "-mw:60"}));
  EXPECT_EQ(a.argv[static_cast<size_t>(a.argc)], nullptr);
}

TEST(ArgFind, NeverLooksAtTheProgramNameAndNeedsTheWholePrefix) {
  Args a({"-mw", "-m"});
  a.argv[0] = a.storage[1].data();  // program name that would match
  EXPECT_EQ(argFind(a.argc, a.argv.data(), "-mw:"), nullptr);
  EXPECT_EQ(a.argc, 3);
}

TEST(ArgFind, ExactOptionGivesEmptyText) {
  Args a({"-top:"});
  const char* text = argFind(a.argc, a.argv.data(), "-top:");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(a.argc, 1);
}

TEST_F(OptionsTest, DefaultsWhenNothingIsGiven) {
  Args a({"dir"});
  optionsRead(a.argc, a.argv.data());
  EXPECT_EQ(a.rest(), (std::vector<std::string>{"dir"}));
  EXPECT_EQ(gSettings.css, nullptr);
  EXPECT_FALSE(gSettings.mp3);
  EXPECT_STREQ(gSettings.mp3Prefix, "");
  EXPECT_STREQ(gSettings.top, "_top");
  EXPECT_EQ(gSettings.infoText, nullptr);
  EXPECT_FALSE(gSettings.shadow);
  EXPECT_EQ(gSettings.iw, 200);
  EXPECT_EQ(gSettings.ih, 200);
  EXPECT_EQ(gSettings.mw, 640);
  EXPECT_EQ(gSettings.mh, 480);
  EXPECT_EQ(gSettings.uw, 96);
  EXPECT_EQ(gSettings.uh, 96);
  EXPECT_EQ(gSettings.lw, 128);
  EXPECT_EQ(gSettings.filter, nullptr);
  EXPECT_EQ(gTemplates.frameset, kFramesetDefault);
}

TEST_F(OptionsTest, Mp3OptionsOverlapByPrefix) {
  struct Case {
    std::vector<std::string> args;
    bool mp3, sizes;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {{"dir", "-mp3KoMo"}, true, false, {"dir"}},
      {{"dir", "-mp3", "-mp3KoMo"}, true, true, {"dir"}},
      {{"dir", "-mp3KoMo", "-mp3"}, true, false, {"dir", "-mp3"}},
      {{"dir", "-mp3:x", "-mp3KoMo"}, true, true, {"dir"}},
      {{"dir", "-mp3KoMo", "-mp3:x"}, true, true, {"dir"}},
  };
  for (const auto& c : cases) {
    gSettings = Settings{};
    Args a(c.args);
    optionsRead(a.argc, a.argv.data());
    EXPECT_EQ(gSettings.mp3, c.mp3) << c.args[1];
    EXPECT_EQ(gSettings.mp3KoMo, c.sizes) << c.args[1];
    EXPECT_EQ(a.rest(), c.left) << c.args[1];
  }
}

TEST_F(OptionsTest, ShadowNeedsExactlyThreeNumbers) {
  struct Case {
    const char* arg;
    bool shadow, colour;
    int r, g, b;
  };
  const Case cases[] = {
      {"-shadow", true, false, 0, 0, 0},
      {"-shadow:10,20", false, false, 0, 0, 0},
      {"-shadow:", false, false, 0, 0, 0},
      {"-shadow:0,0,0", true, true, 0, 0, 0},
      {"-shadow:300,-1,7", true, true, 300, -1, 7},
  };
  for (const auto& c : cases) {
    gSettings = Settings{};
    Args a({"dir", c.arg});
    optionsRead(a.argc, a.argv.data());
    EXPECT_EQ(gSettings.shadow, c.shadow) << c.arg;
    EXPECT_EQ(gSettings.shadowColor, c.colour) << c.arg;
    if (c.colour) {
      EXPECT_EQ(gSettings.shadowRed, c.r);
      EXPECT_EQ(gSettings.shadowGreen, c.g);
      EXPECT_EQ(gSettings.shadowBlue, c.b);
    }
  }
}

TEST_F(OptionsTest, ColouredShadowLeavesPlainShadowInTheArguments) {
  Args a({"dir", "-shadow:1,2,3", "-shadow"});
  optionsRead(a.argc, a.argv.data());
  EXPECT_EQ(a.rest(), (std::vector<std::string>{"dir", "-shadow"}));
}

TEST_F(OptionsTest, NumbersAreReadLikeAtoiWithinTheirLimits) {
  Args a({"dir", "-ih:abc", "-lw:-2147483648", "-uw: 8x", "-iw:+0", "-mh:65535", "-shadow"});
  optionsRead(a.argc, a.argv.data());
  EXPECT_EQ(gSettings.ih, 0);
  EXPECT_EQ(gSettings.lw, INT_MIN);
  EXPECT_EQ(gSettings.uw, 8);
  EXPECT_EQ(gSettings.iw, 0);
  EXPECT_EQ(gSettings.mh, 65535);
}

TEST_F(OptionsTest, ValuesThatCouldOnlyFailAreRefusedAtStartUp) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"-iw:2147483648"}, "option -iw:2147483648: number out of range"},
      {{"-lw:-99999999999999999999"}, "option -lw:-99999999999999999999: number out of range"},
      {{"-shadow:1,2,3000000000"}, "option -shadow:1,2,3000000000: number out of range"},
      {{"-mw:0"}, "option -mw:0: must be from 1 to 65535"},
      {{"-uh:65536"}, "option -uh:65536: must be from 1 to 65535"},
      {{"-uw:7", "-shadow"},
       "option -uw:7: leaves no room for the thumbnail beside the shadow \\(at least 8\\)"},
      {{"-uh:7", "-shadow:1,2,3"}, "option -uh:7: leaves no room"},
      {{"-uw:65535", "-uh:65535"},
       "options -uw:65535 -uh:65535: a thumbnail box of 4294836225 pixels, more than the largest picture "
       "\\(250000000\\)"},
      {{"-list:"}, "option -list: names no file"},
      {{"-list:al/quorvelLeft.html"}, "option -list:al/quorvelLeft.html: names one of the album's own pages"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words{"dir"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    Args a(words);
    EXPECT_EXIT(optionsRead(a.argc, a.argv.data()), testing::ExitedWithCode(1),
                std::string("^\\*\\*\\*\\* ERROR quorvel : ") + c.message)
        << c.args[0];
  }
}

TEST_F(OptionsTest, TextOptionsAndFlags) {
  Args a({"-videos", "dir", "-top:", "-infoText:cliquer pour zoomer", "-css:s.css", "-date",
          "-force", "-filter:*"});
  optionsRead(a.argc, a.argv.data());
  EXPECT_TRUE(gSettings.video);  // any argument beginning with the flag
  EXPECT_STREQ(gSettings.top, "");
  EXPECT_STREQ(gSettings.infoText, "cliquer pour zoomer");
  EXPECT_STREQ(gSettings.css, "s.css");
  EXPECT_TRUE(gSettings.date);
  EXPECT_TRUE(gSettings.force);
  EXPECT_STREQ(gSettings.filter, "*");
  EXPECT_EQ(a.rest(), (std::vector<std::string>{"dir"}));
}

// -today is five flags in one word; it leaves the others and the directory
// alone, also beside the flags it stands for and -top:.
TEST_F(OptionsTest, TodayTurnsOnWhatAPhonesFolderNeeds) {
  Args a({"-top:x", "dir", "-today", "-video"});
  optionsRead(a.argc, a.argv.data());
  EXPECT_TRUE(gSettings.allpics && gSettings.nav && gSettings.video && gSettings.exif && gSettings.hidpi);
  EXPECT_FALSE(gSettings.force || gSettings.mp3 || gSettings.linkOriginals);
  EXPECT_STREQ(gSettings.top, "x");
  EXPECT_EQ(a.rest(), (std::vector<std::string>{"dir"}));
}

TEST_F(OptionsTest, FramesetChoiceNotreeWinsOverNotop) {
  {
    Args a({"dir", "-notop"});
    optionsRead(a.argc, a.argv.data());
    EXPECT_EQ(gTemplates.frameset, kFramesetNotop);
  }
  gSettings = Settings{};
  {
    Args a({"dir", "-notree", "-notop"});
    optionsRead(a.argc, a.argv.data());
    EXPECT_EQ(gTemplates.frameset, kFramesetNotree);
  }
}

// The same text in both knobs: a whole number and nothing else, in range
// (threads capped at 64), or the knob's default.
TEST(EnvironmentKnobs, TakeOnlyAWholeNumberInRange) {
  unsetenv("QUORVEL_JOBS");
  unsetenv("QUORVEL_MEMORY");
  const int cpus = optionsPictureThreads();
  EXPECT_GE(cpus, 1);
  EXPECT_LE(cpus, 64);
  EXPECT_EQ(optionsMemoryBudget(), kDefaultMemoryBudget);
  struct Case {
    const char* text;
    int threads;        // 0: one per CPU
    long long memory;  // in MiB; 0: the default
  };
  const Case cases[] = {
      {"1", 1, 1},
      {" +3", 3, 3},
      {"65", 64, 65},
      {"1099511627776", 64, 1LL << 40},
      {"1099511627777", 64, 0},
      {"9223372036854775807", 64, 0},
      {"9223372036854775808", 0, 0},
      {"0", 0, 0},
      {"-2", 0, 0},
      {"", 0, 0},
      {"4 ", 0, 0},
      {"0x10", 0, 0},
  };
  for (const Case& c : cases) {
    setenv("QUORVEL_JOBS", c.text, 1);
    setenv("QUORVEL_MEMORY", c.text, 1);
    EXPECT_EQ(optionsPictureThreads(), c.threads ? c.threads : cpus) << '"' << c.text << '"';
    EXPECT_EQ(optionsMemoryBudget(), c.memory ? c.memory << 20 : kDefaultMemoryBudget) << '"' << c.text << '"';
  }
  unsetenv("QUORVEL_JOBS");
  unsetenv("QUORVEL_MEMORY");
}

}  // namespace
