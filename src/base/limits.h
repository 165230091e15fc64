// The design's size limits. Paths, derived names and texts live in fixed
// buffers of these sizes; where a text does not fit, the program skips the
// file, cuts the text or stops, and albums made before depend on exactly
// where that happens. So the sizes are part of the behaviour, not tuning:
// change one and the pages and messages of existing albums change too.
#pragma once

#include <cstddef>

// Path buffers (the walk's, and the path parts), terminating NUL included: a
// path of 300 characters or more is not held.
constexpr size_t kPathSize = 300;

// Names joined from a path and a suffix or a sibling name (derived pictures,
// pages, caption files, play-list entries), terminating NUL included.
constexpr size_t kNameSize = 400;

// -out: how many characters longer than the album root's name the out
// folder's may be: every derived name of a path that fits kPathSize then
// fits kNameSize in the out folder too.
constexpr size_t kOutRootRoom = 90;

// Visible labels of directory names (date labels), terminating NUL included.
constexpr size_t kLabelSize = 200;

// A caption's text and its title, as read for a picture or a directory.
constexpr int kCaptionTextSize = 1500;
constexpr int kCaptionTitleSize = 150;

// A configuration section is read into kSectionBufferSize bytes; a section
// longer than kSectionMaxLength characters ends the run (the buffer cuts at
// 1499, so anything past 1496 may already be cut).
constexpr int kSectionBufferSize = 1500;
constexpr size_t kSectionMaxLength = 1496;

// Largest picture decoded, in pixels, as its header claims it: 250 megapixels
// (750 MB of raster), well past any camera's photo. A few hundred bytes can
// claim 26000 x 26000 and cost gigabytes and many seconds; such a picture is
// refused before anything is allocated.
constexpr long long kMaxPicturePixels = 250'000'000;

// Most scans decoded from one progressive JPEG. Real files have about ten;
// thousands of empty scans only make the decode crawl.
constexpr int kMaxJpegScans = 1000;

// Caption, title and configuration files are read up to this many bytes. A
// caption keeps 1499 characters and a section 1496, so a larger file holds
// nothing more to show; the cap stops a huge or endless file from filling
// memory.
constexpr size_t kTextFileLimit = size_t{1} << 20;
