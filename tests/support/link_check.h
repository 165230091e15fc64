// Link checker for written albums: every href, src and srcset candidate of
// every page (and the relative entries of every play list) must name an
// existing file.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct BrokenLink {
  std::string page;    // the page or play list holding the link
  std::string target;  // the link as written
};

// The links under root that lead nowhere. As in a browser, whitespace at
// both ends of a link is dropped; then percent escapes are decoded;
// fragments are dropped; external targets (a scheme, "//", an absolute path)
// are not followed.
std::vector<BrokenLink> findBrokenLinks(const std::string& root);

// The links written in one page: href and src values, srcset candidates'
// URLs, and the two picture names of each onMouseOver script call.
std::vector<std::string> pageLinks(const std::string& html);

// One candidate of a srcset attribute: its URL and its descriptor ("2x",
// "640w"; "" when it has none).
struct SrcsetCandidate {
  std::string url, descriptor;
  bool operator==(const SrcsetCandidate&) const = default;
};
// Every srcset candidate of a page, in order. Candidates are split at commas:
// quorvel writes a comma in a name as %2c.
std::vector<SrcsetCandidate> srcsetCandidates(const std::string& html);

std::string describe(const std::vector<BrokenLink>& broken);

}  // namespace testsupport
