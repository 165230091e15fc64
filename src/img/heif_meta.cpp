// HEIF/AVIF metadata items: iinf names them, iloc places them, iref links them.
#include "img/heif_meta.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "img/heif_boxes.h"
#include "util/byte_fields.h"

namespace {

// Items looked at, and extents of one item read: no photo needs more, and a
// hostile meta box of 4 MB then costs no more than a few of them.
constexpr size_t kMaxItems = 16;
constexpr uint32_t kMaxExtents = 64;
constexpr std::string_view kXmpType = "application/rdf+xml";

struct Extent {
  uint64_t offset = 0, length = 0;  // length 0: to the end of the source
};

// An Exif or XMP item, and what iloc and iref say of it.
struct Item {
  uint32_t id = 0;
  bool exif = false;  // else XMP
  bool located = false, fromIdat = false;
  std::vector<Extent> extents;
  bool describesAny = false, describesPrimary = false;
};

struct Items {
  uint32_t primary = 0;
  std::vector<Item> list;
  ImgBoxRange idat;

  Item* find(uint32_t id) {
    for (Item& item : list)
      if (item.id == id) return &item;
    return nullptr;
  }
};

// The full box's version; its flags are passed over.
uint32_t fullBoxVersion(ImgBoxRange& body) {
  const uint32_t version = body.read(1);
  body.skip(3);
  return version;
}

// infe, version 2 or 3 (the earlier ones name no item type): id,
// protection index, type, name, and for a mime item its content type and
// encoding. Only an Exif item and an unencoded XMP one are kept.
void readInfe(ImgBoxRange body, Items* items) {
  const uint32_t version = fullBoxVersion(body);
  if (version < 2 || items->list.size() >= kMaxItems) return;
  Item item;
  item.id = body.read(version == 2 ? 2 : 4);
  body.skip(2);
  char type[4];
  body.copy(type, 4);
  body.readString();
  item.exif = memcmp(type, "Exif", 4) == 0;
  if (!item.exif) {
    if (memcmp(type, "mime", 4) != 0 || body.readString() != kXmpType) return;
    if (body.left() > 0 && !body.readString().empty()) return;  // compressed: passed over
  }
  if (body.ok()) items->list.push_back(std::move(item));
}

void readIinf(ImgBoxRange body, Items* items) {
  body.skip(fullBoxVersion(body) == 0 ? 2 : 4);  // the entry count: the boxes tell
  ImgBoxHeader box;
  ImgBoxRange child;
  while (imgBoxNext(body, &box, &child))
    if (!strcmp(box.type, "infe")) readInfe(child, items);
}

// One iloc entry's extents, kept for a known item; false when the box ends
// inside the entry.
bool readLocation(ImgBoxRange& body, uint32_t version, const unsigned sizes[4], Items* items) {
  const uint32_t id = body.read(version < 2 ? 2 : 4);
  const uint32_t method = version >= 1 ? body.read(2) & 15 : 0;
  const uint32_t reference = body.read(2);
  const uint64_t base = body.readSized(sizes[2]);
  const uint32_t count = body.read(2);
  Item* item = items->find(id);
  // Extents of no item we read are passed over whole, however many.
  if (!item || item->located || count > kMaxExtents) {
    body.skip(uint64_t{count} * (sizes[0] + sizes[1] + sizes[3]));
    return body.ok();
  }
  bool sound = reference == 0 && method <= 1;  // in this file, or in idat
  std::vector<Extent> extents;
  for (uint32_t e = 0; e < count && body.ok(); ++e) {
    body.readSized(sizes[3]);
    const uint64_t offset = body.readSized(sizes[0]), length = body.readSized(sizes[1]);
    if (offset > UINT64_MAX - base || (length == 0 && count > 1)) sound = false;
    extents.push_back({base + offset, length});
  }
  if (!body.ok()) return false;
  item->located = sound && count > 0;
  item->fromIdat = method == 1;
  item->extents = std::move(extents);
  return true;
}

void readIloc(ImgBoxRange body, Items* items) {
  const uint32_t version = fullBoxVersion(body);
  const uint32_t packed = body.read(2);
  // Offset, length, base offset and extent index sizes, in bytes.
  const unsigned sizes[4] = {packed >> 12, (packed >> 8) & 15, (packed >> 4) & 15, version >= 1 ? packed & 15 : 0};
  for (unsigned n : sizes)
    if (n != 0 && n != 4 && n != 8) return;
  for (uint32_t count = body.read(version < 2 ? 2 : 4); count > 0 && body.ok(); --count)
    if (!readLocation(body, version, sizes, items)) return;
}

// The cdsc references: which items describe which.
void readIref(ImgBoxRange body, Items* items) {
  const int idBytes = fullBoxVersion(body) == 0 ? 2 : 4;
  ImgBoxHeader box;
  ImgBoxRange refs;
  while (imgBoxNext(body, &box, &refs)) {
    if (strcmp(box.type, "cdsc") != 0) continue;
    Item* item = items->find(refs.read(idBytes));
    for (uint32_t count = refs.read(2); count > 0 && refs.ok(); --count) {
      const uint32_t to = refs.read(idBytes);
      if (!item || !refs.ok()) continue;
      item->describesAny = true;
      item->describesPrimary = item->describesPrimary || to == items->primary;
    }
  }
}

// The item of a kind that describes the primary image, else the first of
// that kind that describes none; null when none is.
const Item* chosen(const Items& items, bool exif) {
  const Item* unlinked = nullptr;
  for (const Item& item : items.list) {
    if (item.exif != exif || !item.located) continue;
    if (item.describesPrimary) return &item;
    if (!item.describesAny && !unlinked) unlinked = &item;
  }
  return unlinked;
}

// The item's bytes, its extents one after the other, from idat or from
// file; false when they leave their source or the budget.
bool itemBytes(FILE* file, const Items& items, const Item& item, ImgMetaBudget* budget,
               std::vector<unsigned char>* out) {
  struct stat st;
  if (!item.fromIdat && fstat(fileno(file), &st) != 0) return false;
  const uint64_t source = item.fromIdat ? items.idat.left() : static_cast<uint64_t>(st.st_size);
  uint64_t total = 0;
  std::vector<Extent> extents = item.extents;
  for (Extent& e : extents) {
    if (e.offset > source) return false;
    if (e.length == 0) e.length = source - e.offset;
    if (e.length > source - e.offset) return false;
    total += e.length;  // at most kMaxExtents times the source's size
  }
  if (!budget->take(total)) return false;
  out->clear();
  for (const Extent& e : extents) {
    if (e.length == 0) continue;
    const size_t at = out->size();
    out->resize(at + e.length);
    if (item.fromIdat)
      memcpy(out->data() + at, items.idat.data() + e.offset, e.length);
    else if (fseeko(file, static_cast<off_t>(e.offset), SEEK_SET) != 0 ||
             fread(out->data() + at, 1, e.length, file) != e.length)
      return false;
  }
  return true;
}

}  // namespace

void imgHeifReadPhotoMeta(FILE* file, const unsigned char* body, size_t size, uint32_t primary, ImgPhotoMeta* meta) {
  ImgBoxRange boxes(body, size);
  fullBoxVersion(boxes);
  // iloc and iref name items that iinf, wherever it stands, lists.
  ImgBoxRange iinf, iloc, iref;
  Items items;
  items.primary = primary;
  ImgBoxHeader box;
  ImgBoxRange child;
  while (imgBoxNext(boxes, &box, &child)) {
    if (!strcmp(box.type, "iinf")) iinf = child;
    if (!strcmp(box.type, "iloc")) iloc = child;
    if (!strcmp(box.type, "iref")) iref = child;
    if (!strcmp(box.type, "idat")) items.idat = child;
  }
  readIinf(iinf, &items);
  if (items.list.empty()) return;
  readIloc(iloc, &items);
  readIref(iref, &items);
  ImgMetaBudget budget;
  std::vector<unsigned char> bytes;
  if (const Item* exif = chosen(items, true); exif && itemBytes(file, items, *exif, &budget, &bytes) &&
                                              bytes.size() >= 4 && byteBig32(bytes.data()) <= bytes.size() - 4) {
    // The block starts at the offset its first 4 bytes give, past them.
    const size_t start = 4 + byteBig32(bytes.data());
    imgPhotoMetaReadExif(bytes.data() + start, bytes.size() - start, meta);
  }
  if (const Item* xmp = chosen(items, false); xmp && itemBytes(file, items, *xmp, &budget, &bytes))
    imgPhotoMetaReadXmp(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), meta);
}
