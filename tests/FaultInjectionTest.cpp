// The conversion against a hostile file system: a work file that can't be
// written or made, an input that can't be read, the work file reached by
// names other than its own, a disk too small for the final copy and a
// conversion killed halfway. Each failure must show its one message, return
// E_FAIL and leave the input byte for byte as it was; the input is only ever
// its old text or the whole converted one.
#include "ConvertXFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <thread>
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
#include "System.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Boxes = std::vector<std::string>;

const std::string kModel = " MeshMaterialList {\n   TextureFilename {\n    \"a.bmp\";\n MeshNormals {\n";

struct Outcome {
    HRESULT hr = S_OK;
    Boxes boxes;
};

Outcome Convert(const std::string& fname, const char* Path = "p\\")
{
    Outcome o;
    o.boxes = CaptureBoxes([&] { o.hr = ConvertXFile(fname.c_str(), Path); });
    return o;
}

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
// too small for it, and tells how that ended: "converted", or the one message
// shown while the input kept its old text. Anything else, and any file left
// in the folder besides the input and the work file, is told as a fault.
std::string ConvertOnSmallDisk(const std::string& text, const std::string& converted)
{
    WriteBytes("model.x", text);
    Outcome o = Convert("model.x", kLongPath);
    const std::string now = ReadBytes("model.x");
    std::string verdict;
    if (o.hr == S_OK && o.boxes.empty() && now == converted)
        verdict = "converted";
    else if (o.hr == E_FAIL && o.boxes.size() == 1 && now == text)
        verdict = o.boxes[0];
    else
        verdict = "fault: " + std::to_string(o.boxes.size()) + " boxes, input of " + std::to_string(now.size()) +
                  " bytes";
    for (const auto& entry : fs::directory_iterator("."))
        if (entry.path().filename() != "model.x" && entry.path().filename() != "Dummy.x")
            verdict += ", left " + entry.path().filename().string();
    return verdict;
}

// Expects the conversion of fname to fail with this message and to leave
// the file input (fname, or the file it reaches) as it was.
void ExpectRefused(const std::string& fname, const std::string& input, const char* message)
{
    const std::string before = ReadBytes(input);
    Outcome o = Convert(fname);
    EXPECT_EQ(o.hr, E_FAIL) << fname;
    EXPECT_EQ(o.boxes, Boxes{message}) << fname;
    EXPECT_EQ(ReadBytes(input), before) << fname;
}

std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

using Names = std::set<std::string>;
using FaultInjectionTest = InTempDir;

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
    ASSERT_EQ(Convert("model.x", kLongPath).hr, S_OK);
    const std::string converted = ReadBytes("model.x");

    fs::current_path(disk);
    for (const auto& entry : fs::directory_iterator("."))
        fs::remove_all(entry.path());
    EXPECT_EQ(ConvertOnSmallDisk(text, converted), MSG_COPY_FAILED);
    fs::remove("model.x");
    fs::remove("Dummy.x");
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
// folder, shared for reading and writing, and holds it for 0.3 s.
class Scanner {
public:
    Scanner()
        : seen(FilesIn(".")), folder(fs::current_path()), scan([this] {
              std::vector<std::unique_ptr<Hold>> holds;
              while (!stop) {
                  for (const std::string& name : FilesIn(folder))
                      if (seen.insert(name).second)
                          holds.push_back(std::make_unique<Hold>((folder / name).string(),
                                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, 300));
                  Sleep(1);
              }
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
// converted. A moment's hold is waited out, a longer one that lets others
// write the file is copied over, and one that doesn't is refused in time.
// Nothing of ours is left in the folder.
TEST_F(FaultInjectionTest, FilesThatOtherProgramsHoldAreWaitedForCopiedOverOrRefused)
{
    const std::string text = ManyTextures(10000);
    WriteBytes("model.x", text);
    ASSERT_EQ(Convert("model.x", kLongPath).hr, S_OK);
    const std::string converted = ReadBytes("model.x");

    const DWORD READ = FILE_SHARE_READ, READ_WRITE = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const struct {
        const char* what;
        DWORD share;
        DWORD ms;  // 0: a scanner holds each new file instead
        bool converted;
    } cases[] = {
        {"shared for reading and writing for a moment", READ_WRITE, 300, true},
        {"shared for reading and writing for long", READ_WRITE, 3000, true},
        {"shared for reading for a moment", READ, 300, true},
        {"shared for reading for long", READ, 3000, false},
        {"a scanner holding each new file", 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes("model.x", text);
        std::unique_ptr<Hold> hold;
        std::unique_ptr<Scanner> scanner;
        if (c.ms > 0) {
            hold = std::make_unique<Hold>("model.x", c.share, c.ms);
            ASSERT_TRUE(hold->Holds());
        } else {
            scanner = std::make_unique<Scanner>();
        }
        const auto start = std::chrono::steady_clock::now();
        const Outcome o = Convert("model.x", kLongPath);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        if (c.converted) {
            EXPECT_EQ(o.hr, S_OK);
            EXPECT_EQ(o.boxes, Boxes{});
            EXPECT_EQ(ReadBytes("model.x"), converted);
        } else {
            EXPECT_EQ(o.hr, E_FAIL);
            EXPECT_EQ(o.boxes, Boxes{MSG_COPY_FAILED});
            EXPECT_EQ(ReadBytes("model.x"), text);
        }
        EXPECT_EQ(ReadBytes("Dummy.x"), converted);
        EXPECT_EQ(FilesIn("."), (Names{"Dummy.x", "model.x"}));
    }
}

// GetTempFileNameA makes files with cut names in a folder whose full name is
// longer than MAX_PATH - 14: there the work file is copied over the input.
TEST_F(FaultInjectionTest, AFolderNameTooLongForNamesOfTheSystemsMakingIsCopiedOver)
{
    const std::string leaf(248 - fs::current_path().string().size() - 1, 'f');
    fs::create_directory(leaf);
    fs::current_path(leaf);
    ASSERT_EQ(fs::current_path().string().size(), 248u);
    WriteBytes("model.x", kModel);
    const Outcome o = Convert("model.x");
    EXPECT_EQ(o.hr, S_OK);
    EXPECT_EQ(o.boxes, Boxes{});
    EXPECT_NE(ReadBytes("model.x"), kModel);
    EXPECT_EQ(ReadBytes("model.x"), ReadBytes("Dummy.x"));
    EXPECT_EQ(FilesIn("."), (Names{"Dummy.x", "model.x"}));
    EXPECT_EQ(FilesIn(".."), Names{leaf});
}

#endif

TEST_F(FaultInjectionTest, TheWorkFileReachedByAHardLinkIsRefused)
{
    WriteBytes("Dummy.x", kModel);
    fs::create_hard_link("Dummy.x", "hard.x");
    ExpectRefused("hard.x", "Dummy.x", MSG_IS_WORK_FILE);
}

// The platform documents two swaps that stop halfway: one leaves the old
// file under the backup's name (1177 on Windows), one leaves no file at the
// input's name (1176 without a backup). The input goes back in its place,
// the old file with the message or the converted copy, and nothing of ours
// stays beside it.
TEST_F(FaultInjectionTest, AHalfDoneSwapPutsTheInputBackInItsPlace)
{
    fs::create_directory("models");
    const struct {
        SwapResult result;
        bool converted;
    } cases[] = {{SWAP_TARGET_MOVED, false}, {SWAP_TARGET_GONE, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        WriteBytes("models/model.x", kModel);
        InjectSwapResult(c.result);
        const Outcome o = Convert("models/model.x");
        if (c.converted) {
            EXPECT_EQ(o.hr, S_OK);
            EXPECT_EQ(o.boxes, Boxes{});
            EXPECT_EQ(ReadBytes("models/model.x"), ReadBytes("Dummy.x"));
        } else {
            EXPECT_EQ(o.hr, E_FAIL);
            EXPECT_EQ(o.boxes, Boxes{MSG_COPY_FAILED});
            EXPECT_EQ(ReadBytes("models/model.x"), kModel);
        }
        EXPECT_EQ(FilesIn("models"), Names{"model.x"});
    }
}

#ifndef _WIN32

TEST_F(FaultInjectionTest, TheWorkFileReachedBySymbolicLinksIsRefused)
{
    WriteBytes("Dummy.x", kModel);
    fs::create_symlink("Dummy.x", "soft.x");
    fs::create_directory_symlink(".", "here");
    ExpectRefused("soft.x", "Dummy.x", MSG_IS_WORK_FILE);
    ExpectRefused("here/Dummy.x", "Dummy.x", MSG_IS_WORK_FILE);

    // The other way round: the work file's name leads to the input, which
    // creating the work file would empty.
    fs::remove("Dummy.x");
    WriteBytes("model.x", kModel);
    fs::create_symlink("model.x", "Dummy.x");
    ExpectRefused("model.x", "model.x", MSG_IS_WORK_FILE);

    // A link named like the work file is never followed: to another file,
    // to nothing or to a device.
    WriteBytes("other.x", kModel);
    for (const char* target : {"other.x", "nothing.x", "/dev/full"}) {
        fs::remove("Dummy.x");
        fs::create_symlink(target, "Dummy.x");
        ExpectRefused("model.x", "model.x", MSG_CREATE_FAILED);
    }
    EXPECT_EQ(ReadBytes("other.x"), kModel);
    EXPECT_FALSE(Exists("nothing.x"));
}

TEST_F(FaultInjectionTest, AnInputThatFailsToReadIsReported)
{
    // Reading the start of a process's memory fails with an I/O error.
    fs::create_symlink("/proc/self/mem", "model.x");
    Outcome o = Convert("model.x");
    EXPECT_EQ(o.hr, E_FAIL);
    EXPECT_EQ(o.boxes, Boxes{MSG_READ_FAILED});
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

// What a child process saw of one conversion, or why it could not run it.
struct ChildOutcome {
    std::string skipped;
    Outcome outcome;
};

// Runs the conversion of fname in a child process, after prepare has set the
// child up (limits, another user); prepare gives a reason to skip, or "".
ChildOutcome ConvertInChild(const std::string& fname, const std::function<std::string()>& prepare)
{
    std::string report = InChild([&] {
        std::string skip = prepare();
        if (!skip.empty())
            return "S" + skip;
        Outcome o = Convert(fname);
        std::string r = "R" + std::to_string(o.hr);
        for (const std::string& box : o.boxes)
            r += "\n" + box;
        return r;
    });
    ChildOutcome c;
    if (report.empty())
        return c;
    if (report[0] == 'S') {
        c.skipped = report.substr(1);
        return c;
    }
    std::size_t at = report.find('\n');
    c.outcome.hr = static_cast<HRESULT>(std::stol(report.substr(1, at - 1)));
    while (at != std::string::npos) {
        std::size_t next = report.find('\n', at + 1);
        c.outcome.boxes.push_back(report.substr(at + 1, next == std::string::npos ? next : next - at - 1));
        at = next;
    }
    return c;
}

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

void ExpectChildRefused(const ChildOutcome& c, const std::string& input, const std::string& before,
                        const char* message)
{
    EXPECT_EQ(c.outcome.hr, E_FAIL);
    EXPECT_EQ(c.outcome.boxes, Boxes{message});
    EXPECT_EQ(ReadBytes(input), before);
}

TEST_F(FaultInjectionTest, AFileSizeLimitStopsTheWorkFileAndLeavesTheInput)
{
    // A large file meets the limit while lines are still being written.
    std::string text = kModel;
    while (text.size() < 1024 * 1024)
        text += "  0.000000;0.000000;0.000000;,\n";
    WriteBytes("model.x", text);
    ExpectChildRefused(ConvertInChild("model.x", [] { return LimitFileSize(64 * 1024); }), "model.x", text,
                       MSG_WRITE_FAILED);

    // A small one meets it only when the last of it goes out.
    text = kModel + std::string(60, ' ') + "\n";
    WriteBytes("model.x", text);
    ExpectChildRefused(ConvertInChild("model.x", [] { return LimitFileSize(100); }), "model.x", text,
                       MSG_WRITE_FAILED);
}

TEST_F(FaultInjectionTest, AWorkFileThatCanNotBeMadeInTheCurrentDirectory)
{
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory("locked");
    WriteBytes("locked/model.x", kModel);
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ChildOutcome c = ConvertInChild("model.x", [&] { return BecomeUnprivilegedIn(dir / "locked"); });
    if (!c.skipped.empty())
        GTEST_SKIP() << c.skipped;
    ExpectChildRefused(c, "locked/model.x", kModel, MSG_CREATE_FAILED);
    EXPECT_FALSE(Exists("locked/Dummy.x"));
}

TEST_F(FaultInjectionTest, AnInputWithoutReadPermissionCanNotBeOpened)
{
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    WriteBytes("model.x", kModel);
    fs::permissions("model.x", fs::perms::owner_write);
    ChildOutcome c = ConvertInChild("model.x", [&] { return BecomeUnprivilegedIn(dir); });
    if (!c.skipped.empty())
        GTEST_SKIP() << c.skipped;
    fs::permissions("model.x", fs::perms::owner_read, fs::perm_options::add);
    ExpectChildRefused(c, "model.x", kModel, MSG_NO_FILE);
    EXPECT_FALSE(Exists("Dummy.x"));
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
    ASSERT_EQ(Convert("model.x", kLongPath).hr, S_OK);
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
        std::string verdict = InChild([&] {
            const std::string size = "size=" + std::to_string(c.kb) + "k";
            if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", disk.c_str(), "tmpfs", 0, size.c_str()) != 0)
                return std::string("skip: no mount namespace with a tmpfs here");
            fs::current_path(disk);
            return ConvertOnSmallDisk(text, converted);
        });
        if (verdict.compare(0, 5, "skip:") == 0)
            GTEST_SKIP() << verdict;
        EXPECT_EQ(verdict, c.verdict) << c.kb << " KB";
    }
}

// Starts the conversion of fname with the long path in a child process. Its
// boxes go nowhere: where the work file changed under a conversion, it
// refuses to replace its input and says so.
pid_t StartConversion(const char* fname)
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

// Killed at instants spread over its whole run, the conversion must never
// leave the input between its old text and the converted one; only a file of
// its own beside the input may be left over.
TEST_F(FaultInjectionTest, AConversionKilledAtAnyInstantLeavesTheOldOrTheWholeNewText)
{
    const std::string text = ManyTextures(80000);
    WriteBytes("model.x", text);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Convert("model.x", kLongPath).hr, S_OK);
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

// Two conversions in one folder share the work file: each input must end as
// its old text or its own converted text, never the other's or a mix.
TEST_F(FaultInjectionTest, TwoConversionsInOneFolderNeverSwapInTheOthersText)
{
    const std::string text[2] = {ManyTextures(10000), ManyTextures(10001)};
    std::string converted[2];
    const char* const names[2] = {"a.x", "b.x"};
    for (int k = 0; k < 2; ++k) {
        WriteBytes(names[k], text[k]);
        ASSERT_EQ(Convert(names[k], kLongPath).hr, S_OK);
        converted[k] = ReadBytes(names[k]);
    }
    for (int round = 0; round < 20; ++round) {
        pid_t pid[2];
        for (int k = 0; k < 2; ++k) {
            WriteBytes(names[k], text[k]);
            pid[k] = StartConversion(names[k]);
        }
        for (int k = 0; k < 2; ++k) {
            waitpid(pid[k], nullptr, 0);
            const std::string now = ReadBytes(names[k]);
            EXPECT_TRUE(now == text[k] || now == converted[k]) << names[k] << " in round " << round;
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
    Outcome o = Convert("link.x");
    EXPECT_EQ(o.hr, S_OK);
    EXPECT_TRUE(fs::is_symlink("link.x"));
    EXPECT_EQ(ReadBytes("models/model.x"), ReadBytes("Dummy.x"));
    EXPECT_NE(ReadBytes("models/model.x"), kModel);
    EXPECT_EQ(ReadBytes("models/old.x"), kModel);
    EXPECT_EQ(fs::status("models/model.x").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator("models"), fs::directory_iterator()), 2);
}

// A folder that takes no new file while its file may be written: the work
// file is copied over the input as the only way left.
TEST_F(FaultInjectionTest, AFolderThatTakesNoNewFileStillGetsItsFileConverted)
{
    fs::permissions(dir, fs::perms::all);
    fs::create_directory("locked");
    WriteBytes("locked/model.x", kModel);
    fs::permissions("locked/model.x", fs::perms::all);
    fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ChildOutcome c = ConvertInChild("locked/model.x", [&] { return BecomeUnprivilegedIn(dir); });
    if (!c.skipped.empty())
        GTEST_SKIP() << c.skipped;
    EXPECT_EQ(c.outcome.hr, S_OK);
    EXPECT_EQ(c.outcome.boxes, Boxes{});
    EXPECT_EQ(ReadBytes("locked/model.x"), ReadBytes("Dummy.x"));
    EXPECT_NE(ReadBytes("locked/model.x"), kModel);
}

#endif

}  // namespace
