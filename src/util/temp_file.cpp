// Temporaries: unique names, stale-leftover removal, write-then-rename.
#include "util/temp_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <atomic>
#include <mutex>
#include <set>

#include "util/file_handle.h"
#include "util/test_hook.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr unsigned kAlphabetSize = sizeof kAlphabet - 1;

// Tries before create() gives up on EEXIST: a clash needs 62^10 bad luck,
// or someone planting names faster than we pick them.
constexpr int kCreateTries = 100;

// Every temporary this process has open (pages, lists, cv.html and derived
// pictures alike), removed when the run ends through exit() (error(), a
// library failure) without reaching their destructors. Never freed: it must
// outlive every destructor that runs at exit. Derived pictures are written
// on worker threads too: every use holds this lock.
std::mutex gLiveTempsLock;

std::set<std::string>& liveTemps() {
  static auto* temps = new std::set<std::string>;
  return *temps;
}

void removeLiveTemps() {
  const std::lock_guard<std::mutex> lock(gLiveTempsLock);
  for (const std::string& temp : liveTemps()) unlink(temp.c_str());
  liveTemps().clear();
}

// Registered before main, so that it runs after every exit handler that a
// run registers later: the picture pool's, which lets the workers finish
// their pictures (and their temporaries) first.
[[maybe_unused]] const bool gRemovesAtExit = atexit(removeLiveTemps) == 0;

void track(const std::string& temp) {
  const std::lock_guard<std::mutex> lock(gLiveTempsLock);
  liveTemps().insert(temp);
}

// Random bytes for names; only uniqueness matters (O_EXCL guarantees it),
// so a clock-and-counter fallback is enough when getrandom is unavailable.
void randomBytes(unsigned char* out, size_t n) {
  if (getrandom(out, n, GRND_NONBLOCK) == static_cast<ssize_t>(n)) return;
  static std::atomic<unsigned long> counter{0};
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned long seed = static_cast<unsigned long>(now.tv_nsec) ^
                       (static_cast<unsigned long>(getpid()) << 20) ^ (++counter << 40);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 6364136223846793005UL + 1442695040888963407UL;
    out[i] = static_cast<unsigned char>(seed >> 56);
  }
}

}  // namespace

std::string fileTempName(const std::string& finalPath) {
  const size_t slash = finalPath.rfind('/');
  std::string name = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
  name += kTempPrefix;
  unsigned char bytes[kTempRandomLength];
  randomBytes(bytes, sizeof bytes);
  for (unsigned char b : bytes) name += kAlphabet[b % kAlphabetSize];
  return name;
}

bool fileIsTempName(const char* name) {
  const size_t prefixLength = sizeof kTempPrefix - 1;
  if (strncmp(name, kTempPrefix, prefixLength) != 0) return false;
  const char* tail = name + prefixLength;
  return strlen(tail) == kTempRandomLength && strspn(tail, kAlphabet) == kTempRandomLength;
}

void fileRemoveStaleTemp(const char* path) {
  struct stat st;
  if (lstat(path, &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (time(nullptr) - st.st_mtime < kStaleTempSeconds) return;
  const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  // A live run holds the lock while it writes; a dead one's is released.
  struct stat opened;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
      opened.st_ino == st.st_ino && opened.st_dev == st.st_dev)
    unlink(path);
  close(fd);
}

TempFile::TempFile(TempFile&& other) noexcept
    : file_(other.file_), temp_(std::move(other.temp_)), final_(std::move(other.final_)) {
  other.file_ = nullptr;
  other.temp_.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    discard();
    file_ = other.file_;
    temp_ = std::move(other.temp_);
    final_ = std::move(other.final_);
    other.file_ = nullptr;
    other.temp_.clear();
  }
  return *this;
}

int TempFile::create(const std::string& finalPath) {
  for (int tries = 0; tries < kCreateTries; ++tries) {
    std::string temp = fileTempName(finalPath);
    FileHandle created = fileCreateNew(temp.c_str());
    if (!created) {
      if (errno == EEXIST) continue;
      return errno;
    }
    file_ = created.release();
    temp_ = std::move(temp);
    final_ = finalPath;
    track(temp_);
    return 0;
  }
  return EEXIST;
}

int TempFile::commit() {
  if (!file_) return 0;
  int failure = 0;
  if (fflush(file_) != 0)
    failure = errno;
  else if (ferror(file_))
    failure = EIO;
  if (fclose(file_) != 0 && failure == 0) failure = errno;
  file_ = nullptr;
  if (failure == 0) testHook("renaming", final_.c_str());
  if (failure == 0 && rename(temp_.c_str(), final_.c_str()) != 0) failure = errno;
  if (failure != 0) unlink(temp_.c_str());
  {
    const std::lock_guard<std::mutex> lock(gLiveTempsLock);
    liveTemps().erase(temp_);
  }
  temp_.clear();
  return failure;
}

void TempFile::discard() {
  if (!file_) return;
  fclose(file_);
  file_ = nullptr;
  unlink(temp_.c_str());
  {
    const std::lock_guard<std::mutex> lock(gLiveTempsLock);
    liveTemps().erase(temp_);
  }
  temp_.clear();
}
