// The faults that the tests inject at the platform layer.
#include "Faults.h"

namespace {

Fault g_fault = FAULT_NONE;

}  // namespace

void InjectFault(Fault fault)
{
    g_fault = fault;
}

void InjectIntoFacts(FileFacts& a, FileFacts& b)
{
    if (g_fault == FAULT_IDS_UNKNOWN) {
        a.index = 0;
        b.index = 0;
    } else if (g_fault == FAULT_IDS_REUSED) {
        b.volume = a.volume;
        b.index = a.index;
    }
}

// As documented for ReplaceFile with a backup name: after
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 the old file has the backup's name.
bool InjectedHalfDoneSwap(const char* target, const char* backup)
{
    if (g_fault != FAULT_SWAP_HALF_DONE)
        return false;
    RenameFile(target, backup);
    return true;
}
