// Which file a name reaches on Windows: a disk file, the file behind a link, one file or two.
#include "SystemWin32.h"

#include "Faults.h"

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

// The full name of the file itself where name reaches it through a link, so
// that the file is replaced and the link stays; the full name of name where
// the system can't tell, or tells a name too long for the ANSI calls (a
// drive made with subst may reach a longer one).
bool GetTargetName(const char* name, std::string& target)
{
    HANDLE h = CreateFileA(name, 0, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        const bool known = GetFinalName(h, target);
        CloseHandle(h);
        if (known) {
            if (target.compare(0, 8, "\\\\?\\UNC\\") == 0)
                target.replace(0, 8, "\\\\");
            else if (target.compare(0, 4, "\\\\?\\") == 0)
                target.erase(0, 4);
            if (target.size() < MAX_PATH)
                return true;
        }
    }
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(name, sizeof buf, buf, NULL);
    if (n == 0 || n >= sizeof buf)
        return false;
    target.assign(buf, n);
    return true;
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
    HANDLE h = CreateFileA(folderName.c_str(), 0, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
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
    HANDLE h = CreateFileA(name, 0, SHARE_ALL, NULL, OPEN_EXISTING,
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

// The opened file tells, not a list of names: which names reach a device is
// the system's to say (COM1.x does before Windows 11, not since). An open
// without access reads nothing, so no device keeps it waiting.
bool IsDiskFile(const char* name)
{
    HANDLE h = CreateFileA(name, 0, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    CloseHandle(h);
    return disk && (GetFileAttributesA(name) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

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

bool FindTarget(const char* name, std::string& target, std::string& folder)
{
    if (!GetTargetName(name, target))
        return false;
    folder = target.substr(0, LastSeparator(target) + 1);
    return true;
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
