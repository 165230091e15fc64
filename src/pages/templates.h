// The Template set: fourteen page fragments, built in or replaced by the
// sections of the -conf: file, and the emitter that writes them.
#pragma once

#include <cstdio>
#include <string>

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

// The process-wide Template set. Slots point at built-in constants or at
// private copies made by confLoad; they live until the next templatesReset.
extern TemplateSet gTemplates;

// The sections of a configuration file, in the order they are read, with the
// slot each one fills.
struct TemplateSection {
  const char* name;
  const char* TemplateSet::*slot;
};
constexpr int kTemplateSectionCount = 14;
extern const TemplateSection kTemplateSections[kTemplateSectionCount];

// The three built-in frameset templates ("%d" the width, "%%" a per-cent).
extern const char* const kFramesetDefault;
extern const char* const kFramesetNotop;
extern const char* const kFramesetNotree;

// Puts every slot back to its built-in text (frameset: the default one).
void templatesReset();

// -nav: every slot still holding a built-in text (the frameset that -notop
// or -notree chose included) takes its phone-ready form. Called once the
// -conf: file's sections are in place.
void templatesNavLook();

// Replaces each slot whose section the configuration file holds (first
// section of that name, content byte for byte); other slots keep their text.
// Ends the run through error() when the file cannot be loaded or is empty,
// or when a section exceeds 1496 characters.
void confLoad(const char* fileName);

// Writes text with the -lw: width for its first "%d", under -css: a
// style-sheet link line before the first "</head>" (else "</HEAD>"), and "../"
// per '/' or '\' of relPath for each "$rootdir$". relPath: root-relative path
// of the file or directory that causes the page. A -css: text of any length.
void templateWrite(FILE* out, const char* relPath, const char* text);

// True when page (a page's first bytes, 16 KiB suffice) starts with the head
// of one of the built-in templates, to its "</head>", whatever -lw:, -css:
// and -nav's title wrote there: a page quorvel wrote. A -conf: section's
// pages are the user's words and never count.
bool templatesBuiltInHead(const std::string& page);
