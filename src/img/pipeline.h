// Picture pipeline: one source picture to its derived JPEG files, then its
// entry in the directory's Left page.
#pragma once

#include "util/file_handle.h"
#include "util/str_list.h"

// path: directory path, separator, file name; path + rootOffset is the
// root-relative path. Ignores files that are no usable picture. left and
// rightWritten belong to the walk's per-directory state.
void imgAddPicture(FileHandle& left, char* path, int rootOffset, int index, StrList* preload,
                   int& rightWritten);
