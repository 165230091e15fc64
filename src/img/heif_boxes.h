// The boxes of an ISO base media file as HEIF and AVIF keep them, read
// with every bound checked by the reader itself: a range of bytes, box
// headers, and the top-level meta box that holds the items' descriptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// A range of bytes that refuses a short read itself: a read past its end
// yields zeros and marks the range failed, and every later read fails too,
// so a caller checks ok() once after a group of reads. A box's body is a
// range of its own, carved out of its parent, which moves past the whole
// box; a body's failure stays with the body (a short property is skipped,
// not the file). The range does not own its bytes.
class ImgBoxRange {
 public:
  ImgBoxRange() = default;
  ImgBoxRange(const unsigned char* data, size_t size) : p_(data), end_(data + size) {}
  bool ok() const { return !failed_; }
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  // The bytes not read yet.
  const unsigned char* data() const { return p_; }
  // The next n bytes (at most 4) as a big-endian number.
  uint32_t read(int n) {
    if (!take(static_cast<size_t>(n))) return 0;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | *p_++;
    return v;
  }
  // A field of 0, 4 or 8 bytes, as iloc sizes its offsets and lengths; any
  // other size fails the range.
  uint64_t readSized(unsigned n) {
    if (n == 0) return 0;
    if (n == 4) return read(4);
    if (n != 8 || !take(8)) return fail();
    const uint64_t high = read(4);
    return (high << 32) | read(4);
  }
  // A NUL-ended string, its NUL read too; a string the range ends inside
  // fails it.
  std::string readString() {
    const void* nul = failed_ || left() == 0 ? nullptr : memchr(p_, 0, left());
    if (!nul) {
      fail();
      return {};
    }
    std::string text(reinterpret_cast<const char*>(p_), static_cast<const unsigned char*>(nul) - p_);
    p_ += text.size() + 1;
    return text;
  }
  void skip(size_t n) {
    if (take(n)) p_ += n;
  }
  // The next n bytes into out, a box's type (n of 4) above all.
  void copy(char* out, size_t n) {
    if (!take(n)) return;
    memcpy(out, p_, n);
    p_ += n;
  }
  // The next n bytes as a range of their own.
  ImgBoxRange carve(size_t n) {
    if (!take(n)) return {};
    ImgBoxRange body(p_, n);
    p_ += n;
    return body;
  }

 private:
  bool take(size_t n) {
    if (!failed_ && left() >= n) return true;
    fail();
    return false;
  }
  uint64_t fail() {
    failed_ = true;
    p_ = end_;
    return 0;
  }
  const unsigned char* p_ = nullptr;
  const unsigned char* end_ = nullptr;
  bool failed_ = false;
};

// A box's header: its size as stored (0: up to the end of what holds it),
// the header's own length (16 for a 64-bit size), and its type.
struct ImgBoxHeader {
  uint64_t size = 0;
  size_t length = 8;
  char type[5] = {};
};

// The one reading of a box header, for the file's top level and the meta
// box's contents alike; false when r ends first.
bool imgBoxReadHeader(ImgBoxRange& r, ImgBoxHeader* box);

// The next box of r: its header and a range over its body; false at the end
// of r or at a box that does not fit it.
bool imgBoxNext(ImgBoxRange& r, ImgBoxHeader* box, ImgBoxRange* body);

// The meta box's body, from the top-level boxes of file read from its
// position (ftyp first, meta usually second), at most 4 MB of it. An empty
// meta box is passed over. False when none is found.
bool imgHeifReadMetaBody(FILE* file, std::vector<unsigned char>* meta);

// The most pixels of any coded picture the meta box describes: each ispe
// property's, before any crop, and each hvcC property's, the width and
// height of the sequence parameter set it carries (before its conformance
// crop), which is what the codec allocates whatever ispe says. body: the
// meta box's body; 0 when neither is read.
uint64_t imgHeifLargestCodedPixels(const unsigned char* body, size_t size);
