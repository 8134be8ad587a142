#pragma once

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

bool IsDirectory(const char* name);

// True when both names reach one and the same existing file.
bool IsSameFile(const char* a, const char* b);
