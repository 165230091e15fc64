// The picture pool: worker threads that make the derived pictures the walk
// has planned, ahead of the walk, at most eight per thread planned and not
// yet taken back, so the files written ahead stay few however large the
// tree is. Every function here is called on the walk thread only; the
// workers run derivedMake and nothing else.
#pragma once

#include <optional>
#include <string>

#include "album/derived_names.h"
#include "album/derived_pictures.h"
#include "album/source_stamp.h"
#include "img/photo_meta.h"

// One picture to make on a worker, and, once taken back, its result.
struct PoolJob {
  std::string path;
  PictureNames names;
  ImgFormat format = ImgFormat::Jpeg;  // what it is decoded as
  bool medium = false;     // the header's verdict, read once while planning
  bool large = false;      // -hidpi: gets a large view, by the same verdict
  long long pixels = 0;    // its size: the workers take the largest first
  long long memory = 0;    // what making it holds (memoryBudgetNeed)
  std::string headerText;  // the library's lines while its header was read
  ImgPhotoMeta meta;       // with -exif, an added format's metadata, read with its header
  std::string microComment;  // a video's: its running time, for its thumbnail
  ImgHeaderInfo header;      // as read while planning
  std::optional<SourceIdentity> stampFor;  // the thumbnail's stamp, once made
  DerivedResult result;    // set when the job is taken back
};

// Sets how many workers the pool is to have (none for 1 or less: every
// picture is then made where the walk reaches it). They start with the first
// job planned, so a run with nothing to make starts none.
void picturePoolSetThreads(int threads);

// Whether the pool has workers to plan for.
bool picturePoolOn();

// Queues job behind those planned already, in walk order.
// REQUIRES: picturePoolOn().
void picturePoolPlan(PoolJob job);

// The job planned for path when it is the next in walk order, finished (made
// here and now if no worker began it); nullopt when none is.
std::optional<PoolJob> picturePoolTake(const char* path);

// Forgets the jobs still planned: those not begun are dropped, the others
// finish first, so no worker writes beside the next directory unawaited.
void picturePoolDropPlanned();

// Lets the running jobs finish, drops the others and ends the workers. Also
// runs at exit() (error() on the walk thread), before the temporaries go.
void picturePoolStop();
