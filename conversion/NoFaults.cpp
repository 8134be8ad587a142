// The program's fault hooks: it never injects a fault.
#include "Faults.h"

void InjectIntoFacts(FileFacts&, FileFacts&) {}

bool NamesWithheld()
{
    return false;
}

bool InjectedHalfDoneSwap(const Name&, const Name&)
{
    return false;
}
