// Text between the program's bytes and Windows' UTF-16, converted here only.
#include "TextWin32.h"

bool Widen(UINT cp, const char* bytes, std::wstring& text)
{
    const int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, -1, NULL, 0);
    if (n == 0)
        return false;
    text.assign(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes, -1, &text[0], n) != n)
        return false;
    text.pop_back();  // the NUL
    return true;
}

std::wstring Shown(const char* text)
{
    static const UINT cp = IsValidCodePage(932) ? 932 : CP_ACP;
    std::wstring wide;
    Widen(cp, text, wide);
    return wide;
}

void ShowBox(HWND owner, const char* text, const char* caption)
{
    MessageBoxW(owner, Shown(text).c_str(), caption ? Shown(caption).c_str() : NULL, MB_OK);
}

// Where the ANSI code page is UTF-8 (65001), the best-fit flags are refused
// and every valid text converts; a lone surrogate fails. Elsewhere no best
// fit is taken, and the default character used tells a character that the
// code page lacks. Read back, the bytes must give the very text: that holds
// whatever the flags could not tell.
bool ToAnsi(const std::wstring& text, std::string& bytes)
{
    bytes.clear();
    if (text.empty())
        return true;
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int chars = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    BOOL* used = utf8 ? NULL : &usedDefault;
    const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), chars, NULL, 0, NULL, used);
    if (n == 0 || usedDefault)
        return false;
    bytes.assign(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, text.data(), chars, &bytes[0], n, NULL, used) != n || usedDefault)
        return false;
    std::wstring back;
    return Widen(CP_ACP, bytes.c_str(), back) && back == text;
}
