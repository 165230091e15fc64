// A video's poster frame.
#include "img/video_frame.h"

ImgStatus imgVideoReadHeader(const char*, ImgHeaderInfo*, ImgDecoded* out, ImgPhotoMeta*) {
  out->why = "not built yet";
  return IMG_DECODE_NO_LIBRARY;
}

ImgStatus imgVideoDecode(Img*, const char*, const ImgDecodeTarget&, ImgDecoded* out) {
  out->why = "not built yet";
  return IMG_DECODE_NO_LIBRARY;
}
