// The photo-metadata reader over any leading bytes: never outside the data,
// every text within its limit, and the page text made of it never markup.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "album/photo_facts.h"
#include "base/limits.h"
#include "img/photo_meta.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ImgPhotoMeta meta = imgPhotoMetaParse(data, size);
  for (const std::string* text : {&meta.xmpTitle, &meta.xmpDescription, &meta.iptcTitle, &meta.iptcCaption,
                                  &meta.exif.description, &meta.exif.make, &meta.exif.model, &meta.exif.lens})
    if (text->size() > kImgMetaTextLimit) abort();
  const PhotoFacts facts = photoFacts(meta);
  for (const std::string* text : {&facts.line, &facts.title, &facts.text})
    if (text->find('<') != std::string::npos || text->find('"') != std::string::npos) abort();
  return 0;
}
