#include "run/entry.h"
int quorvelMain(int, char**) { return 0; }
