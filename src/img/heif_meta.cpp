// HEIF/AVIF items read by quorvel: iinf names them, iloc places them, iref
// links them.
#include "img/heif_meta.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
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
// Overlays and grids looked at besides the primary item: a photo has one or
// two (its picture, an alpha or gain map); more are refused, not unchecked.
constexpr size_t kMaxCanvases = 64;
// An overlay's canvas ends 18 bytes in at most, a grid's 12.
constexpr uint64_t kCanvasBytes = 18;

enum class ItemKind { Exif, Xmp, Overlay, Grid };

struct Extent {
  uint64_t offset = 0, length = 0;  // length 0: to the end of the source
};

// An Exif, XMP, overlay or grid item, and what iloc and iref say of it.
struct Item {
  uint32_t id = 0;
  ItemKind kind = ItemKind::Exif;
  bool located = false, fromIdat = false;
  std::vector<Extent> extents;
  bool describesAny = false, describesPrimary = false;
};

struct Items {
  uint32_t primary = 0;
  std::vector<Item> list;
  size_t described = 0, composed = 0;  // Exif and XMP items, overlays and grids listed
  bool tooManyComposed = false;
  ImgBoxRange idat, iref;

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

// An overlay or grid item, known by its type alone: the library takes it
// whatever its name. The primary item is kept past the cap.
void keepComposed(Item item, Items* items) {
  if (items->composed >= kMaxCanvases && item.id != items->primary) {
    items->tooManyComposed = true;
    return;
  }
  ++items->composed;
  items->list.push_back(std::move(item));
}

// infe, version 2 or 3 (the earlier ones name no item type): id,
// protection index, type, name, and for a mime item its content type and
// encoding. Only an Exif item, an unencoded XMP one, overlays and grids are
// kept.
void readInfe(ImgBoxRange body, Items* items) {
  const uint32_t version = fullBoxVersion(body);
  if (version < 2) return;
  Item item;
  item.id = body.read(version == 2 ? 2 : 4);
  body.skip(2);
  char type[4];
  body.copy(type, 4);
  if (!body.ok()) return;
  if (memcmp(type, "iovl", 4) == 0 || memcmp(type, "grid", 4) == 0) {
    item.kind = type[0] == 'i' ? ItemKind::Overlay : ItemKind::Grid;
    return keepComposed(std::move(item), items);
  }
  if (items->described >= kMaxItems) return;
  body.readString();
  item.kind = memcmp(type, "Exif", 4) == 0 ? ItemKind::Exif : ItemKind::Xmp;
  if (item.kind == ItemKind::Xmp) {
    if (memcmp(type, "mime", 4) != 0 || body.readString() != kXmpType) return;
    if (body.left() > 0 && !body.readString().empty()) return;  // compressed: passed over
  }
  if (!body.ok()) return;
  ++items->described;
  items->list.push_back(std::move(item));
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

// Whether a grid's dimg reference names one tile twice.
bool gridRepeatsTile(Items& items) {
  ImgBoxRange body = items.iref;
  const int idBytes = fullBoxVersion(body) == 0 ? 2 : 4;
  ImgBoxHeader box;
  ImgBoxRange refs;
  std::vector<uint32_t> tiles;
  while (imgBoxNext(body, &box, &refs)) {
    if (strcmp(box.type, "dimg") != 0) continue;
    const Item* from = items.find(refs.read(idBytes));
    if (!from || from->kind != ItemKind::Grid) continue;
    tiles.clear();
    for (uint32_t count = refs.read(2); count > 0 && refs.ok(); --count) tiles.push_back(refs.read(idBytes));
    std::sort(tiles.begin(), tiles.end());
    if (std::adjacent_find(tiles.begin(), tiles.end()) != tiles.end()) return true;
  }
  return false;
}

// The item of a kind that describes the primary image, else the first of
// that kind that describes none; null when none is.
const Item* chosen(const Items& items, ItemKind kind) {
  const Item* unlinked = nullptr;
  for (const Item& item : items.list) {
    if (item.kind != kind || !item.located) continue;
    if (item.describesPrimary) return &item;
    if (!item.describesAny && !unlinked) unlinked = &item;
  }
  return unlinked;
}

// The item's bytes, its extents one after the other, from idat or from
// file, its first limit bytes at most; false when an extent leaves its
// source or what is read the budget.
bool itemBytes(FILE* file, const Items& items, const Item& item, uint64_t limit, ImgMetaBudget* budget,
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
    e.length = std::min(e.length, limit - total);
    total += e.length;  // at most limit
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

// The output size an overlay's or a grid's data gives, as the library reads
// it: version, flags (bit 0: 32-bit sizes), then an overlay's fill value of
// 16 bits for each of four channels (its version 0, the only layout there
// is), a grid's rows and columns less one (its version not looked at, as
// the library does not), then the width and height. False for a canvas not
// read or of no pixel.
bool canvasOf(const Item& item, const std::vector<unsigned char>& bytes, uint32_t* width, uint32_t* height) {
  ImgBoxRange data(bytes.data(), bytes.size());
  const uint32_t version = data.read(1);
  const int field = data.read(1) & 1 ? 4 : 2;
  if (item.kind == ItemKind::Overlay && version != 0) return false;
  data.skip(item.kind == ItemKind::Overlay ? 8 : 2);
  *width = data.read(field);
  *height = data.read(field);
  return data.ok() && *width > 0 && *height > 0;
}

// The items of the meta box's body and where they lie. The first box of
// each kind counts, as for the library: its canvases are the ones checked.
void collect(const unsigned char* body, size_t size, uint32_t primary, Items* items) {
  ImgBoxRange boxes(body, size);
  fullBoxVersion(boxes);
  // iloc names items that iinf, wherever it stands, lists.
  ImgBoxRange iinf, iloc;
  struct First {
    const char* type;
    ImgBoxRange* body;
    bool seen = false;
  } firsts[] = {{"iinf", &iinf}, {"iloc", &iloc}, {"iref", &items->iref}, {"idat", &items->idat}};
  items->primary = primary;
  ImgBoxHeader box;
  ImgBoxRange child;
  while (imgBoxNext(boxes, &box, &child))
    for (First& first : firsts)
      if (!first.seen && !strcmp(box.type, first.type)) {
        first.seen = true;
        *first.body = child;
      }
  readIinf(iinf, items);
  readIloc(iloc, items);
}

}  // namespace

void imgHeifReadPhotoMeta(FILE* file, const unsigned char* body, size_t size, uint32_t primary, ImgPhotoMeta* meta) {
  Items items;
  collect(body, size, primary, &items);
  if (items.described == 0) return;
  readIref(items.iref, &items);
  ImgMetaBudget budget;
  std::vector<unsigned char> bytes;
  if (const Item* exif = chosen(items, ItemKind::Exif);
      exif && itemBytes(file, items, *exif, UINT64_MAX, &budget, &bytes) && bytes.size() >= 4 &&
      byteBig32(bytes.data()) <= bytes.size() - 4) {
    // The block starts at the offset its first 4 bytes give, past them.
    const size_t start = 4 + byteBig32(bytes.data());
    imgPhotoMetaReadExif(bytes.data() + start, bytes.size() - start, meta);
  }
  if (const Item* xmp = chosen(items, ItemKind::Xmp); xmp && itemBytes(file, items, *xmp, UINT64_MAX, &budget, &bytes))
    imgPhotoMetaReadXmp(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), meta);
}

void imgHeifReadCanvases(FILE* file, const unsigned char* body, size_t size, uint32_t primary,
                         ImgHeifCanvases* canvases) {
  Items items;
  collect(body, size, primary, &items);
  canvases->unread = items.tooManyComposed;
  canvases->repeatedTile = gridRepeatsTile(items);
  ImgMetaBudget budget;  // kCanvasBytes for each of at most kMaxCanvases + 1
  std::vector<unsigned char> bytes;
  for (const Item& item : items.list) {
    if (item.kind != ItemKind::Overlay && item.kind != ItemKind::Grid) continue;
    uint32_t width = 0, height = 0;
    if (!item.located || !itemBytes(file, items, item, kCanvasBytes, &budget, &bytes) ||
        !canvasOf(item, bytes, &width, &height))
      canvases->unread = true;
    canvases->largestPixels = std::max(canvases->largestPixels, uint64_t{width} * height);
    if (item.id != primary || canvases->primaryComposed) continue;
    canvases->primaryComposed = true;
    canvases->primaryWidth = width;
    canvases->primaryHeight = height;
  }
}
