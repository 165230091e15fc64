// ICC profiles: a source's checked, a thumbnail's compacted, one made from
// primaries (RGB to XYZ at the source's white, adapted to the profile
// connection space's D50 by Bradford's transform).
#include "img/icc_profile.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/byte_fields.h"

namespace {

using Vec = std::array<double, 3>;
using Mat = std::array<Vec, 3>;

constexpr Vec kD50 = {0.9642, 1.0, 0.8249};
constexpr Mat kBradford = {{{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};

Vec times(const Mat& m, const Vec& v) {
  Vec r{};
  for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
  return r;
}

Mat times(const Mat& a, const Mat& b) {
  Mat r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  return r;
}

// The inverse, or false when m is (nearly) singular.
bool inverse(const Mat& m, Mat* out) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!std::isfinite(det) || std::fabs(det) < 1e-9) return false;
  Mat r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      r[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
    }
  *out = r;
  return true;
}

Vec xyToXyz(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// The profile's bytes, big-endian as ICC has them.
struct Bytes {
  std::string b;
  void u32(uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<char>(v >> s));
  }
  void u16(uint16_t v) {
    b.push_back(static_cast<char>(v >> 8));
    b.push_back(static_cast<char>(v));
  }
  void sig(const char* s) { b.append(s, 4); }
  void fixed(double v) { u32(static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536.0)))); }
  void pad() {
    while (b.size() % 4) b.push_back('\0');
  }
};

Bytes xyzTag(const Vec& v) {
  Bytes t;
  t.sig("XYZ ");
  t.u32(0);
  for (double c : v) t.fixed(c);
  return t;
}

Bytes textTag(const char* text) {
  Bytes t;
  t.sig("mluc");
  t.u32(0);
  t.u32(1);
  t.u32(12);
  t.sig("enUS");
  size_t length = 0;
  while (text[length]) ++length;
  t.u32(static_cast<uint32_t>(length * 2));
  t.u32(28);
  for (size_t i = 0; i < length; ++i) t.u16(static_cast<unsigned char>(text[i]));
  return t;
}

// A parametric curve: type 0 (a gamma) or 3 (sRGB's form).
Bytes curveTag(int transfer) {
  Bytes t;
  t.sig("para");
  t.u32(0);
  switch (transfer) {
    case 4: case 5: case 8:
      t.u16(0);
      t.u16(0);
      t.fixed(transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0);
      break;
    default:
      t.u16(3);
      t.u16(0);
      for (double p : {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045}) t.fixed(p);
  }
  return t;
}

bool curveStandsFor(int transfer) {
  switch (transfer) {
    case 1: case 2: case 4: case 5: case 6: case 8: case 13: case 14: case 15:
      return true;
    default:
      return false;
  }
}

// The primaries' RGB to XYZ matrix adapted to D50 (toD50), and the
// adaptation itself (adapt); false when the primaries make no matrix.
bool matrices(const ImgPrimaries& p, Mat* adapt, Mat* toD50) {
  const Vec r = xyToXyz(p.redX, p.redY), g = xyToXyz(p.greenX, p.greenY), b = xyToXyz(p.blueX, p.blueY);
  const Mat primaries = {{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
  const Vec white = xyToXyz(p.whiteX, p.whiteY);
  Mat inv, bradfordInv;
  if (!inverse(primaries, &inv) || !inverse(kBradford, &bradfordInv)) return false;
  const Vec scale = times(inv, white);
  Mat toXyz{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) toXyz[i][j] = primaries[i][j] * scale[j];
  const Vec coneSource = times(kBradford, white), coneD50 = times(kBradford, kD50);
  Mat gain{};
  for (int i = 0; i < 3; ++i) gain[i][i] = coneD50[i] / coneSource[i];
  *adapt = times(bradfordInv, times(gain, kBradford));
  *toD50 = times(*adapt, toXyz);
  return true;
}

struct Tag {
  const char* sig;
  Bytes data;
};

// The tag table and the tags' data after it; a tag whose data equals an
// earlier one's (the three curves, often) points at that one's.
Bytes tagTableAndData(std::vector<Tag>& tags) {
  Bytes table, data;
  const uint32_t offset = 128 + 4 + 12 * static_cast<uint32_t>(tags.size());
  std::vector<uint32_t> at(tags.size());
  table.u32(static_cast<uint32_t>(tags.size()));
  for (size_t i = 0; i < tags.size(); ++i) {
    tags[i].data.pad();
    size_t same = 0;
    while (same < i && tags[same].data.b != tags[i].data.b) ++same;
    if (same < i) {
      at[i] = at[same];
    } else {
      at[i] = offset + static_cast<uint32_t>(data.b.size());
      data.b += tags[i].data.b;
    }
    table.sig(tags[i].sig);
    table.u32(at[i]);
    table.u32(static_cast<uint32_t>(tags[i].data.b.size()));
  }
  table.b += data.b;
  return table;
}

Bytes profileHeader(size_t size) {
  Bytes header;
  header.u32(static_cast<uint32_t>(size));
  header.u32(0);
  header.u32(0x04300000);
  header.sig("mntr");
  header.sig("RGB ");
  header.sig("XYZ ");
  for (uint16_t v : {2026, 1, 1, 0, 0, 0}) header.u16(v);
  header.sig("acsp");
  header.b.resize(68);
  for (double c : kD50) header.fixed(c);
  header.b.resize(128);
  return header;
}

}  // namespace

std::string imgIccFromPrimaries(const ImgPrimaries& p, int transfer) {
  if (!curveStandsFor(transfer) || p.redY <= 0 || p.greenY <= 0 || p.blueY <= 0 || p.whiteY <= 0) return {};
  Mat adapt, toD50;
  if (!matrices(p, &adapt, &toD50)) return {};
  Bytes chad;
  chad.sig("sf32");
  chad.u32(0);
  for (const Vec& row : adapt)
    for (double c : row) chad.fixed(c);
  std::vector<Tag> tags = {{"desc", textTag("RGB of the picture's colour description")},
                           {"cprt", textTag("No copyright, use freely")},
                           {"wtpt", xyzTag(kD50)},
                           {"chad", chad},
                           {"rXYZ", xyzTag({toD50[0][0], toD50[1][0], toD50[2][0]})},
                           {"gXYZ", xyzTag({toD50[0][1], toD50[1][1], toD50[2][1]})},
                           {"bXYZ", xyzTag({toD50[0][2], toD50[1][2], toD50[2][2]})},
                           {"rTRC", curveTag(transfer)},
                           {"gTRC", curveTag(transfer)},
                           {"bTRC", curveTag(transfer)}};
  const Bytes body = tagTableAndData(tags);
  return profileHeader(128 + body.b.size()).b + body.b;
}

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kTagTableAt = kHeaderBytes;
// A thumbnail's curves keep this many points of longer tables: enough for
// any smooth curve at a thumbnail's 8 bits.
constexpr uint32_t kCompactCurvePoints = 64;

// A profile's reads are bounded here: past its end a field reads 0 and a
// tag's data is empty.
uint32_t field(std::string_view icc, size_t at) {
  if (at > icc.size() || icc.size() - at < 4) return 0;
  return byteBig32(reinterpret_cast<const unsigned char*>(icc.data()) + at);
}

// A signature as a message shows it: trailing spaces cut, odd bytes as '?'.
std::string sigText(std::string_view icc, size_t at) {
  std::string text(icc.substr(at, 4));
  for (char& c : text)
    if (c < 0x20 || c > 0x7e) c = '?';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Why the derived pictures can't carry icc; empty when they can.
std::string refusal(std::string_view icc) {
  if (icc.size() > kImgIccMaxBytes)
    return std::to_string(icc.size()) + " bytes, more than " + std::to_string(kImgIccMaxBytes);
  if (icc.size() < kHeaderBytes + 4 || icc.compare(36, 4, "acsp") != 0) return "not an ICC profile";
  const uint32_t declared = field(icc, 0), count = field(icc, kTagTableAt);
  if (declared < kHeaderBytes + 4 || declared > icc.size() || count > (declared - kHeaderBytes - 4) / 12)
    return "a damaged ICC profile";
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = kTagTableAt + 4 + 12 * size_t{i};
    const uint32_t offset = field(icc, entry + 4), size = field(icc, entry + 8);
    if (offset > declared || size > declared - offset) return "a damaged ICC profile";
  }
  if (icc.compare(16, 4, "RGB ") != 0) return "a profile of " + sigText(icc, 16) + " colours, not RGB";
  const std::string_view deviceClass = icc.substr(12, 4);
  if (deviceClass != "mntr" && deviceClass != "scnr" && deviceClass != "spac")
    return "a profile of class " + sigText(icc, 12) + ", not one for showing";
  return {};
}

// The data of the tag named sig of a checked profile, empty when it has none.
std::string_view tagData(std::string_view icc, const char* sig) {
  const uint32_t count = field(icc, kTagTableAt);
  for (uint32_t i = 0; i < count && kTagTableAt + 16 + 12 * size_t{i} <= icc.size(); ++i) {
    const size_t entry = kTagTableAt + 4 + 12 * size_t{i}, offset = field(icc, entry + 4);
    if (icc.compare(entry, 4, sig) == 0) return offset <= icc.size() ? icc.substr(offset, field(icc, entry + 8)) : "";
  }
  return {};
}

// A colorant's XYZ tag as it is; false when it is none.
bool colorant(std::string_view icc, const char* sig, Bytes* tag) {
  tag->b = tagData(icc, sig).substr(0, 20);
  return tag->b.size() == 20 && tag->b.compare(0, 4, "XYZ ") == 0;
}

// A curve tag: a parametric one or a short table as it is, a longer table
// at kCompactCurvePoints points; false when it is none.
bool compactCurve(std::string_view icc, const char* sig, Bytes* tag) {
  static constexpr uint32_t kParameters[5] = {1, 3, 4, 5, 7};
  const std::string_view data = tagData(icc, sig);
  if (data.size() < 12) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  if (data.compare(0, 4, "para") == 0) {
    const uint32_t function = byteBig16(bytes + 8);
    if (function > 4 || data.size() < 12 + 4 * kParameters[function]) return false;
    tag->b = data.substr(0, 12 + 4 * kParameters[function]);
    return true;
  }
  const uint32_t points = field(data, 8);
  if (data.compare(0, 4, "curv") != 0 || points > (data.size() - 12) / 2) return false;
  if (points <= kCompactCurvePoints) {
    tag->b = data.substr(0, 12 + 2 * points);
    return true;
  }
  tag->sig("curv");
  tag->u32(0);
  tag->u32(kCompactCurvePoints);
  for (uint32_t i = 0; i < kCompactCurvePoints; ++i) {
    const double at = static_cast<double>(i) * (points - 1) / (kCompactCurvePoints - 1);
    const uint32_t below = static_cast<uint32_t>(at), above = below + 1 < points ? below + 1 : below;
    const double low = byteBig16(bytes + 12 + 2 * below), high = byteBig16(bytes + 12 + 2 * above);
    tag->u16(static_cast<uint16_t>(std::lround(low + (high - low) * (at - below))));
  }
  return true;
}

}  // namespace

void imgIccDropped(const char* path, const std::string& reason, std::string* lines) {
  *lines += std::string("*** quorvel: colour profile dropped \"") + path + "\" (" + reason + ")\n";
}

std::string imgIccCarried(std::string_view profile, const char* path, std::string* lines) {
  if (profile.empty()) return {};
  const std::string why = refusal(profile);
  if (why.empty()) return std::string(profile);
  imgIccDropped(path, why, lines);
  return {};
}

std::string imgIccForThumbnail(const std::string& icc) {
  if (icc.size() <= kImgIccThumbnailBytes) return icc;
  if (!refusal(icc).empty()) return {};
  std::vector<Tag> tags = {{"desc", textTag("RGB of the picture's profile, for thumbnails")},
                           {"cprt", textTag("No copyright, use freely")},
                           {"wtpt", xyzTag(kD50)}};
  for (const char* sig : {"rXYZ", "gXYZ", "bXYZ"}) {
    Bytes xyz;
    if (!colorant(icc, sig, &xyz)) return {};
    tags.push_back({sig, xyz});
  }
  for (const char* sig : {"rTRC", "gTRC", "bTRC"}) {
    Bytes curve;
    if (!compactCurve(icc, sig, &curve)) return {};
    tags.push_back({sig, curve});
  }
  const Bytes body = tagTableAndData(tags);
  return profileHeader(kHeaderBytes + body.b.size()).b + body.b;
}
