// The conversion of one X file: its texture names get a path in front.
#pragma once

#include "Result.h"

// Puts Path in front of every texture file name of the first material list of
// the X file fname, and rewrites the file in place through the work file
// "Dummy.x" in the current directory. Both arguments are NUL-terminated bytes
// in the ANSI code page. Shows a message box for each failure it meets and
// returns E_FAIL; shows nothing and returns S_OK on success.
HRESULT ConvertXFile(const char* fname, const char* Path);
