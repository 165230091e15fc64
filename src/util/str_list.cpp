// String lists, directory listing and splitting.
#include "util/str_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kInitialCapacity = 64;
// Listed paths must fit the walk's 300-byte path buffer.
constexpr size_t kPathBuf = 300;

// What the selection callback of scandir needs; it takes no context argument.
const char* listedDir = "";
DirListMode listedMode = DirListMode::Subdirectories;

void killList(StrList* list) {
  free(list->storage);
  list->storage = nullptr;
}

int selectEntry(const struct dirent* entry) {
  const char* name = entry->d_name;
  size_t dirLen = strlen(listedDir);
  size_t nameLen = strlen(name);
  // Room for the NUL and the "/." the walk appends to a subdirectory.
  if (nameLen + dirLen + 3 > kPathBuf) return 0;

  char path[kPathBuf];
  memcpy(path, listedDir, dirLen);
  size_t len = dirLen;
  if (dirLen > 0 && listedDir[dirLen - 1] != '/') path[len++] = '/';
  memcpy(path + len, name, nameLen + 1);

  // The walk lists "dir/."; drop every "/./" so the joined path is plain.
  for (char* at = strstr(path, "/./"); at; at = strstr(path, "/./")) {
    memmove(at, at + 2, strlen(at + 2) + 1);
  }

  struct stat st;
  if (lstat(path, &st) != 0) return 0;
  if (S_ISLNK(st.st_mode)) return 0;
  if (listedMode == DirListMode::Subdirectories) return S_ISDIR(st.st_mode) ? 1 : 0;
  return S_ISREG(st.st_mode) ? 1 : 0;
}

// Byte order whatever locale may be in force: names are byte strings.
int byteOrder(const struct dirent** a, const struct dirent** b) {
  return strcmp((*a)->d_name, (*b)->d_name);
}

}  // namespace

StrList* strListNew(AllocFn allocFn) {
  return static_cast<StrList*>(allocFn(sizeof(StrList)));
}

void strListInit(StrList* list) {
  if (!list) return;
  list->capacity = kInitialCapacity;
  list->used = 0;
  list->storage = static_cast<char*>(malloc(kInitialCapacity));
  if (list->storage) list->storage[0] = list->storage[1] = '\0';
}

void strListAdd(StrList* list, const char* name) {
  if (!list || !list->storage || !name) return;
  size_t n = strlen(name);
  long long need = static_cast<long long>(n) + 2;
  long long capacity = list->capacity;
  if (capacity - list->used < need) {
    while (capacity - list->used < need) capacity *= 2;
    // A capacity the int field cannot hold counts as memory exhausted.
    if (capacity > INT_MAX) {
      killList(list);
      return;
    }
    char* grown = static_cast<char*>(realloc(list->storage, static_cast<size_t>(capacity)));
    if (!grown) {
      killList(list);
      return;
    }
    list->storage = grown;
    list->capacity = static_cast<int>(capacity);
  }
  memcpy(list->storage + list->used, name, n + 1);
  list->used += static_cast<int>(n) + 1;
  list->storage[list->used] = '\0';
}

void strListPack(StrList* list) {
  if (!list || !list->storage || list->used + 1 >= list->capacity) return;
  char* packed = static_cast<char*>(realloc(list->storage, static_cast<size_t>(list->used) + 1));
  if (!packed) {
    killList(list);
    return;
  }
  list->storage = packed;
  list->capacity = list->used + 1;
}

NameList strListNames(const StrList* list) {
  static const char kEmpty[2] = {'\0', '\0'};
  if (!list || !list->storage) return kEmpty;
  return list->storage;
}

const char* strListData(const StrList* list) { return list ? list->storage : nullptr; }

void strListRelease(FreeFn freeFn, StrList* list) {
  if (!list || !list->storage) return;
  freeFn(list->storage);
  list->storage = nullptr;
}

char* dirList(const char* dir, DirListMode mode) {
  listedDir = dir;
  listedMode = mode;
  struct dirent** entries = nullptr;
  int count = scandir(dir, &entries, selectEntry, byteOrder);
  if (count < 0) {
    printf("pb scandir %s\n", dir);
    char* empty = static_cast<char*>(malloc(2));
    if (empty) empty[0] = empty[1] = '\0';
    return empty;
  }

  size_t total = 0;
  for (int i = 0; i < count; ++i) total += strlen(entries[i]->d_name) + 1;
  char* block = static_cast<char*>(malloc(total + 2));
  if (block) {
    char* w = block;
    for (int i = 0; i < count; ++i) {
      size_t len = strlen(entries[i]->d_name) + 1;
      memcpy(w, entries[i]->d_name, len);
      w += len;
    }
    w[0] = w[1] = '\0';
  }
  for (int i = 0; i < count; ++i) free(entries[i]);
  free(entries);
  return block;
}

char** strSplit(AllocFn allocFn, char* text, char sep) {
  if (!text) return nullptr;
  size_t pieces = 1;
  for (const char* p = text; *p; ++p) {
    if (*p == sep) ++pieces;
  }
  char** array = static_cast<char**>(allocFn((pieces + 1) * sizeof(char*)));
  if (!array) return nullptr;
  // The end is fixed first: the walk below writes NULs over separators.
  char* end = text + strlen(text);
  size_t i = 0;
  array[i++] = text;
  for (char* p = text; p < end; ++p) {
    if (*p == sep) {
      *p = '\0';
      array[i++] = p + 1;
    }
  }
  array[i] = nullptr;
  return array;
}

int strSplitCount(char** pieces) {
  if (!pieces) return 0;
  int count = 0;
  while (pieces[count]) ++count;
  return count;
}
