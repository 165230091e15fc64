// Fixed fields of binary files: unsigned integers in either byte order and
// the signatures files are known by. Every reader of a file format takes its
// fields from here, so that each rule is written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The unsigned integer in the first 2, 3 or 4 bytes at p, most significant
// byte first (big) or last (little). REQUIRES: p holds that many bytes.
inline uint32_t byteBig16(const unsigned char* p) { return (uint32_t{p[0]} << 8) | p[1]; }
inline uint32_t byteBig32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
inline uint32_t byteLittle16(const unsigned char* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
inline uint32_t byteLittle24(const unsigned char* p) { return byteLittle16(p) | (uint32_t{p[2]} << 16); }
inline uint32_t byteLittle32(const unsigned char* p) { return byteLittle24(p) | (uint32_t{p[3]} << 24); }

// A 16- or 32-bit field in the byte order a TIFF structure names.
inline uint32_t byteOrdered16(const unsigned char* p, bool bigEndian) {
  return bigEndian ? byteBig16(p) : byteLittle16(p);
}
inline uint32_t byteOrdered32(const unsigned char* p, bool bigEndian) {
  return bigEndian ? byteBig32(p) : byteLittle32(p);
}

// The eight bytes every PNG file starts with.
inline constexpr unsigned char kBytePngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// True when the length bytes at p start as a PNG file does.
inline bool byteIsPng(const unsigned char* p, size_t length) {
  return length >= sizeof kBytePngSignature && memcmp(p, kBytePngSignature, sizeof kBytePngSignature) == 0;
}

// True when the length bytes at p start with "GIF87a" or "GIF89a".
inline bool byteIsGif(const unsigned char* p, size_t length) {
  return length >= 6 && (memcmp(p, "GIF87a", 6) == 0 || memcmp(p, "GIF89a", 6) == 0);
}
