// The platform calls of the conversion on Windows.
#include "System.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>

#include "Faults.h"

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

// Access denied is never waited for: a read-only or hidden file, an ACL.
Step Failed()
{
    const DWORD err = GetLastError();
    if (IsHold(err))
        return STEP_HELD;
    return err == ERROR_ACCESS_DENIED ? STEP_DENIED : STEP_FAILED;
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

HANDLE Handle(File f)
{
    return reinterpret_cast<HANDLE>(f);
}

const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The full name of the file itself where name reaches it through a link, so
// that the file is replaced and the link stays; the full name of name where
// the system can't tell, or tells a name too long for the ANSI calls (a
// drive made with subst may reach a longer one).
bool GetTargetName(const char* name, std::string& target)
{
    char buf[MAX_PATH + 8];
    HANDLE h = CreateFileA(name, 0, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        CloseHandle(h);
        if (n > 0 && n < sizeof buf) {
            target.assign(buf, n);
            if (target.compare(0, 8, "\\\\?\\UNC\\") == 0)
                target.replace(0, 8, "\\\\");
            else if (target.compare(0, 4, "\\\\?\\") == 0)
                target.erase(0, 4);
            if (target.size() < MAX_PATH)
                return true;
        }
    }
    DWORD n = GetFullPathNameA(name, MAX_PATH, buf, NULL);
    if (n == 0 || n >= MAX_PATH)
        return false;
    target.assign(buf, n);
    return true;
}

// Facts of an open file; its full name stays empty where the system can't
// give it.
void ReadFacts(HANDLE h, FileFacts& facts, std::wstring& name)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        facts.volume = info.dwVolumeSerialNumber;
        facts.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
        facts.links = info.nNumberOfLinks;
    }
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD n = GetFinalPathNameByHandleW(h, NULL, 0, flags);
    if (n == 0)
        return;
    name.resize(n);
    n = GetFinalPathNameByHandleW(h, &name[0], n, flags);
    name.resize(n < name.size() ? n : 0);
}

}  // namespace

void ShowError(const char* text)
{
    MessageBoxA(NULL, text, NULL, MB_OK);
}

// The opened file tells, not a list of names: which names reach a device is
// the system's to say (COM1.x does before Windows 11, not since). An open
// without access reads nothing, so no device keeps it waiting.
bool IsDiskFile(const char* name)
{
    HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return disk;
}

namespace {

bool GetFinalName(HANDLE h, std::string& name)
{
    char buf[MAX_PATH + 8];
    DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof buf)
        return false;
    name.assign(buf, n);
    return true;
}

// Walked character by character: the trail byte of a double-byte character
// may be a backslash.
std::size_t LastSeparator(const std::string& name)
{
    std::size_t at = std::string::npos;
    for (const char* p = name.c_str(); *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            at = static_cast<std::size_t>(p - name.c_str());
    return at;
}

// Whether the file of final name found lies where name says: in the folder
// of name, under its last part. Where the system can't tell, it does.
bool LiesAt(const std::string& found, const char* name)
{
    char full[MAX_PATH];
    char* leaf = NULL;
    DWORD n = GetFullPathNameA(name, sizeof full, full, &leaf);
    if (n == 0 || n >= sizeof full || !leaf)
        return true;
    const std::string folderName(full, leaf);
    HANDLE h = CreateFileA(folderName.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    std::string folder;
    const bool known = GetFinalName(h, folder);
    CloseHandle(h);
    if (!known)
        return true;
    // Only the final name of a root ends in a separator.
    if (LastSeparator(folder) + 1 == folder.size())
        folder.pop_back();
    const std::size_t at = LastSeparator(found);
    return at != std::string::npos && found.compare(0, at, folder) == 0 && lstrcmpiA(found.c_str() + at + 1, leaf) == 0;
}

enum NameState { NAME_FREE, NAME_PLAIN, NAME_LINK, NAME_UNKNOWN };

// Windows shows a symbolic link or a junction as a reparse point that stands
// for another name (other reparse points, such as files of a cloud drive,
// are plain files). Wine shows a link of the host as what it leads to,
// which then lies elsewhere, and a link to nothing as a free name.
NameState LookAt(const char* name)
{
    HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? NAME_FREE : NAME_UNKNOWN;
    FILE_ATTRIBUTE_TAG_INFO tag;
    bool link = GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
                (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag.ReparseTag);
    std::string found;
    if (!link && GetFinalName(h, found))
        link = !LiesAt(found, name);
    CloseHandle(h);
    return link ? NAME_LINK : NAME_PLAIN;
}

}  // namespace

// A free name is made new, since only a create that fails on an existing
// name leaves a link to nothing alone under Wine.
Step CreateAlways(const char* name)
{
    const NameState state = LookAt(name);
    if (state == NAME_LINK)
        return STEP_FAILED;
    if (state == NAME_UNKNOWN)
        return Failed();
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           state == NAME_FREE ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return Failed();
    CloseHandle(h);
    return STEP_DONE;
}

Step OpenAgainstWriters(const char* name, File& f)
{
    return Opened(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                              NULL),
                  f);
}

// Shared for writing: a viewer that keeps the file open may hold it so.
Step OpenEmptied(const char* name, File& f)
{
    return Opened(CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL),
                  f);
}

// Names xcv, eight hex digits and .tmp (.bak for the backup), made with
// create-new, so that no file is ever taken over. Made with delete access,
// which Discard needs. Readers may share it: a scanner reads a new file.
Step MakeNewFile(const std::string& folder, std::string& made, std::string& backup, File& f)
{
    static DWORD serial = 0;
    const DWORD seed = GetCurrentProcessId() << 16 ^ GetTickCount();
    for (int tries = 0; tries < 100; ++tries) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "xcv%08lx", static_cast<unsigned long>(seed + serial++));
        made = folder + stem + ".tmp";
        backup = folder + stem + ".bak";
        if (made.size() >= MAX_PATH)
            return STEP_DENIED;
        if (GetFileAttributesA(backup.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND)
            continue;
        HANDLE h = CreateFileA(made.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
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

bool Commit(File f)
{
    return FlushFileBuffers(Handle(f)) != FALSE;
}

void Close(File f)
{
    CloseHandle(Handle(f));
}

void Discard(File f, const char*)
{
    FILE_DISPOSITION_INFO gone = {TRUE};
    SetFileInformationByHandle(Handle(f), FileDispositionInfo, &gone, sizeof gone);
    CloseHandle(Handle(f));
}

bool FindTarget(const char* name, std::string& target, std::string& folder)
{
    if (!GetTargetName(name, target))
        return false;
    // Character by character: the trail byte of a double-byte character
    // may be a backslash.
    const char* begin = target.c_str();
    const char* end = begin;
    for (const char* p = begin; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            end = p + 1;
    folder.assign(begin, end);
    return true;
}

// Delete access is what a rename needs; another opener that does not share
// delete holds the file against it.
Step MayRename(const char* name)
{
    HANDLE h = CreateFileA(name, DELETE, SHARE_ALL, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return Failed();
    CloseHandle(h);
    return STEP_DONE;
}

// ReplaceFile keeps target's attributes, security and creation time, and
// refuses a read-only target. It wants full names. With a backup name it is
// two renames, target to backup, then made to target; 1177 is the state
// between them.
SwapResult SwapIn(const char* made, const char* target, const char* backup)
{
    if (InjectedHalfDoneSwap(target, backup))
        return SWAP_MODEL_MOVED;
    if (ReplaceFileA(target, made, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
        return SWAP_DONE;
    const DWORD err = GetLastError();
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        return SWAP_MODEL_MOVED;
    return IsHold(err) ? SWAP_HELD : SWAP_REFUSED;
}

Step RenameFile(const char* from, const char* to)
{
    return Done(MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH));
}

Step RemoveFile(const char* name)
{
    return Done(DeleteFileA(name));
}

bool IsDirectory(const char* name)
{
    DWORD attr = GetFileAttributesA(name);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Names are one where the system's case-insensitive comparison says so.
bool GetFacts(const char* a, const char* b, FileFacts& fa, FileFacts& fb, bool& sameName)
{
    HANDLE ha = CreateFileA(a, FILE_READ_ATTRIBUTES, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    HANDLE hb = CreateFileA(b, FILE_READ_ATTRIBUTES, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    const bool opened = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE;
    if (opened) {
        std::wstring na, nb;
        ReadFacts(ha, fa, na);
        ReadFacts(hb, fb, nb);
        sameName = !na.empty() && CompareStringOrdinal(na.c_str(), static_cast<int>(na.size()), nb.c_str(),
                                                       static_cast<int>(nb.size()), TRUE) == CSTR_EQUAL;
        InjectIntoFacts(fa, fb);
    }
    if (ha != INVALID_HANDLE_VALUE)
        CloseHandle(ha);
    if (hb != INVALID_HANDLE_VALUE)
        CloseHandle(hb);
    return opened;
}
