// Fatal errors, reported failures and memory: the services every module
// above the pure layers may call. Walk thread only: a worker thread returns
// its failure as a value (album/derived_pictures.h), and the walk thread
// reports it where a run on one thread would.
#pragma once

#include <cstddef>

// Writes "**** ERROR quorvel : ", the formatted message and a line feed on
// standard error and ends the process with exit status 1. Files already
// written stay as they are. Never returns.
[[noreturn]] void error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes the same line as error() but returns and counts it: for a failure
// that costs one file of the album, not the album. The run goes on and ends
// with status 1 (reportedFailures() tells the entry).
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

// How many failures report() has written so far.
int reportedFailures();

// malloc that never returns null: an exhausted heap ends the run with "mem".
// The caller releases the block with free().
void* alloc(size_t size);

// Copy of a NUL-terminated text in a block from alloc(); the caller frees it.
char* dup(const char* text);

// Ends the run with status 1 after a message already written (a library's
// own report). Never returns.
[[noreturn]] void stopRun();
