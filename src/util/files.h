// Files: dates and sizes, whole-file loading, directory listing. Every
// failure comes back as a value (0, null, an empty list); nothing here ends
// the run.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "util/file_handle.h"
#include "util/str_list.h"  // AllocFn, NameList

// Last modification time in seconds since the epoch (stat, links followed);
// 0 when the file cannot be examined, out-parameters then untouched. Each
// non-null out-parameter gets its part of the local-time breakdown (year in
// full, month 1..12, day of month, hour, minute, second) or the size in bytes.
time_t fileDate(const char* path, int* year = nullptr, int* month = nullptr, int* day = nullptr,
                int* hour = nullptr, int* minute = nullptr, int* second = nullptr,
                long long* size = nullptr);

// Whether a was modified after b, to the nanosecond where the file system
// keeps it (stat, links followed); a file that can't be examined counts as
// modified at the epoch.
bool fileModifiedAfter(const char* a, const char* b);

// Size in bytes from stat (symbolic links followed); 0 when unreadable.
long long fileSize(const char* path);

// Opens dir followed directly by name (null parts count as empty) with
// fileOpen; null when the two lengths exceed 299 or the open fails.
FILE* fileOpenIn(const char* dir, const char* name, const char* mode);

// The file's first bytes, up to its size or kTextFileLimit, as one
// NUL-terminated text in a block from allocFn, ended at the first 0x1A byte;
// null when it cannot be opened, is no regular file (a FIFO, a directory) or
// is empty.
char* fileLoadIn(AllocFn allocFn, const char* dir, const char* name);
char* fileLoad(AllocFn allocFn, const char* name);

// The real path of path (links, "." and ".." resolved); "" when it can't
// be resolved.
std::string fileRealPath(const char* path);

enum class DirListMode { Subdirectories, RegularFiles };

// The subdirectories or regular files of dir (never symbolic links), sorted
// by byte value, as a NameList in a malloc block the caller frees; "." and
// ".." come first in Subdirectories mode. An unreadable directory prints
// "pb scandir %s\n" and gives an empty list. Null only when memory runs out.
// Names of any length are listed: the walk says which it can't take. Not
// re-entrant.
char* dirList(const char* dir, DirListMode mode);
// As dirList, but an unreadable directory gives null, and nothing is printed.
char* dirListQuiet(const char* dir, DirListMode mode);
