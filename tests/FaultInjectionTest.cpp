// The conversion against a hostile file system, other programs that hold its
// files, and faults of drives and of the swap that the platform layer shows
// when told to. The input is only ever its old text, with the one message,
// or the whole converted one.
#include "ConvertXFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#else
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "Messages.h"
#include "Faults.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

const std::string kModel = " MeshMaterialList {\n   TextureFilename {\n    \"a.bmp\";\n MeshNormals {\n";

// A path of 36 bytes: it makes the converted text much longer than the input.
const char kLongPath[] = "..\\..\\shared\\textures\\wood\\oak\\x\\";

// A model of count texture blocks, some 50 bytes each.
std::string ManyTextures(int count)
{
    std::string text = "xof 0303txt 0032\n MeshMaterialList {\n";
    for (int i = 0; i < count; ++i)
        text += "   TextureFilename {\n    \"texture" + std::to_string(i) + ".bmp\";\n   }\n";
    return text + " MeshNormals {\n";
}

// Converts model.x, written anew in the current folder, on a disk that may be
// too small for it, and gives the verdict. An input other than the converted
// text after "converted" or the old text after a message, and any file left
// in the folder besides the input and the work file, are told as faults.
std::string ConvertOnSmallDisk(const std::string& text, const std::string& converted)
{
    WriteBytes("model.x", text);
    std::string verdict = Convert("model.x", kLongPath);
    const std::string now = ReadBytes("model.x");
    if (now != (verdict == "converted" ? converted : text))
        verdict += ", fault: input of " + std::to_string(now.size()) + " bytes";
    for (const std::string& name : FilesIn("."))
        if (name != "model.x" && name != "Dummy.x")
            verdict += ", left " + name;
    return verdict;
}

using FaultInjectionTest = InTempDir;

// The conversion of fname with the long path, running while the test goes
// on: in a child process on the host, in a thread of the tests on Windows,
// where each thread catches its own boxes.
#ifdef _WIN32
using Running = std::thread;

Running StartConversion(const char* fname)
{
    return std::thread([fname] { Convert(fname, kLongPath); });
}

void Finish(Running& conversion)
{
    conversion.join();
}
#else
using Running = pid_t;

Running StartConversion(const char* fname)
{
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open("/dev/null", O_WRONLY), 2);
        ConvertXFile(fname, kLongPath);
        _exit(0);
    }
    return pid;
}

void Finish(Running pid)
{
    waitpid(pid, nullptr, 0);
}
#endif

#ifdef _WIN32

// The Windows stage, when it runs as root, hands the tests a folder on a
// small disk (1500 KB) of their own: room for the model and the work file,
// none for the copy that is to replace the model.
TEST_F(FaultInjectionTest, ADiskTooSmallForTheCopyLeavesTheInputAsItWas)
{
    const char* disk = std::getenv("XCONV_SMALL_DISK");
    if (!disk)
        GTEST_SKIP() << "no small disk to fill (XCONV_SMALL_DISK)";
    const std::string text = ManyTextures(10000);
    WriteBytes("model.x", text);
    ASSERT_EQ(Convert("model.x", kLongPath), "converted");
    const std::string converted = ReadBytes("model.x");

    fs::current_path(disk);
    EXPECT_EQ(ConvertOnSmallDisk(text, converted), MSG_COPY_FAILED);
}

// One drive letter may span file systems under one volume serial, as Wine's
// Z: does: a model on another one, whose index is the work file's, is no
// work file where its times differ. The Windows stage, as root, hands the
// tests two new tmpfs, which number their files from the same start.
TEST_F(FaultInjectionTest, AModelWithTheWorkFilesIndexOnAnotherFileSystemConverts)
{
    const char* disks = std::getenv("XCONV_TWO_DISKS");
    if (!disks)
        GTEST_SKIP() << "no two new small disks (XCONV_TWO_DISKS)";
    fs::current_path(fs::path(disks) / "a");
    const std::string model = (fs::path(disks) / "b" / "model.x").string();
    WriteBytes("Dummy.x", kModel);  // of one size: only the times tell them apart
    fs::last_write_time("Dummy.x", fs::last_write_time("Dummy.x") - std::chrono::hours(1));
    WriteBytes(model, kModel);
    ASSERT_EQ(IndexOf("Dummy.x"), IndexOf(model));
    EXPECT_EQ(Convert(model), "converted");
}

// Sharing is per handle: a thread of the tests that holds a file open holds
// it against the conversion as another program would. The hold begins when
// this is made and ends by itself after ms.
class Hold {
public:
    Hold(const std::string& name, DWORD share, DWORD ms)
        : h(CreateFileA(name.c_str(), GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL)),
          release([this, ms] {
              Sleep(ms);
              if (h != INVALID_HANDLE_VALUE)
                  CloseHandle(h);
          })
    {
    }
    ~Hold() { release.join(); }
    bool Holds() const { return h != INVALID_HANDLE_VALUE; }

private:
    HANDLE h;
    std::thread release;
};

// A virus scanner: opens each file as soon as it appears in the current
// folder (the system wakes it), as such scanners do, sharing it with every
// other opener, and holds it for ms.
class Scanner {
public:
    explicit Scanner(DWORD ms)
        : seen(FilesIn(".")), folder(fs::current_path()), scan([this, ms] {
              std::vector<std::unique_ptr<Hold>> holds;
              HANDLE change = FindFirstChangeNotificationA(folder.string().c_str(), FALSE,
                                                           FILE_NOTIFY_CHANGE_FILE_NAME);
              while (!stop) {
                  for (const std::string& name : FilesIn(folder))
                      if (seen.insert(name).second)
                          holds.push_back(std::make_unique<Hold>(
                              (folder / name).string(), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, ms));
                  WaitForSingleObject(change, 10);
                  FindNextChangeNotification(change);
              }
              FindCloseChangeNotification(change);
          })
    {
    }
    ~Scanner()
    {
        stop = true;
        scan.join();
    }

private:
    std::set<std::string> seen;
    const fs::path folder;
    std::atomic<bool> stop{false};
    std::thread scan;
};

// Other programs hold the input, or every new file, open while it is
// converted. A moment's hold on the input is waited out, a longer one that
// lets others write the file is copied over, and one that doesn't is refused
// in time; a scanner's hold on files of ours is waited out for longer, and
// the input still swapped, so that it is a new file. Nothing of ours is left
// in the folder.
TEST_F(FaultInjectionTest, FilesThatOtherProgramsHoldAreWaitedForCopiedOverOrRefused)
{
    const std::string text = ManyTextures(10000);
    WriteBytes("model.x", text);
    ASSERT_EQ(Convert("model.x", kLongPath), "converted");
    const std::string converted = ReadBytes("model.x");

    enum { SWAPPED, COPIED_OVER, REFUSED };
    const DWORD READ = FILE_SHARE_READ, READ_WRITE = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const struct {
        const char* what;
        DWORD share;      // how a viewer holding the input shares it
        DWORD ms;         // for how long, or 0
        DWORD scannerMs;  // how long a scanner holds each new file, or 0
        int outcome;
        int withinMs;
    } cases[] = {
        {"shared for reading and writing for a moment", READ_WRITE, 300, 0, SWAPPED, 2000},
        {"shared for reading and writing for long", READ_WRITE, 3000, 0, COPIED_OVER, 2000},
        {"shared for reading for a moment", READ, 300, 0, SWAPPED, 2000},
        {"shared for reading for long", READ, 3000, 0, REFUSED, 2000},
        {"a scanner holding each new file for a moment", 0, 0, 300, SWAPPED, 2000},
        {"a scanner holding each new file for 1.5 s", 0, 0, 1500, SWAPPED, 3000},
        {"a scanner holding each new file for 3 s", 0, 0, 3000, SWAPPED, 6000},
        {"a scanner, and the input shared for reading and writing", READ_WRITE, 4000, 3000, COPIED_OVER, 6000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes("model.x", text);
        const std::uint64_t index = IndexOf("model.x");
        std::unique_ptr<Hold> hold;
        std::unique_ptr<Scanner> scanner;
        if (c.ms > 0) {
            hold = std::make_unique<Hold>("model.x", c.share, c.ms);
            ASSERT_TRUE(hold->Holds());
        }
        if (c.scannerMs > 0)
            scanner = std::make_unique<Scanner>(c.scannerMs);
        const auto start = std::chrono::steady_clock::now();
        const std::string verdict = Convert("model.x", kLongPath);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(c.withinMs));
        EXPECT_EQ(verdict, c.outcome == REFUSED ? MSG_COPY_FAILED : "converted");
        EXPECT_EQ(ReadBytes("model.x"), c.outcome == REFUSED ? text : converted);
        EXPECT_EQ(IndexOf("model.x") == index, c.outcome != SWAPPED);
        EXPECT_EQ(ReadBytes("Dummy.x"), converted);
        // A file that a holder shares for deleting goes when it is let go.
        scanner.reset();
        EXPECT_EQ(FilesIn("."), (Names{"Dummy.x", "model.x"}));
    }
}

#endif

// With a backup name, ReplaceFile stops halfway in one documented way
// (1177): the old file under the backup's name, the new one under its own.
// The input goes back in its place with the message, and nothing of ours
// stays beside it.
TEST_F(FaultInjectionTest, AHalfDoneSwapPutsTheInputBackInItsPlace)
{
    fs::create_directory("models");
    WriteBytes("models/model.x", kModel);
    InjectFaults(FAULT_SWAP_HALF_DONE);
    EXPECT_EQ(Convert("models/model.x"), MSG_COPY_FAILED);
    InjectFaults(FAULT_NONE);
    EXPECT_EQ(ReadBytes("models/model.x"), kModel);
    EXPECT_EQ(FilesIn("models"), Names{"model.x"});
}

#ifndef _WIN32

TEST_F(FaultInjectionTest, TheWorkFileReachedBySymbolicLinksIsRefused)
{
    WriteBytes("Dummy.x", kModel);
    fs::create_symlink("Dummy.x", "soft.x");
    fs::create_directory_symlink(".", "here");
    ExpectRefused("soft.x", MSG_IS_WORK_FILE, "Dummy.x");
    ExpectRefused("here/Dummy.x", MSG_IS_WORK_FILE, "Dummy.x");

    // A link named like the work file is never followed: to the input, to
    // another file, to nothing or to a device.
    WriteBytes("model.x", kModel);
    WriteBytes("other.x", kModel);
    for (const char* target : {"model.x", "other.x", "nothing.x", "/dev/full"}) {
        fs::remove("Dummy.x");
        fs::create_symlink(target, "Dummy.x");
        ExpectRefused("model.x", MSG_CREATE_FAILED);
    }
    EXPECT_EQ(ReadBytes("other.x"), kModel);
    EXPECT_FALSE(Exists("nothing.x"));
}

// Runs f in a child process and gives what it returned.
std::string InChild(const std::function<std::string()>& f)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    // The child must not write out again what the parent still buffers.
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string report = f();
        ssize_t n = write(fds[1], report.data(), report.size());
        _exit(n == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string report;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        report.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return report;
}

// Runs the conversion of fname in a child process, after prepare has set the
// child up (limits, another user), and gives its verdict, or "skip: " and
// prepare's reason.
std::string ConvertInChild(const std::string& fname, const std::function<std::string()>& prepare)
{
    return InChild([&] {
        const std::string skip = prepare();
        return skip.empty() ? Convert(fname) : "skip: " + skip;
    });
}

bool Skipped(const std::string& verdict)
{
    return verdict.compare(0, 5, "skip:") == 0;
}

// Runs f in a child process with a mount namespace of its own, in which
// source is mounted at target as mount(2) takes it; as root only.
std::string WithMount(const char* source, const fs::path& target, const char* type, unsigned long flags,
                      const std::string& data, const std::function<std::string()>& f)
{
    return InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(source, target.c_str(), type, flags, data.c_str()) != 0)
            return std::string("skip: no mount namespace with a mount of its own here");
        return f();
    });
}

const fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

// File permissions bind root only in part, so the child takes the user
// nobody when the tests run as root.
std::string BecomeUnprivilegedIn(const fs::path& where)
{
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
        return "can't become the user nobody";
    if (chdir(where.c_str()) != 0)
        return "the test directory is out of the user's reach";
    return "";
}

std::string LimitFileSize(rlim_t bytes)
{
    // Without the signal the write that passes the limit fails with EFBIG.
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{bytes, bytes};
    return setrlimit(RLIMIT_FSIZE, &lim) == 0 ? "" : "setrlimit failed";
}

TEST_F(FaultInjectionTest, AFailedReadOrWriteIsReportedAndLeavesTheInput)
{
    // Reading the start of a process's memory fails with an I/O error.
    fs::create_symlink("/proc/self/mem", "mem.x");
    EXPECT_EQ(Convert("mem.x"), MSG_READ_FAILED);

    // A file size limit stops the work file while lines are still written.
    std::string text = ManyTextures(25000);
    WriteBytes("model.x", text);
    EXPECT_EQ(ConvertInChild("model.x", [] { return LimitFileSize(64 * 1024); }), MSG_WRITE_FAILED);
    EXPECT_EQ(ReadBytes("model.x"), text);

    // A small one meets it only when the last of it goes out.
    text = kModel + std::string(60, ' ') + "\n";
    WriteBytes("model.x", text);
    EXPECT_EQ(ConvertInChild("model.x", [] { return LimitFileSize(100); }), MSG_WRITE_FAILED);
    EXPECT_EQ(ReadBytes("model.x"), text);
}

// Without permission, which as root the user nobody lacks: a current folder
// that takes no work file, an input that can't be read.
TEST_F(FaultInjectionTest, WithoutPermissionNothingIsTouched)
{
    fs::permissions(dir, kReadOnlyFolder | fs::perms::owner_write);
    fs::create_directory("locked");
    for (const char* name : {"model.x", "locked/model.x"})
        WriteBytes(name, kModel);
    fs::permissions("locked", kReadOnlyFolder);
    fs::permissions("model.x", fs::perms::owner_write);
    const struct {
        const char* from;
        const char* message;
    } cases[] = {{"locked", MSG_CREATE_FAILED}, {".", MSG_NO_FILE}};
    for (const auto& c : cases) {
        const std::string verdict = ConvertInChild("model.x", [&] { return BecomeUnprivilegedIn(dir / c.from); });
        if (Skipped(verdict))
            GTEST_SKIP() << verdict;
        EXPECT_EQ(verdict, c.message);
        EXPECT_FALSE(Exists(std::string(c.from) + "/Dummy.x"));
    }
    fs::permissions("model.x", fs::perms::owner_read, fs::perm_options::add);
    for (const char* name : {"model.x", "locked/model.x"})
        EXPECT_EQ(ReadBytes(name), kModel);
}

// As root, each conversion runs in a child with a mount namespace of its own
// and a small tmpfs as its folder, of a size that first stops the work file,
// then the copy that is to replace the input, then nothing.
TEST_F(FaultInjectionTest, WhateverTheFreeSpaceTheInputIsItsOldTextOrTheWholeConvertedOne)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const std::string text = ManyTextures(10000);
    WriteBytes("model.x", text);
    ASSERT_EQ(Convert("model.x", kLongPath), "converted");
    const std::string converted = ReadBytes("model.x");
    // 1500 KB hold the model and the work file, but not the converted text
    // twice: a copy over the input runs out of space halfway.
    ASSERT_LT(text.size() + converted.size(), 1500u * 1024);
    ASSERT_GT(2 * converted.size(), 1500u * 1024);
    ASSERT_LT(text.size() + 2 * converted.size(), 2600u * 1024);

    const struct {
        int kb;
        std::string verdict;
    } cases[] = {{1000, MSG_WRITE_FAILED}, {1500, MSG_COPY_FAILED}, {2600, "converted"}};
    for (const auto& c : cases) {
        const fs::path disk = dir / ("disk" + std::to_string(c.kb));
        fs::create_directory(disk);
        const std::string verdict =
            WithMount("tmpfs", disk, "tmpfs", 0, "size=" + std::to_string(c.kb) + "k", [&] {
                fs::current_path(disk);
                return ConvertOnSmallDisk(text, converted);
            });
        if (Skipped(verdict))
            GTEST_SKIP() << verdict;
        EXPECT_EQ(verdict, c.verdict) << c.kb << " KB";
    }
}

// Killed at instants spread over its whole run, the conversion must never
// leave the input between its old text and the converted one; only a file of
// its own beside the input may be left over.
TEST_F(FaultInjectionTest, AConversionKilledAtAnyInstantLeavesTheOldOrTheWholeNewText)
{
    const std::string text = ManyTextures(80000);
    WriteBytes("model.x", text);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Convert("model.x", kLongPath), "converted");
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string converted = ReadBytes("model.x");

    const int instants = 12;
    for (int i = 0; i < instants; ++i) {
        WriteBytes("model.x", text);
        pid_t pid = StartConversion("model.x");
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(took * i / (instants - 2));
        usleep(static_cast<useconds_t>(wait.count()));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        const std::string now = ReadBytes("model.x");
        EXPECT_TRUE(now == text || now == converted)
            << "killed after " << wait.count() << " us, the input holds " << now.size() << " bytes";
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name != "model.x" && name != "Dummy.x") {
                EXPECT_EQ(name.compare(0, 3, "xcv"), 0) << name;
                fs::remove(entry.path());
            }
        }
    }
}

// The file a name reaches is replaced, not the name: a symbolic link stays a
// link to the converted file, which keeps its permission bits, and another
// hard link to the old file keeps the old text.
TEST_F(FaultInjectionTest, TheReplaceKeepsLinksAndPermissions)
{
    fs::create_directory("models");
    WriteBytes("models/model.x", kModel);
    fs::permissions("models/model.x", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_hard_link("models/model.x", "models/old.x");
    fs::create_symlink("models/model.x", "link.x");
    EXPECT_EQ(Convert("link.x"), "converted");
    EXPECT_TRUE(fs::is_symlink("link.x"));
    EXPECT_EQ(ReadBytes("models/model.x"), ReadBytes("Dummy.x"));
    EXPECT_NE(ReadBytes("models/model.x"), kModel);
    EXPECT_EQ(ReadBytes("models/old.x"), kModel);
    EXPECT_EQ(fs::status("models/model.x").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator("models"), fs::directory_iterator()), 2);
}

#endif

// A folder that takes no new file while its file may be written: the work
// file is copied over the input as the only way left, and nothing of ours
// stays in the folder. Root's read-only folder binds no test user on the
// host; under Wine, the Windows stage hands the tests such a folder.
TEST_F(FaultInjectionTest, AFolderThatTakesNoNewFileStillGetsItsFileConverted)
{
#ifdef _WIN32
    const char* locked = std::getenv("XCONV_LOCKED_FOLDER");
    if (!locked)
        GTEST_SKIP() << "no folder that takes no new file (XCONV_LOCKED_FOLDER)";
    const fs::path folder = locked;
    WriteBytes((folder / "model.x").string(), kModel);
    const std::string verdict = Convert((folder / "model.x").string());
#else
    const fs::path folder = "locked";
    fs::permissions(dir, fs::perms::all);
    fs::create_directory(folder);
    WriteBytes("locked/model.x", kModel);
    fs::permissions("locked/model.x", fs::perms::all);
    fs::permissions(folder, kReadOnlyFolder);
    const std::string verdict = ConvertInChild("locked/model.x", [&] { return BecomeUnprivilegedIn(dir); });
    if (Skipped(verdict))
        GTEST_SKIP() << verdict;
#endif
    EXPECT_EQ(verdict, "converted");
    EXPECT_EQ(ReadBytes((folder / "model.x").string()), ReadBytes("Dummy.x"));
    EXPECT_NE(ReadBytes((folder / "model.x").string()), kModel);
    EXPECT_EQ(FilesIn(folder), Names{"model.x"});
}

// One folder under two names (here a bind mount; on Windows a share of the
// current folder, or a mapped drive and its share): the work file typed
// through the other one is still the work file, and stays byte for byte as
// it was, whether the first read of it takes it whole or not.
TEST_F(FaultInjectionTest, TheWorkFileThroughASecondNameOfItsFolderIsRefused)
{
    for (const std::string& text : {kModel, ManyTextures(3000)}) {
#ifdef _WIN32
        const char* aliased = std::getenv("XCONV_ALIASED_FOLDER");
        if (!aliased)
            GTEST_SKIP() << "no folder with a second name (XCONV_ALIASED_FOLDER)";
        fs::current_path(fs::path(aliased) / "folder");
        WriteBytes("Dummy.x", text);
        const std::string verdict = Convert((fs::path(aliased) / "alias" / "Dummy.x").string());
#else
        fs::create_directory("alias");
        WriteBytes("Dummy.x", text);
        const std::string verdict =
            WithMount(dir.c_str(), dir / "alias", "none", MS_BIND, "", [] { return Convert("alias/Dummy.x"); });
        if (Skipped(verdict))
            GTEST_SKIP() << verdict;
#endif
        EXPECT_EQ(verdict, MSG_IS_WORK_FILE) << text.size() << " bytes";
        EXPECT_EQ(ReadBytes("Dummy.x"), text);
    }
}

// Two conversions in one folder share the work file: each input must end as
// its old text or its own converted text, never the other's, a mix or cut
// short. The small one starts at instants spread over the large one's run.
TEST_F(FaultInjectionTest, TwoConversionsInOneFolderNeverSwapInTheOthersText)
{
    const std::string text[2] = {ManyTextures(100000), ManyTextures(1000)};
    std::string converted[2];
    const char* const names[2] = {"a.x", "b.x"};
    auto took = std::chrono::steady_clock::duration::zero();
    for (int k = 1; k >= 0; --k) {
        WriteBytes(names[k], text[k]);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Convert(names[k], kLongPath), "converted");
        took = std::chrono::steady_clock::now() - start;
        converted[k] = ReadBytes(names[k]);
        ASSERT_NE(converted[k], text[k]);
    }
    const int rounds = 12;
    for (int round = 0; round < rounds; ++round) {
        Running conversion[2];
        for (int k = 0; k < 2; ++k) {
            WriteBytes(names[k], text[k]);
            conversion[k] = StartConversion(names[k]);
            if (k == 0)
                std::this_thread::sleep_for(took * round / rounds);
        }
        for (int k = 0; k < 2; ++k) {
            Finish(conversion[k]);
            const std::string now = ReadBytes(names[k]);
            EXPECT_TRUE(now == text[k] || now == converted[k])
                << names[k] << " in round " << round << " holds " << now.size() << " bytes";
        }
    }
    EXPECT_EQ(FilesIn("."), (Names{"Dummy.x", "a.x", "b.x"}));
}

}  // namespace
