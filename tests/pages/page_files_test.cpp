#include "pages/page_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PageFilesDeathTest, NameOf400CharactersEndsTheRun) {
  std::string dir(290, 'd');
  EXPECT_EQ(pageSiblingName((dir + "/p.jpg").c_str(), std::string(108, 'n').c_str()),
            dir + "/" + std::string(108, 'n'));
  EXPECT_EXIT(pageSiblingName((dir + "/p.jpg").c_str(), std::string(109, 'n').c_str()),
              testing::ExitedWithCode(1),
              "\\*\\*\\*\\* ERROR quorvel : path too long \"d+/p.jpg\"");
}

}  // namespace
