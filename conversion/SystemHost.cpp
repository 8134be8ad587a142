// Stand-in for the Windows calls of the conversion, for the host build where
// the tests run. It does what the conversion expects of the real calls.
#include "System.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// One line per box on standard error, where tests pick it up.
void ShowError(const char* text)
{
    std::fprintf(stderr, "MessageBox: %s\n", text);
    std::fflush(stderr);
}

bool IsDiskFile(const char* name)
{
    struct stat st;
    return stat(name, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
}

bool CreateAlways(const char* name)
{
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
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

bool FindTarget(const char* name, std::string& target, std::string& folder, bool& copyOnly)
{
    copyOnly = false;
    char* real = realpath(name, nullptr);
    if (!real)
        return false;
    target = real;
    std::free(real);
    folder = target.substr(0, target.rfind('/') + 1);
    return true;
}

bool MakeFileIn(const std::string& folder, std::string& made, bool& copyOnly)
{
    made = folder + "xcvXXXXXX.tmp";
    int fd = mkstemps(&made[0], 4);
    copyOnly = fd < 0 && (errno == EACCES || errno == EPERM);
    return fd >= 0 && close(fd) == 0;
}

// rename() swaps the name over in one step, and the old file's name just
// goes: the backup stays the empty file it was made. Without write
// permission target stands for a read-only file, which the platform refuses
// to replace.
SwapResult SwapIn(const char* made, const char* target, const char* backup)
{
    SwapResult injected;
    if (TakeInjectedSwap(target, backup, injected))
        return injected;
    struct stat st;
    if (stat(target, &st) != 0 || (st.st_mode & 0222) == 0)
        return SWAP_REFUSED;
    int fd = open(made, O_RDWR);
    if (fd < 0)
        return SWAP_REFUSED;
    if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only root may give a file away; the file stays ours.
    }
    bool ok = fchmod(fd, st.st_mode & 07777) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(made, target) != 0)
        return SWAP_REFUSED;
    // The new name must reach the disk too; the text is already whole there.
    std::string dir = target;
    dir.erase(dir.rfind('/') + 1);
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return SWAP_DONE;
}

// Only called where to is free: rename() would replace it.
bool RenameFile(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

bool RemoveFile(const char* name)
{
    return unlink(name) == 0;
}

// Nothing here holds files against others.
bool FailedOnAHold(const char*)
{
    return false;
}

bool IsDirectory(const char* name)
{
    struct stat st;
    return stat(name, &st) == 0 && S_ISDIR(st.st_mode);
}

bool GetFileId(const char* name, FileId& id)
{
    struct stat st;
    if (stat(name, &st) != 0)
        return false;
    id.volume = static_cast<std::uint64_t>(st.st_dev);
    id.index = static_cast<std::uint64_t>(st.st_ino);
    return true;
}
