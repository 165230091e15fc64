// ICC profile from primaries: RGB to XYZ at the source's white, adapted to
// the profile connection space's D50 by Bradford's transform.
#include "img/icc_profile.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

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

// The tag table and the tags' data after it, rTRC's data standing for gTRC
// and bTRC too.
Bytes tagTableAndData(std::vector<Tag>& tags) {
  Bytes table, data;
  uint32_t offset = 128 + 4 + 12 * static_cast<uint32_t>(tags.size() + 2);
  uint32_t curveOffset = 0, curveSize = 0;
  table.u32(static_cast<uint32_t>(tags.size() + 2));
  for (Tag& tag : tags) {
    tag.data.pad();
    const uint32_t at = offset + static_cast<uint32_t>(data.b.size());
    table.sig(tag.sig);
    table.u32(at);
    table.u32(static_cast<uint32_t>(tag.data.b.size()));
    if (tag.sig[0] == 'r' && tag.sig[1] == 'T') curveOffset = at, curveSize = static_cast<uint32_t>(tag.data.b.size());
    data.b += tag.data.b;
  }
  for (const char* sig : {"gTRC", "bTRC"}) {
    table.sig(sig);
    table.u32(curveOffset);
    table.u32(curveSize);
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
                           {"rTRC", curveTag(transfer)}};
  const Bytes body = tagTableAndData(tags);
  return profileHeader(128 + body.b.size()).b + body.b;
}
