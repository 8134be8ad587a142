// The program's fault hooks: it never injects a fault.
#include "Faults.h"

void InjectIntoFacts(FileFacts&, FileFacts&) {}

bool InjectedHalfDoneSwap(const char*, const char*)
{
    return false;
}
