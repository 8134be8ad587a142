// The final replace: the converted text takes the model's place whole or not at all.
//
// The work file, which nobody else can write while the conversion has it
// open, is copied into a new file of ours beside the model (beside the file
// itself, where the name is a link); ReplaceFile swaps that in for the
// model, whose old file takes a free name beside it, the backup. How it can
// end:
//
//   what the platform answers          what the program does        the model afterwards
//   the swap done                      removes the backup           converted
//   the model held after ~1 s          removes the new file,        converted, or as it was
//                                      copies the work file over    with the message
//   only files of ours held, ~5 s      swaps once they are let      converted, or as it was
//                                      go, or the message           with the message
//   the swap refused (a read-only      the message at once          as it was
//     model, no right to rename)
//   half done: the model at the        renames it back, the         as it was; where it can't go
//     backup's name                    message                      back, both files of ours stay
//   no new file beside the model       copies the work file over    converted, or as it was
//     (no permission)                  the model                    with the message
//
// In every row the files of ours are removed, after a wait of up to ~5 s for
// other programs to let them go, but in the one where they hold the model's
// only copies. The folder then holds the model and nothing else of ours,
// but Dummy.x where it is the current one, and a file of ours that another
// program holds past the wait without letting it be deleted (after a swap,
// the backup, with the old text).
#include "Replace.h"

#include <chrono>
#include <iterator>
#include <thread>
#include <vector>

namespace {

// The pauses between the tries of a step that a hold refused, in ms: they
// grow while most holds end, then stay short enough that a file let go is
// taken soon after.
constexpr int PAUSES_MS[] = {10,  20,  40,  80,  150, 250, 450, 250, 250, 250, 250, 250,
                             250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 250};

constexpr int Total(int pauses)
{
    int ms = 0;
    for (int i = 0; i < pauses; ++i)
        ms += PAUSES_MS[i];
    return ms;
}
static_assert(Total(MOMENT) == 1000 && Total(LONG_WAIT) == 5000 && LONG_WAIT == std::size(PAUSES_MS));

void Pause(int i)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(PAUSES_MS[i]));
}

Step RemovePatiently(const Name& name)
{
    return Patiently(LONG_WAIT, [&] { return RemoveFile(name); });
}

// Copies from, from its start, to to, and puts what went over on the disk.
bool CopyAll(File from, File to)
{
    if (!Rewind(from))
        return false;
    std::vector<char> chunk(64 * 1024);
    std::size_t got;
    do {
        if (!ReadSome(from, chunk.data(), chunk.size(), got) || !WriteAll(to, chunk.data(), got))
            return false;
    } while (got > 0);
    return Commit(to);
}

// The way left where no new file can take the model's place: the model's
// own file is emptied and written. A disk that fills meanwhile leaves it cut
// short.
bool CopyOverModel(File work, const Name& target)
{
    File model;
    if (OpenEmptied(target, model) != STEP_DONE)
        return false;
    const bool ok = CopyAll(work, model);
    Close(model);
    return ok;
}

// The new file of ours, filled from the work file. Where the folder lets
// files be made but not renamed (an ACL without the right to delete), no
// swap can be made, and the file goes through the handle it was made with.
bool MakeCopy(File work, File out, const Name& made, const Name& target)
{
    if (!CopyAll(work, out) || MayRename(made) == STEP_DENIED || MayRename(target) == STEP_DENIED) {
        Discard(out, made);
        return false;
    }
    Close(out);
    return true;
}

}  // namespace

Step Patiently(int pauses, const std::function<Step()>& call)
{
    Step s = call();
    for (int i = 0; s == STEP_HELD && i < pauses; ++i) {
        Pause(i);
        s = call();
    }
    return s;
}

bool ReplaceInput(const Name& target, const Name& folder, File work)
{
    Name made, backup;
    File out;
    switch (MakeNewFile(folder, made, backup, out)) {
    case STEP_DONE:
        break;
    case STEP_DENIED:
        return CopyOverModel(work, target);
    default:
        return false;
    }
    if (!MakeCopy(work, out, made, target))
        return false;

    // Who holds what is asked after each refusal: the model, or only files
    // of ours (a scanner reading the new file).
    bool modelHeld = false;
    SwapResult r = SwapIn(made, target, backup);
    for (int i = 0; r == SWAP_HELD; ++i) {
        modelHeld = MayRename(target) == STEP_HELD;
        if (i >= (modelHeld ? MOMENT : LONG_WAIT))
            break;
        Pause(i);
        r = SwapIn(made, target, backup);
    }

    switch (r) {
    case SWAP_DONE:
        RemovePatiently(backup);
        return true;
    case SWAP_HELD:
        // A viewer keeps the model open; where it lets others write, the
        // model's own file takes the text.
        RemovePatiently(made);
        return modelHeld && CopyOverModel(work, target);
    case SWAP_REFUSED:
        RemovePatiently(made);
        return false;
    case SWAP_MODEL_MOVED:
        // Where the model can't go back, both files stay: they hold its old
        // text and its new, maybe the only copies.
        if (Patiently(LONG_WAIT, [&] { return RenameFile(backup, target); }) == STEP_DONE)
            RemovePatiently(made);
        return false;
    }
    return false;
}
