#include "System.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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
bool CreateAlways(const char* name)
{
    const NameState state = LookAt(name);
    if (state == NAME_LINK)
        SetLastError(ERROR_CANT_ACCESS_FILE);
    if (state == NAME_LINK || state == NAME_UNKNOWN)
        return false;
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           state == NAME_FREE ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool CopyOver(const char* from, const char* to)
{
    return CopyFileA(from, to, FALSE) != FALSE;
}

namespace {

// The full name of the file itself where name reaches it through a link, so
// that the file is replaced and the link stays; the full name of name where
// the system can't tell.
bool GetTargetName(const char* name, std::string& target)
{
    HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char buf[MAX_PATH + 8];
    DWORD n = GetFinalPathNameByHandleA(h, buf, sizeof buf, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n > 0 && n < sizeof buf) {
        target.assign(buf, n);
        if (target.compare(0, 8, "\\\\?\\UNC\\") == 0)
            target.replace(0, 8, "\\\\");
        else if (target.compare(0, 4, "\\\\?\\") == 0)
            target.erase(0, 4);
        return true;
    }
    n = GetFullPathNameA(name, sizeof buf, buf, NULL);
    if (n == 0 || n >= sizeof buf)
        return false;
    target.assign(buf, n);
    return true;
}

}  // namespace

bool FindTarget(const char* name, std::string& target, std::string& folder, bool& copyOnly)
{
    copyOnly = false;
    if (!GetTargetName(name, target)) {
        // A file that is there has a full name too long for the ANSI calls.
        copyOnly = GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
        return false;
    }
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

// GetTempFileNameA wants a folder of at most MAX_PATH - 14 characters and,
// past that, makes files with cut names: such a folder takes no file of ours.
bool MakeFileIn(const std::string& folder, std::string& made, bool& copyOnly)
{
    char buf[MAX_PATH];
    copyOnly = folder.size() > MAX_PATH - 14;
    if (copyOnly)
        return false;
    if (GetTempFileNameA(folder.c_str(), "xcv", 0, buf) == 0) {
        copyOnly = GetLastError() == ERROR_ACCESS_DENIED;
        return false;
    }
    made = buf;
    return true;
}

// ReplaceFile keeps target's attributes, security and creation time, and
// refuses a read-only target. It wants full names. It renames both files,
// so every other opener of either must share delete; without a backup name
// Wine's makes a file of its own beside target and may leave it there.
SwapResult SwapIn(const char* made, const char* target, const char* backup)
{
    SwapResult injected;
    if (TakeInjectedSwap(target, backup, injected))
        return injected;
    // Shared with everyone, so that a scanner reading the file can't refuse it.
    HANDLE h = CreateFileA(made, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FailedOnAHold(made) ? SWAP_HELD : SWAP_REFUSED;
    BOOL flushed = FlushFileBuffers(h);
    CloseHandle(h);
    if (!flushed)
        return SWAP_REFUSED;
    if (ReplaceFileA(target, made, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL))
        return SWAP_DONE;
    const DWORD err = GetLastError();
    switch (err) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
        return SWAP_TARGET_MOVED;
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
        return GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES ? SWAP_TARGET_GONE : SWAP_HELD;
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
        return SWAP_HELD;
    default:
        SetLastError(err);
        return FailedOnAHold(target) ? SWAP_HELD : SWAP_REFUSED;
    }
}

bool RenameFile(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const char* name)
{
    return DeleteFileA(name) != FALSE;
}

// Access is denied to a file that is being deleted or renamed over, or that
// is open where it is to be renamed over; to a read-only one it is denied
// for good.
bool FailedOnAHold(const char* name)
{
    const DWORD err = GetLastError();
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
        return true;
    if (err != ERROR_ACCESS_DENIED)
        return false;
    const DWORD attr = GetFileAttributesA(name);
    return attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_READONLY) == 0;
}

bool IsDirectory(const char* name)
{
    DWORD attr = GetFileAttributesA(name);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Opens with no access at all, so that no other opener is disturbed.
bool GetFileId(const char* name, FileId& id)
{
    HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    id.volume = info.dwVolumeSerialNumber;
    id.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return ok != FALSE;
}
