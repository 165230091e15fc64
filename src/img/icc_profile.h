// ICC profiles: which of a source's profiles the derived pictures carry,
// the compact one a thumbnail carries instead of a large one, and the
// profile (version 4, a matrix and a curve) made from a colour description's
// primaries and transfer code, as HEIF and AVIF files state them, so that a
// browser shows the derived pictures in the source's colours.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Chromaticities (CIE xy) of the red, green and blue primaries and the white.
struct ImgPrimaries {
  double redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;
};

// The profile's bytes for those primaries and transfer (ITU-T H.273 codes:
// 1, 2, 6, 13, 14, 15 take sRGB's curve, 4 and 5 gamma 2.2 and 2.8, 8 is
// linear); empty for a transfer a curve can't stand for (PQ, HLG, log) or
// primaries that make no matrix.
std::string imgIccFromPrimaries(const ImgPrimaries& primaries, int transfer);

// The largest profile the derived pictures carry: a camera's or a screen's
// is a few hundred bytes to a few kilobytes, the largest tables some tens.
inline constexpr size_t kImgIccMaxBytes = 256 * 1024;

// The profile the derived pictures carry for a source's profile (its
// bytes as the file holds them, copied only when kept): the profile itself
// when it has a sound header (its signature, a size within the bytes, a tag
// table within that size), RGB colours, a class that describes colours for
// showing (display, input or colour space: not a device link, abstract,
// named or output one), and at most kImgIccMaxBytes. Otherwise empty, and
// the line of imgIccDropped is added to lines. No profile gives none,
// without a word.
std::string imgIccCarried(std::string_view profile, const char* path, std::string* lines);

// Adds to lines (the decode's messages, written at the picture's turn) the
// one line of a source's profile left out of its derived pictures:
//   *** quorvel: colour profile dropped "<path>" (<reason>)
void imgIccDropped(const char* path, const std::string& reason, std::string* lines);

// A thumbnail carries its source's profile as it is up to this size: a
// camera's or a screen's (sRGB's is 3144 bytes, Display P3's and Adobe
// RGB's about 550), so their thumbnails stay the bytes they were.
inline constexpr size_t kImgIccThumbnailBytes = 4096;

// The profile a thumbnail carries for a source carrying icc (as
// imgIccCarried gives it): icc up to kImgIccThumbnailBytes; past it, a compact profile
// of the same primaries and curves (the tables of a large one are kilobytes
// more than a 96-pixel picture), or none when icc holds no primaries and
// curves to make one from.
std::string imgIccForThumbnail(const std::string& icc);
