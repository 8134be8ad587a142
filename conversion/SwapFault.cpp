// The half-done swaps that the platform documents, made on demand for the
// tests: Windows never shows them under Wine, and the host never at all.
#include "System.h"

namespace {

SwapResult g_injected = SWAP_DONE;

}  // namespace

void InjectSwapResult(SwapResult result)
{
    g_injected = result;
}

// As documented for ReplaceFile: after ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
// the old file has the backup's name; after ERROR_UNABLE_TO_MOVE_REPLACEMENT
// without a backup it no longer exists.
bool TakeInjectedSwap(const char* target, const char* backup, SwapResult& result)
{
    result = g_injected;
    g_injected = SWAP_DONE;
    if (result == SWAP_DONE)
        return false;
    if (result == SWAP_TARGET_MOVED) {
        RemoveFile(backup);
        RenameFile(target, backup);
    } else if (result == SWAP_TARGET_GONE) {
        RemoveFile(target);
    }
    return true;
}
