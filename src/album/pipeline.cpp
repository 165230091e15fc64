// Picture pipeline: decides whether a file is a picture to show and whether
// its derived pictures are to be made, and hands the picture to the Left page.
#include "album/pipeline.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "album/derived_pictures.h"
#include "album/memory_budget.h"
#include "album/picture_list.h"
#include "album/photo_facts.h"
#include "album/picture_pool.h"
#include "album/run_tally.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "base/terminal_line.h"
#include "img/header_probe.h"
#include "img/picture_formats.h"
#include "img/jpeg_codec.h"
#include "img/photo_meta.h"
#include "pages/album_pages.h"
#include "pages/page_files.h"
#include "util/caption_file.h"
#include "util/file_handle.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/temp_file.h"

namespace {

// What a file's name makes of it: -allpics adds the names of today's
// cameras and phones, whose format the content then tells.
enum class NameKind { None, Jpeg, Gif, Added };

constexpr const char* kAddedExtensions[] = {".jpeg", ".png", ".webp", ".heic", ".heif", ".avif"};

// The added extension path ends in, in any case; null for none.
const char* addedExtension(const char* path) {
  for (const char* ext : kAddedExtensions)
    if (strEndsWithNoCase(path, ext)) return ext;
  return nullptr;
}

NameKind nameKind(const char* path, bool allpics = gSettings.allpics) {
  if (strEndsWithNoCase(path, ".gif")) return NameKind::Gif;
  if (strEndsWithNoCase(path, ".jpg")) return NameKind::Jpeg;
  if (allpics && addedExtension(path)) return NameKind::Added;
  return NameKind::None;
}

// What reading a picture's header tells.
struct Probe {
  ImgFormat format = ImgFormat::Jpeg;  // what the decoder is to read it as
  bool medium = false;   // gets a medium view: larger than the -mw: x -mh: box, or a format browsers don't show
  int width = 0, height = 0;
  long long held = 0;    // what its decode holds besides the medium view (memoryBudgetNeed)
  std::string leftOut;   // why a picture of an added format is left out
};

enum class Shown { No, TooLarge, Unsupported, LeftOut, Yes };

// A GIF's logical screen from its first bytes, whatever its name.
bool gifSize(const char* path, Probe* probe) {
  FileHandle file = fileOpenRead(path);
  unsigned char head[10];
  return file && fread(head, 1, sizeof head, file.get()) == sizeof head &&
         imgsizeGetGifSize(head, sizeof head, &probe->width, &probe->height);
}

// The header of a file under an added name, by its content: a JPEG or a GIF
// goes the way it would under its own name.
Shown addedSize(const char* path, Probe* probe, std::string* messages) {
  if (!imgFormatOfFile(path, &probe->format)) return Shown::No;
  if (probe->format == ImgFormat::Gif) return gifSize(path, probe) ? Shown::Yes : Shown::No;
  if (probe->format == ImgFormat::Jpeg) {
    int size;
    const JpegSizeCode read = imgJpegGetUprightSize(path, &probe->width, &probe->height, &size, messages, &probe->held);
    if (read == JPEG_SIZE_OK) return Shown::Yes;
    return read == JPEG_SIZE_UNSUPPORTED ? Shown::Unsupported : Shown::No;
  }
  ImgHeaderInfo info;
  ImgDecoded decoded;
  const ImgStatus read = imgFormatReadHeader(path, probe->format, &info, &decoded);
  if (read == IMG_DECODE_OPEN) return Shown::No;
  if (read != IMG_OK) {
    probe->leftOut = std::string(imgFormatDecoderName(probe->format)) + "(\"" + path + "\"): " +
                     (read == IMG_DECODE_NO_LIBRARY ? "its format's library cannot be loaded"
                                                    : "damaged (" + decoded.why + ")");
    return Shown::LeftOut;
  }
  probe->width = info.width;
  probe->height = info.height;
  probe->held = info.held;
  return Shown::Yes;
}

// Size of the picture as it will be shown: Exif-rotated photos count upright.
// Only what the probe reads as GIF data goes to the GIF decoder. Anything
// else under a .gif name, in any case, is measured and decoded as the JPEG
// it may be (handing it to the GIF decoder would end the whole run).
JpegSizeCode pictureSize(const char* path, bool gif, Probe* probe, std::string* messages) {
  int kind = -1;
  const bool gifData = gif && imgsizeGetSize(path, nullptr, nullptr, &probe->width, &probe->height, &kind, nullptr) == 0 &&
                       kind == IMG_KIND_GIF;
  probe->format = gifData ? ImgFormat::Gif : ImgFormat::Jpeg;
  if (gifData) return JPEG_SIZE_OK;
  int size;
  return imgJpegGetUprightSize(path, &probe->width, &probe->height, &size, messages, &probe->held);
}

// Whether path is a picture to show, without a word: the library's lines on
// its header go to messages.
Shown classify(const char* path, Probe* probe, std::string* messages) {
  const NameKind kind = nameKind(path);
  // A derived picture is never read as a source: a damaged one would say so
  // twice, here and where its page entry reads its size.
  if (kind == NameKind::None || isDerivedName(path)) return Shown::No;
  if (kind == NameKind::Added) {
    const Shown read = addedSize(path, probe, messages);
    if (read != Shown::Yes) return read;
  } else if (const JpegSizeCode read = pictureSize(path, kind == NameKind::Gif, probe, messages)) {
    return read == JPEG_SIZE_UNSUPPORTED ? Shown::Unsupported : Shown::No;
  }
  if (probe->height <= gSettings.ih || probe->width <= gSettings.iw) return Shown::No;
  // A few bytes can claim gigapixels; refused before anything is decoded.
  if (static_cast<long long>(probe->width) * probe->height > kMaxPicturePixels) return Shown::TooLarge;
  probe->medium = probe->width > gSettings.mw || probe->height > gSettings.mh;
  // A browser shows a JPEG view of what it can't show itself.
  if (!imgFormatBrowsersShow(probe->format)) probe->medium = true;
  return Shown::Yes;
}

// The libraries' lines on standard error, below a progress line's place.
void writeLibraryText(const std::string& text) {
  if (text.empty()) return;
  terminalLineHide();
  fputs(text.c_str(), stderr);
}

// classify, its words written out and a picture too large reported.
bool isShownPicture(const char* path, Probe* probe) {
  std::string messages;
  const Shown shown = classify(path, probe, &messages);
  writeLibraryText(messages);
  if (shown == Shown::TooLarge) {
    report("picture too large \"%s\" (%d x %d)", path, probe->width, probe->height);
    tallyLeftOut("too large");
  }
  // A JPEG of a kind the library doesn't decode is a picture all the same:
  // left out, and counted, like a damaged one. The library's line says why.
  if (shown == Shown::Unsupported) {
    report("picture not supported by the JPEG library \"%s\"", path);
    tallyLeftOut("not supported");
  }
  if (shown == Shown::LeftOut) {
    report("%s", probe->leftOut.c_str());
    tallyLeftOut("damaged");
  }
  // A picture no one may read would be left out without a word.
  if (shown == Shown::No && albumIsPictureName(path) && !fileOpenRead(path) && errno != ENOENT) {
    report("can't read \"%s\": %s", path, strerror(errno));
    tallyLeftOut("unreadable");
  }
  // A header the library refused, in its own words (today's runs go on without a report).
  else if (shown == Shown::No && !messages.empty()) {
    tallyLeftOut("damaged");
  }
  return shown == Shown::Yes;
}

// The -list: line's extension: an added name keeps its own, in lower case.
const char* listExtension(const char* path) {
  const NameKind kind = nameKind(path);
  if (kind == NameKind::Added) return addedExtension(path);
  return kind == NameKind::Gif ? ".gif" : ".jpg";
}

// Whether path's derived pictures are to be made now, by their dates.
bool outOfDate(const char* path, const std::string& microName) {
  // To the nanosecond: a picture replaced within the second its thumbnail
  // was made is newer all the same.
  return gSettings.force || fileModifiedAfter(path, microName.c_str());
}

// A derived picture quorvel wrote: a file (not a link, which could show a
// picture from anywhere and whose date proves nothing).
bool ownFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode);
}

// outOfDate, or the page would point at a derived picture that is missing
// or a link (the thumbnails, the medium view of a picture that gets one), or
// the thumbnail's header can't be read: what a newer thumbnail does not
// prove. Made again, each link is replaced by the file. When not, micro
// holds the thumbnail's header as read, for the page entry.
bool needsMaking(const char* path, const PictureNames& names, bool medium, MicroHeader* micro) {
  if (outOfDate(path, names.micro) || !ownFile(names.micro) || !ownFile(names.rollover) ||
      (medium && !ownFile(names.medium)))
    return true;
  int bytes;
  micro->size.known = imgJpegGetSize(names.micro.c_str(), &micro->size.width, &micro->size.height, &bytes,
                                     &micro->messages) == JPEG_SIZE_OK;
  return !micro->size.known;
}

// Writes out what making the files said, as a run on one thread says it.
// True when the files were made; a failure is reported, or ends the run.
bool reportMaking(const DerivedResult& made) {
  writeLibraryText(made.libraryText);
  switch (made.outcome) {
    case DerivedOutcome::Made:
      return true;
    case DerivedOutcome::LeftOut:
      report("%s", made.failure.c_str());
      tallyLeftOut(made.reason);
      return false;
    case DerivedOutcome::Failed:
      if (made.failure.empty()) stopRun();
      error("%s", made.failure.c_str());
  }
  return false;
}

// -exif: the picture's facts line, and its own caption when it has no .txt
// one (a .txt caption wins whole). Read on the walk thread, from the
// segments before the pixels, so pages come out alike with any threads.
void addPhotoFacts(const char* path, PictureEntry* entry) {
  PhotoFacts facts = photoFacts(imgPhotoMetaRead(path));
  entry->factsLine = std::move(facts.line);
  if (entry->captioned || facts.text.empty()) return;
  entry->captioned = true;
  // The text is the title, " - " and the description: under -nav the title
  // stands above the description.
  if (!facts.title.empty() && facts.text.compare(0, facts.title.size(), facts.title) == 0) {
    entry->captionBody = facts.text.substr(facts.title.size());
    entry->captionBody.erase(0, entry->captionBody.find_first_not_of(" -"));
  }
  entry->captionText = std::move(facts.text);
  entry->captionTitle = std::move(facts.title);
}

PictureSize sizeOf(const std::string& path) {
  PictureSize size;
  int bytes;
  std::string messages;
  size.known = imgJpegGetSize(path.c_str(), &size.width, &size.height, &bytes, &messages) == 0;
  writeLibraryText(messages);
  return size;
}

}  // namespace

void albumStartWorkers(int threads) { picturePoolSetThreads(threads); }

void albumStopWorkers() { picturePoolStop(); }

bool albumPlansAhead() { return picturePoolOn(); }

void albumPlanPictures(const std::vector<std::string>& paths, bool ahead) {
  if (!picturePoolOn()) return;
  if (!ahead) picturePoolDropPlanned();
  // Two pictures whose derived names clash are made one after the other, as
  // the walk finds them: the second is up to date only once the first is made.
  std::set<std::string> names;
  for (const std::string& path : paths) {
    // Only pictures are planned; other files cost no look at their dates.
    if (nameKind(path.c_str()) == NameKind::None) continue;
    PoolJob job;
    // A name too long is the walk's to report, where it reaches the picture.
    if (!pictureNamesBuild(path.c_str(), &job.names)) continue;
    bool clash = false;
    for (const std::string* name : {&job.names.micro, &job.names.medium, &job.names.rollover})
      if (!names.insert(*name).second) clash = true;
    if (clash || isDerivedName(path.c_str()) || !outOfDate(path.c_str(), job.names.micro)) continue;
    Probe probe;
    // GIFs are decoded on the walk thread: their library writes its own
    // messages, which would come out of walk order.
    if (classify(path.c_str(), &probe, &job.headerText) != Shown::Yes || probe.format == ImgFormat::Gif) continue;
    job.path = path;
    job.format = probe.format;
    job.medium = probe.medium;
    job.pixels = static_cast<long long>(probe.width) * probe.height;
    job.memory = memoryBudgetNeed(job.pixels, false, probe.held);
    picturePoolPlan(std::move(job));
  }
}

void albumAddPicture(DirectoryPages& pages, char* path, int rootOffset, int index) {
  std::optional<PoolJob> job = picturePoolTake(path);
  Probe probe;
  if (job) {
    // Planned, so shown: its header was read then, and read well.
    writeLibraryText(job->headerText);
    probe.medium = job->medium;
    probe.format = job->format;
  } else if (!isShownPicture(path, &probe)) {
    return;
  }
  pictureListAdd(path, listExtension(path));

  const PictureNames names = job ? std::move(job->names) : pictureNames(path);
  MicroHeader micro;
  bool makes = true;
  if (job) {
    // Made ahead: its line and messages come out here, as if made now.
    terminalLineHide();
    printf("%s\n", names.micro.c_str());
    if (!reportMaking(job->result)) return;
  } else if (needsMaking(path, names, probe.medium, &micro)) {
    terminalLineHide();
    printf("%s\n", names.micro.c_str());
    DerivedResult made;
    {
      const MemoryLease lease(
          memoryBudgetNeed(static_cast<long long>(probe.width) * probe.height, probe.format == ImgFormat::Gif, probe.held));
      made = derivedMake(path, probe.format, probe.medium, names);
    }
    if (!reportMaking(made)) return;
  } else {
    makes = false;
  }

  const char* relPath = path + rootOffset;
  PictureEntry entry = pictureEntry(path, relPath, index, probe.medium, names, micro.size.known ? &micro : nullptr);
  entry.originalDownload = !imgFormatBrowsersShow(probe.format);
  // A directory at the picture's page name would end the run at the page.
  struct stat st;
  if (!entry.pagePath.empty() && lstat(entry.pagePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    report("can't write \"%s\": %s", entry.pagePath.c_str(), strerror(EISDIR));
    tallyLeftOut("can't be written");
    return;
  }
  htmlOpenLeft(pages, path, relPath);
  htmlAddPicture(pages, std::move(entry));
  tallyShown(makes);
}

PictureEntry pictureEntry(const char* path, const char* relPath, int index, bool medium,
                          const PictureNames& names, const MicroHeader* micro) {
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
    if (gSettings.nav) entry.captionBody = captionBody(captionPath, kCaptionTextSize);
  }
  if (gSettings.exif) addPhotoFacts(path, &entry);

  if (medium) entry.mediumPath = names.medium;
  if (medium || entry.captioned || !entry.factsLine.empty() || gSettings.nav) {
    entry.pagePath = picturePageName(medium ? entry.mediumPath.c_str() : path);
    // A captioned picture named like one of the album's own pages (a
    // "quorvelLeft.jpg") would write its page over that page, the Left page
    // even while it is open; such a picture keeps no page of its own.
    if (pageIsAlbumPage(pathBaseName(entry.pagePath.c_str()))) entry.pagePath.clear();
  }

  entry.microPath = names.micro;
  entry.rolloverPath = names.rollover;
  if (micro) {
    // Read already, to see that it is whole: its words come out here.
    writeLibraryText(micro->messages);
    entry.microSize = micro->size;
  } else {
    entry.microSize = sizeOf(entry.microPath);
  }
  if (medium) entry.mediumSize = sizeOf(entry.mediumPath);
  return entry;
}

bool albumIsPictureName(const char* name) { return nameKind(name) != NameKind::None && !isDerivedName(name); }

bool albumExpectsMaking(const char* path) {
  PictureNames names;
  if (!albumIsPictureName(pathBaseName(path)) || !pictureNamesBuild(path, &names)) return false;
  return outOfDate(path, names.micro) || !ownFile(names.micro);
}

bool albumIsAnyPictureName(const char* name) {
  return nameKind(name, true) != NameKind::None && !isDerivedName(name);
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
