// Command-line options: the option finder and the reading of every option
// into the settings, in the program's fixed order.
#pragma once

// Finds the first argument (from index 1) that begins with option, removes it
// from argv (later entries, the null one included, move down) and returns the
// text after the option; null when no argument matches. argc is decreased.
const char* argFind(int& argc, char** argv, const char* option);

// Reads every option into gSettings (and the frameset choice into the
// template set), loads -conf:, stores -list: (the entry creates that file)
// and -filter:. An option not given keeps Settings' default. What remains in
// argv afterwards are the program's name and the non-option arguments.
void optionsRead(int& argc, char** argv);

// The usage text, written as it is.
extern const char* const kUsageText;
