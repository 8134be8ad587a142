#include "System.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

void ShowError(const char* text)
{
    MessageBoxA(NULL, text, NULL, MB_OK);
}

bool CreateAlways(const char* name)
{
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
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

bool MakeFileBeside(const char* name, std::string& target, std::string& made, bool& denied)
{
    denied = false;
    if (!GetTargetName(name, target))
        return false;
    // Character by character: the trail byte of a double-byte character
    // may be a backslash.
    const char* begin = target.c_str();
    const char* end = begin;
    for (const char* p = begin; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/')
            end = p + 1;
    std::string dir(begin, end);
    char buf[MAX_PATH];
    if (GetTempFileNameA(dir.c_str(), "xcv", 0, buf) == 0) {
        denied = GetLastError() == ERROR_ACCESS_DENIED;
        return false;
    }
    made = buf;
    return true;
}

// ReplaceFile keeps target's attributes, security and creation time, and
// refuses a read-only target. It wants full names.
bool SwapIn(const char* made, const char* target)
{
    HANDLE h = CreateFileA(made, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL flushed = FlushFileBuffers(h);
    CloseHandle(h);
    return flushed && ReplaceFileA(target, made, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL);
}

bool RemoveFile(const char* name)
{
    return DeleteFileA(name) != FALSE;
}

bool IsDirectory(const char* name)
{
    DWORD attr = GetFileAttributesA(name);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Opens with no access at all, so that no other opener is disturbed.
bool GetFileId(const char* name, BY_HANDLE_FILE_INFORMATION* info)
{
    HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok != FALSE;
}

}  // namespace

bool IsSameFile(const char* a, const char* b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileId(a, &ia) && GetFileId(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}
