// Being folded into base/user_output.h: the old names of its progress line.
#pragma once

#include "base/user_output.h"

inline void terminalLineShow(const std::string& text) { userProgressShow(text); }
inline void terminalLineHide() { userProgressHide(); }
