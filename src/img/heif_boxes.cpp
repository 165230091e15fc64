// ISO base media boxes: the checked range, box headers, the meta box.
#include "img/heif_boxes.h"

#include <sys/types.h>

#include <algorithm>

namespace {

constexpr size_t kMaxMetaBytes = 4 << 20;
constexpr int kMaxTopLevelBoxes = 8;
constexpr unsigned kHevcSps = 33;

// Bits of a parameter set, its emulation prevention bytes taken out; a read
// past the end yields zeros and marks it failed, as ImgBoxRange does.
class BitReader {
 public:
  explicit BitReader(ImgBoxRange nal) {
    int zeros = 0;
    while (nal.left() > 0) {
      const unsigned char byte = static_cast<unsigned char>(nal.read(1));
      if (zeros >= 2 && byte == 3) {
        zeros = 0;
        continue;
      }
      zeros = byte == 0 ? zeros + 1 : 0;
      bytes_.push_back(byte);
    }
  }
  bool ok() const { return ok_; }
  uint32_t bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | bit();
    return v;
  }
  // An unsigned Exp-Golomb number; one of more than 31 bits fails.
  uint32_t golomb() {
    int zeros = 0;
    while (ok_ && bit() == 0)
      if (++zeros > 31) ok_ = false;
    if (!ok_) return 0;
    return static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + bits(zeros));
  }

 private:
  uint32_t bit() {
    if (at_ >= bytes_.size() * 8) {
      ok_ = false;
      return 0;
    }
    const uint32_t v = (bytes_[at_ / 8] >> (7 - at_ % 8)) & 1;
    ++at_;
    return v;
  }
  std::vector<unsigned char> bytes_;
  size_t at_ = 0;
  bool ok_ = true;
};

// The coded size a sequence parameter set gives (its 2-byte NAL header
// first), as width times height; 0 when it ends first.
uint64_t spsPixels(ImgBoxRange nal) {
  nal.skip(2);
  BitReader sps(nal);
  sps.bits(4);
  const uint32_t subLayers = sps.bits(3);
  sps.bits(1);
  sps.bits(96);  // the general profile, tier and level
  uint32_t present[8] = {};
  for (uint32_t i = 0; i < subLayers; ++i) present[i] = sps.bits(2);
  if (subLayers > 0) sps.bits(2 * (8 - subLayers));
  for (uint32_t i = 0; i < subLayers; ++i) sps.bits((present[i] & 2 ? 88 : 0) + (present[i] & 1 ? 8 : 0));
  sps.golomb();
  if (sps.golomb() == 3) sps.bits(1);
  const uint64_t width = sps.golomb(), height = sps.golomb();
  return sps.ok() ? width * height : 0;
}

// The largest coded size of an hvcC property's parameter sets.
uint64_t hvccPixels(ImgBoxRange hvcc) {
  hvcc.skip(22);
  uint64_t largest = 0;
  for (uint32_t arrays = hvcc.read(1); arrays > 0 && hvcc.ok(); --arrays) {
    const uint32_t type = hvcc.read(1) & 0x3F;
    for (uint32_t nals = hvcc.read(2); nals > 0 && hvcc.ok(); --nals) {
      ImgBoxRange nal = hvcc.carve(hvcc.read(2));
      if (type == kHevcSps && hvcc.ok()) largest = std::max(largest, spsPixels(nal));
    }
  }
  return largest;
}

}  // namespace

bool imgBoxReadHeader(ImgBoxRange& r, ImgBoxHeader* box) {
  box->size = r.read(4);
  r.copy(box->type, 4);
  if (r.ok() && box->size == 1) {
    const uint64_t high = r.read(4);
    box->size = (high << 32) | r.read(4);
    box->length = 16;
  }
  return r.ok();
}

bool imgBoxNext(ImgBoxRange& r, ImgBoxHeader* box, ImgBoxRange* body) {
  if (r.left() == 0 || !imgBoxReadHeader(r, box)) return false;
  const uint64_t size = box->size == 0 ? box->length + r.left() : box->size;
  if (size < box->length || size - box->length > r.left()) return false;
  *body = r.carve(size - box->length);
  return true;
}

bool imgHeifReadMetaBody(FILE* file, std::vector<unsigned char>* meta) {
  for (int i = 0; i < kMaxTopLevelBoxes; ++i) {
    const off_t start = ftello(file);
    unsigned char head[16];
    ImgBoxRange r(head, fread(head, 1, sizeof head, file));
    ImgBoxHeader box;
    if (start < 0 || !imgBoxReadHeader(r, &box) || box.size < box.length) return false;
    if (fseeko(file, start + static_cast<off_t>(box.length), SEEK_SET) != 0) return false;
    const uint64_t bodySize = box.size - box.length;
    if (memcmp(box.type, "meta", 4) == 0) {
      if (bodySize > kMaxMetaBytes) return false;
      meta->resize(bodySize);
      if (fread(meta->data(), 1, meta->size(), file) != meta->size()) return false;
      if (!meta->empty()) return true;
    } else if (fseeko(file, static_cast<off_t>(bodySize), SEEK_CUR) != 0) {
      return false;
    }
  }
  return false;
}

uint64_t imgHeifLargestCodedPixels(const unsigned char* body, size_t size) {
  ImgBoxRange meta(body, size);
  meta.skip(4);
  uint64_t largest = 0;
  ImgBoxHeader box, inner;
  ImgBoxRange iprp, ipco;
  while (imgBoxNext(meta, &box, &iprp)) {
    if (strcmp(box.type, "iprp") != 0) continue;
    while (imgBoxNext(iprp, &inner, &ipco)) {
      if (strcmp(inner.type, "ipco") != 0) continue;
      ImgBoxHeader property;
      ImgBoxRange propertyBody;
      while (imgBoxNext(ipco, &property, &propertyBody))
        if (!strcmp(property.type, "hvcC")) {
          largest = std::max(largest, hvccPixels(propertyBody));
        } else if (!strcmp(property.type, "ispe")) {
          propertyBody.skip(4);
          const uint64_t width = propertyBody.read(4), height = propertyBody.read(4);
          largest = std::max(largest, width * height);
        }
    }
  }
  return largest;
}
