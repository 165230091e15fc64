// Text encoders: names, paths and numbers in the forms the pages show.
// dateLabel and sizeText return static buffers, valid until their next call:
// walk thread only. The others return or write their result.
#pragma once

#include <cstdio>

// With date labels on, "20051225-A" gives "25.12.2005 A" and "200512" gives
// "12.2005"; anything else (or labels off, or a name over 194 characters)
// gives name itself. 200-byte static buffer.
const char* dateLabel(const char* name, bool dateLabels);

// "512 o", "1,50 Ko", "3,95 Mo": three significant digits, cut, decimal comma.
// Sizes are 64-bit: "3072 Mo" for 3 GiB.
const char* sizeText(long long size);

// Writes text for a play-list line: space, \ " ? & = + % #, bytes below 0x20
// and from 0x80 up become "%xx" (lower-case hex); all else is written as is.
void urlEncodeM3u(FILE* out, const char* text);

#include <string>

// A file or directory name as it may stand in an href or src value or in a
// quoted script argument: bytes below 0x20, from 0x7F up, and " # % & ' < > ?
// \ : become "%xx" (lower-case hex), and so does a space that is the name's
// first or last byte; everything else, inner spaces included, stays.
// (A ':' would let "Paris: day 1/..." be read as a URL scheme.) One name at a
// time: callers add "../" and "/quorvelFrameset.html" around it.
std::string linkForm(const char* name);

// text as page text for the HTML text writer (htmlWriteText): & < > "
// become &amp; &lt; &gt; &quot;, NULs are dropped, every other byte stays,
// for the writer's one UTF-8 rule. Never markup, whatever text holds.
std::string textEscaped(const std::string& text);

// A name as visible page text: & < > " become &amp; &lt; &gt; &quot;. In a
// name that is UTF-8 (see utf8HasMultibyte) each multi-byte character becomes
// "&#N;"; any other byte from 0x80 up stays as it is.
std::string textForm(const char* name);
