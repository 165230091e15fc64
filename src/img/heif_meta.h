// The items of a HEIF or AVIF meta box that quorvel reads itself, from the
// meta box the header read holds already: the photo's own metadata, an
// "Exif" item (a 4-byte offset, then the Exif block from that offset on)
// and a "mime" item of type application/rdf+xml (an XMP packet), each linked
// to the image it describes by a cdsc reference; and the canvases of the
// images composed of others, overlays ("iovl") and grids ("grid"), which the
// library allocates whole whatever their ispe says.
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

// What the overlay and grid items of a meta box give as their canvas (their
// output size, from the item's data), as the library reads it.
struct ImgHeifCanvases {
  // The primary item is an overlay or a grid; its canvas, 0 x 0 when unread.
  bool primaryComposed = false;
  uint32_t primaryWidth = 0, primaryHeight = 0;
  // The most pixels of any overlay's or grid's canvas: the library composes
  // the primary image of others (tiles, inputs, alpha) that may be overlays
  // or grids in turn.
  uint64_t largestPixels = 0;
  // Some overlay or grid whose canvas was not read: not placed, malformed,
  // of an unknown layout, or past the number looked at.
  bool unread = false;
  // Some grid names one tile in more than one place: a canvas its bytes do
  // not hold, however large.
  bool repeatedTile = false;
};

// The canvases of the meta box's overlay and grid items into canvases, the
// same arguments as imgHeifReadPhotoMeta; at most a few bytes of each item
// are read.
void imgHeifReadCanvases(FILE* file, const unsigned char* body, size_t size, uint32_t primary,
                         ImgHeifCanvases* canvases);
