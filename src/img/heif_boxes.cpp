// ISO base media boxes: the checked range, box headers, the meta box.
#include "img/heif_boxes.h"

#include <sys/types.h>

namespace {

constexpr size_t kMaxMetaBytes = 4 << 20;
constexpr int kMaxTopLevelBoxes = 8;

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
