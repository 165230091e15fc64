// Picture pipeline, on the walk thread only: which files are pictures to
// show, whether their derived files are up to date, the -list: line, and the
// picture's entry in its directory's pages. The files themselves are made by
// album/derived_pictures.h, here or ahead on the workers of
// album/picture_pool.h; their failures are reported here, where a run on one
// thread reports them.
#pragma once

#include <string>
#include <vector>

#include "album/derived_names.h"
#include "img/photo_meta.h"
#include "pages/album_pages.h"

// Sets the threads that make derived pictures ahead of the walk (none for 1:
// every picture is made where the walk reaches it); they start with the
// first picture that needs making.
void albumStartWorkers(int threads);
// Lets the running pictures finish and ends the threads.
void albumStopWorkers();
// Whether planning a directory ahead can help: the workers are on.
bool albumPlansAhead();

// A directory's files, in walk order, before its pictures are added: the
// pictures that need making, of every format, are handed to the workers.
// With ahead, they are the files of the directory the walk adds pictures to
// next, planned behind those planned already, so no thread idles at the
// turn. Reads headers without a word: what the library says comes out when
// the walk reaches the picture.
void albumPlanPictures(const std::vector<std::string>& paths, bool ahead = false);

// path: directory path, separator, file name; path + rootOffset is the
// root-relative path. A picture name (albumIsPictureName) is read by its
// header (img/picture_formats.h: a .jpg name as a JPEG, a .gif name as a
// GIF when it holds one, an added name by its content), the size measured
// upright. Silently ignores other names, derived files, pictures not wider
// than -iw: and taller than -ih:, and headers that cannot be opened or that
// the library refuses in its own lines (written on standard error; the
// picture counted as damaged). A picture that cannot be read (not missing),
// whose header claims more than kMaxPicturePixels, is of a kind the JPEG
// library doesn't decode, is refused with a reason, or whose format's
// library cannot be loaded is reported (report()) and left out. Otherwise
// writes the -list: line, remakes the derived files when pic.vi.jpg is
// older than path, when one the page points at is missing or the
// thumbnail's header can't be read (or -force; prints its name on stdout),
// and adds the picture's entry to pages (opening the Left page first). A
// picture that cannot be decoded, or that cannot be opened, is reported and
// left out: no derived files, no entry; its -list: line stays. Any other
// failure while making the files ends the run through error().
// Under -nav -video a video browsers play (albumIsVideoEntryName) is taken
// as a picture: its derived pictures are its poster's (a plain stand-in,
// reported, when the libraries can't read it), made by its dates alone (a
// warm run opens no video), its running time kept in its thumbnail; no
// -list: line, no -exif facts. motion, when given, is the root-relative path
// of a Live Photo's video, which the picture's page plays on request.
void albumAddPicture(DirectoryPages& pages, char* path, int rootOffset, int index, const char* motion = nullptr);

// The page entry of a picture whose derived files (names) exist: their sizes
// as read back, the caption of pic.txt (with -exif, else the picture's own),
// with -exif the picture's facts line, and the picture's own page
// (pic.md.html with a medium, else pic.html when it is captioned or has a
// facts line; none when that name is one of the album's own pages).
// micro, when given, is the thumbnail's header as read already (its size
// and the library's words on it), which the entry then does not read again.
// Under -hidpi, the 3x and 2x thumbnails' and rollovers' names, and with
// large the large view's name and size as read back. meta, when given, the
// picture's own metadata as its header read found it (with -exif, a format
// -allpics adds), which -exif then takes instead of reading a JPEG's
// segments.
struct MicroHeader {
  PictureSize size;
  std::string messages;
};
PictureEntry pictureEntry(const char* path, const char* relPath, int index, bool medium,
                          const PictureNames& names, const MicroHeader* micro = nullptr, bool large = false,
                          const ImgPhotoMeta* meta = nullptr);

// True when name ends in .gif or .jpg (any case), or with -allpics in .jpeg,
// .png, .webp, .heic, .heif or .avif, and is no derived name: a picture the
// walk looks at.
bool albumIsPictureName(const char* name);
// Whether path, named as a picture, looks to be made by this run: its
// thumbnail is missing or older (or -force). Reads no header: a count for
// the progress line, not a verdict.
bool albumExpectsMaking(const char* path);
// As albumIsPictureName with -allpics, whatever the run's options: a name
// whose derived files some run may have written.
bool albumIsAnyPictureName(const char* name);
// Whether name is a video that -nav -video takes as a picture: .mp4, .m4v,
// .webm, .ogv or .mov (any case).
bool albumIsVideoEntryName(const char* name);
// The same names whatever the run's options: a video whose poster some run
// may have written.
bool albumIsAnyVideoName(const char* name);

// The picture's own metadata as -exif reads it, with -allpics, whatever the
// run's options: a JPEG's segments, or what an added name's header read
// finds (by its content); all empty when there is none or it can't be read.
ImgPhotoMeta albumPhotoMeta(const char* path);

// Earlier versions wrote a derived picture aside as its name plus this
// suffix; such leftovers are recognised as temporaries too.
inline constexpr char kLegacyTempSuffix[] = ".quorvel-tmp";

// True when path is named as a temporary (fileIsTempName, or a derived name
// with the suffix earlier versions used); it is removed when stale
// (fileRemoveStaleTemp), so a run never removes a live run's temporary. The
// walk calls it on every listed file before handing files to the handlers,
// so no temporary ever counts as a file of the album.
bool albumRemoveLeftoverTemp(const char* path);
