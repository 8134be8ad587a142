// Stand-in for the Windows calls of the conversion, for the host build where
// the tests run. It does what the conversion expects of the real calls.
#include "System.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// One line per box on standard error, where tests pick it up.
void ShowError(const char* text)
{
    std::fprintf(stderr, "MessageBox: %s\n", text);
    std::fflush(stderr);
}

bool CreateAlways(const char* name)
{
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    return close(fd) == 0;
}

namespace {

bool WriteAll(int fd, const char* p, ssize_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, static_cast<size_t>(n));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= w;
    }
    return true;
}

bool CopyData(int in, int out)
{
    char buf[64 * 1024];
    for (;;) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (!WriteAll(out, buf, n))
            return false;
    }
}

}  // namespace

// A destination without any write permission stands for the read-only
// attribute, which stops the copy even for an administrator (or root).
bool CopyOver(const char* from, const char* to)
{
    struct stat st;
    if (stat(to, &st) == 0 && (st.st_mode & 0222) == 0)
        return false;
    int in = open(from, O_RDONLY);
    if (in < 0)
        return false;
    int out = open(to, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = CopyData(in, out);
    ok = close(out) == 0 && ok;
    close(in);
    return ok;
}

bool IsDirectory(const char* name)
{
    struct stat st;
    return stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSameFile(const char* a, const char* b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
