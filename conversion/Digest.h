// What tells whether a file holds exactly the bytes that were written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "System.h"

// Their count and a 64-bit hash of them, taken 8 bytes at a time (FNV's
// constants).
struct Digest {
    std::uint64_t count = 0;
    std::uint64_t hash = 14695981039346656037ull;
    char tail[8] = {};
    std::size_t tailLen = 0;
};

void Add(Digest& d, const char* p, std::size_t n);
bool SameBytes(const Digest& a, const Digest& b);

// Reads f from where it stands to its end.
bool HoldsBytes(File f, const Digest& written);
