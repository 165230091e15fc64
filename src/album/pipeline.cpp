// Picture pipeline: decides whether a file is a picture to show, makes its
// medium, rollover and micro pictures when they are out of date, and hands
// the picture to the Left page.
#include "album/pipeline.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "album/derived_names.h"
#include "album/picture_list.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "img/gif_codec.h"
#include "img/header_probe.h"
#include "img/img.h"
#include "img/jpeg_codec.h"
#include "img/lens_shadow.h"
#include "img/resize.h"
#include "pages/album_pages.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/test_hook.h"

namespace {

constexpr int kQuality = 85;

// Earlier versions wrote a derived picture aside as its name plus this
// suffix; such leftovers are recognised as temporaries too.
constexpr char kLegacyTempSuffix[] = ".quorvel-tmp";

// Size of the picture as it will be shown: Exif-rotated photos count upright.
// gifData tells how to decode it: only what the probe reads as GIF data goes
// to the GIF decoder. Anything else under a .gif name, in any case, is
// measured and decoded as the JPEG it may be (handing it to the GIF decoder
// would end the whole run).
bool pictureSize(const char* path, bool gif, int* width, int* height, bool* gifData) {
  int kind = -1;
  *gifData = gif && imgsizeGetSize(path, nullptr, nullptr, width, height, &kind, nullptr) == 0 &&
             kind == IMG_KIND_GIF;
  if (*gifData) return true;
  int size;
  return imgJpegGetUprightSize(path, width, height, &size) == 0;
}

bool isDerivedName(const char* path) {
  return strEndsWith(path, ".md.jpg") || strEndsWith(path, ".vi.jpg") ||
         strEndsWith(path, ".vr.jpg");
}

// Fits src into the box into out (empty), shadowed when a shadow is on.
void makeThumbnail(OwnedImg& out, const Img& src, int boxWidth, int boxHeight,
                   const char* path) {
  if (imgResize(&out.img, boxWidth, boxHeight, &src, false) != 0)
    error("imgResize(\"%s\")", path);
  if (!gSettings.shadow) return;
  OwnedImg spare;
  spare.takeFrom(out);
  int failed = gSettings.shadowColor
                   ? imgShadowColor(&out.img, &spare.img, gSettings.shadowRed,
                                    gSettings.shadowGreen, gSettings.shadowBlue)
                   : imgShadow(&out.img, &spare.img);
  if (failed) error("imgShadow(\"%s\")", path);
}

// Encodes out into a new temporary beside target and renames it into place,
// so an interrupted run never leaves a truncated picture that a later run
// would take as up to date, and a link planted at target is replaced, not
// written through. A failure removes the temporary and ends the run.
void encode(OwnedImg& out, const char* target) {
  const std::string temp = fileTempName(target);
  testHookNames(temp.c_str(), target);
  const int failed = imgJpegWriteFile(&out.img, temp.c_str(), kQuality, target);
  int reason = errno;
  // The failure bits are the write's; the raster is whole, and its owner
  // frees it only with a clear status (a worker's failure unwinds to it).
  out.img.status = IMG_OK;
  if (failed == IMG_JPEG_LIBRARY) {
    // The library's message is the whole report, as it always was.
    unlink(temp.c_str());
    stopRun();
  }
  if (failed == 0) {
    testHook("renaming", temp.c_str());
    if (rename(temp.c_str(), target) == 0) return;
    reason = errno;
  }
  // What a failed create left at the name is not ours to remove.
  if (failed != IMG_JPEG_WRITE_CREATE) unlink(temp.c_str());
  error("imgJpegWriteFile(\"%s\"): %s", target, strerror(reason));
}

// What a failed decode says after the decoder's name. A library error has
// already printed its own reason on the line before.
std::string decodeReason(int status, int openErrno) {
  std::string reason;
  if (status & (IMG_JPEG_TOO_LARGE | IMG_GIF_TOO_LARGE))
    reason = "picture too large";
  else if (status & IMG_JPEG_SCANS)
    reason = "more than " + std::to_string(kMaxJpegScans) + " scans";
  else if (status & (IMG_JPEG_ALLOC | IMG_GIF_ALLOC))
    reason = "out of memory";
  else if (status & IMG_JPEG_OPEN)
    reason = openErrno ? strerror(openErrno) : "cannot be opened";
  else if (status & IMG_GIF_READ)
    reason = "cannot be opened or decoded";
  return reason.empty() ? reason : ": " + reason;
}

// The failure of a decode, reported: a picture that fails here (damaged
// after a good header, or gone or replaced since its header was read) costs
// its own place in the album only, and the walk goes on.
void reportDecode(const char* path, bool gif, int status, int openErrno) {
  report("%s(\"%s\")%s", gif ? "imgGifReadFile" : "imgJpegReadFile", path,
         decodeReason(status, openErrno).c_str());
}

// Decodes path into working; false when it cannot be decoded (reported).
bool decodePicture(OwnedImg& working, const char* path, bool gif) {
  errno = 0;
  const int status =
      gif ? imgGifReadFile(&working.img, path) : imgJpegReadFile(&working.img, path);
  if (status == IMG_OK) return true;
  reportDecode(path, gif, status, errno);
  return false;
}

// The medium picture of path in out, fitted to the -mw: x -mh: box. A JPEG
// is reduced as it is decoded, never held at full size; a GIF is decoded
// whole first. False when path cannot be decoded (reported).
bool decodeMedium(OwnedImg& out, const char* path, bool gif) {
  if (gif) {
    OwnedImg whole;
    if (!decodePicture(whole, path, gif)) return false;
    if (imgResize(&out.img, gSettings.mw, gSettings.mh, &whole.img, false) != 0)
      error("imgResize(\"%s\")", path);
    return true;
  }
  errno = 0;
  const int status = imgJpegReadFitted(&out.img, path, gSettings.mw, gSettings.mh);
  if (status == IMG_OK) return true;
  constexpr int kResizeBits = IMG_REDUCE_OVERFLOW | IMG_REDUCE_SOURCE | IMG_REDUCE_ALLOC | IMG_ENLARGE_SOURCE |
                              IMG_ENLARGE_ALLOC | IMG_RESIZE_SOURCE | IMG_RESIZE_BOX | IMG_RESIZE_ENLARGE |
                              IMG_RESIZE_REDUCE;
  if (status & kResizeBits) {
    error("imgResize(\"%s\")", path);
  }
  reportDecode(path, gif, status, errno);
  return false;
}

// Medium (when wanted), rollover and micro picture of path, in that order;
// the micro picture last, as it stands for the whole set being complete.
// False, with nothing written, when path cannot be decoded.
bool makeDerivedFiles(const char* path, bool gif, const char* mediumName,
                      const char* rolloverName, const char* microName) {
  OwnedImg working, lens, out;
  if (mediumName) {
    if (!decodeMedium(out, path, gif)) return false;
    encode(out, mediumName);
    // Thumbnails come from the smaller picture from here on.
    working.takeFrom(out);
  } else if (!decodePicture(working, path, gif)) {
    return false;
  }

  if (imgLens(&lens.img, &working.img) != 0) error("imgLens(\"%s\")", path);

  int boxWidth = gSettings.uw;
  int boxHeight = gSettings.uh;
  if (gSettings.shadow) {
    boxWidth -= shadowWidth();
    boxHeight -= shadowHeight();
  }

  makeThumbnail(out, lens.img, boxWidth, boxHeight, path);
  encode(out, rolloverName);
  out.release();

  makeThumbnail(out, working.img, boxWidth, boxHeight, path);
  encode(out, microName);
  return true;
}

// A captioned picture named like one of the album's own pages (a
// "quorvelLeft.jpg") would write its page over that page, the Left page even
// while it is open; such a picture keeps no page of its own.
bool isAlbumPageName(const char* name) {
  for (const char* page : {"quorvelFrameset.html", "quorvelTop.html", "quorvelLeft.html",
                           "quorvelRight.html", "quorvelVideo.html"})
    if (!strcmp(name, page)) return true;
  return false;
}

PictureSize sizeOf(const std::string& path) {
  PictureSize size;
  int bytes;
  size.known = imgJpegGetSize(path.c_str(), &size.width, &size.height, &bytes) == 0;
  return size;
}

enum class Shown { No, TooLarge, Yes };

// Whether path is a picture to show, without a word or a trace: the walk asks
// it ahead of the pictures to plan their jobs.
Shown classify(const char* path, bool* gifData, bool* medium, int* width, int* height) {
  bool gif;
  if (strEndsWithNoCase(path, ".gif"))
    gif = true;
  else if (strEndsWithNoCase(path, ".jpg"))
    gif = false;
  else
    return Shown::No;
  if (!pictureSize(path, gif, width, height, gifData)) return Shown::No;
  if (*height <= gSettings.ih || *width <= gSettings.iw) return Shown::No;
  if (isDerivedName(path)) return Shown::No;
  // A few bytes can claim gigapixels; refused before anything is decoded.
  if (static_cast<long long>(*width) * *height > kMaxPicturePixels) return Shown::TooLarge;
  *medium = *width > gSettings.mw || *height > gSettings.mh;
  return Shown::Yes;
}

// Which decoder a shown picture needs: false when path is no picture to show
// (not .gif/.jpg, unreadable header, too small, or a derived file).
bool isShownPicture(const char* path, bool* gifData, bool* medium) {
  int width, height;
  switch (classify(path, gifData, medium, &width, &height)) {
    case Shown::No:
      return false;
    case Shown::TooLarge:
      report("picture too large \"%s\" (%d x %d)", path, width, height);
      return false;
    case Shown::Yes:
      break;
  }
  return true;
}

// One picture's derived files, made on a worker thread. The walk thread fills
// in the names (the name builders share buffers) and reads the results only
// after done is set under the pool's lock.
struct Job {
  std::string path, mediumName, rolloverName, microName;
  bool medium = false;  // the header's verdict, read once while planning
  long long pixels = 0;  // the picture's size, for the order the workers take jobs in
  FailureLog header;    // what the library said while reading it
  bool started = false;
  bool done = false;
  bool decoded = false;
  FailureLog log;
};

// Worker threads that make the pictures the walk has planned, at most limit
// of them submitted and not yet taken back by the walk, so memory stays
// bounded however large the tree is. Only the walk thread plans and takes.
class PicturePool {
 public:
  explicit PicturePool(int threads) : limit_(2 * static_cast<size_t>(threads)) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
  }

  // Finishes the jobs running and drops those not started.
  ~PicturePool() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  PicturePool(const PicturePool&) = delete;
  PicturePool& operator=(const PicturePool&) = delete;

  void plan(std::shared_ptr<Job> job) {
    planned_.push_back(std::move(job));
    topUp();
  }

  // The job planned for path when it is next in walk order, finished;
  // nullptr when none is.
  std::shared_ptr<Job> take(const char* path) {
    if (planned_.empty() || planned_.front()->path != path) return nullptr;
    std::shared_ptr<Job> job = std::move(planned_.front());
    planned_.pop_front();
    --submitted_;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!job->started) {
        // Not begun yet: cheaper to make it here than to wait behind others.
        std::erase(queue_, job);
        lock.unlock();
        run(*job);
        job->done = true;
      } else {
        finished_.wait(lock, [&] { return job->done; });
      }
    }
    topUp();
    return job;
  }

  // Jobs planned for a directory the walk has left (none, as the walk adds
  // every picture it planned): those not begun are dropped, the others
  // finish, so no worker writes beside the next directory's jobs unawaited.
  void dropPlanned() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (const std::shared_ptr<Job>& job : planned_) {
      if (!job->started)
        std::erase(queue_, job);
      else
        finished_.wait(lock, [&] { return job->done; });
    }
    lock.unlock();
    planned_.clear();
    submitted_ = 0;
  }

  static void run(Job& job) {
    setThreadFailureLog(&job.log);
    try {
      job.decoded = makeDerivedFiles(job.path.c_str(), false,
                                     job.mediumName.empty() ? nullptr : job.mediumName.c_str(),
                                     job.rolloverName.c_str(), job.microName.c_str());
    } catch (const JobStopped&) {
      job.decoded = false;
    }
    setThreadFailureLog(nullptr);
  }

 private:
  void topUp() {
    while (submitted_ < planned_.size() && submitted_ < limit_) {
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(planned_[submitted_]);
      }
      ++submitted_;
      wake_.notify_one();
    }
  }

  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      // The largest first: the last pictures of a run then end together
      // rather than one thread finishing a large one alone.
      auto largest = std::max_element(queue_.begin(), queue_.end(),
                                      [](const auto& a, const auto& b) { return a->pixels < b->pixels; });
      std::shared_ptr<Job> job = std::move(*largest);
      queue_.erase(largest);
      job->started = true;
      lock.unlock();
      run(*job);
      lock.lock();
      job->done = true;
      finished_.notify_all();
    }
  }

  const size_t limit_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::deque<std::shared_ptr<Job>> queue_;  // submitted, not started
  bool stopping_ = false;
  // Walk thread only: the directory's planned jobs in walk order, the first
  // submitted_ of them handed to the workers.
  std::deque<std::shared_ptr<Job>> planned_;
  size_t submitted_ = 0;
};

PicturePool* gPool = nullptr;
// Threads the pool is to have, started with the first picture to make: a
// run with nothing to make (an empty or up-to-date tree) starts none.
int gPoolThreads = 0;

// Whether path's derived pictures are to be made now.
bool outOfDate(const char* path, const std::string& microName) {
  return gSettings.force || fileDate(path) > fileDate(microName.c_str());
}

}  // namespace

void albumStartWorkers(int threads) { gPoolThreads = threads > 1 ? threads : 0; }

void albumStopWorkers() {
  delete std::exchange(gPool, nullptr);
  gPoolThreads = 0;
  setBeforeExit(nullptr);
}

bool albumPlansAhead() { return gPoolThreads > 0; }

void albumPlanPictures(const std::vector<std::string>& paths, bool ahead) {
  if (gPoolThreads == 0) return;
  if (gPool && !ahead) gPool->dropPlanned();
  // Two pictures whose derived names clash are made one after the other, as
  // the walk finds them: the second is up to date only once the first is made.
  std::set<std::string> names;
  for (const std::string& path : paths) {
    // Only pictures are planned; other files cost no look at their dates.
    if (!strEndsWithNoCase(path.c_str(), ".jpg") && !strEndsWithNoCase(path.c_str(), ".gif")) continue;
    auto job = std::make_shared<Job>();
    job->path = path;
    job->microName = pathMicroName(path.c_str());
    job->mediumName = pathMediumName(path.c_str());
    job->rolloverName = pathRolloverName(path.c_str());
    bool clash = false;
    for (const std::string* name : {&job->microName, &job->mediumName, &job->rolloverName})
      if (!names.insert(*name).second) clash = true;
    if (clash || isDerivedName(path.c_str()) || !outOfDate(path.c_str(), job->microName)) continue;
    bool gifData, medium;
    int width, height;
    // The library's words on the header come out where the walk reaches the
    // picture: replayed for a planned one, said again by a second reading
    // for any other.
    setThreadFailureLog(&job->header);
    const Shown shown = classify(path.c_str(), &gifData, &medium, &width, &height);
    setThreadFailureLog(nullptr);
    // GIFs are decoded on the walk thread: their library writes its own
    // messages, which would come out of walk order.
    if (shown != Shown::Yes || gifData) continue;
    job->medium = medium;
    job->pixels = static_cast<long long>(width) * height;
    if (!medium) job->mediumName.clear();
    if (!gPool) {
      gPool = new PicturePool(gPoolThreads);
      // error() on the walk thread lets the running jobs finish before exit.
      setBeforeExit(albumStopWorkers);
    }
    gPool->plan(std::move(job));
  }
}

void albumAddPicture(DirectoryPages& pages, char* path, int rootOffset, int index) {
  std::shared_ptr<Job> job = gPool ? gPool->take(path) : nullptr;
  bool gifData = false, medium;
  if (job) {
    // Planned, so shown: its header was read then, and read well.
    replayFailures(job->header);
    medium = job->medium;
  } else if (!isShownPicture(path, &gifData, &medium)) {
    return;
  }
  pictureListAdd(path, strEndsWithNoCase(path, ".gif"));

  // Copies: the builders' buffers are reused by the next picture.
  const std::string mediumName = medium ? pathMediumName(path) : "";
  const std::string microName = pathMicroName(path);
  const std::string rolloverName = pathRolloverName(path);
  if (job) {
    // Made ahead: its line and messages come out here, as if made now.
    printf("%s\n", microName.c_str());
    replayFailures(job->log);
    if (!job->decoded) return;
  } else if (outOfDate(path, microName)) {
    printf("%s\n", microName.c_str());
    if (!makeDerivedFiles(path, gifData, medium ? mediumName.c_str() : nullptr,
                          rolloverName.c_str(), microName.c_str()))
      return;
  }

  const char* relPath = path + rootOffset;
  htmlOpenLeft(pages, path, relPath);
  htmlAddPicture(pages, pictureEntry(path, relPath, index, medium));
}

PictureEntry pictureEntry(const char* path, const char* relPath, int index, bool medium) {
  PictureEntry entry;
  entry.path = path;
  entry.relPath = relPath;
  entry.index = index;

  char captionPath[kNameSize];
  char text[kCaptionTextSize];
  char title[kCaptionTitleSize];
  // An overlong caption path joins to "", which loads nothing: no caption.
  entry.captioned = captionRead(text, kCaptionTextSize, title, kCaptionTitleSize,
                                strConcatBounded(captionPath, pathWithoutExt(path), ".txt"));
  if (entry.captioned) {
    entry.captionText = text;
    entry.captionTitle = title;
  }

  if (medium) entry.mediumPath = pathMediumName(path);
  if (medium || entry.captioned) {
    entry.pagePath = pathHtmlName(medium ? entry.mediumPath.c_str() : path);
    if (isAlbumPageName(pathBaseName(entry.pagePath.c_str()))) entry.pagePath.clear();
  }

  entry.microPath = pathMicroName(path);
  entry.rolloverPath = pathRolloverName(path);
  entry.microSize = sizeOf(entry.microPath);
  if (medium) entry.mediumSize = sizeOf(entry.mediumPath);
  return entry;
}

bool albumRemoveLeftoverTemp(const char* path) {
  bool temporary = fileIsTempName(pathBaseName(path));
  if (!temporary && strEndsWith(path, kLegacyTempSuffix)) {
    const std::string derived(path, strlen(path) - (sizeof kLegacyTempSuffix - 1));
    temporary = isDerivedName(derived.c_str());
  }
  if (temporary) fileRemoveStaleTemp(path);
  return temporary;
}
