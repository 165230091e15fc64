// HTML text writer: writes a user's ISO-8859-1 or UTF-8 text into a page,
// letting known tags, comments and entities pass and turning other special
// and accented characters into entities. Its own output passes through
// unchanged.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Writes text to out: a known tag is copied up to its '>' (one is added when
// the text ends first), a comment up to its "-->" (likewise), a "&#" or known
// entity up to its ';' (likewise); every other byte as htmlCharText gives it.
// A text that is UTF-8 (see utf8HasMultibyte) has each multi-byte character
// outside those written as htmlCharText of its code point when that is
// U+00A0 to U+00FF, else as "&#N;".
void htmlWriteText(FILE* out, const char* text);

// True when text (at a '<') begins with a known tag (any case) or with "<!".
// Never reads past the text's NUL.
bool htmlIsTag(const char* text);

// True when text (at a '&') begins with a known named entity (exact case).
// Never reads past the text's NUL.
bool htmlIsEntity(const char* text);

// The tables behind the functions above, built on first use and kept for the
// run: the 762 tag entries and the 73 named entities, each sorted by byte
// value, and the text written for a byte outside tags and references ("" for
// byte 0, "&lt;" for '<', "&eacute;" for 0xE9, "&#129;" for 0x81).
const std::vector<std::string>& htmlTagTable();
const std::vector<std::string>& htmlEntityTable();
const char* htmlCharText(unsigned char byte);
