// The few operating system calls the conversion makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The Windows build calls the real API; the host build, where most tests run,
// has a stand-in. A name the user typed is NUL-terminated bytes in the ANSI
// code page and goes to the system as typed. A name that the system resolves,
// or that the conversion makes beside one, is a Name, kept as the system
// gives it: UTF-16 on Windows, since the ANSI code page can't spell every
// name (its best fit spells a folder Café as Cafe, another folder), and bytes
// on the host.
#ifdef _WIN32
typedef std::wstring Name;
#else
typedef std::string Name;
#endif

// A modal box with the text, no owner window, the platform's default caption
// and one OK button; returns when it has been dismissed.
void ShowError(const char* text);

// Tells that name reaches a file on a disk, not a folder, a device or a pipe.
bool IsDiskFile(const char* name);

// How a call on a file ended.
enum Step {
    STEP_DONE,
    STEP_HELD,    // another program has the file open against the call: may end in a moment
    STEP_DENIED,  // no permission: a read-only file, a folder that takes no file of ours
    STEP_FAILED,  // anything else that waiting can't mend (a full disk, ...)
};

// An open file, closed by Close or Discard.
typedef std::intptr_t File;
inline constexpr File NO_FILE = -1;

// Opens name for reading; others may go on reading and writing it, but not
// rename or delete it while it is open.
Step OpenInput(const char* name, File& f);

// Opens the work file name for reading and writing, against other writers
// until it is closed, or makes it where the name is free (made). It is never
// reached through a link: where name is a symbolic link or a junction, it
// fails, and the link and what it leads to stay as they were; any other
// file (one of a cloud drive, a deduplicated or compressed one) is opened
// through the system's filter for it. An existing file keeps its text until
// it is emptied.
Step OpenWorkFile(const char* name, File& f, bool& made);

// Opens name for writing, emptied.
Step OpenEmptied(const Name& name, File& f);

// Makes a new empty file of a unique name of ours in folder and opens it
// for writing, and gives a free name beside it for the old file (backup).
// STEP_DENIED: the folder takes no file of ours.
Step MakeNewFile(const Name& folder, Name& made, Name& backup, File& f);

// Reads up to size bytes; got is 0 at the end.
bool ReadSome(File f, char* buf, std::size_t size, std::size_t& got);
bool WriteAll(File f, const char* p, std::size_t n);
bool Rewind(File f);
// Rewinds f and cuts it there.
bool Empty(File f);
// Puts what was written on the disk.
bool Commit(File f);
void Close(File f);
// Removes the file made through f, also where the folder lets files be made
// but not deleted, and closes f.
void Discard(File f, const Name& made);

// The full name of the file f reads (the file itself, where name is a
// symbolic link) and of its folder, ending in a separator. Where the system
// won't tell, the full name of name as typed.
bool FindTarget(File f, const char* name, Name& target, Name& folder);

// Whether name may be renamed now: STEP_HELD where another program has it
// open without letting it be renamed, STEP_DENIED where that is never
// permitted.
Step MayRename(const Name& name);

// How a swap ended. Unless it is done, both files keep their names, but for
// the one half-done swap that the platform documents.
enum SwapResult {
    SWAP_DONE,         // made has target's name; the old file has backup's
    SWAP_HELD,         // another program has one of the files open: worth another try
    SWAP_REFUSED,      // anything that waiting can't mend
    SWAP_MODEL_MOVED,  // the old file has backup's name; made has its own name still
};

// Puts the file made in place of target, with target's attributes, owner and
// permissions; the old file takes the free name backup.
SwapResult SwapIn(const Name& made, const Name& target, const Name& backup);

// Renames a file, never over an existing one.
Step RenameFile(const Name& from, const Name& to);
Step RemoveFile(const Name& name);

// What the system tells of an open file. An index of 0 tells nothing.
struct FileFacts {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint32_t links = 0;
    std::uint64_t size = 0;
    std::uint64_t created = 0;  // creation time (on the host, the change time)
    std::uint64_t written = 0;  // last-write time
};

// The facts of two open files.
bool GetFacts(File a, File b, FileFacts& fa, FileFacts& fb);

// Whether two open files may be one file: only a fact that one file can't
// show twice tells two apart. Names decide nothing: one file may have
// several (a second name of its folder, a mapped drive and its share, a
// bind mount), and one drive letter may span file systems of one volume
// serial (Wine's Z:), where only the times tell two files of one index.
inline bool MayBeOneFile(const FileFacts& a, const FileFacts& b)
{
    const bool idsDiffer = a.index != 0 && b.index != 0 && (a.volume != b.volume || a.index != b.index);
    return !idsDiffer && a.size == b.size && a.created == b.created && a.written == b.written;
}
