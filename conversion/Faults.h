// Faults of drives and of the swap that the tests make the platform layer show.
#pragma once

#include "System.h"

// Wine and the host never show these; the tests inject them. The program is
// built with NoFaults.cpp, where nothing is ever injected.
enum Fault {
    FAULT_NONE,
    FAULT_IDS_UNKNOWN,     // every file index reads 0 (network drives)
    FAULT_IDS_REUSED,      // two files read one id (drives that reuse or share indexes)
    FAULT_SWAP_HALF_DONE,  // ReplaceFile's 1177: the old file moved to the backup name, no further
};

// For the tests: the fault holds from now until the next call.
void InjectFault(Fault fault);

// Called by the platform layer on the facts it read of two files.
void InjectIntoFacts(FileFacts& a, FileFacts& b);

// Called first by SwapIn: true where the half-done swap was injected, its
// effect then done to the files.
bool InjectedHalfDoneSwap(const char* target, const char* backup);
