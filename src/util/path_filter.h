// Path filter expressions: wildcard patterns combined with | & ! ( ),
// evaluated by recursive descent while read.
#pragma once

// True when path satisfies expr and expr was read to its end. Never fails:
// a malformed expression is just false or true; groups nested more than 500
// deep make it false. REQUIRES: expr and path non-null. Not re-entrant.
bool pathExprMatch(const char* expr, const char* path);

// True when expr is read to its end with every group closed, whatever the
// path (both sides of every operator are always read): an expression that
// isn't is false for every path. On false, *stop (when given) is where
// reading stopped ("" for a group left open at the end).
bool pathExprParses(const char* expr, const char** stop = nullptr);

// Evaluation levels; each advances *pos over what it reads.
bool pathExpr_OR(const char** pos, const char* path);
bool pathExpr_AND(const char** pos, const char* path);
bool pathExpr_NOT(const char** pos, const char* path);
bool pathExpr_PAR(const char** pos, const char* path);
bool pathExpr_PATTERN(const char** pos, const char* path);

// Decodes \\ \a \b \t \n \v \r \xHH in place; returns text.
char* strUnescape(char* text);
