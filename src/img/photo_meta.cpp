// A photo's own metadata, from its JPEG segments or another format's blocks.
#include "img/photo_meta.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "util/byte_fields.h"
#include "util/file_handle.h"
#include "util/utf8.h"

namespace {

constexpr unsigned kApp1 = 0xE1, kApp13 = 0xED;
constexpr std::string_view kXmpHeader("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kPhotoshopHeader("Photoshop 3.0\0", 14);
constexpr uint16_t kIptcResource = 0x0404;

// Where the segments come from: a file or bytes in memory.
struct Source {
  virtual ~Source() = default;
  // Reads n bytes into out; false at the end of the data.
  virtual bool read(unsigned char* out, size_t n) = 0;
  virtual bool skip(size_t n) = 0;
};

struct MemorySource final : Source {
  const unsigned char* data;
  size_t size, at = 0;
  MemorySource(const unsigned char* d, size_t n) : data(d), size(n) {}
  bool read(unsigned char* out, size_t n) override {
    if (n > size - at) return false;
    if (n == 0) return true;  // an empty segment's buffer may be null
    memcpy(out, data + at, n);
    at += n;
    return true;
  }
  bool skip(size_t n) override {
    if (n > size - at) return false;
    at += n;
    return true;
  }
};

// A regular file (fileOpenRead opens no other), read at an offset of its own:
// a skip costs no call, and a segment's head one small read, so that
// megabytes of segments passed over cost no more than a few bytes each.
struct FileSource final : Source {
  int fd;
  off_t at = 0;  // of the buffer's end in the file
  unsigned char buffer[512];
  size_t begin = 0, end = 0;
  explicit FileSource(FILE* f) : fd(fileno(f)) {}

  bool read(unsigned char* out, size_t n) override {
    const size_t held = std::min(n, end - begin);
    memcpy(out, buffer + begin, held);
    begin += held;
    out += held;
    n -= held;
    if (n >= sizeof buffer) return readAt(out, n);
    while (n > 0) {
      const ssize_t got = fill();
      if (got <= 0) return false;
      const size_t take = std::min(n, end - begin);
      memcpy(out, buffer + begin, take);
      begin += take;
      out += take;
      n -= take;
    }
    return true;
  }
  bool skip(size_t n) override {
    const size_t held = std::min(n, end - begin);
    begin += held;
    at += static_cast<off_t>(n - held);
    return true;
  }

 private:
  ssize_t fill() {
    ssize_t got;
    do got = pread(fd, buffer, sizeof buffer, at);
    while (got < 0 && errno == EINTR);
    begin = 0;
    end = got > 0 ? static_cast<size_t>(got) : 0;
    at += static_cast<off_t>(end);
    return got;
  }
  bool readAt(unsigned char* out, size_t n) {
    while (n > 0) {
      const ssize_t got = pread(fd, out, n, at);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      at += got;
      out += got;
      n -= static_cast<size_t>(got);
    }
    return true;
  }
};

std::string_view asView(const std::vector<unsigned char>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string cut(std::string_view text) { return std::string(text.substr(0, kImgMetaTextLimit)); }

// ---------------------------------------------------------------- XMP
// Only the five predefined entities and character references are expanded:
// no entity of the packet's own is ever defined, so none can multiply.
std::string xmlText(std::string_view raw) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"lt;", '<'}, {"gt;", '>'}, {"amp;", '&'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < raw.size() && out.size() < kImgMetaTextLimit; ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const std::string_view rest = raw.substr(i + 1);
    bool done = false;
    for (const auto& [name, c] : kNamed) {
      if (rest.starts_with(name)) {
        out += c;
        i += name.size();
        done = true;
        break;
      }
    }
    if (done) continue;
    const size_t semi = rest.find(';');
    if (rest.starts_with('#') && semi != std::string_view::npos && semi <= 10) {
      const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      uint32_t c = 0;
      bool ok = semi > (hex ? 2u : 1u);
      for (size_t k = hex ? 2 : 1; k < semi && ok; ++k) {
        const char d = rest[k];
        const int v = d >= '0' && d <= '9' ? d - '0'
                      : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                      : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                    : -1;
        ok = v >= 0;
        c = c * (hex ? 16 : 10) + uint32_t(v);
      }
      if (ok) {
        utf8Append(&out, c);
        i += semi + 1;
        continue;
      }
    }
    out += '&';
  }
  return cut(out);
}

// The text of dc:<name>'s list item in the default language, else its first.
std::string xmpProperty(std::string_view xml, std::string_view name) {
  const std::string open = "<dc:" + std::string(name), close = "</dc:" + std::string(name) + ">";
  size_t from = xml.find(open);
  while (from != std::string_view::npos && from + open.size() < xml.size() &&
         xml[from + open.size()] != '>' && xml[from + open.size()] != ' ' && xml[from + open.size()] != '\n')
    from = xml.find(open, from + 1);  // dc:titles is another property
  if (from == std::string_view::npos) return "";
  const size_t to = xml.find(close, from);
  if (to == std::string_view::npos) return "";
  const std::string_view body = xml.substr(from, to - from);
  std::string first;
  for (size_t li = body.find("<rdf:li"); li != std::string_view::npos; li = body.find("<rdf:li", li + 1)) {
    const size_t tagEnd = body.find('>', li);
    const size_t end = body.find("</rdf:li>", li);
    if (tagEnd == std::string_view::npos || end == std::string_view::npos || end < tagEnd) break;
    const std::string_view tag = body.substr(li, tagEnd - li);
    std::string text = xmlText(body.substr(tagEnd + 1, end - tagEnd - 1));
    if (tag.find("xml:lang=\"x-default\"") != std::string_view::npos ||
        tag.find("xml:lang='x-default'") != std::string_view::npos)
      return text;
    if (first.empty()) first = std::move(text);
  }
  return first;
}

// ---------------------------------------------------------------- IPTC
// IPTC-NAA records: 0x1C, record, dataset, a 16-bit size, the data. An
// extended size ends the reading: no field we show is that long.
void readIptcRecords(const unsigned char* p, size_t n, ImgPhotoMeta* meta) {
  size_t at = 0;
  while (at + 5 <= n && p[at] == 0x1C) {
    const unsigned record = p[at + 1], dataset = p[at + 2], size = byteBig16(p + at + 3);
    if (size & 0x8000 || at + 5 + size > n) return;
    const std::string_view data(reinterpret_cast<const char*>(p + at + 5), size);
    if (record == 1 && dataset == 90) meta->iptcUtf8 = data == "\x1b%G";
    if (record == 2 && dataset == 5) meta->iptcTitle = cut(data);
    if (record == 2 && dataset == 120) meta->iptcCaption = cut(data);
    at += 5 + size;
  }
}

// Photoshop's image resources: "8BIM", an id, a padded Pascal name, a size
// and the data, padded to an even length.
void readPhotoshop(const unsigned char* p, size_t n, ImgPhotoMeta* meta) {
  size_t at = 0;
  while (at + 7 <= n && memcmp(p + at, "8BIM", 4) == 0) {
    const unsigned id = byteBig16(p + at + 4);
    size_t nameLength = p[at + 6] + 1u;
    nameLength += nameLength & 1;
    if (at + 6 + nameLength + 4 > n) return;
    const size_t size = byteBig32(p + at + 6 + nameLength);
    const size_t data = at + 6 + nameLength + 4;
    if (size > n - data) return;
    if (id == kIptcResource) readIptcRecords(p + data, size, meta);
    at = data + size + (size & 1);
  }
}

// ---------------------------------------------------------------- segments
void readSegment(unsigned marker, const std::vector<unsigned char>& payload, ImgPhotoMeta* meta) {
  const std::string_view bytes = asView(payload);
  if (marker == kApp1 && bytes.starts_with(std::string_view(reinterpret_cast<const char*>(kImgExifHeader), 6)))
    imgPhotoMetaReadExif(payload.data(), payload.size(), meta);
  else if (marker == kApp1 && bytes.starts_with(kXmpHeader))
    imgPhotoMetaReadXmp(bytes.substr(kXmpHeader.size()), meta);
  else if (marker == kApp13 && bytes.starts_with(kPhotoshopHeader))
    readPhotoshop(payload.data() + kPhotoshopHeader.size(), payload.size() - kPhotoshopHeader.size(), meta);
}

ImgPhotoMeta scan(Source& in) {
  ImgPhotoMeta meta;
  unsigned char soi[2];
  if (!in.read(soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return meta;
  size_t budget = kImgMetaReadLimit;
  bool exifSeen = false, xmpSeen = false, iptcSeen = false;
  for (int segment = 0; segment < kImgMetaSegments; ++segment) {
    unsigned char head[4];
    if (!in.read(head, 4) || head[0] != 0xFF) break;
    const unsigned marker = head[1];
    // Frames, scans and the end: no metadata comes after them that we read.
    if ((marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) ||
        marker == 0xDA || marker == 0xD9)
      break;
    const size_t length = byteBig16(head + 2);
    if (length < 2) break;
    const size_t size = length - 2;
    if ((marker != kApp1 && marker != kApp13) || size > budget) {
      if (!in.skip(size)) break;
      continue;
    }
    budget -= size;
    // The first of each kind counts, as readers commonly take it; segments
    // of other kinds (extended XMP, ICC profiles) are passed over. Their
    // kind is told by their first bytes, so the rest of a segment passed
    // over is skipped, not read.
    std::vector<unsigned char> payload(std::min(size, kXmpHeader.size()));
    if (!in.read(payload.data(), payload.size())) break;
    const std::string_view bytes = asView(payload);
    bool* seen = nullptr;
    if (marker == kApp13)
      seen = &iptcSeen;
    else if (bytes.starts_with(kXmpHeader))
      seen = &xmpSeen;
    else if (bytes.starts_with(std::string_view(reinterpret_cast<const char*>(kImgExifHeader), 6)))
      seen = &exifSeen;
    if (!seen || *seen) {
      if (!in.skip(size - payload.size())) break;
      continue;
    }
    const size_t kind = payload.size();
    payload.resize(size);
    if (!in.read(payload.data() + kind, size - kind)) break;
    *seen = true;
    readSegment(marker, payload, &meta);
  }
  return meta;
}

}  // namespace

ImgPhotoMeta imgPhotoMetaRead(const char* path) {
  FileHandle file = fileOpen(path, "rb");
  if (!file) return {};
  FileSource in(file.get());
  return scan(in);
}

ImgPhotoMeta imgPhotoMetaParse(const unsigned char* data, size_t size) {
  MemorySource in(data, size);
  return scan(in);
}

void imgPhotoMetaReadExif(const unsigned char* data, size_t size, ImgPhotoMeta* meta) {
  const bool headed = size >= sizeof kImgExifHeader && memcmp(data, kImgExifHeader, sizeof kImgExifHeader) == 0;
  meta->exif = headed ? imgExifReadFacts(data, size) : imgExifTiffReadFacts(data, size);
}

void imgPhotoMetaReadXmp(std::string_view packet, ImgPhotoMeta* meta) {
  meta->xmpTitle = xmpProperty(packet, "title");
  meta->xmpDescription = xmpProperty(packet, "description");
}

bool ImgMetaBudget::take(uint64_t n) {
  if (n > left_) return false;
  left_ -= static_cast<size_t>(n);
  return true;
}

bool ImgMetaBudget::read(FILE* file, uint64_t length, std::vector<unsigned char>* out) {
  // A claim is checked against what the file holds before anything is allocated.
  struct stat st;
  const off_t at = ftello(file);
  if (at < 0 || fstat(fileno(file), &st) != 0 || at > st.st_size ||
      length > static_cast<uint64_t>(st.st_size - at) || !take(length))
    return false;
  out->resize(length);
  return fread(out->data(), 1, out->size(), file) == out->size();
}
