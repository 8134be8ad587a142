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
