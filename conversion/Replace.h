// The final replace: the converted text takes the model's place whole or not at all.
#pragma once

#include <functional>

#include "Digest.h"
#include "System.h"

inline constexpr char WORK_FILE[] = "Dummy.x";

// How many pauses a wait for another program's hold takes: a moment (about
// 1 s) for the model and the work file, which other programs may need; all
// of them (about 5 s) for a file of ours, which nobody else needs.
enum Wait { MOMENT = 7, LONG_WAIT = 23 };

// Calls call again, after each of the first pauses, for as long as another
// program's hold refuses it.
Step Patiently(int pauses, const std::function<Step()>& call);

// Whether two names reach one file, as far as the drives can tell.
bool IsSameFile(const char* a, const char* b);

// Puts the work file's text, which must be exactly what was written, in the
// place of the file that fname reaches.
bool ReplaceInput(const char* fname, const Digest& written);
