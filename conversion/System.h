#pragma once

#include <string>

// The few operating system calls the conversion makes. The Windows build
// calls the real API; the host build, where most tests run, has a stand-in.
// Names are NUL-terminated bytes in the ANSI code page.

// A modal box with the text, no owner window, the platform's default caption
// and one OK button; returns when it has been dismissed.
void ShowError(const char* text);

// Creates an empty file, replacing any file of that name (create-always).
bool CreateAlways(const char* name);

// Copies the file from onto the file to, replacing it.
bool CopyOver(const char* from, const char* to);

// Makes a new empty file of a unique name in the folder of the file that
// name reaches (through any links) and gives the full names of both. denied
// tells that the folder takes no new files while it may still let the file
// be written.
bool MakeFileBeside(const char* name, std::string& target, std::string& made, bool& denied);

// Puts the file made in place of target in one step, with target's
// attributes, owner and permissions, once its bytes are on the disk. Refused
// where target is read-only.
bool SwapIn(const char* made, const char* target);

bool RemoveFile(const char* name);

bool IsDirectory(const char* name);

// True when both names reach one and the same existing file.
bool IsSameFile(const char* a, const char* b);
