// The photo's own metadata as a HEIF or AVIF file keeps it: items of the
// meta box, an "Exif" item (a 4-byte offset, then the Exif block from that
// offset on) and a "mime" item of type application/rdf+xml (an XMP packet),
// each linked to the image it describes by a cdsc reference. Read by
// quorvel itself, from the meta box the header read holds already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "img/photo_meta.h"

// The Exif and XMP items that describe the primary item (else the first of
// each kind that describes no item at all) into meta, by the same readers
// as a JPEG's. body: the meta box's body (imgHeifReadMetaBody); file: the
// open file, read where iloc places the items (or their bytes taken from
// the meta box's idat), at most kImgMetaReadLimit bytes in all, each claim
// checked against the file's length before anything is allocated. Whatever
// is malformed leaves out what it holds, nothing else.
void imgHeifReadPhotoMeta(FILE* file, const unsigned char* body, size_t size, uint32_t primary, ImgPhotoMeta* meta);
