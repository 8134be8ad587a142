// The platform calls of the conversion on Windows: files opened, read, written and swapped.
#include "SystemWin32.h"

#include <cstdio>

#include "Faults.h"
#include "TextWin32.h"

namespace {

// The errors that another program's open handle gives: a sharing or a lock
// violation, and ReplaceFile's two refusals that leave both files at their
// names, which a holder of either file causes.
bool IsHold(DWORD err)
{
    switch (err) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        return true;
    }
    return false;
}

Step Done(BOOL ok)
{
    return ok ? STEP_DONE : Failed();
}

Step Opened(HANDLE h, File& f)
{
    if (h == INVALID_HANDLE_VALUE)
        return Failed();
    f = reinterpret_cast<File>(h);
    return STEP_DONE;
}

}  // namespace

// Access denied is never waited for: a read-only or hidden file, an ACL.
Step Failed()
{
    const DWORD err = GetLastError();
    if (IsHold(err))
        return STEP_HELD;
    return err == ERROR_ACCESS_DENIED ? STEP_DENIED : STEP_FAILED;
}

void ShowError(const char* text)
{
    ShowBox(NULL, text, NULL);
}

// As the C runtime's fopen shares a file it reads.
Step OpenInput(const char* name, File& f)
{
    return Opened(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL),
                  f);
}

// Shared for writing: a viewer that keeps the file open may hold it so.
Step OpenEmptied(const Name& name, File& f)
{
    return Opened(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL),
                  f);
}

// Names xcv, eight hex digits and .tmp (.bak for the backup), made with
// create-new, so that no file is ever taken over. Made with delete access,
// which Discard needs. Readers may share it: a scanner reads a new file.
Step MakeNewFile(const Name& folder, Name& made, Name& backup, File& f)
{
    static DWORD serial = 0;
    const DWORD seed = GetCurrentProcessId() << 16 ^ GetTickCount();
    for (int tries = 0; tries < 100; ++tries) {
        char stem[16];
        const int n = std::snprintf(stem, sizeof stem, "xcv%08lx", static_cast<unsigned long>(seed + serial++));
        const Name path = folder + Name(stem, stem + n);
        made = path + L".tmp";
        backup = path + L".bak";
        if (GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND)
            continue;
        HANDLE h = CreateFileW(made.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                               CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            f = reinterpret_cast<File>(h);
            return STEP_DONE;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return Failed();
    }
    return STEP_FAILED;
}

bool ReadSome(File f, char* buf, std::size_t size, std::size_t& got)
{
    DWORD n = 0;
    const BOOL ok = ReadFile(Handle(f), buf, static_cast<DWORD>(size), &n, NULL);
    got = n;
    return ok != FALSE;
}

bool WriteAll(File f, const char* p, std::size_t n)
{
    while (n > 0) {
        DWORD w = 0;
        if (!WriteFile(Handle(f), p, static_cast<DWORD>(n), &w, NULL) || w == 0)
            return false;
        p += w;
        n -= w;
    }
    return true;
}

bool Rewind(File f)
{
    return SetFilePointer(Handle(f), 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

bool Empty(File f)
{
    return Rewind(f) && SetEndOfFile(Handle(f));
}

bool Commit(File f)
{
    return FlushFileBuffers(Handle(f)) != FALSE;
}

void Close(File f)
{
    CloseHandle(Handle(f));
}

void Discard(File f, const Name&)
{
    FILE_DISPOSITION_INFO gone = {TRUE};
    SetFileInformationByHandle(Handle(f), FileDispositionInfo, &gone, sizeof gone);
    CloseHandle(Handle(f));
}

// Delete access is what a rename needs; another opener that does not share
// delete holds the file against it.
Step MayRename(const Name& name)
{
    HANDLE h = CreateFileW(name.c_str(), DELETE, SHARE_ALL, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return Failed();
    CloseHandle(h);
    return STEP_DONE;
}

// ReplaceFile keeps target's attributes and creation time, and its security
// where it may write that to made (WRITE_DAC), and refuses a read-only target. It wants full names, which in their \\?\ form
// may be longer than MAX_PATH. With a backup name it is
// two renames, target to backup, then made to target; 1177 is the state
// between them.
SwapResult SwapIn(const Name& made, const Name& target, const Name& backup)
{
    if (InjectedHalfDoneSwap(target, backup))
        return SWAP_MODEL_MOVED;
    if (ReplaceFileW(target.c_str(), made.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
        return SWAP_DONE;
    const DWORD err = GetLastError();
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        return SWAP_MODEL_MOVED;
    return IsHold(err) ? SWAP_HELD : SWAP_REFUSED;
}

Step RenameFile(const Name& from, const Name& to)
{
    return Done(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
}

Step RemoveFile(const Name& name)
{
    return Done(DeleteFileW(name.c_str()));
}
