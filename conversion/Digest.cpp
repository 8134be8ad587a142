// The count and hash of the bytes written, and the check of a file against them.
#include "Digest.h"

#include <cstring>
#include <vector>

namespace {

void Mix(Digest& d, const char* word)
{
    std::uint64_t w;
    std::memcpy(&w, word, sizeof w);
    d.hash = (d.hash ^ w) * 1099511628211ull;
}

// The hash with the last bytes, short of a word, filled up with zeros.
std::uint64_t Final(Digest d)
{
    std::memset(d.tail + d.tailLen, 0, sizeof d.tail - d.tailLen);
    Mix(d, d.tail);
    return d.hash;
}

}  // namespace

void Add(Digest& d, const char* p, std::size_t n)
{
    d.count += n;
    while (n > 0 && d.tailLen > 0) {
        d.tail[d.tailLen++] = *p++;
        --n;
        if (d.tailLen == sizeof d.tail) {
            Mix(d, d.tail);
            d.tailLen = 0;
        }
    }
    if (d.tailLen > 0)
        return;
    for (; n >= sizeof d.tail; p += sizeof d.tail, n -= sizeof d.tail)
        Mix(d, p);
    std::memcpy(d.tail, p, n);
    d.tailLen = n;
}

bool SameBytes(const Digest& a, const Digest& b)
{
    return a.count == b.count && Final(a) == Final(b);
}

bool HoldsBytes(File f, const Digest& written)
{
    std::vector<char> chunk(64 * 1024);
    Digest d;
    std::size_t got;
    do {
        if (!ReadSome(f, chunk.data(), chunk.size(), got))
            return false;
        Add(d, chunk.data(), got);
    } while (got > 0);
    return SameBytes(d, written);
}
