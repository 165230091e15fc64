// The one line quorvel redraws in place on a terminal's standard error (the
// progress of a run), cleared before any other line is written so that the
// lines of both output streams stay readable. Walk thread only.
#pragma once

#include <string>

// Draws text as the line, over the one drawn before.
void terminalLineShow(const std::string& text);
// Clears the line when one is drawn; nothing otherwise.
void terminalLineHide();
