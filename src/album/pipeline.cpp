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
#include "album/originals.h"
#include "album/picture_list.h"
#include "album/photo_facts.h"
#include "album/picture_pool.h"
#include "album/run_tally.h"
#include "album/source_stamp.h"
#include "base/fatal.h"
#include "base/limits.h"
#include "base/settings.h"
#include "base/user_output.h"
#include "img/jpeg_codec.h"
#include "img/photo_meta.h"
#include "img/picture_formats.h"
#include "pages/album_pages.h"
#include "pages/page_files.h"
#include "util/album_root.h"
#include "util/caption_file.h"
#include "util/file_handle.h"
#include "util/files.h"
#include "util/paths.h"
#include "util/temp_file.h"
#include "util/text_encode.h"

namespace {

// What a file's name makes of it: -allpics adds the names of today's
// cameras and phones, whose format the content then tells.
enum class NameKind { None, Jpeg, Gif, Added, Video };

// A picture's name ending, in lower case (a name ends in it in any case),
// which is also its -list: line's.
struct PictureName {
  const char* extension;
  NameKind kind;
};

constexpr PictureName kPictureNames[] = {
    {".gif", NameKind::Gif},    {".jpg", NameKind::Jpeg},   {".jpeg", NameKind::Added}, {".png", NameKind::Added},
    {".webp", NameKind::Added}, {".heic", NameKind::Added}, {".heif", NameKind::Added}, {".avif", NameKind::Added},
    {".mp4", NameKind::Video},  {".m4v", NameKind::Video},  {".webm", NameKind::Video}, {".ogv", NameKind::Video},
    {".mov", NameKind::Video}};

// Under -nav -video the videos browsers play stand among the pictures.
bool videosAmongPictures() { return gSettings.nav && gSettings.video; }

// The picture name path ends in; of kind None when none.
PictureName pictureName(const char* path, bool allpics = gSettings.allpics, bool videos = videosAmongPictures()) {
  for (const PictureName& name : kPictureNames)
    if ((allpics || name.kind != NameKind::Added) && (videos || name.kind != NameKind::Video) &&
        strEndsWithNoCase(path, name.extension))
      return name;
  return {"", NameKind::None};
}

NameKind nameKind(const char* path, bool allpics = gSettings.allpics, bool videos = videosAmongPictures()) {
  return pictureName(path, allpics, videos).kind;
}

// What reading a picture's header tells.
struct Probe {
  ImgFormat format = ImgFormat::Jpeg;  // what the decoder is to read it as
  ImgHeaderInfo header;  // its upright size, and what its decode holds (memoryBudgetNeed)
  bool medium = false;   // gets a medium view: larger than the -mw: x -mh: box, or a format browsers don't show
  long long largePixels = 0;  // -hidpi: the large view's pixels (derivedLargePixels), 0 for none
  std::string leftOut;   // why a picture whose header was refused is left out
  ImgPhotoMeta meta;     // with -exif, an added format's own metadata, read with its header
  bool unread = false;   // a video the libraries can't read: its stand-in is made, leftOut says why
  // A JPEG's header read cleanly from the file of this identity: its
  // thumbnail is to be stamped with it (album/source_stamp.h).
  std::optional<SourceIdentity> stampFor;
};

enum class Shown { No, Unopened, TooLarge, Unsupported, LeftOut, Yes };

// What path is read as: an added name by its content; a .jpg name as a
// JPEG, and a .gif name as a GIF only when it holds GIF data, so that the
// JPEG library says what is wrong with anything else. With allContent
// (-allpics) a .jpg or .gif name is read by its content too, a PNG named
// .jpg as the PNG it is. known, when given, tells whether the first bytes
// were any format's at all.
ImgFormat readAs(const char* path, NameKind kind, bool allContent = gSettings.allpics, bool* known = nullptr) {
  if (kind == NameKind::Video) return ImgFormat::Video;
  ImgFormat format = ImgFormat::Jpeg;
  if ((kind == NameKind::Jpeg && !allContent) || !imgFormatOfFile(path, &format, known)) return ImgFormat::Jpeg;
  return kind == NameKind::Added || allContent || format == ImgFormat::Gif ? format : ImgFormat::Jpeg;
}

// What a header the reader refused makes of the picture. One it refused in
// the library's own lines is no picture (a damaged one is counted where its
// lines are written).
// The line a picture whose header was refused is reported with.
std::string refusedText(const char* path, ImgFormat format, ImgStatus read, const std::string& why) {
  return std::string(imgFormatDecoderName(format)) + "(\"" + path + "\"): " +
         (read == IMG_DECODE_NO_LIBRARY ? derivedNoLibraryReason(why)
          : why.empty()                 ? std::string("damaged")
                                        : "damaged (" + why + ")");
}

Shown refused(const char* path, ImgStatus read, const std::string& why, Probe* probe) {
  if (read == IMG_DECODE_OPEN) return Shown::Unopened;
  if (read == IMG_DECODE_DAMAGED && why.empty()) return Shown::No;
  if (read == IMG_DECODE_UNSUPPORTED) return Shown::Unsupported;
  probe->leftOut = refusedText(path, probe->format, read, why);
  return Shown::LeftOut;
}

// Whether a picture whose header was read, of probe->header's size, is
// shown, and which derived pictures it gets.
Shown sized(Probe* probe, NameKind kind) {
  const int width = probe->header.width, height = probe->header.height;
  if (kind == NameKind::Video) {
    // Not held to -iw: and -ih:, which sort out icons and buttons: a video
    // of any size is one. Its poster is its medium view.
    if (static_cast<long long>(width) * height > kMaxPicturePixels) return Shown::TooLarge;
    probe->medium = true;
    probe->largePixels = derivedLargePixels(width, height);
    return Shown::Yes;
  }
  if (height <= gSettings.ih || width <= gSettings.iw) return Shown::No;
  // A few bytes can claim gigapixels; refused before anything is decoded.
  if (static_cast<long long>(width) * height > kMaxPicturePixels) return Shown::TooLarge;
  probe->medium = width > gSettings.mw || height > gSettings.mh;
  // A browser shows a JPEG view of what it can't show itself; an album that
  // links no original, or made with -hidpi, shows every picture through its
  // medium view.
  if (!imgFormatBrowsersShow(probe->format) || gSettings.originals == Originals::None || gSettings.hidpi)
    probe->medium = true;
  probe->largePixels = derivedLargePixels(width, height);
  return Shown::Yes;
}

// Whether path is a picture to show, without a word: the library's lines on
// its header go to messages. The size that counts is the upright one.
Shown classify(const char* path, Probe* probe, std::string* messages) {
  const NameKind kind = nameKind(path);
  // A derived picture is never read as a source: a damaged one would say so
  // twice, here and where its page entry reads its size.
  if (kind == NameKind::None || isDerivedName(path)) return Shown::No;
  // A JPEG unchanged since its thumbnail was stamped is not read again. The
  // thumbnail's name alone is wanted: -hidpi's are left unbuilt.
  SourceIdentity identity;
  const bool identified = kind != NameKind::Video && sourceIdentityOf(path, &identity);
  PictureNames names;
  if (identified && pictureNamesBuild(path, &names, false) &&
      sourceStampRead(names.micro, identity, gSettings.allpics, &probe->header)) {
    probe->format = ImgFormat::Jpeg;
    return sized(probe, kind);
  }
  bool known = true;
  probe->format = readAs(path, kind, gSettings.allpics, &known);
  if (!known && kind == NameKind::Added) {
    // Not even the start of a picture: left out and counted like a damaged
    // one, not handed to the JPEG library as if it were a JPEG.
    probe->leftOut = std::string("picture of no known format \"") + path + "\"";
    return Shown::LeftOut;
  }
  ImgDecoded said;
  ImgPhotoMeta* meta = gSettings.exif && imgFormatIsAdded(probe->format) ? &probe->meta : nullptr;
  ImgStatus read = imgFormatReadHeader(path, probe->format, &probe->header, &said, meta);
  if (read == IMG_DECODE_DAMAGED && probe->format == ImgFormat::Gif && kind == NameKind::Gif) {
    // Cut short before its screen: measured as the JPEG it may be.
    probe->format = ImgFormat::Jpeg;
    read = imgFormatReadHeader(path, probe->format, &probe->header, &said);
  }
  *messages += said.libraryText;
  if (read == IMG_OK && probe->format == ImgFormat::Jpeg && said.libraryText.empty() && identified)
    probe->stampFor = identity;
  if (read != IMG_OK && kind == NameKind::Video && read != IMG_DECODE_OPEN) {
    // Still shown: a plain poster stands in, and the reason is told.
    probe->leftOut = refusedText(path, probe->format, read, said.why);
    probe->header = ImgHeaderInfo{};
    probe->unread = true;
    probe->medium = true;
    return Shown::Yes;
  }
  if (read != IMG_OK) return refused(path, read, said.why, probe);
  return sized(probe, kind);
}

// The libraries' lines on standard error, below a progress line's place.
void writeLibraryText(const std::string& text) {
  if (!text.empty()) userErrText(text);
}

// classify, its words written out and a picture left out reported.
bool isShownPicture(const char* path, Probe* probe) {
  std::string messages;
  const Shown shown = classify(path, probe, &messages);
  writeLibraryText(messages);
  switch (shown) {
    case Shown::TooLarge:
      report("picture too large \"%s\" (%d x %d)", path, probe->header.width, probe->header.height);
      tallyLeftOut("too large");
      break;
    // A JPEG of a kind the library doesn't decode is a picture all the same:
    // left out, and counted, like a damaged one. The library's line says why.
    case Shown::Unsupported:
      report("picture not supported by the JPEG library \"%s\"", path);
      tallyLeftOut("not supported");
      break;
    case Shown::LeftOut:
      report("%s", probe->leftOut.c_str());
      tallyLeftOut("damaged");
      break;
    // A picture no one may read would be left out without a word.
    case Shown::Unopened:
      if (!fileOpenRead(path) && errno != ENOENT) {
        report("can't read \"%s\": %s", path, strerror(errno));
        tallyLeftOut("unreadable");
      }
      break;
    // A header the library refused, in its own words (today's runs go on without a report).
    case Shown::No:
      if (!messages.empty()) tallyLeftOut("damaged");
      break;
    case Shown::Yes:
      break;
  }
  return shown == Shown::Yes;
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

// -hidpi's derived pictures, all there as regular files: the 3x and 2x
// thumbnails and rollovers, and the large view when large. So a -hidpi run
// over an album made without it makes every picture again. False without it.
bool hidpiIncomplete(const PictureNames& names, bool large) {
  if (!gSettings.hidpi) return false;
  const auto regular = [](const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  };
  for (const std::string* name : {&names.micro3, &names.micro2, &names.rollover3, &names.rollover2})
    if (!regular(*name)) return true;
  return large && !regular(names.large);
}

// A derived picture's size as written (it carries no Exif), the library's
// lines on it into messages.
// comment, when given, receives its comment segment (a video's thumbnail's).
PictureSize derivedSize(const std::string& path, std::string* messages, std::string* comment = nullptr) {
  ImgHeaderInfo header;
  ImgDecoded said;
  PictureSize size;
  size.known = imgJpegReadStoredHeader(path.c_str(), &header, &said, comment) == IMG_OK;
  size.width = header.width;
  size.height = header.height;
  *messages += said.libraryText;
  return size;
}

// A video's thumbnail's header as read, with its comment; the library's
// lines on it go with the header, for the page entry to write.
MicroHeader videoMicro(const PictureNames& names, std::string* comment) {
  MicroHeader micro;
  micro.size = derivedSize(names.micro, &micro.messages, comment);
  return micro;
}

// outOfDate, or the page would point at a derived picture that is missing
// or a link (the thumbnails, the medium view of a picture that gets one,
// -hidpi's), or the thumbnail's header can't be read: what a newer thumbnail
// does not prove. Made again, each link is replaced by the file. When not,
// micro holds the thumbnail's header as read, for the page entry.
bool needsMaking(const char* path, const PictureNames& names, bool medium, bool large, MicroHeader* micro) {
  if (outOfDate(path, names.micro) || !ownFile(names.micro) || !ownFile(names.rollover) ||
      (medium && !ownFile(names.medium)) || hidpiIncomplete(names, large))
    return true;
  micro->size = derivedSize(names.micro, &micro->messages);
  return !micro->size.known;
}

// Writes out what making the files said, as a run on one thread says it.
// True when the files were made; a failure is reported, or ends the run.
bool reportMaking(const DerivedResult& made) {
  writeLibraryText(made.libraryText);
  switch (made.outcome) {
    case DerivedOutcome::Made:
      if (!made.notice.empty()) report("%s", made.notice.c_str());
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
// one (a .txt caption wins whole). Read on the walk thread, from a JPEG's
// segments before the pixels, or given (meta) as an added format's header
// read found it, so pages come out alike with any threads.
void addPhotoFacts(const char* path, const ImgPhotoMeta* meta, PictureEntry* entry) {
  PhotoFacts facts = photoFacts(meta ? *meta : imgPhotoMetaRead(path));
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
  std::string messages;
  const PictureSize size = derivedSize(path, &messages);
  writeLibraryText(messages);
  return size;
}

// A video's files all there, its thumbnail newer than it and carrying the
// comment of a poster made from it (not a stand-in): micro and comment then
// hold the thumbnail's header and comment.
bool videoUpToDate(const char* path, MicroHeader* micro, std::string* comment) {
  PictureNames names;
  if (!pictureNamesBuild(path, &names) || outOfDate(path, names.micro) || !ownFile(names.micro) ||
      !ownFile(names.rollover) || !ownFile(names.medium) || hidpiIncomplete(names, false))
    return false;
  *micro = videoMicro(names, comment);
  return micro->size.known && *comment != kVideoUnreadComment;
}

// A video whose poster was a stand-in and that the libraries read now.
bool videoNowRead(const PictureNames& names, const Probe& probe) {
  if (probe.unread) return false;
  std::string comment;
  videoMicro(names, &comment);
  return comment == kVideoUnreadComment;
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
    if (nameKind(path.c_str()) == NameKind::None || isHidpiName(path.c_str())) continue;
    PoolJob job;
    // A name too long is the walk's to report, where it reaches the picture.
    if (!pictureNamesBuild(path.c_str(), &job.names)) continue;
    bool clash = false;
    const PictureNames& n = job.names;
    for (const std::string* name : {&n.micro, &n.medium, &n.rollover, &n.micro2, &n.micro3, &n.rollover2,
                                    &n.rollover3, &n.large})
      if (!name->empty() && !names.insert(*name).second) clash = true;
    if (clash || isDerivedName(path.c_str()) ||
        (!outOfDate(path.c_str(), job.names.micro) && !hidpiIncomplete(job.names, false)))
      continue;
    Probe probe;
    if (classify(path.c_str(), &probe, &job.headerText) != Shown::Yes) continue;
    job.path = path;
    job.format = probe.format;
    job.medium = probe.medium;
    job.large = probe.largePixels > 0;
    job.pixels = static_cast<long long>(probe.header.width) * probe.header.height;
    job.memory = memoryBudgetNeed(probe.header.held, probe.largePixels);
    job.meta = std::move(probe.meta);
    job.header = probe.header;
    job.stampFor = probe.stampFor;
    if (probe.format == ImgFormat::Video) job.microComment = derivedVideoComment(probe.header.durationMs);
    picturePoolPlan(std::move(job));
  }
}

void albumAddPicture(DirectoryPages& pages, char* path, int rootOffset, int index, const char* motion) {
  std::optional<PoolJob> job = picturePoolTake(path);
  const bool video = nameKind(path) == NameKind::Video;
  Probe probe;
  MicroHeader micro;
  std::string comment;
  // A video whose files are in order is taken by their dates alone: a warm
  // run opens no video.
  const bool warmVideo = !job && video && videoUpToDate(path, &micro, &comment);
  if (warmVideo) {
    probe.format = ImgFormat::Video;
    probe.medium = true;
  } else if (job) {
    // Planned, so shown: its header was read then, and read well.
    writeLibraryText(job->headerText);
    probe.medium = job->medium;
    probe.format = job->format;
    probe.meta = std::move(job->meta);
    probe.header = job->header;
    probe.stampFor = job->stampFor;
  } else if (!isShownPicture(path, &probe)) {
    return;
  }
  // The copy list is of pictures.
  if (!video) pictureListAdd(path, pictureName(path).extension);

  const PictureNames names = job ? std::move(job->names) : pictureNames(path);
  const bool large = job ? job->large : warmVideo ? ownFile(names.large) : probe.largePixels > 0;
  bool makes = true;
  if (warmVideo) {
    makes = false;
  } else if (job) {
    // Made ahead: its line and messages come out here, as if made now.
    userOut("%s\n", names.micro.c_str());
    if (!reportMaking(job->result)) return;
  } else if (needsMaking(path, names, probe.medium, large, &micro) || (video && videoNowRead(names, probe))) {
    userOut("%s\n", names.micro.c_str());
    DerivedResult made;
    {
      const MemoryLease lease(memoryBudgetNeed(probe.header.held, probe.largePixels));
      made = derivedMake(path, probe.format, probe.medium, names, large,
                         video ? derivedVideoComment(probe.header.durationMs) : "");
    }
    if (!reportMaking(made)) return;
  } else {
    makes = false;
    // Its stand-in is there already: the reason is told again.
    if (probe.unread) report("%s", probe.leftOut.c_str());
  }
  // A video's thumbnail says how long it runs.
  if (video && !warmVideo) micro = videoMicro(names, &comment);
  // Made now, or found up to date after a read: the next run takes the size from here.
  if (probe.stampFor) sourceStampWrite(names.micro, *probe.stampFor, gSettings.allpics, probe.header);

  // -hidpi links no original: a copy no page links would still be published.
  // Videos are placed where the walk hands them to the video page.
  if (!video && albumPlacesOriginals() && (!gSettings.hidpi || gSettings.linkOriginals))
    albumPlaceOriginalOrReport(path);
  const char* relPath = path + rootOffset;
  // A video carries no photo's metadata for -exif to read.
  const ImgPhotoMeta none;
  PictureEntry entry =
      pictureEntry(path, relPath, index, probe.medium, names, micro.size.known ? &micro : nullptr, large,
                   video ? &none : imgFormatIsAdded(probe.format) ? &probe.meta : nullptr);
  entry.originalDownload = !video && !imgFormatBrowsersShow(probe.format);
  if (video) {
    entry.videoLink = linkForm(fileLibraryLink(relPath).c_str());
    entry.durationMs = derivedVideoDuration(comment);
  }
  if (motion) entry.motionLink = linkForm(fileLibraryLink(motion).c_str());
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
                          const PictureNames& names, const MicroHeader* micro, bool large,
                          const ImgPhotoMeta* meta) {
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
  if (gSettings.exif) addPhotoFacts(path, meta, &entry);

  if (medium) entry.mediumPath = names.medium;
  if (medium || entry.captioned || !entry.factsLine.empty() || gSettings.nav) {
    entry.pagePath = picturePageName(medium ? entry.mediumPath.c_str() : fileOutPath(path).c_str());
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
  // Empty without -hidpi, as the names are.
  entry.micro2Path = names.micro2;
  entry.micro3Path = names.micro3;
  entry.rollover2Path = names.rollover2;
  entry.rollover3Path = names.rollover3;
  if (large) {
    entry.largePath = names.large;
    entry.largeSize = sizeOf(entry.largePath);
  }
  return entry;
}

bool albumIsPictureName(const char* name) { return nameKind(name) != NameKind::None && !isDerivedName(name); }

bool albumExpectsMaking(const char* path) {
  PictureNames names;
  if (!albumIsPictureName(pathBaseName(path)) || !pictureNamesBuild(path, &names)) return false;
  return outOfDate(path, names.micro) || !ownFile(names.micro) || hidpiIncomplete(names, false);
}

bool albumIsAnyPictureName(const char* name) {
  return nameKind(name, true, false) != NameKind::None && !isDerivedName(name);
}

bool albumIsVideoEntryName(const char* name) { return nameKind(name) == NameKind::Video; }

bool albumIsAnyVideoName(const char* name) { return nameKind(name, false, true) == NameKind::Video; }

ImgPhotoMeta albumPhotoMeta(const char* path) {
  const ImgFormat format = readAs(path, nameKind(path, true, false), false);
  if (!imgFormatIsAdded(format)) return imgPhotoMetaRead(path);
  ImgHeaderInfo header;
  ImgDecoded said;
  ImgPhotoMeta meta;
  return imgFormatReadHeader(path, format, &header, &said, &meta) == IMG_OK ? meta : ImgPhotoMeta{};
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
