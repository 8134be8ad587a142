// What the tests share.
#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include "TextWin32.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

void InTempDir::SetUp()
{
    static std::atomic<int> serial{0};
    previous = fs::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream name;
    name << "xconv-" << info->test_suite_name() << '-' << info->name() << '-' <<
#ifdef _WIN32
        GetCurrentProcessId()
#else
        getpid()
#endif
         << '-' << serial++;
    dir = fs::temp_directory_path() / name.str();
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
}

void InTempDir::TearDown()
{
    fs::current_path(previous);
    std::error_code ec;
    // Read-only files left by a test must not stop the clean-up.
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
}

namespace {

// Nothing where name is no plain file: a folder, or a device or a pipe,
// whose reads may wait for ever.
std::string ReadPath(const fs::path& name)
{
#ifdef _WIN32
    const DWORD attr = GetFileAttributesW(name.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return "";
#else
    struct stat st;
    if (stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
#endif
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WritePath(const fs::path& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A name typed in the ANSI code page. On Windows a path made from bytes
// would take each byte for a character.
fs::path Typed(const std::string& name)
{
#ifdef _WIN32
    std::wstring wide;
    Widen(CP_ACP, name.c_str(), wide);
    return wide;
#else
    return name;
#endif
}

}  // namespace

std::string ReadBytes(const std::string& name)
{
    return ReadPath(Typed(name));
}

void WriteBytes(const std::string& name, const std::string& bytes)
{
    WritePath(Typed(name), bytes);
}

#ifdef _WIN32
std::string ReadBytes(const std::wstring& name)
{
    return ReadPath(name);
}

void WriteBytes(const std::wstring& name, const std::string& bytes)
{
    WritePath(name, bytes);
}
#endif

bool Exists(const std::string& name)
{
    std::error_code ec;
    return fs::exists(name, ec);
}

Names FilesIn(const fs::path& folder)
{
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

#ifdef _WIN32
std::uint64_t IndexOf(const std::string& name)
{
    HANDLE h = CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
}
#endif

std::string Convert(const std::string& fname, const std::string& Path)
{
    HRESULT hr = S_OK;
    const std::vector<std::string> boxes = CaptureBoxes([&] { hr = ConvertXFile(fname.c_str(), Path.c_str()); });
    if (hr == S_OK && boxes.empty())
        return "converted";
    if (hr == E_FAIL && boxes.size() == 1)
        return boxes[0];
    return "fault: result " + std::to_string(hr) + " with " + std::to_string(boxes.size()) + " boxes";
}

void ExpectRefused(const std::string& fname, const char* message, const std::string& input)
{
    const std::string file = input.empty() ? fname : input;
    const std::string before = ReadBytes(file);
    EXPECT_EQ(Convert(fname), message) << fname;
    EXPECT_EQ(ReadBytes(file), before) << fname;
}

#ifdef _WIN32

// The real message box is modal; a hook on this thread reads each box as it
// is activated and dismisses it with OK.
namespace {

// Each thread that converts catches its own boxes.
thread_local std::vector<std::string>* g_boxes;
thread_local HHOOK g_hook;

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char cls[16] = "";
        GetClassNameA(box, cls, sizeof cls);
        if (std::string(cls) == "#32770") {
            char text[512] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            g_boxes->push_back(text);
            EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the conversion's boxes have no owner";
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

std::vector<std::string> CaptureBoxes(const std::function<void()>& f)
{
    std::vector<std::string> boxes;
    g_boxes = &boxes;
    g_hook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
    f();
    UnhookWindowsHookEx(g_hook);
    g_boxes = nullptr;
    return boxes;
}

#else

// The host stand-in writes each box as a line "MessageBox: <text>" to
// standard error; standard error goes to a file while f runs.
std::vector<std::string> CaptureBoxes(const std::function<void()>& f)
{
    std::fflush(stderr);
    std::FILE* tmp = std::tmpfile();
    int saved = dup(2);
    dup2(fileno(tmp), 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);

    std::rewind(tmp);
    std::vector<std::string> boxes;
    char line[1024];
    const std::string prefix = "MessageBox: ";
    while (std::fgets(line, sizeof line, tmp)) {
        std::string s = line;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        if (s.compare(0, prefix.size(), prefix) == 0)
            boxes.push_back(s.substr(prefix.size()));
    }
    std::fclose(tmp);
    return boxes;
}

#endif
