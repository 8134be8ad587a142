// Stand-in for the Windows calls of the conversion, in the host build where the tests run.
#include "System.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Faults.h"

// It does what the conversion expects of the real calls. Only the work file
// is held against others, and only against other conversions: a lock of its
// own stands for the sharing that denies other writers.

namespace {

Step Failed()
{
    if (errno == EWOULDBLOCK)
        return STEP_HELD;
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

// As the system tells it, from the open file: the file itself, where it was
// opened through a link.
bool FinalName(int fd, Name& name)
{
    if (NamesWithheld())
        return false;
    char buf[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buf) || buf[0] != '/')
        return false;
    name.assign(buf, static_cast<std::size_t>(n));
    return true;
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

Step OpenInput(const char* name, File& f)
{
    return Opened(open(name, O_RDONLY), f);
}

Step OpenWorkFile(const char* name, File& f, bool& made)
{
    made = false;
    int fd = open(name, O_RDWR | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        made = true;
        fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    }
    if (fd < 0)
        return Failed();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const Step s = Failed();
        close(fd);
        return s;
    }
    f = fd;
    return STEP_DONE;
}

Step OpenEmptied(const Name& name, File& f)
{
    if (ReadOnly(name.c_str()))
        return STEP_DENIED;
    return Opened(open(name.c_str(), O_WRONLY | O_TRUNC), f);
}

Step MakeNewFile(const Name& folder, Name& made, Name& backup, File& f)
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

bool Empty(File f)
{
    return Rewind(f) && ftruncate(Fd(f), 0) == 0;
}

bool Commit(File f)
{
    return fsync(Fd(f)) == 0;
}

void Close(File f)
{
    close(Fd(f));
}

void Discard(File f, const Name& made)
{
    unlink(made.c_str());
    close(Fd(f));
}

bool FindTarget(File f, const char* name, Name& target, Name& folder)
{
    if (!FinalName(Fd(f), target)) {
        char cwd[PATH_MAX];
        if (name[0] == '/')
            target = name;
        else if (getcwd(cwd, sizeof cwd))
            target = std::string(cwd) + "/" + name;
        else
            return false;
    }
    folder = target.substr(0, target.rfind('/') + 1);
    return true;
}

// A refused rename shows at the swap itself.
Step MayRename(const Name&)
{
    return STEP_DONE;
}

// rename() swaps the name over in one step and the old file's name just
// goes; the backup's name stays free. made takes target's owner (only root
// may give a file away) and permission bits first.
SwapResult SwapIn(const Name& made, const Name& target, const Name& backup)
{
    if (InjectedHalfDoneSwap(target, backup))
        return SWAP_MODEL_MOVED;
    struct stat st;
    if (stat(target.c_str(), &st) != 0 || ReadOnly(target.c_str()))
        return SWAP_REFUSED;
    int fd = open(made.c_str(), O_RDWR);
    if (fd < 0)
        return SWAP_REFUSED;
    if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(fd, st.st_uid, st.st_gid) != 0) {
        // The file stays ours.
    }
    bool ok = fchmod(fd, st.st_mode & 07777) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(made.c_str(), target.c_str()) != 0)
        return SWAP_REFUSED;
    // The new name must reach the disk too; the text is already whole there.
    Name dir = target;
    dir.erase(dir.rfind('/') + 1);
    int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return SWAP_DONE;
}

// Only called where to is free: rename() would replace it.
Step RenameFile(const Name& from, const Name& to)
{
    return Done(rename(from.c_str(), to.c_str()));
}

Step RemoveFile(const Name& name)
{
    return Done(unlink(name.c_str()));
}

namespace {

std::uint64_t Nanoseconds(const timespec& t)
{
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + static_cast<std::uint64_t>(t.tv_nsec);
}

FileFacts Facts(const struct stat& st)
{
    FileFacts facts;
    facts.volume = static_cast<std::uint64_t>(st.st_dev);
    facts.index = static_cast<std::uint64_t>(st.st_ino);
    facts.links = static_cast<std::uint32_t>(st.st_nlink);
    facts.size = static_cast<std::uint64_t>(st.st_size);
    facts.created = Nanoseconds(st.st_ctim);
    facts.written = Nanoseconds(st.st_mtim);
    return facts;
}

}  // namespace

bool GetFacts(File a, File b, FileFacts& fa, FileFacts& fb)
{
    struct stat sa, sb;
    if (fstat(Fd(a), &sa) != 0 || fstat(Fd(b), &sb) != 0)
        return false;
    fa = Facts(sa);
    fb = Facts(sb);
    InjectIntoFacts(fa, fb);
    return true;
}
