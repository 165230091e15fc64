// An ICC profile (version 4, a matrix and a curve) made from a colour
// description's primaries and transfer code, as HEIF and AVIF files state
// them, so that a browser shows the derived pictures in the source's colours.
#pragma once

#include <string>

// Chromaticities (CIE xy) of the red, green and blue primaries and the white.
struct ImgPrimaries {
  double redX, redY, greenX, greenY, blueX, blueY, whiteX, whiteY;
};

// The profile's bytes for those primaries and transfer (ITU-T H.273 codes:
// 1, 2, 6, 13, 14, 15 take sRGB's curve, 4 and 5 gamma 2.2 and 2.8, 8 is
// linear); empty for a transfer a curve can't stand for (PQ, HLG, log) or
// primaries that make no matrix.
std::string imgIccFromPrimaries(const ImgPrimaries& primaries, int transfer);
