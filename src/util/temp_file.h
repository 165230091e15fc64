// Files written aside: every file quorvel makes is written into a new,
// uniquely named temporary in its directory and renamed over its final name
// once complete. So a reader sees the old file or the whole new one, a
// planted link is replaced rather than followed, and two runs on one tree
// never write into the same file.
#pragma once

#include <cstdio>
#include <string>

// Every temporary's name is this prefix and kTempRandomLength letters and
// digits: short, so it fits wherever its final name fits, and hidden.
inline constexpr char kTempPrefix[] = ".quorvel-tmp-";
inline constexpr size_t kTempRandomLength = 10;

// A temporary left by a run that died is removed once it is this old and no
// live run holds its lock. Even a run that still writes it (a Left page of a
// huge directory) keeps its lock, so the age is a second guard only.
inline constexpr long kStaleTempSeconds = 10 * 60;

// A fresh temporary name beside finalPath: its directory part followed by
// kTempPrefix and random letters and digits. Not created.
std::string fileTempName(const std::string& finalPath);

// True when name (no directory part) has the form of a temporary's name.
bool fileIsTempName(const char* name);

// Removes path when it is a temporary nobody writes any more: a regular file
// (not a link), at least minimumAge seconds old, whose lock no process holds.
// Anything else is left alone. Returns 0 when removed, the errno of a failed
// unlink, -1 when left alone.
int fileRemoveStaleTemp(const char* path, long minimumAge = kStaleTempSeconds);

// From now on SIGINT, SIGTERM, SIGHUP and SIGPIPE (unless ignored) remove every live
// temporary before the process ends with the signal's usual status.
void fileRemoveTempsOnSignals();

struct LiveSlot;

// One file being written aside. create() makes the temporary; commit() gives
// it its final name. Until then, or when commit fails, the final name is
// untouched. An uncommitted temporary is removed by the destructor, and by
// exit() (an ended run leaves none) or a caught signal when it never
// reaches its destructor.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { discard(); }
  TempFile(TempFile&& other) noexcept;
  TempFile& operator=(TempFile&& other) noexcept;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates a new temporary beside finalPath (fileCreateNew) and opens it for
  // writing. Returns 0 or the errno of the failure.
  // REQUIRES: nothing is open in this object.
  [[nodiscard]] int create(const std::string& finalPath);

  // The open stream; null before create, after commit or discard.
  FILE* get() const { return file_; }
  explicit operator bool() const { return file_ != nullptr; }
  const std::string& finalPath() const { return final_; }

  // Flushes and closes the stream and renames the temporary over the final
  // name. Returns 0, or the errno of the first failure (EIO for a write error
  // whose reason is gone), the temporary then removed. Nothing to do: 0.
  [[nodiscard]] int commit();

  // Closes and removes the temporary, if one is open.
  void discard();

 private:
  void release();

  FILE* file_ = nullptr;
  LiveSlot* slot_ = nullptr;  // where a signal handler finds temp_
  int dirFd_ = -1;            // the directory temp_ and the final name are in
  std::string temp_;          // its name in dirFd_
  std::string final_;
};
