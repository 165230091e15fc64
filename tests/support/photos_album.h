// A fixture for end-to-end album tests: an album directory "photos" in a
// fresh temporary directory, walked by the real binary.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/link_check.h"
#include "support/test_support.h"

namespace testsupport {

class PhotosAlbum : public testing::Test {
 protected:
  // Runs quorvel on "photos" from the temporary directory; a run that writes
  // to standard error fails the test.
  RunResult run(std::vector<std::string> options) {
    options.insert(options.begin(), "photos");
    RunResult r = runQuorvel(options, dir_.path());
    EXPECT_EQ(r.err, "");
    return r;
  }
  std::string at(const std::string& relative) const { return dir_ / ("photos/" + relative); }
  std::string page(const std::string& relative) const { return readFile(at(relative)); }
  void expectLinksResolve() const { EXPECT_EQ(describe(findBrokenLinks(dir_ / "photos")), ""); }

  TempDir dir_;
};

}  // namespace testsupport
