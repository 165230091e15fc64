#include "support/test_support.h"

#include <fcntl.h>
#include <gd.h>
#include <grp.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "util/str_list.h"

namespace testsupport {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/quorvel-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave unreadable directories behind; make them removable.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
  }
  chmod(path_.c_str(), 0755);
  std::filesystem::remove_all(path_, ec);
}

void makeDirs(const std::string& path) { std::filesystem::create_directories(path); }

void writeFile(const std::string& path, const std::string& bytes) {
  auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool fileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void touch(const std::string& path, long offsetSeconds) {
  struct utimbuf times;
  times.actime = times.modtime = time(nullptr) + offsetSeconds;
  utime(path.c_str(), &times);
}

void writeJpeg(const std::string& path, const JpegParams& params) {
  auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path);
  const int width = params.width, height = params.height, components = params.components;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, params.quality, TRUE);
  if (!params.jfif) c.write_JFIF_header = FALSE;
  if (params.tune) params.tune(&c);
  jpeg_start_compress(&c, TRUE);
  if (!params.app1.empty())
    jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(params.app1.data()),
                      static_cast<unsigned>(params.app1.size()));
  const auto pattern = [&](int x, int y, int k) {
    return x * (k + 1) * 255 / (width > 1 ? width - 1 : 1) +
           y * (3 - k) * 255 / (height > 1 ? height - 1 : 1) + params.seed * 37;
  };
  std::vector<unsigned char> row(static_cast<size_t>(width) * components);
  while (c.next_scanline < c.image_height) {
    const int y = static_cast<int>(c.next_scanline);
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < components; ++k)
        row[static_cast<size_t>(x) * components + k] =
            static_cast<unsigned char>(params.sample ? params.sample(x, y, k) : pattern(x, y, k));
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(f);
}

void makeJpeg(const std::string& path, int width, int height, int seed, int components) {
  writeJpeg(path, {.width = width, .height = height, .components = components, .seed = seed});
}

std::string exifOrientationSegment(int orientation, bool bigEndian) {
  // TIFF header with IFD0 at 8, one entry: Orientation, SHORT, count 1, then
  // the value field (the SHORT first) and no next directory.
  const char* body = bigEndian ? "MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01"
                               : "II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0";
  std::string exif = std::string("Exif\0\0", 6) + std::string(body, 18);
  const char value = static_cast<char>(orientation);
  exif += bigEndian ? std::string{'\0', value} : std::string{value, '\0'};
  exif.append(6, '\0');
  return exif;
}

std::ostream& operator<<(std::ostream& os, const Size& s) {
  return os << s.width << "x" << s.height;
}

Size jpegSize(const std::string& path) {
  Size s;
  decodeJpeg(path, &s.width, &s.height);
  return s;
}

std::vector<unsigned char> decodeJpeg(const std::string& path, int* width, int* height) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot open " + path);
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_stdio_src(&d, f);
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  *width = static_cast<int>(d.output_width);
  *height = static_cast<int>(d.output_height);
  std::vector<unsigned char> pixels(static_cast<size_t>(*width) * *height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = pixels.data() + static_cast<size_t>(d.output_scanline) * *width * 3;
    jpeg_read_scanlines(&d, &r, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  fclose(f);
  return pixels;
}

void makeGif(const std::string& path, int width, int height, int seed) {
  auto parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  gdImagePtr im = gdImageCreate(width, height);
  int colors[8];
  for (int i = 0; i < 8; ++i)
    colors[i] = gdImageColorAllocate(im, (i * 32 + seed) & 0xff, (255 - i * 30) & 0xff, (i * 70) & 0xff);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) gdImageSetPixel(im, x, y, colors[(x / 8 + y / 8 + seed) % 8]);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path);
  gdImageGif(im, f);
  fclose(f);
  gdImageDestroy(im);
}

std::string streamText(const std::function<void(FILE*)>& write) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* out = open_memstream(&buf, &len);
  write(out);
  fclose(out);
  std::string s(buf, len);
  free(buf);
  return s;
}

namespace {
std::string slurpFd(int fd) {
  std::string s;
  lseek(fd, 0, SEEK_SET);
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}

RunResult runBinary(const std::vector<std::string>& args, const std::string& cwd,
                    const std::function<void()>& childSetup) {
  FILE* outFile = tmpfile();
  FILE* errFile = tmpfile();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(outFile), 1);
    dup2(fileno(errFile), 2);
    if (childSetup) childSetup();
    if (chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(QUORVEL_BINARY));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QUORVEL_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  wait4(pid, &status, 0, &usage);
  RunResult r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.peakKiB = usage.ru_maxrss;
  r.out = slurpFd(fileno(outFile));
  r.err = slurpFd(fileno(errFile));
  fclose(outFile);
  fclose(errFile);
  return r;
}
}  // namespace

RunResult runQuorvel(const std::vector<std::string>& args, const std::string& cwd) {
  return runBinary(args, cwd, nullptr);
}

RunResult runQuorvelPrepared(const std::vector<std::string>& args, const std::string& cwd,
                             const std::function<void()>& childSetup) {
  return runBinary(args, cwd, childSetup);
}

RunResult runQuorvelUnprivileged(const std::vector<std::string>& args, const std::string& cwd) {
  return runBinary(args, cwd, [] {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(125);
  });
}

int countTemporaries(const std::string& root) {
  int n = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.path().filename().string().find(".quorvel-tmp") != std::string::npos) ++n;
  return n;
}

std::vector<std::string> microLines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (line.size() > 7 && line.ends_with(".vi.jpg")) lines.push_back(line);
  return lines;
}

std::vector<std::string> readNames(const char* names) {
  std::vector<std::string> out;
  for (const char* name : strListEach(names)) out.emplace_back(name);
  return out;
}

std::string big(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
  return out;
}

std::string box(const char* type, const std::string& body) { return big(8 + body.size(), 4) + type + body; }

std::string fullBox(const char* type, const std::string& body, int version) {
  return box(type, big(version << 24, 4) + body);
}

}  // namespace testsupport
