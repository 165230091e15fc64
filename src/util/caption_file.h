// Caption files: a picture's pic.txt and a directory's title.txt, read into
// the fixed buffers whose sizes the pages show (kCaptionTextSize,
// kCaptionTitleSize).
#pragma once

#include <string>

// Loads a caption file: the whole text as plain text into text (textSize) and
// its "t" sections joined by " - " into title (titleSize). A UTF-8 text cut
// inside a character by its buffer ends before that character. False,
// buffers untouched, when the file is missing or empty.
bool captionRead(char* text, int textSize, char* title, int titleSize, const char* path);

// A caption's text without its "t" sections, as plain text with leading
// white space dropped: what a page shows under a title that stands on its
// own line. Empty when the file is missing or empty.
std::string captionBody(const char* path, int bodySize);
