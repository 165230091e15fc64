// -hidpi publishes no photo's location: no page links a camera's original or a
// file carrying its metadata, unless -linkoriginals asks for the originals.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/link_check.h"
#include "support/test_support.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

bool haveHeifEncoder() { return std::system("command -v heif-enc >/dev/null 2>&1") == 0; }

// What exiftool reads of path's position: "" when it carries none.
std::string gpsLatitude(const std::string& path) {
  std::string out;
  if (FILE* p = popen(("exiftool -s3 -n -GPSLatitude '" + path + "'").c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
  }
  return out;
}

// An APP1 (Exif, XMP) or APP13 (IPTC) segment before the first scan.
bool carriesMetadata(const std::string& bytes) {
  for (size_t at = 2; at + 4 <= bytes.size() && bytes[at] == '\xff' && bytes[at + 1] != '\xda';) {
    if (bytes[at + 1] == '\xe1' || bytes[at + 1] == '\xed') return true;
    at += 2 + (static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
  }
  return false;
}

// A camera's 4000 x 3000 JPEG and a phone's HEIC (when Debian's encoder is
// there) and small PNG, each with the position and the camera's serial.
std::vector<std::string> makePhotos(const TempDir& t) {
  makeJpeg(t / "lib/trip/camera.jpg", 4000, 3000, 1);
  makeJpeg(t / "base.jpg", 1200, 900, 2);
  std::vector<std::string> photos = {"lib/trip/camera.jpg", "lib/trip/shot.png"};
  sh("cd " + t.path() + " && convert base.jpg -resize 240x210! lib/trip/shot.png");
  if (haveHeifEncoder()) {
    sh("cd " + t.path() + " && convert base.jpg base.png && heif-enc -q 50 base.png -o lib/trip/phone.heic >/dev/null");
    photos.push_back("lib/trip/phone.heic");
  }
  for (const std::string& photo : photos) {
    sh("exiftool -q -q -overwrite_original -GPSLatitude=43.4832 -GPSLatitudeRef=N -GPSLongitude=1.5586 "
       "-GPSLongitudeRef=W -SerialNumber=CAM12345 '" + t / photo + "'");
    EXPECT_NE(gpsLatitude(t / photo), "") << photo;
  }
  return photos;
}

struct Published {
  std::set<std::string> files;                 // every file a page links, as its canonical path
  std::map<std::string, std::string> offered;  // srcset candidates: file name to descriptor
};

// What the pages under root link: href, src and srcset; the rollover swap
// script fetches the rollover's 2x and 3x beside its 1x.
Published published(const std::string& root) {
  Published p;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    if (!name.ends_with(".html") || name == "cv.html") continue;
    const std::string html = readFile(e.path().string());
    std::vector<std::string> links = pageLinks(html);
    for (const SrcsetCandidate& c : srcsetCandidates(html)) p.offered[c.url] = c.descriptor;
    for (const std::string& link : std::vector<std::string>(links))
      if (link.ends_with(".vr.jpg") && html.find("srcset") != std::string::npos)
        for (const char* scale : {".vr2.jpg", ".vr3.jpg"}) links.push_back(link.substr(0, link.size() - 7) + scale);
    for (std::string link : links) {
      link = link.substr(0, link.find('#'));
      if (link.empty()) continue;
      const fs::path target = e.path().parent_path() / link;
      EXPECT_TRUE(fs::exists(target)) << e.path() << " links " << link;
      p.files.insert(fs::weakly_canonical(target).string());
    }
  }
  return p;
}

TEST(HidpiPrivacy, PagesLinkNoOriginalAndNoFileCarryingMetadata) {
  TempDir t;
  const std::vector<std::string> photos = makePhotos(t);
  std::set<std::string> originals;
  for (const std::string& photo : photos) originals.insert(fs::canonical(t / photo).string());
  const bool heic = photos.size() == 3;

  // Without -allpics first: each run's pages replace the last one's.
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, {"-nav"}, {"-allpics"}, {"-allpics", "-nav"}}) {
    std::vector<std::string> args = {"lib", "-hidpi"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = runQuorvel(args, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string run = ::testing::PrintToString(options);
    const Published p = published(t / "lib");
    EXPECT_FALSE(p.files.empty());
    for (const std::string& file : p.files) {
      EXPECT_FALSE(originals.count(file)) << run << " links the original " << file;
      if (file.ends_with(".html")) continue;
      EXPECT_TRUE(file.ends_with(".jpg")) << run << " links " << file;
      EXPECT_FALSE(carriesMetadata(readFile(file))) << run << " links " << file;
    }

    // Each srcset candidate at its promised size: the 96 box fit at 1x, twice
    // and three times it as far as the picture goes, the large view 2048 on
    // its long side, never enlarged.
    std::map<std::string, std::pair<std::string, Size>> promised = {
        {"camera.vi.jpg", {"1x", {96, 72}}},       {"camera.vi2.jpg", {"2x", {192, 144}}},
        {"camera.vi3.jpg", {"3x", {288, 216}}},    {"camera.md.jpg", {"640w", {640, 480}}},
        {"camera.lg.jpg", {"2048w", {2048, 1536}}}};
    if (options.size() && options[0] == "-allpics") {
      // 240 x 210 reaches 2x, not 3x; it has no large view, its medium is its own size.
      promised.insert({{"shot.vi.jpg", {"1x", {96, 84}}},
                       {"shot.vi2.jpg", {"2x", {192, 168}}},
                       {"shot.vi3.jpg", {"3x", {192, 168}}}});
      if (heic)
        promised.insert({{"phone.vi.jpg", {"1x", {96, 72}}},
                         {"phone.vi2.jpg", {"2x", {192, 144}}},
                         {"phone.vi3.jpg", {"3x", {288, 216}}},
                         {"phone.md.jpg", {"640w", {640, 480}}},
                         {"phone.lg.jpg", {"1200w", {1200, 900}}}});
    }
    EXPECT_EQ(p.offered.size(), promised.size()) << run;
    for (const auto& [name, sized] : promised) {
      EXPECT_EQ(p.offered.count(name) ? p.offered.at(name) : "(not offered)", sized.first) << run << name;
      EXPECT_EQ(jpegSize(t / ("lib/trip/" + name)), sized.second) << run << name;
    }
  }
}

// -linkoriginals links the original again, and only then does -out: with
// -originals:copy put it into the out folder to be published.
TEST(HidpiPrivacy, OriginalsArePublishedOnlyWithLinkOriginals) {
  TempDir t;
  makePhotos(t);
  for (const bool link : {false, true}) {
    std::vector<std::string> args = {"lib", "-hidpi", "-allpics", "-out:web", "-originals:copy"};
    if (link) args.push_back("-linkoriginals");
    const RunResult r = runQuorvel(args, t.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::set<std::string> files = published(t / "web").files;
    for (const char* name : {"camera.jpg", "shot.png"}) {
      const std::string copy = t / ("web/trip/" + std::string(name));
      EXPECT_EQ(fileExists(copy), link) << name;
      EXPECT_EQ(files.count(fs::weakly_canonical(copy).string()), link ? 1u : 0u) << name;
    }
  }
  const RunResult r = runQuorvel({"lib", "-hidpi", "-linkoriginals"}, t.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(published(t / "lib").files.count(fs::canonical(t / "lib/trip/camera.jpg").string()));
}

}  // namespace
