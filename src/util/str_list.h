// String lists.
//
// A NameList is a packed block of non-empty NUL-terminated names ended by an
// empty name. A StrList grows such a block; when memory runs out its storage
// becomes null ("dead"): adds do nothing and it reads as empty.
#pragma once

#include <cstddef>
#include <cstring>

using NameList = const char*;

// Reads a NameList in order, without copying:
//   for (const char* name : strListEach(names)) ...
// REQUIRES: the list is not changed while it is read.
struct NameListEnd {};
struct NameListCursor {
  const char* at;
  const char* operator*() const { return at; }
  NameListCursor& operator++() {
    at += std::strlen(at) + 1;
    return *this;
  }
  bool operator!=(NameListEnd) const { return *at != '\0'; }
};
struct NameListRange {
  NameList names;
  NameListCursor begin() const { return {names}; }
  NameListEnd end() const { return {}; }
};
inline NameListRange strListEach(NameList names) { return {names}; }

struct StrList {
  int capacity;   // size of storage in bytes
  int used;       // offset of the ending empty name
  char* storage;  // packed NameList, or null when memory ran out
};

using AllocFn = void* (*)(size_t);
using FreeFn = void (*)(void*);

// A StrList record from allocFn, uninitialised; null when allocFn fails.
StrList* strListNew(AllocFn allocFn);
// Capacity 64, used 0, 64 bytes of storage from malloc (null on failure).
// Does nothing for a null list.
void strListInit(StrList* list);
// Appends name, doubling capacity as needed; a failed realloc kills the list.
void strListAdd(StrList* list, const char* name);
// Shrinks the storage to used + 1 bytes.
void strListPack(StrList* list);
// The storage, or a constant empty NameList; never null.
NameList strListNames(const StrList* list);
// The storage, or null when the list is null; tells whether it is alive.
const char* strListData(const StrList* list);
// Hands the storage to freeFn and sets it to null; the record stays.
void strListRelease(FreeFn freeFn, StrList* list);

// Splits text in place at every sep; returns a null-terminated array of
// pieces (from allocFn; the caller frees the array only). Null when text is
// null or allocation fails. Empty pieces are kept.
char** strSplit(AllocFn allocFn, char* text, char sep);
// Number of pieces before the null entry; 0 for null.
int strSplitCount(char** pieces);
