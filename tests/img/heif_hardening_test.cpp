// HEIF and AVIF files that try the decoder: a file read through the handle
// quorvel checked, never opened by name again; claims the coded bytes don't
// back refused or counted; the codecs' own lines handed back with their
// picture instead of written on standard error from a worker.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "img/heif_codec.h"
#include "support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

void sh(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

using testsupport::big;
using testsupport::box;
using testsupport::fullBox;

// The first whole box of the given type in file, found by its type's bytes.
std::string boxOf(const std::string& file, const char* type) {
  const size_t at = file.find(type);
  if (at == std::string::npos || at < 4) return "";
  const uint32_t size = static_cast<unsigned char>(file[at - 4]) << 24 | static_cast<unsigned char>(file[at - 3]) << 16 |
                        static_cast<unsigned char>(file[at - 2]) << 8 | static_cast<unsigned char>(file[at - 1]);
  return file.substr(at - 4, size);
}

// A grid of columns x rows tiles of heif-enc's single picture tile (its
// hvcC and its coded bytes, the file's mdat), each tile item placed once,
// or one item placed everywhere when repeat; every item's data in idat.
std::string gridOf(const std::string& tile, int columns, int rows, int side, bool repeat) {
  const std::string hvcc = boxOf(tile, "hvcC"), coded = boxOf(tile, "mdat").substr(8);
  const int items = repeat ? 1 : columns * rows;
  const std::string grid = big(0, 1) + big(1, 1) + big(rows - 1, 1) + big(columns - 1, 1) + big(columns * side, 4) +
                           big(rows * side, 4);
  std::string infe = fullBox("infe", big(1, 2) + big(0, 2) + "grid" + '\0', 2), dimg;
  std::string iloc = big(1, 2) + big(1, 2) + big(0, 2) + big(1, 2) + big(0, 4) + big(grid.size(), 4);
  std::string ipma = big(1, 2) + big(1, 1) + "\x81";
  for (int i = 0; i < items; ++i) {
    infe += fullBox("infe", big(2 + i, 2) + big(0, 2) + "hvc1" + '\0', 2);
    iloc += big(2 + i, 2) + big(1, 2) + big(0, 2) + big(1, 2) + big(grid.size(), 4) + big(coded.size(), 4);
    ipma += big(2 + i, 2) + big(2, 1) + "\x82\x83";
  }
  for (int i = 0; i < columns * rows; ++i) dimg += big(2 + (repeat ? 0 : i), 2);
  const std::string ipco = fullBox("ispe", big(columns * side, 4) + big(rows * side, 4)) + hvcc +
                           fullBox("ispe", big(side, 4) + big(side, 4));
  const std::string meta =
      fullBox("hdlr", big(0, 4) + "pict" + std::string(13, '\0')) + fullBox("pitm", big(1, 2)) +
      fullBox("iinf", big(1 + items, 2) + infe) + fullBox("iloc", "\x44" + big(0, 1) + big(1 + items, 2) + iloc, 1) +
      box("idat", grid + coded) + fullBox("iref", box("dimg", big(1, 2) + big(columns * rows, 2) + dimg)) +
      box("iprp", box("ipco", ipco) + fullBox("ipma", big(1 + items, 4) + ipma));
  return box("ftyp", "heic" + big(0, 4) + "mif1heic") + fullBox("meta", meta);
}

// The opens of path that its inotify watch has seen since the last call
// (the watch takes the closes too: two opens in a row would be told as one).
int opensSeen(int watch) {
  char events[4096];
  int opens = 0;
  for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
    for (char* p = events; p < events + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
      opens += (reinterpret_cast<inotify_event*>(p)->mask & IN_OPEN) != 0;
  return opens;
}

// The library reads the stream quorvel opened and checked: a file swapped
// for a FIFO or a device after the check cannot be opened by name again.
// The file is opened once by a header read and once by a decode.
TEST(HeifHardening, TheCheckedStreamIsTheOnlyOpen) {
  TempDir t;
  testsupport::makeJpeg(t / "base.jpg", 96, 64, 3);
  sh("heif-enc -q 50 " + t / "base.jpg" + " -o " + t / "shot.heic >/dev/null");
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, (t / "shot.heic").c_str(), IN_OPEN | IN_CLOSE_NOWRITE), 0);
  ImgHeaderInfo header;
  ImgDecoded out;
  ASSERT_EQ(imgHeifReadHeader((t / "shot.heic").c_str(), &header, &out), IMG_OK) << out.why;
  EXPECT_EQ(opensSeen(watch), 1);
  OwnedImg img;
  ASSERT_EQ(imgHeifDecode(&img.img, (t / "shot.heic").c_str(), {}, &out), IMG_OK) << out.why;
  EXPECT_EQ(img.img.width, 96);
  EXPECT_EQ(opensSeen(watch), 1);
  close(watch);
}

// The ispe of wide (in file) said to be 64 x 32.
std::string understated(const std::string& file) {
  std::string bytes = readFile(file);
  const size_t ispe = bytes.find("ispe");
  if (ispe != std::string::npos) bytes.replace(ispe + 8, 8, big(64, 4) + big(32, 4));
  return bytes;
}

// A grid placing one tile everywhere claims a canvas its bytes don't hold,
// and costs a decode of that tile for each place: refused before decoding,
// unlike the same grid of tiles of their own. A coded HEVC picture larger
// than its ispe is what the codec allocates: the header's held counts it.
// An AV1 frame past the size told is refused by the decoder itself.
TEST(HeifHardening, SizesTheBytesDontBackAreRefusedOrCounted) {
  TempDir t;
  testsupport::makeJpeg(t / "tile.jpg", 64, 64, 1);
  testsupport::makeJpeg(t / "wide.jpg", 512, 256, 2);
  sh("cd " + t.path() + " && heif-enc -q 50 tile.jpg -o tile.heic >/dev/null && heif-enc -q 50 wide.jpg -o wide.heic >/dev/null"
     " && convert wide.jpg wide.png && avifenc -s 10 wide.png wide.avif >/dev/null");
  const std::string tile = readFile(t / "tile.heic");
  writeFile(t / "repeated.heic", gridOf(tile, 3, 2, 64, true));
  writeFile(t / "distinct.heic", gridOf(tile, 3, 2, 64, false));
  OwnedImg img;
  ImgDecoded out;
  EXPECT_EQ(imgHeifDecode(&img.img, (t / "repeated.heic").c_str(), {}, &out), IMG_DECODE_DAMAGED);
  EXPECT_EQ(out.why, "grid repeats a tile");
  ASSERT_EQ(imgHeifDecode(&img.img, (t / "distinct.heic").c_str(), {}, &out), IMG_OK) << out.why;
  EXPECT_EQ(img.img.width, 192);
  EXPECT_EQ(img.img.height, 128);

  writeFile(t / "understated.heic", understated(t / "wide.heic"));
  ImgHeaderInfo header;
  ASSERT_EQ(imgHeifReadHeader((t / "understated.heic").c_str(), &header, &out), IMG_OK) << out.why;
  EXPECT_EQ(header.width, 64);
  ImgHeaderInfo whole;
  ASSERT_EQ(imgHeifReadHeader((t / "wide.heic").c_str(), &whole, &out), IMG_OK) << out.why;
  EXPECT_EQ(header.held, whole.held);
  EXPECT_EQ(imgHeifDecode(&img.img, (t / "understated.heic").c_str(), {}, &out), IMG_DECODE_DAMAGED);

  writeFile(t / "understated.avif", understated(t / "wide.avif"));
  out = {};
  EXPECT_EQ(imgHeifDecode(&img.img, (t / "understated.avif").c_str(), {}, &out), IMG_DECODE_DAMAGED);
  EXPECT_EQ(out.libraryText, "Frame size 512x256 exceeds limit 2048\n");
}

// dav1d prints a damaged AV1 stream's fault itself: decoded on a worker,
// the line comes back in the picture's libraryText, for the walk to write
// at the picture's turn, and nothing reaches standard error.
TEST(HeifHardening, AnAv1DecodersLineComesWithItsPicture) {
  TempDir t;
  testsupport::makeJpeg(t / "base.jpg", 96, 64, 4);
  sh("cd " + t.path() + " && convert base.jpg base.png && avifenc -s 8 base.png shot.avif >/dev/null");
  std::string avif = readFile(t / "shot.avif");
  // The mdat's OBUs: a temporal delimiter and the sequence header (each with
  // its size in one byte), then the frame, made an OBU of reserved type 0.
  size_t obu = avif.find("mdat") + 4;
  for (int skipped = 0; skipped < 2; ++skipped) obu += 2 + static_cast<unsigned char>(avif[obu + 1]);
  ASSERT_EQ(avif[obu] & 0x78, 6 << 3);  // OBU_FRAME
  avif[obu] = 0x02;
  writeFile(t / "damaged.avif", avif);

  ImgDecoded out;
  ImgStatus status = IMG_OK;
  OwnedImg img;
  testing::internal::CaptureStderr();
  std::thread([&] { status = imgHeifDecode(&img.img, (t / "damaged.avif").c_str(), {}, &out); }).join();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(status, IMG_DECODE_DAMAGED);
  EXPECT_NE(out.libraryText.find("Unknown OBU type 0 of size"), std::string::npos) << out.libraryText;
  EXPECT_EQ(out.libraryText.back(), '\n');
}

}  // namespace
