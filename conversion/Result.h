// The result codes of the conversion.
#pragma once

// As the platform has them: signed 32 bits, negative on failure.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>
typedef std::int32_t HRESULT;
#define S_OK ((HRESULT)0)
#define E_FAIL ((HRESULT)0x80004005)
#endif
