// UTF-8 in visible text. Names and texts are byte strings in either
// ISO-8859-1 or UTF-8; a text is read as UTF-8 only when it is well-formed
// UTF-8 and holds at least one multi-byte sequence, which ISO-8859-1 text
// almost never is. Everything else keeps its byte-for-byte treatment.
#pragma once

#include <cstddef>
#include <string>

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) holding at least one multi-byte sequence.
bool utf8HasMultibyte(const char* text);

// The code point of the sequence at *p, moving *p past it. *p must stand at
// the start of a sequence of a text for which utf8HasMultibyte holds.
unsigned utf8Next(const char** p);

// The one rule for where a byte limit cut a character: the first length
// bytes of text less a last sequence they end too early (a lead byte from
// 0xC0 up, followed by fewer continuation bytes than its form needs: 0xF0 up
// four bytes in all, 0xE0 up three, else two). Stray continuation bytes
// stay. REQUIRES: text holds length bytes.
size_t utf8WholeLength(const char* text, size_t length);

// For a text that a byte limit may have cut: when utf8WholeLength drops a
// sequence that is well-formed so far and the text before it passes
// utf8HasMultibyte, ends the text there. Anything else (ISO-8859-1 text
// above all) is left whole.
void utf8DropCutSequence(char* text);

// Appends the UTF-8 form of code point c to out; nothing for NUL, a
// surrogate or a value above U+10FFFF.
void utf8Append(std::string* out, unsigned c);

// The controls that reorder the text after them (embeddings, overrides and
// isolates, U+202A-U+202E and U+2066-U+2069): in a name or a caption they
// could make one name look like another, so pages show them for what they
// are, as "[U+202E]", instead of obeying them.
bool utf8IsBidiControl(unsigned c);
std::string utf8BidiControlShown(unsigned c);
