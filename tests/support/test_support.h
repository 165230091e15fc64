// Shared helpers of the tests: temporary trees, file contents, pictures made
// on the spot, and runs of the real binary.
#pragma once

#include <string>
#include <vector>

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
// A palette GIF of width x height made with gd.
void makeGif(const std::string& path, int width, int height, int seed = 0);

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs the quorvel binary with args (no shell) in directory cwd.
RunResult runQuorvel(const std::vector<std::string>& args, const std::string& cwd);

}  // namespace testsupport
