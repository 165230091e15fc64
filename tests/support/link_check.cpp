#include "support/link_check.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace testsupport {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// Only real schemes count as external: a file named "Paris: day 1" written
// raw into a link is exactly the fault to catch.
bool isExternal(const std::string& link) {
  if (link.empty() || link[0] == '/' || link.rfind("//", 0) == 0) return true;
  for (const char* scheme : {"http:", "https:", "ftp:", "mailto:", "file:", "javascript:"})
    if (link.rfind(scheme, 0) == 0) return true;
  return false;
}

bool lowerStartsWith(const std::string& s, size_t at, const char* word) {
  for (size_t k = 0; word[k]; ++k) {
    if (at + k >= s.size() || tolower(static_cast<unsigned char>(s[at + k])) != word[k]) return false;
  }
  return true;
}

// Values of attribute="..." for href and src, wherever they stand (the
// preload script's src assignments included).
void attributeValues(const std::string& html, const char* name, std::vector<std::string>& out) {
  std::string key = std::string(name) + "=\"";
  for (size_t i = 0; i < html.size(); ++i) {
    if (!lowerStartsWith(html, i, key.c_str())) continue;
    if (i > 0 && (isalnum(static_cast<unsigned char>(html[i - 1])) || html[i - 1] == '_')) continue;
    size_t start = i + key.size();
    size_t end = html.find('"', start);
    if (end == std::string::npos) break;
    out.push_back(html.substr(start, end - start));
    i = end;
  }
}

void mouseOverNames(const std::string& html, std::vector<std::string>& out) {
  const std::string call = "return _1('";
  for (size_t i = html.find(call); i != std::string::npos; i = html.find(call, i + 1)) {
    // _1('iN','rollover','micro','zoom...')
    size_t p = html.find('\'', i + call.size());  // end of the image name
    for (int arg = 0; arg < 2 && p != std::string::npos; ++arg) {
      size_t open = html.find('\'', p + 1);
      size_t close = open == std::string::npos ? open : html.find('\'', open + 1);
      if (close == std::string::npos) return;
      out.push_back(html.substr(open + 1, close - open - 1));
      p = close;
    }
  }
}

// What a browser resolves: a URL loses the ASCII whitespace at both ends.
std::string stripped(const std::string& link) {
  const char* space = " \t\n\f\r";
  const size_t start = link.find_first_not_of(space);
  if (start == std::string::npos) return "";
  return link.substr(start, link.find_last_not_of(space) - start + 1);
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

std::vector<SrcsetCandidate> srcsetCandidates(const std::string& html) {
  std::vector<std::string> sets;
  attributeValues(html, "srcset", sets);
  std::vector<SrcsetCandidate> candidates;
  for (const std::string& set : sets) {
    std::istringstream parts(set);
    for (std::string part; std::getline(parts, part, ',');) {
      std::istringstream words(part);
      SrcsetCandidate candidate;
      if (words >> candidate.url) {
        words >> candidate.descriptor;
        candidates.push_back(candidate);
      }
    }
  }
  return candidates;
}

std::vector<std::string> pageLinks(const std::string& html) {
  std::vector<std::string> links;
  attributeValues(html, "href", links);
  attributeValues(html, "src", links);
  for (const SrcsetCandidate& candidate : srcsetCandidates(html)) links.push_back(candidate.url);
  mouseOverNames(html, links);
  return links;
}

std::vector<BrokenLink> findBrokenLinks(const std::string& root) {
  std::vector<BrokenLink> broken;
  std::error_code ec;
  // Error-code forms throughout: a tree may hold link loops and unreadable
  // directories, which are simply not followed.
  for (auto it = std::filesystem::recursive_directory_iterator(
           root, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const auto& entry = *it;
    if (entry.is_symlink(ec) || !entry.is_regular_file(ec)) continue;
    std::string path = entry.path().string();
    std::string dir = entry.path().parent_path().string() + "/";
    std::string name = entry.path().filename().string();
    std::vector<std::string> links;
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".html") == 0 && name != "cv.html") {
      links = pageLinks(readFile(path));
    } else if (name == "liste.m3u") {
      std::istringstream lines(readFile(path));
      // Entries with a prefix (an address, a drive) lie outside the tree.
      for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#' && line.find(':') == std::string::npos)
          links.push_back(line);
    } else {
      continue;
    }
    for (const auto& link : links) {
      if (isExternal(link)) continue;
      std::string target = stripped(link);
      target = target.substr(0, target.find('#'));
      if (target.empty()) continue;
      if (!exists(dir + percentDecode(target))) broken.push_back({path, link});
    }
  }
  return broken;
}

std::string describe(const std::vector<BrokenLink>& broken) {
  std::string s;
  for (const auto& b : broken) s += b.page + ": " + b.target + "\n";
  return s;
}

}  // namespace testsupport
