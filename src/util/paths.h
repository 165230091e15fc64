// Path utilities: file-name and directory parts, extension tests, wildcard
// matching. Separators for the file-name part are '/', '\' and ':'.
// Results that are new strings live in one static buffer per operation, valid
// until the next call of the same operation (not re-entrant): walk thread
// only. The derived pictures that workers make call none of them.
#pragma once

// Pointer into path just after its last '/', '\' or ':'; path itself when it
// has none. No copy.
const char* pathFileName(const char* path);

// Pointer just after the last '/' of path; path itself when it has none.
// The walk joins names with '/' only, and on this system a file name may hold
// '\' or ':', so names of walked files are taken with this one.
const char* pathBaseName(const char* path);

// path without the last '.' of its file-name part and what follows, in a
// 300-byte static buffer. A path of 300 characters or more is returned itself.
const char* pathWithoutExt(const char* path);

// path up to and including its last separator ("" when none), in a 300-byte
// static buffer. A path of 300 characters or more gives null.
const char* pathWithoutFile(const char* path);

// Byte-exact prefix / suffix tests; a null text is false, an empty prefix or
// suffix is true.
bool strStartsWith(const char* text, const char* prefix);
bool strEndsWith(const char* text, const char* suffix);
// As strEndsWith, letters folded as strcasecmp folds them.
bool strEndsWithNoCase(const char* text, const char* suffix);

// True when the wildcard pattern ('*' any run, '?' one character, all else
// exact) matches the whole name. A star that is not last never takes an
// empty tail: "x**" does not match "x".
bool pathMatch(const char* pattern, const char* name);

// first + second into buf (400 bytes); returns buf, or a static "" (buf
// untouched) when the lengths add up to 400 or more. buf may be the very
// memory of first (second is appended), of second (first is put in front)
// or of both (the text is doubled).
char* strConcatBounded(char* buf, const char* first, const char* second);

// name in the directory of path: path up to its last '/' (only '/': the walk
// joins with it, and "10:30.jpg" is one file name), followed by name, in a
// 400-byte static buffer; null when that would reach 400 characters.
const char* pathSiblingName(const char* path, const char* name);

// Copy of path with '\' turned into '/' and bytes 1..31 into '*' (300-byte
// static buffer); a path of 300 characters or more is returned itself.
const char* pathFilterForm(const char* path);

// True for the listing's own entries "." and "..".
bool pathIsDotName(const char* name);

// Number of '/' and '\' in path.
int pathDepth(const char* path);

// Copy of path with '\' turned into '/' (400-byte static buffer); a path of
// 400 characters or more is returned itself.
const char* pathSlashes(const char* path);
