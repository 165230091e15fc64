// The installed binary's kill points: none (see test_hook.h).
#include "util/test_hook.h"

void testHook(const char*, const char*) {}
