// Stand-in for the Windows calls of the conversion, in the host build where the tests run.
#include "System.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Faults.h"

// It does what the conversion expects of the real calls. Nothing here holds
// files against others, so no call is ever held.

namespace {

Step Failed()
{
    return errno == EACCES || errno == EPERM || errno == EROFS ? STEP_DENIED : STEP_FAILED;
}

Step Done(int result)
{
    return result == 0 ? STEP_DONE : Failed();
}

Step Opened(int fd, File& f)
{
    if (fd < 0)
        return Failed();
    f = fd;
    return STEP_DONE;
}

int Fd(File f)
{
    return static_cast<int>(f);
}

// No write permission stands for the read-only attribute, which stops a
// write or a swap even for an administrator (or root).
bool ReadOnly(const char* name)
{
    struct stat st;
    return stat(name, &st) == 0 && (st.st_mode & 0222) == 0;
}

}  // namespace

// One line per box on standard error, where tests pick it up.
void ShowError(const char* text)
{
    std::fprintf(stderr, "MessageBox: %s\n", text);
    std::fflush(stderr);
}

bool IsDiskFile(const char* name)
{
    struct stat st;
    return stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

Step CreateAlways(const char* name)
{
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return Failed();
    return Done(close(fd));
}

Step OpenAgainstWriters(const char* name, File& f)
{
    return Opened(open(name, O_RDONLY), f);
}

Step OpenEmptied(const char* name, File& f)
{
    if (ReadOnly(name))
        return STEP_DENIED;
    return Opened(open(name, O_WRONLY | O_TRUNC), f);
}

Step MakeNewFile(const std::string& folder, std::string& made, std::string& backup, File& f)
{
    static unsigned serial = 0;
    const unsigned seed = static_cast<unsigned>(getpid()) << 16;
    for (int tries = 0; tries < 100; ++tries) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "xcv%08x", seed + serial++);
        made = folder + stem + ".tmp";
        backup = folder + stem + ".bak";
        struct stat st;
        if (lstat(backup.c_str(), &st) == 0 || errno != ENOENT)
            continue;
        int fd = open(made.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST)
            return Opened(fd, f);
    }
    return STEP_FAILED;
}

bool ReadSome(File f, char* buf, std::size_t size, std::size_t& got)
{
    ssize_t n;
    do
        n = read(Fd(f), buf, size);
    while (n < 0 && errno == EINTR);
    got = n > 0 ? static_cast<std::size_t>(n) : 0;
    return n >= 0;
}

bool WriteAll(File f, const char* p, std::size_t n)
{
    while (n > 0) {
        ssize_t w = write(Fd(f), p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool Rewind(File f)
{
    return lseek(Fd(f), 0, SEEK_SET) == 0;
}

bool Commit(File f)
{
    return fsync(Fd(f)) == 0;
}

void Close(File f)
{
    close(Fd(f));
}

void Discard(File f, const char* made)
{
    unlink(made);
    close(Fd(f));
}

bool FindTarget(const char* name, std::string& target, std::string& folder)
{
    char* real = realpath(name, nullptr);
    if (!real)
        return false;
    target = real;
    std::free(real);
    folder = target.substr(0, target.rfind('/') + 1);
    return true;
}

// A refused rename shows at the swap itself.
Step MayRename(const char*)
{
    return STEP_DONE;
}

// rename() swaps the name over in one step and the old file's name just
// goes; the backup's name stays free. made takes target's owner (only root
// may give a file away) and permission bits first.
SwapResult SwapIn(const char* made, const char* target, const char* backup)
{
    if (InjectedHalfDoneSwap(target, backup))
        return SWAP_MODEL_MOVED;
    struct stat st;
    if (stat(target, &st) != 0 || ReadOnly(target))
        return SWAP_REFUSED;
    int fd = open(made, O_RDWR);
    if (fd < 0)
        return SWAP_REFUSED;
    if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0) {
        // The file stays ours.
    }
    bool ok = fchmod(fd, st.st_mode & 07777) == 0;
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
Step RenameFile(const char* from, const char* to)
{
    return Done(rename(from, to));
}

Step RemoveFile(const char* name)
{
    return Done(unlink(name));
}

bool GetFacts(const char* a, const char* b, FileFacts& fa, FileFacts& fb, bool& sameName)
{
    const int da = open(a, O_PATH);
    const int db = open(b, O_PATH);
    struct stat sa, sb;
    const bool opened = da >= 0 && db >= 0 && fstat(da, &sa) == 0 && fstat(db, &sb) == 0;
    if (opened) {
        fa = {static_cast<std::uint64_t>(sa.st_dev), static_cast<std::uint64_t>(sa.st_ino),
              static_cast<std::uint32_t>(sa.st_nlink)};
        fb = {static_cast<std::uint64_t>(sb.st_dev), static_cast<std::uint64_t>(sb.st_ino),
              static_cast<std::uint32_t>(sb.st_nlink)};
        char* ra = realpath(a, nullptr);
        char* rb = realpath(b, nullptr);
        sameName = ra && rb && std::string(ra) == rb;
        std::free(ra);
        std::free(rb);
        InjectIntoFacts(fa, fb);
    }
    if (da >= 0)
        close(da);
    if (db >= 0)
        close(db);
    return opened;
}
