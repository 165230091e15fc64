// The added formats, side by side: the three derived pictures of a photo
// against its library's own full-size decode of the same file, both on one
// core, counting every thread of the process (libheif decodes on several).
// The photos come from QUORVEL_FORMAT_PHOTOS (scripts/bench.sh makes
// photo.png, photo.webp, photo.heic and photo.avif there from a 12 MP photo).
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "album/derived_pictures.h"
#include "base/malloc_policy.h"
#include "base/settings.h"
#include "img/format_libraries.h"
#include "library_names.h"
#include "util/file_handle.h"

namespace {

// Before main and its threads: quorvel's own allocator policy, so that both
// sides are measured as quorvel runs them.
[[maybe_unused]] const bool kPolicy = (mallocPolicyApply(), true);

std::string photo(const char* name) {
  const char* dir = getenv("QUORVEL_FORMAT_PHOTOS");
  return std::string(dir ? dir : ".") + "/" + name;
}

std::vector<unsigned char> bytesOf(const std::string& path) {
  std::vector<unsigned char> bytes;
  FileHandle file = fileOpenRead(path.c_str());
  unsigned char block[1 << 16];
  size_t got;
  while (file && (got = fread(block, 1, sizeof block, file.get())) > 0) bytes.insert(bytes.end(), block, block + got);
  return bytes;
}

// libpng's rows, expanded to 8-bit RGB(A), one at a time.
bool decodePng(const std::string& path) {
  const PngLibrary* lib = pngLibrary();
  FileHandle file = fileOpenRead(path.c_str());
  png_structp png = lib->createReadStruct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = lib->createInfoStruct(png);
  lib->initIo(png, file.get());
  lib->readInfo(png, info);
  lib->setExpand(png);
  lib->setScale16(png);
  const int passes = lib->setInterlaceHandling(png);
  lib->readUpdateInfo(png, info);
  png_uint_32 w, h;
  int depth, type, interlace;
  lib->getIHDR(png, info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
  std::vector<unsigned char> rows(lib->getRowbytes(png, info) * (passes > 1 ? h : 1));
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < h; ++y) lib->readRow(png, rows.data() + (passes > 1 ? y * lib->getRowbytes(png, info) : 0), nullptr);
  lib->destroyReadStruct(&png, &info, nullptr);
  return true;
}

bool decodeWebp(const std::string& path) {
  const WebpLibrary* lib = webpLibrary();
  const std::vector<unsigned char> bytes = bytesOf(path);
  WebPDecoderConfig config;
  lib->initDecoderConfig(&config, WEBP_DECODER_ABI_VERSION);
  config.output.colorspace = MODE_RGB;
  const bool ok = lib->decode(bytes.data(), bytes.size(), &config) == VP8_STATUS_OK;
  lib->freeDecBuffer(&config.output);
  return ok;
}

// libheif's own read by name: quorvel reads through the handle it checked,
// the library alone opens the file itself.
decltype(&heif_context_read_from_file) heifReadFromFile() {
  heifLibrary();  // loaded, so that the handle below is only looked up
  static void* const library = dlopen(kHeifSoname, RTLD_NOW | RTLD_NOLOAD);
  return library ? reinterpret_cast<decltype(&heif_context_read_from_file)>(dlsym(library, "heif_context_read_from_file"))
                 : nullptr;
}

bool decodeHeif(const std::string& path) {
  const HeifLibrary* lib = heifLibrary();
  const auto readFromFile = heifReadFromFile();
  if (!readFromFile) return false;
  heif_context* context = lib->contextAlloc();
  heif_image_handle* handle = nullptr;
  heif_image* image = nullptr;
  bool ok = readFromFile(context, path.c_str(), nullptr).code == heif_error_Ok &&
            lib->primaryImageHandle(context, &handle).code == heif_error_Ok &&
            lib->decodeImage(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
                heif_error_Ok;
  if (image) lib->imageRelease(image);
  if (handle) lib->handleRelease(handle);
  lib->contextFree(context);
  return ok;
}

void libraryDecode(benchmark::State& state, const char* name, bool (*decode)(const std::string&)) {
  const std::string path = photo(name);
  for (auto _ : state)
    if (!decode(path)) state.SkipWithError("decode failed");
}

void derived(benchmark::State& state, const char* name, ImgFormat format) {
  const std::string path = photo(name);
  const std::string base = path.substr(0, path.rfind('.'));
  PictureNames names;  // without -hidpi's, which stay empty
  names.micro = base + ".vi.jpg";
  names.rollover = base + ".vr.jpg";
  names.medium = base + ".md.jpg";
  for (auto _ : state)
    if (derivedMake(path.c_str(), format, true, names).outcome != DerivedOutcome::Made) state.SkipWithError("failed");
}

BENCHMARK_CAPTURE(libraryDecode, png, "photo.png", decodePng)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(derived, png, "photo.png", ImgFormat::Png)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(libraryDecode, webp, "photo.webp", decodeWebp)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(derived, webp, "photo.webp", ImgFormat::Webp)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(libraryDecode, heic, "photo.heic", decodeHeif)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(derived, heic, "photo.heic", ImgFormat::Heif)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(libraryDecode, avif, "photo.avif", decodeHeif)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(derived, avif, "photo.avif", ImgFormat::Avif)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
