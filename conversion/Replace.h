// The final replace: the converted text takes the model's place whole or not at all.
#pragma once

#include <functional>

#include "System.h"

// How many pauses a wait for another program's hold takes: a moment (about
// 1 s) for the model and the work file, which other programs may need; all
// of them (about 5 s) for a file of ours, which nobody else needs.
enum Wait { MOMENT = 7, LONG_WAIT = 23 };

// Calls call again, after each of the first pauses, for as long as another
// program's hold refuses it.
Step Patiently(int pauses, const std::function<Step()>& call);

// Puts the text of the work file, which nobody else can write, in the place
// of the model, the file target in folder.
bool ReplaceInput(const Name& target, const Name& folder, File work);
