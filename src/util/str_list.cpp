// String lists and splitting.
#include "util/str_list.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kInitialCapacity = 64;

void killList(StrList* list) {
  free(list->storage);
  list->storage = nullptr;
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
