// Command-line options: the option finder and the reading of every option
// into the settings, in the program's fixed order; and the run's knobs from
// the environment, read with the same number reader.
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

// Threads that make pictures: QUORVEL_JOBS when it is a number from 1 up
// (at most 64), else one per CPU the process may use (1 to 64).
int optionsPictureThreads();
// The memory budget of the pictures in flight, in bytes: QUORVEL_MEMORY in
// MiB when it is a number from 1 to 2^40, else the default budget.
long long optionsMemoryBudget();

// The usage text, written as it is.
extern const char* const kUsageText;
