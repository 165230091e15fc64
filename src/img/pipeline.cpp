// Placeholder until the module lands.
#include "img/pipeline.h"
void imgAddPicture(FileHandle&, char*, int, int, StrList*, int&) {}
