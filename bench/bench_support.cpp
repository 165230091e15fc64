#include "bench_support.h"

#include <jpeglib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

struct ScratchDir {
  std::string path;
  ScratchDir() {
    char tmpl[] = "/tmp/quorvel-bench-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    path = tmpl;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

const std::string& benchScratchDir() {
  static const ScratchDir dir;
  return dir.path;
}

void benchWriteJpeg(const std::string& path, int width, int height, int quality,
                    const std::function<void(int y, unsigned char* row)>& fill,
                    const std::string& app1) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) std::abort();
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  if (!app1.empty())
    jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1.data()),
                      static_cast<unsigned>(app1.size()));
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    fill(static_cast<int>(c.next_scanline), row.data());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
}
