// Temporaries: unique names, stale-leftover removal, write-then-rename.
#include "util/temp_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <atomic>
#include <csignal>

#include "util/album_root.h"
#include "util/file_handle.h"
#include "util/test_hook.h"

// Every temporary this process has open (pages, lists, cv.html and derived
// pictures alike), removed when the run ends through exit() (error(), a
// library failure) without reaching their destructors, and when a signal
// ends it. A signal handler may only read it: so it is a list of slots that
// only grows (at most one slot per temporary open at once), each slot taken
// and given back with atomics, holding its directory's descriptor and its
// name in a fixed buffer. Never freed: it must outlive every destructor that
// runs at exit.
struct LiveSlot {
  std::atomic<bool> taken{false};  // owned by one TempFile
  std::atomic<bool> named{false};  // name in dirFd is a temporary this process made
  int dirFd = -1;
  char name[sizeof kTempPrefix + kTempRandomLength];
  LiveSlot* next = nullptr;
};

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr unsigned kAlphabetSize = sizeof kAlphabet - 1;

// Tries before create() gives up on EEXIST: a clash needs 62^10 bad luck,
// or someone planting names faster than we pick them.
constexpr int kCreateTries = 100;

std::atomic<LiveSlot*> gSlots{nullptr};

// Creations between their open() and their slot being named; a signal
// handler waits for them, and none starts once a signal was caught.
std::atomic<int> gCreating{0};
std::atomic<bool> gStopping{false};

LiveSlot* takeSlot() {
  for (LiveSlot* slot = gSlots.load(); slot; slot = slot->next) {
    bool expected = false;
    if (slot->taken.compare_exchange_strong(expected, true)) return slot;
  }
  auto* slot = new LiveSlot;
  slot->taken.store(true);
  slot->next = gSlots.load();
  while (!gSlots.compare_exchange_weak(slot->next, slot)) {
  }
  return slot;
}

void giveBack(LiveSlot* slot) {
  if (!slot) return;
  slot->named.store(false);
  slot->taken.store(false);
}

// Async-signal-safe: atomics and unlinkat only.
void removeLiveTemps() {
  for (LiveSlot* slot = gSlots.load(); slot; slot = slot->next)
    if (slot->named.exchange(false)) unlinkat(slot->dirFd, slot->name, 0);
}

// Registered before main, so that it runs after every exit handler that a
// run registers later: the picture pool's, which lets the workers finish
// their pictures (and their temporaries) first.
[[maybe_unused]] const bool gRemovesAtExit = atexit(removeLiveTemps) == 0;

// SIGPIPE too: a reader that stops early (quorvel dir | head) ends the run
// as surely as a Ctrl-C.
constexpr int kCleanSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void removeAndDie(int sig) {
  gStopping.store(true);
  // A creation on another thread finishes its few steps (names its slot) in
  // far less than this; the bound only keeps a stuck thread from holding
  // the process.
  for (int waits = 0; waits < 1000 && gCreating.load() > 0; ++waits) {
    const timespec millisecond{0, 1'000'000};
    nanosleep(&millisecond, nullptr);
  }
  removeLiveTemps();
  signal(sig, SIG_DFL);
  raise(sig);
}

// Blocks the signals that remove temporaries for one creation on this
// thread, so that their handler never runs between open() and the slot's
// naming here; it runs on another thread, or after.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanSignals) sigaddset(&set, sig);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

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

void splitPath(const std::string& path, std::string* dir, std::string* name) {
  const size_t slash = path.rfind('/');
  *dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
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

int fileRemoveStaleTemp(const char* path, long minimumAge) {
  std::string dirPart, name;
  splitPath(path, &dirPart, &name);
  const int dir = fileOpenAlbumDirectory(dirPart);
  if (dir < 0) return -1;
  int outcome = -1;
  struct stat st;
  if (fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
      time(nullptr) - st.st_mtime >= minimumAge) {
    const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      // A live run holds the lock while it writes; a dead one's is released.
      struct stat opened;
      if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 && opened.st_ino == st.st_ino &&
          opened.st_dev == st.st_dev)
        outcome = unlinkat(dir, name.c_str(), 0) == 0 ? 0 : errno;
      close(fd);
    }
  }
  close(dir);
  return outcome;
}

TempFile::TempFile(TempFile&& other) noexcept
    : file_(other.file_),
      slot_(other.slot_),
      dirFd_(other.dirFd_),
      temp_(std::move(other.temp_)),
      final_(std::move(other.final_)) {
  other.file_ = nullptr;
  other.slot_ = nullptr;
  other.dirFd_ = -1;
  other.temp_.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    discard();
    file_ = other.file_;
    slot_ = other.slot_;
    dirFd_ = other.dirFd_;
    temp_ = std::move(other.temp_);
    final_ = std::move(other.final_);
    other.file_ = nullptr;
    other.slot_ = nullptr;
    other.dirFd_ = -1;
    other.temp_.clear();
  }
  return *this;
}

int TempFile::create(const std::string& finalPath) {
  std::string dirPart, finalName;
  splitPath(finalPath, &dirPart, &finalName);
  const int dir = fileOpenAlbumDirectory(dirPart, true);
  if (dir < 0) return errno;
  for (int tries = 0; tries < kCreateTries; ++tries) {
    std::string temp = fileTempName(finalName);
    const SignalsHeld held;
    gCreating.fetch_add(1);
    if (gStopping.load()) {
      gCreating.fetch_sub(1);
      close(dir);
      return EINTR;
    }
    FileHandle created = fileCreateNewAt(dir, temp.c_str());
    if (!created) {
      const int failure = errno;
      gCreating.fetch_sub(1);
      if (failure == EEXIST) continue;
      close(dir);
      return failure;
    }
    slot_ = takeSlot();
    slot_->dirFd = dir;
    memcpy(slot_->name, temp.c_str(), temp.size() + 1);
    slot_->named.store(true);
    gCreating.fetch_sub(1);
    file_ = created.release();
    dirFd_ = dir;
    temp_ = std::move(temp);
    final_ = finalPath;
    return 0;
  }
  close(dir);
  return EEXIST;
}

void TempFile::release() {
  giveBack(slot_);
  slot_ = nullptr;
  close(dirFd_);
  dirFd_ = -1;
  temp_.clear();
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
  const std::string finalName = final_.substr(final_.rfind('/') + 1);
  if (failure == 0 && renameat(dirFd_, temp_.c_str(), dirFd_, finalName.c_str()) != 0) failure = errno;
  if (failure != 0) unlinkat(dirFd_, temp_.c_str(), 0);
  release();
  return failure;
}

void TempFile::discard() {
  if (!file_) return;
  fclose(file_);
  file_ = nullptr;
  unlinkat(dirFd_, temp_.c_str(), 0);
  release();
}

void fileRemoveTempsOnSignals() {
  for (int sig : kCleanSignals) {
    struct sigaction current;
    // A signal the launcher ignores (nohup's SIGHUP) stays ignored.
    if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = removeAndDie;
    sigfillset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
  }
}
