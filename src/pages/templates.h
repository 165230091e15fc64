// The Template set: fourteen page fragments, built in or replaced by the
// sections of the -conf: file, and the emitter that writes them.
#pragma once

#include <cstdio>

struct TemplateSet {
  const char* frameset;
  const char* topBegin;
  const char* topEnd;
  const char* rightEmpty;
  const char* rightBegin;
  const char* rightEnd;
  const char* leftBegin;
  const char* leftEnd;
  const char* mp3Begin;
  const char* mp3End;
  const char* m3uBegin;
  const char* m3uEnd;
  const char* videoBegin;
  const char* videoEnd;
};

extern TemplateSet gTemplates;

// The three built-in frameset templates ("%d" the width, "%%" a per-cent).
extern const char* const kFramesetDefault;
extern const char* const kFramesetNotop;
extern const char* const kFramesetNotree;

// Puts every slot back to its built-in text (frameset: the default one).
void templatesReset();

// Replaces the slots with the sections of the configuration file; ends the
// run when the file cannot be loaded or a section exceeds 1496 characters.
void confLoad(const char* fileName);

// Writes text with the -lw: width for its first "%d", a style-sheet link
// before "</head>" under -css:, and "../" per separator of relPath for each
// "$rootdir$".
void templateWrite(FILE* out, const char* relPath, const char* text);
