#pragma once

#include <cstdint>
#include <string>

// The few operating system calls the conversion makes. The Windows build
// calls the real API; the host build, where most tests run, has a stand-in.
// Names are NUL-terminated bytes in the ANSI code page.

// A modal box with the text, no owner window, the platform's default caption
// and one OK button; returns when it has been dismissed.
void ShowError(const char* text);

// Tells that name reaches a file or folder on a disk, not a device or a pipe.
bool IsDiskFile(const char* name);

// Creates an empty file, replacing any file of that name (create-always),
// but never through a link: where name is a symbolic link or a junction, it
// fails and leaves both the link and what it leads to as they were.
bool CreateAlways(const char* name);

// Copies the file from onto the file to, replacing it.
bool CopyOver(const char* from, const char* to);

// Gives the full name of the file that name reaches (through any links) and
// of its folder, ending in a separator. copyOnly tells, on failure, that the
// file is there but its full name is too long for a file of ours beside it.
bool FindTarget(const char* name, std::string& target, std::string& folder, bool& copyOnly);

// Makes a new empty file of a unique name in folder. copyOnly tells that the
// folder takes no file of ours (no permission, or a name too long for one)
// while its files may still be written.
bool MakeFileIn(const std::string& folder, std::string& made, bool& copyOnly);

// How a swap ended. Unless it is done, both files keep their names, but for
// the two half-done results that the platform documents.
enum SwapResult {
    SWAP_DONE,          // made has target's name; the old file has backup's
    SWAP_HELD,          // another program has one of the files open: worth another try
    SWAP_REFUSED,       // a read-only target, or anything else that waiting can't mend
    SWAP_TARGET_GONE,   // target's name is free; made has its own name still
    SWAP_TARGET_MOVED,  // the old file has backup's name; made has its own name still
};

// Puts the file made in place of target in one step, with target's
// attributes, owner and permissions, once its bytes are on the disk; the old
// file takes backup's name (an empty file made beside target), where the
// platform needs one.
SwapResult SwapIn(const char* made, const char* target, const char* backup);

// For tests: the next swap ends with result, and does to the files what the
// platform documents for that result, instead of swapping them.
void InjectSwapResult(SwapResult result);

// Called first by SwapIn: true where a result was injected, which is then
// given in result, its effect done.
bool TakeInjectedSwap(const char* target, const char* backup, SwapResult& result);

// Renames a file, never over an existing one.
bool RenameFile(const char* from, const char* to);

bool RemoveFile(const char* name);

// Tells, right after a call on name failed, that another program holding
// the file refused it: a hold that may end in a moment.
bool FailedOnAHold(const char* name);

bool IsDirectory(const char* name);

// What tells one file from another, whatever its name.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

bool GetFileId(const char* name, FileId& id);
