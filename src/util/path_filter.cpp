// Placeholder until the module lands.
#include "util/path_filter.h"
bool pathExprMatch(const char*, const char*) { return true; }
bool pathExpr_OR(const char**, const char*) { return false; }
bool pathExpr_AND(const char**, const char*) { return false; }
bool pathExpr_NOT(const char**, const char*) { return false; }
bool pathExpr_PAR(const char**, const char*) { return false; }
bool pathExpr_PATTERN(const char**, const char*) { return false; }
char* strUnescape(char* text) { return text; }
