// Stored rows to the upright picture, whole or reduced as they come.
#include "img/upright_rows.h"

#include <cstdint>
#include <cstring>

#include "img/resize.h"

ImgRowWalk imgOrientationRowWalk(int orientation, int w, int h, int y) {
  switch (orientation) {
    case 2: return {w - 1, -1, y, 0};          // mirrored left-right
    case 3: return {w - 1, -1, h - 1 - y, 0};  // turned half round
    case 4: return {0, 1, h - 1 - y, 0};       // mirrored top-bottom
    case 5: return {y, 0, 0, 1};               // transposed
    case 6: return {h - 1 - y, 0, 0, 1};       // turned a quarter clockwise
    case 7: return {h - 1 - y, 0, w - 1, -1};  // transversed
    case 8: return {y, 0, w - 1, -1};          // turned a quarter anticlockwise
    default: return {0, 1, y, 0};
  }
}

ImgLineOrder imgOrientationLineOrder(int orientation) {
  switch (orientation) {
    case 2: return {false, false, true};
    case 3: return {false, true, true};
    case 4: return {false, true, false};
    case 5: return {true, false, false};
    case 6: return {true, true, false};
    case 7: return {true, true, true};
    case 8: return {true, false, true};
    default: return {false, false, false};
  }
}

namespace {

unsigned char rounded(unsigned value, unsigned maxValue) {
  return static_cast<unsigned char>((value * 255u + maxValue / 2) / maxValue);
}

// RGB(A) samples of one row to RGB, alpha laid over white.
void toRgb(const void* row, int channels, int maxValue, int width, unsigned char* out) {
  const auto* bytes = static_cast<const unsigned char*>(row);
  const auto* words = static_cast<const uint16_t*>(row);
  const unsigned top = static_cast<unsigned>(maxValue);
  for (int x = 0; x < width; ++x) {
    unsigned c[4] = {0, 0, 0, 255};
    for (int i = 0; i < channels; ++i) {
      const size_t at = static_cast<size_t>(x) * channels + i;
      c[i] = top > 255 ? rounded(words[at], top) : bytes[at];
    }
    if (channels == 4) {
      const unsigned a = c[3];
      for (int i = 0; i < 3; ++i) c[i] = (c[i] * a + 255u * (255u - a) + 127u) / 255u;
    }
    out[3 * x] = static_cast<unsigned char>(c[0]);
    out[3 * x + 1] = static_cast<unsigned char>(c[1]);
    out[3 * x + 2] = static_cast<unsigned char>(c[2]);
  }
}

}  // namespace

ImgStatus ImgUprightRows::begin(Img* dst, int storedWidth, int storedHeight, int orientation, bool fit,
                                int fitWidth, int fitHeight, bool enlarge) {
  dst_ = target_ = dst;
  width_ = storedWidth;
  height_ = storedHeight;
  orientation_ = orientation;
  fitWidth_ = fitWidth;
  fitHeight_ = fitHeight;
  line_.resize(static_cast<size_t>(storedWidth) * 3);
  const bool swap = imgOrientationSwapsSides(orientation);
  const int uprightWidth = swap ? storedHeight : storedWidth;
  const int uprightHeight = swap ? storedWidth : storedHeight;
  int w, h;
  if (fit && imgFitSize(uprightWidth, uprightHeight, fitWidth, fitHeight, false, &w, &h) == IMG_OK &&
      w <= uprightWidth && h <= uprightHeight) {
    streamed_ = true;
    return stream_.begin(dst, w, h, uprightWidth, uprightHeight, imgOrientationLineOrder(orientation));
  }
  if (fit && enlarge) target_ = &whole_.img;
  return imgCreate(target_, uprightWidth, uprightHeight);
}

void ImgUprightRows::put(const void* row, int channels, int maxValue) {
  if (y_ >= height_) return;
  const unsigned char* rgb = static_cast<const unsigned char*>(row);
  if (channels != 3 || maxValue != 255) {
    toRgb(row, channels, maxValue, width_, line_.data());
    rgb = line_.data();
  }
  if (streamed_) {
    stream_.feed(rgb);
  } else if (orientation_ == 1) {
    memcpy(target_->rows[y_], rgb, line_.size());
  } else {
    const ImgRowWalk walk = imgOrientationRowWalk(orientation_, width_, height_, y_);
    for (int x = 0; x < width_; ++x)
      memcpy(target_->rows[walk.row0 + x * walk.drow] + (walk.col0 + x * walk.dcol) * 3, rgb + 3 * x, 3);
  }
  ++y_;
}

void ImgUprightRows::putPair(const void* first, const void* second, int channels, int maxValue) {
  if (streamed_ && channels == 3 && maxValue == 255 && y_ + 1 < height_) {
    stream_.feedPair(static_cast<const unsigned char*>(first), static_cast<const unsigned char*>(second));
    y_ += 2;
    return;
  }
  put(first, channels, maxValue);
  put(second, channels, maxValue);
}

void ImgUprightRows::putRows(const void* rows, size_t stride, int count, int channels, int maxValue) {
  const auto* at = static_cast<const unsigned char*>(rows);
  int y = 0;
  for (; y + 1 < count; y += 2) putPair(at + stride * size_t(y), at + stride * size_t(y + 1), channels, maxValue);
  if (y < count) put(at + stride * size_t(y), channels, maxValue);
}

ImgStatus ImgUprightRows::finish() {
  if (target_ != &whole_.img) return IMG_OK;
  const ImgStatus fitted = imgResize(dst_, fitWidth_, fitHeight_, &whole_.img, false);
  whole_.release();
  target_ = dst_;
  return fitted;
}
