// What a picture says of itself, as its pages show it with -exif: one line of
// facts (date taken, camera, lens, exposure) and a caption from its own
// title and description. Walk thread only. The texts come from the picture,
// so from anyone: they are made page text here (&, <, > and " escaped, for
// htmlWriteText to write with the one UTF-8 rule), never markup, and no
// location is ever read.
#pragma once

#include <string>

#include "img/photo_meta.h"

struct PhotoFacts {
  std::string line;   // "25.12.2005 14:03 &#183; Canon EOS 5D &#183; 1/250 s, f/2.8, ISO 100, 35 mm"; "" when nothing
  std::string title;  // within kCaptionTitleSize - 1 bytes of source text; "" when none
  std::string text;   // the title and the description, within kCaptionTextSize - 1; "" when none
};

// The facts of meta as page text.
PhotoFacts photoFacts(const ImgPhotoMeta& meta);

// True when text is a camera's stock description rather than the user's
// ("OLYMPUS DIGITAL CAMERA", "SONY DSC", only spaces, and the like).
bool photoIsBoilerplate(const std::string& text);
