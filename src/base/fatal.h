// Fatal errors, reported failures and memory: the services every module
// above the pure layers may call.
#pragma once

#include <cstddef>
#include <string>

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

// What a job on a worker thread would have written on standard error, and
// whether it would have ended the run, kept for the walk to play back when it
// reaches the job's picture: the user sees the lines where a run on one
// thread prints them.
struct FailureLog {
  std::string text;
  int reported = 0;
  bool fatal = false;
};

// Thrown by error() and stopRun() on a thread that has a log: a worker never
// ends the process itself.
struct JobStopped {};

// Sends this thread's messages to log (nullptr: standard error again).
void setThreadFailureLog(FailureLog* log);

// Writes text on standard error, or into this thread's log.
void writeDiagnostic(const char* text);

// Ends the run with status 1 after a message already written (a library's
// own report); throws JobStopped on a thread with a log.
[[noreturn]] void stopRun();

// Called once before error() or stopRun() end the process, so that worker
// threads are stopped before exit() tears down what they use.
void setBeforeExit(void (*hook)());

// Writes the log on standard error and counts its failures, as if its job had
// run here; ends the run when the job would have.
void replayFailures(const FailureLog& log);
