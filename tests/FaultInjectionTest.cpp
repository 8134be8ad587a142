// The conversion against a hostile file system: a work file that can't be
// written or made, an input that can't be read, and the work file reached by
// names other than its own. Each failure must show its one message, return
// E_FAIL and leave the input byte for byte as it was.
#include "ConvertXFile.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "Messages.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Boxes = std::vector<std::string>;

const std::string kModel = " MeshMaterialList {\n   TextureFilename {\n    \"a.bmp\";\n MeshNormals {\n";

struct Outcome {
    HRESULT hr = S_OK;
    Boxes boxes;
};

Outcome Convert(const std::string& fname)
{
    Outcome o;
    o.boxes = CaptureBoxes([&] { o.hr = ConvertXFile(fname.c_str(), "p\\"); });
    return o;
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

using FaultInjectionTest = InTempDir;

TEST_F(FaultInjectionTest, TheWorkFileReachedByAHardLinkIsRefused)
{
    WriteBytes("Dummy.x", kModel);
    fs::create_hard_link("Dummy.x", "hard.x");
    ExpectRefused("hard.x", "Dummy.x", MSG_IS_WORK_FILE);
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
}

TEST_F(FaultInjectionTest, AFullDiskLeavesTheInputAsItWas)
{
    // Big enough that the work file meets the full disk while lines are
    // still being written, not only at the end.
    std::string text = kModel;
    while (text.size() < 1024 * 1024)
        text += "  0.000000;0.000000;0.000000;,\n";
    WriteBytes("model.x", text);
    fs::create_symlink("/dev/full", "Dummy.x");
    ExpectRefused("model.x", "model.x", MSG_WRITE_FAILED);

    // A small file fails only when the last of it goes out.
    WriteBytes("model.x", kModel);
    ExpectRefused("model.x", "model.x", MSG_WRITE_FAILED);
}

TEST_F(FaultInjectionTest, AnInputThatFailsToReadIsReported)
{
    // Reading the start of a process's memory fails with an I/O error.
    fs::create_symlink("/proc/self/mem", "model.x");
    Outcome o = Convert("model.x");
    EXPECT_EQ(o.hr, E_FAIL);
    EXPECT_EQ(o.boxes, Boxes{MSG_READ_FAILED});
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
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    // The child must not write out again what the parent still buffers.
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string report = prepare();
        if (report.empty()) {
            Outcome o = Convert(fname);
            report = "R" + std::to_string(o.hr);
            for (const std::string& box : o.boxes)
                report += "\n" + box;
        } else {
            report = "S" + report;
        }
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

#endif

}  // namespace
