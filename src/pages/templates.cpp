// Placeholder until the module lands.
#include "pages/templates.h"
TemplateSet gTemplates;
const char* const kFramesetDefault = "";
const char* const kFramesetNotop = "";
const char* const kFramesetNotree = "";
void templatesReset() {}
void confLoad(const char*) {}
void templateWrite(FILE*, const char*, const char*) {}
