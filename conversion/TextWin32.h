// Text between the program's bytes and Windows' UTF-16, converted here only.
#pragma once

#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The bytes of code page cp in UTF-16; false where they are no text of it.
bool Widen(UINT cp, const char* bytes, std::wstring& text);

// A text of the program, kept as code page 932 bytes, in UTF-16 for the wide
// calls, so that it reads right whatever the system's code page. Where code
// page 932 isn't installed, as the ANSI calls would show it.
std::wstring Shown(const char* text);

// A modal box with one OK button and the program's text and caption (none:
// the platform's default caption for errors).
void ShowBox(HWND owner, const char* text, const char* caption);

// text in the ANSI code page, exactly: false where the code page can't write
// every character of it as it is. A best fit would turn a name into another
// (é into e, ¥ into a backslash, the wave dash 〜 into code page 932's
// full-width tilde ～) or into none (𠮷 into ?).
bool ToAnsi(const std::wstring& text, std::string& bytes);
