// Which file a name reaches on Windows: a disk file, the file behind a link, one file or two.
#include "SystemWin32.h"

#include "Faults.h"
#include "TextWin32.h"

// Names that the system resolves are asked of it in UTF-16 and kept so:
// the ANSI calls would spell them in code page 932 with best fit, which
// turns é into e and ¥ into a backslash (another file), and 𠮷 into ?? (no
// file), and would cut them at MAX_PATH characters.

namespace {

// The final name of an open file, in the \\?\ form in which the system gives
// it, which every call here takes whatever its length.
bool FinalName(HANDLE h, Name& name)
{
    if (NamesWithheld())
        return false;
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    DWORD n = GetFinalPathNameByHandleW(h, NULL, 0, flags);
    if (n == 0)
        return false;
    name.resize(n);
    n = GetFinalPathNameByHandleW(h, &name[0], n, flags);
    if (n == 0 || n >= name.size())
        return false;
    name.resize(n);
    return true;
}

bool IsOneName(const Name& a, const Name& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The full name of name as typed, converted from the ANSI code page once, as
// the system converts it; leaf is where its last part begins.
bool FullName(const char* name, Name& full, std::size_t& leaf)
{
    Name typed;
    if (!Widen(CP_ACP, name, typed) || typed.empty())
        return false;
    DWORD n = GetFullPathNameW(typed.c_str(), 0, NULL, NULL);
    if (n == 0)
        return false;
    full.resize(n);
    wchar_t* part = NULL;
    n = GetFullPathNameW(typed.c_str(), n, &full[0], &part);
    if (n == 0 || n >= full.size())
        return false;
    leaf = part ? static_cast<std::size_t>(part - full.c_str()) : n;
    full.resize(n);
    return true;
}

// A full name in the \\?\ form, so that it reaches names longer than
// MAX_PATH too.
Name Extended(const Name& full)
{
    if (full.compare(0, 4, L"\\\\?\\") == 0)
        return full;
    if (full.compare(0, 4, L"\\\\.\\") == 0)
        return L"\\\\?\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Whether the file of final name found lies where name says: in the folder
// of name, under its last part. Where the system can't tell, it does.
bool LiesAt(const Name& found, const char* name)
{
    Name full;
    std::size_t leaf;
    if (!FullName(name, full, leaf) || leaf >= full.size())
        return true;
    HANDLE h = CreateFileW(Extended(full.substr(0, leaf)).c_str(), 0, SHARE_ALL, NULL, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return true;
    Name folder;
    const bool known = FinalName(h, folder);
    CloseHandle(h);
    if (!known)
        return true;
    // Only the final name of a root ends in a separator.
    if (folder.back() == L'\\')
        folder.pop_back();
    const std::size_t at = found.rfind(L'\\');
    return at != Name::npos && found.compare(0, at, folder) == 0 && IsOneName(found.substr(at + 1), full.substr(leaf));
}

// Windows shows a symbolic link or a junction as a reparse point that stands
// for another name (other reparse points, such as files of a cloud drive,
// are plain files); one whose tag can't be read is taken for a link. Wine
// shows a link of the host as what it leads to, which then lies elsewhere.
bool IsLink(HANDLE h, const char* name, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        FILE_ATTRIBUTE_TAG_INFO tag;
        return !GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
               IsReparseTagNameSurrogate(tag.ReparseTag);
    }
    Name found;
    return FinalName(h, found) && !LiesAt(found, name);
}

std::uint64_t Time(const FILETIME& t)
{
    return static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

bool ReadFacts(HANDLE h, FileFacts& facts, DWORD* attributes = NULL)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return false;
    facts.volume = info.dwVolumeSerialNumber;
    facts.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    facts.links = info.nNumberOfLinks;
    facts.size = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    facts.created = Time(info.ftCreationTime);
    facts.written = Time(info.ftLastWriteTime);
    if (attributes)
        *attributes = info.dwFileAttributes;
    return true;
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
    BY_HANDLE_FILE_INFORMATION info;
    const bool disk = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(h);
    return disk;
}

// An existing file is first looked at as it is, the link itself where it is
// one, so that a link is told before anything is opened for writing; the
// file is then opened as any program opens it, so that the filter of any
// other reparse point (a file of a cloud drive, a deduplicated or compressed
// one) is in place, and must be the file looked at, or the name turned into
// a link in between. A free name is made new, since only a create that
// fails on an existing name leaves a link to nothing alone under Wine. A
// hidden or system file is refused, as create-always refuses it.
Step OpenWorkFile(const char* name, File& f, bool& made)
{
    const DWORD access = GENERIC_READ | GENERIC_WRITE;
    for (int tries = 0; tries < 2; ++tries) {
        HANDLE probe = CreateFileA(name, 0, SHARE_ALL, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        if (probe != INVALID_HANDLE_VALUE) {
            FileFacts looked, opened;
            DWORD attributes = 0;
            HANDLE h = INVALID_HANDLE_VALUE;
            Step s = STEP_DONE;
            if (!ReadFacts(probe, looked, &attributes) || IsLink(probe, name, attributes))
                s = STEP_FAILED;
            else if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
                s = STEP_DENIED;
            else if ((h = CreateFileA(name, access, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL)) ==
                     INVALID_HANDLE_VALUE)
                s = Failed();
            else if (!ReadFacts(h, opened) || !MayBeOneFile(looked, opened))
                s = STEP_FAILED;
            CloseHandle(probe);
            if (s != STEP_DONE) {
                if (h != INVALID_HANDLE_VALUE)
                    CloseHandle(h);
                return s;
            }
            made = false;
            f = reinterpret_cast<File>(h);
            return STEP_DONE;
        }
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return Failed();
        HANDLE h = CreateFileA(name, access, FILE_SHARE_READ, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE) {
            made = true;
            f = reinterpret_cast<File>(h);
            return STEP_DONE;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return Failed();
    }
    // Neither a file nor free, twice: a link to nothing under Wine.
    return STEP_FAILED;
}

// The file itself where name is a link, so that the file is replaced and
// the link stays; where the system can't tell, the name as typed.
bool FindTarget(File f, const char* name, Name& target, Name& folder)
{
    std::size_t leaf;
    if (!FinalName(Handle(f), target)) {
        if (!FullName(name, target, leaf))
            return false;
        target = Extended(target);
    }
    const std::size_t at = target.rfind(L'\\');
    if (at == Name::npos)
        return false;
    folder = target.substr(0, at + 1);
    return true;
}

bool GetFacts(File a, File b, FileFacts& fa, FileFacts& fb)
{
    if (!ReadFacts(Handle(a), fa) || !ReadFacts(Handle(b), fb))
        return false;
    InjectIntoFacts(fa, fb);
    return true;
}
