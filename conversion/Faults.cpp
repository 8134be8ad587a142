// The faults that the tests inject at the platform layer.
#include "Faults.h"

namespace {

unsigned g_faults = FAULT_NONE;

}  // namespace

void InjectFaults(unsigned faults)
{
    g_faults = faults;
}

void InjectIntoFacts(FileFacts& a, FileFacts& b)
{
    if (g_faults & FAULT_IDS_UNKNOWN) {
        a.index = 0;
        b.index = 0;
    } else if (g_faults & FAULT_IDS_REUSED) {
        b.volume = a.volume;
        b.index = a.index;
    }
    if (g_faults & FAULT_TIMES_ALIKE) {
        b.created = a.created;
        b.written = a.written;
    }
}

bool NamesWithheld()
{
    return (g_faults & FAULT_NO_NAMES) != 0;
}

// As documented for ReplaceFile with a backup name: after
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 the old file has the backup's name.
bool InjectedHalfDoneSwap(const Name& target, const Name& backup)
{
    if ((g_faults & FAULT_SWAP_HALF_DONE) == 0)
        return false;
    RenameFile(target, backup);
    return true;
}
