// The one channel for what a person reads: the walk's headings and the
// pictures' names on standard output, warnings, failures and the libraries'
// own lines on standard error, and the progress line redrawn in place on a
// terminal's standard error. Every writer here clears the progress line
// first, so that no line ever lands on its row; no other module writes to
// either stream for the user. Bytes go out as they are (no locale), but on a
// terminal control bytes are shown instead of obeyed ("^[" for ESC).
// Walk thread only: a worker hands its words back as text.
#pragma once

#include <string>

// printf onto standard output (a heading, a picture's name).
void userOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Text as it is onto standard output.
void userOutText(const std::string& text);
// Text as it is onto standard error (the libraries' own lines, a summary).
void userErrText(const std::string& text);
// "*** quorvel: ", the formatted message and a line feed on standard error.
void userWarn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Draws text as the progress line, over the one drawn before.
void userProgressShow(const std::string& text);
// The columns a progress line may take on standard error's terminal (its
// width less one); 0 when it is no terminal or tells no width. Asked on
// each draw: the window may have been resized.
int userProgressColumns();
// Clears the progress line when one is drawn; nothing otherwise.
void userProgressHide();
