// Section reader: reads the named sections of a loaded text
// ("<name>content</name>", found by plain string search, nesting counted),
// unchanged or as plain text (tags removed, &lt; &gt; &amp; decoded).
#pragma once

struct UxmlCursor {
  char openTag[32];   // "<name>"; empty in whole-text mode
  char closeTag[32];  // "</name>"
  int tagLen;         // length of openTag
  const char* text;   // where the next search starts; null when exhausted
};

// Prepares the cursor over text (which must outlive it). A null or empty name
// reads the whole text once; a name over 28 characters finds nothing.
void uxmlInit(UxmlCursor* cursor, const char* text, const char* name);

// Copies the next section into dest (size bytes, always terminated, cut to
// size - 1; nothing is written when size <= 0); false when there is none
// left. Nested sections of the same name are returned too, in the order of
// their open tags. Never reads past the text's NUL.
bool uxmlNext(UxmlCursor* cursor, char* dest, int size, bool plain);

// Bounded copy of at most length bytes of src (stopping at a NUL) into dest,
// optionally as plain text: tags up to their first '>' dropped, &lt; &gt;
// &amp; decoded, everything else as is.
void uxmlCopy(char* dest, int size, const char* src, int length, bool plain);

// Every section of name in text, joined by sep, into dest of size bytes; a
// trailing separator is dropped; "" when there is none.
void uxmlJoin(UxmlCursor* cursor, char* dest, int size, const char* text, const char* name,
              const char* sep, bool plain);
