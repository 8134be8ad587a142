// The few operating system calls the conversion makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The Windows build calls the real API; the host build, where most tests run,
// has a stand-in. Names are NUL-terminated bytes in the ANSI code page.

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

// Creates an empty file, replacing any file of that name (create-always),
// but never through a link: where name is a symbolic link or a junction, it
// fails and leaves both the link and what it leads to as they were.
Step CreateAlways(const char* name);

// An open file, closed by Close or Discard.
typedef std::intptr_t File;

// Opens name for reading, against writers: nobody can write it until it is
// closed.
Step OpenAgainstWriters(const char* name, File& f);

// Opens name for writing, emptied.
Step OpenEmptied(const char* name, File& f);

// Makes a new empty file of a unique name of ours in folder and opens it
// for writing, and gives a free name beside it for the old file (backup).
// STEP_DENIED: the folder takes no file of ours (no permission, or no name
// of ours fits the platform's limit).
Step MakeNewFile(const std::string& folder, std::string& made, std::string& backup, File& f);

// Reads up to size bytes; got is 0 at the end.
bool ReadSome(File f, char* buf, std::size_t size, std::size_t& got);
bool WriteAll(File f, const char* p, std::size_t n);
bool Rewind(File f);
// Puts what was written on the disk.
bool Commit(File f);
void Close(File f);
// Removes the file made through f, also where the folder lets files be made
// but not deleted, and closes f.
void Discard(File f, const char* made);

// The full name of the file that name reaches (the file itself where name is
// a symbolic link) and of its folder, ending in a separator.
bool FindTarget(const char* name, std::string& target, std::string& folder);

// Whether name may be renamed now: STEP_HELD where another program has it
// open without letting it be renamed, STEP_DENIED where that is never
// permitted.
Step MayRename(const char* name);

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
SwapResult SwapIn(const char* made, const char* target, const char* backup);

// Renames a file, never over an existing one.
Step RenameFile(const char* from, const char* to);
Step RemoveFile(const char* name);

// What the system tells of an open file. An index of 0 tells nothing.
struct FileFacts {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint32_t links = 0;
};

// Opens a and b at once, so that neither's index can pass to another file,
// and gives their facts, and whether their full names are one name as the
// system compares names; false where either can't be opened.
bool GetFacts(const char* a, const char* b, FileFacts& fa, FileFacts& fb, bool& sameName);
