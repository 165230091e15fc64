// Shared helpers of the tests: temporary trees, file contents, pictures made
// on the spot, and runs of the real binary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct jpeg_compress_struct;

namespace testsupport {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Creates the parent directories of path as needed, then the file.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);  // "" when missing
bool fileExists(const std::string& path);
void makeDirs(const std::string& path);
// Sets the modification time to now + offsetSeconds.
void touch(const std::string& path, long offsetSeconds);

// A baseline JPEG of width x height at quality 90 with a deterministic colour
// pattern (seed varies it); greyscale when components is 1.
void makeJpeg(const std::string& path, int width, int height, int seed = 0, int components = 3);
// Decodes a JPEG with libjpeg: RGB bytes, row by row; width/height out.
std::vector<unsigned char> decodeJpeg(const std::string& path, int* width, int* height);

// How writeJpeg encodes a picture. The defaults give makeJpeg's file: a
// baseline JFIF JPEG at quality 90 with its colour pattern.
struct JpegParams {
  int width = 0, height = 0;
  int components = 3;  // 1 greyscale, 3 RGB, 4 CMYK
  int quality = 90;
  int seed = 0;  // varies makeJpeg's pattern
  // Sample k of pixel (x, y), kept modulo 256; empty: makeJpeg's pattern.
  std::function<int(int x, int y, int k)> sample{};
  std::string app1{};  // written as an APP1 segment when not empty
  bool jfif = true;  // false: no JFIF segment (as cameras write Exif files)
  // Last changes to the settings, after the defaults, before compressing.
  std::function<void(jpeg_compress_struct*)> tune{};
};
// Writes the JPEG params describe at path, creating parent directories.
void writeJpeg(const std::string& path, const JpegParams& params);
// An Exif APP1 payload whose one IFD0 entry is the orientation tag.
std::string exifOrientationSegment(int orientation, bool bigEndian);

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Size& s);
// The decoded size of a JPEG (see decodeJpeg).
Size jpegSize(const std::string& path);

// A palette GIF of width x height made with gd.
void makeGif(const std::string& path, int width, int height, int seed = 0);

// What write puts into the stream it is given, as bytes.
std::string streamText(const std::function<void(FILE*)>& write);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output
  std::string err;  // standard error
  long peakKiB = 0;  // the largest resident set the run had
};

// Runs the quorvel binary with args (no shell) in directory cwd.
RunResult runQuorvel(const std::vector<std::string>& args, const std::string& cwd);
// The same as an ordinary user: run as root, the child drops to nobody, for
// whom a directory of mode 000 is unreadable as it is for anyone else.
RunResult runQuorvelUnprivileged(const std::vector<std::string>& args, const std::string& cwd);
// The same after childSetup has run in the child, just before the binary
// starts with its output captured (a resource limit, a closed descriptor).
RunResult runQuorvelPrepared(const std::vector<std::string>& args, const std::string& cwd,
                             const std::function<void()>& childSetup);

// How many entries under root have ".quorvel-tmp" in their name: the files
// a run writes aside before it renames them.
int countTemporaries(const std::string& root);

// The lines of a run's output that name a micro picture (".vi.jpg"), in order.
std::vector<std::string> microLines(const std::string& out);

// The names of a packed name list (NameList), in order.
std::vector<std::string> readNames(const char* names);

// ISO boxes (HEIF, AVIF) made by hand: value in bytes big-endian bytes; a box
// of type around body; a full box, its version and no flags first.
std::string big(uint32_t value, int bytes);
std::string box(const char* type, const std::string& body);
std::string fullBox(const char* type, const std::string& body, int version = 0);

}  // namespace testsupport
