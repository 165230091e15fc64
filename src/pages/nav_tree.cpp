// Placeholder until the module lands.
#include "pages/nav_tree.h"
void htmlWriteTop(const char*, NameList, const char*, int, bool) {}
void htmlWriteTopLevel(char*, int, NameList, int, const char*) {}
