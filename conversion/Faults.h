// Faults of drives and of the swap that the tests make the platform layer show.
#pragma once

#include "System.h"

// Wine and the host never show these; the tests inject them, alone or
// several at once. The program is built with NoFaults.cpp, where nothing is
// ever injected.
enum Fault {
    FAULT_NONE = 0,
    FAULT_IDS_UNKNOWN = 1,     // every file index reads 0 (network drives)
    FAULT_IDS_REUSED = 2,      // two files read one id (drives that reuse or share indexes)
    FAULT_NO_NAMES = 4,        // no full name of an open file is given (RAM disks, DefineDosDevice)
    FAULT_SWAP_HALF_DONE = 8,  // ReplaceFile's 1177: the old file moved to the backup name, no further
    FAULT_TIMES_ALIKE = 16,    // two files read one creation and last-write time (made within one tick of a coarse clock)
};

// For the tests: the faults hold from now until the next call.
void InjectFaults(unsigned faults);

// Called by the platform layer on the facts it read of two files.
void InjectIntoFacts(FileFacts& a, FileFacts& b);

// Called by the platform layer before it asks for the full name of an open
// file: true where it must do as if the system gave none.
bool NamesWithheld();

// Called first by SwapIn: true where the half-done swap was injected, its
// effect then done to the files.
bool InjectedHalfDoneSwap(const Name& target, const Name& backup);
