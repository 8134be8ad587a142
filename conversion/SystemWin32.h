// What the Windows files of the platform layer share.
#pragma once

#include "System.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Opens that disturb no other opener.
const DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline HANDLE Handle(File f)
{
    return reinterpret_cast<HANDLE>(f);
}

// How the call that just failed ended: held by another program's handle,
// denied, or failed otherwise.
Step Failed();
