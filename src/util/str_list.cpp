// Placeholder until the module lands.
#include "util/str_list.h"
StrList* strListNew(AllocFn) { return nullptr; }
void strListInit(StrList*) {}
void strListAdd(StrList*, const char*) {}
void strListPack(StrList*) {}
NameList strListNames(const StrList*) { return "\0"; }
const char* strListData(const StrList*) { return nullptr; }
void strListRelease(FreeFn, StrList*) {}
char* dirList(const char*, DirListMode) { return nullptr; }
char** strSplit(AllocFn, char*, char) { return nullptr; }
int strSplitCount(char**) { return 0; }
