// End-to-end tests of XConv.exe. Each test starts the program in a fresh
// directory of its own and works its dialog from this process as a user
// would: fields set, buttons and keys posted, each message box read (text,
// caption, owner) and dismissed. Every wait is bounded, so a program that
// hangs fails the test instead of stopping the run.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DlgProc.h"
#include "Messages.h"
#include "TestSupport.h"
#include "TextWin32.h"
#include "resource.h"

namespace {

std::string g_exe;  // full name of XConv.exe, from the command line

constexpr DWORD TIMEOUT_MS = 15000;

// The platform's caption for a box that names none: エラー.
constexpr char DEFAULT_CAPTION[] = "\x83\x47\x83\x89\x81\x5b";

template <class F>
bool WaitFor(F done, DWORD ms = TIMEOUT_MS)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(10);
    }
    return true;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* cls)
{
    std::vector<HWND> found;
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, cls, NULL)) != NULL;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid)
            found.push_back(w);
    }
    return found;
}

// UTF-16 as code page 932 bytes, those the program's texts are kept in,
// whatever the ANSI code page.
std::string Cp932(const std::wstring& text)
{
    char buf[1024] = "";
    WideCharToMultiByte(932, 0, text.c_str(), -1, buf, sizeof buf, NULL, NULL);
    return buf;
}

std::wstring WideText(HWND hWnd)
{
    wchar_t buf[1024] = L"";
    DWORD_PTR n = 0;
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, TIMEOUT_MS, &n);
    return buf;
}

// A window's text, read in UTF-16, as code page 932 bytes.
std::string Text(HWND hWnd)
{
    return Cp932(WideText(hWnd));
}

// Starts XConv.exe in dir, whatever characters its name holds; gives the
// process and its dialog once it shows.
bool StartProgram(const std::filesystem::path& dir, PROCESS_INFORMATION& pi, HWND& dlg)
{
    const std::wstring exe = std::filesystem::path(g_exe).wstring();
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    dlg = NULL;
    if (!CreateProcessW(exe.c_str(), cmd.data(), NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi))
        return false;
    return WaitFor([&] {
        for (HWND w : TopLevelWindows(pi.dwProcessId, "#32770"))
            if (IsWindowVisible(w) && Text(w) == "Dialog")
                dlg = w;
        return dlg != NULL;
    });
}

struct Box {
    std::string text;
    std::string caption;
    HWND owner;
    bool dialogEnabled;  // whether the user could still work the dialog
};

class XConvTest : public InTempDir {
protected:
    void TearDown() override
    {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(pi.hProcess, 1);
                WaitForSingleObject(pi.hProcess, TIMEOUT_MS);
            }
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        InTempDir::TearDown();
    }

    // Starts the program in the current directory and waits for its dialog.
    void Start()
    {
        ASSERT_TRUE(StartProgram(std::filesystem::current_path(), pi, dlg)) << g_exe << ": the dialog did not appear";
        std::vector<HWND> mains = TopLevelWindows(pi.dwProcessId, "Window");
        ASSERT_EQ(mains.size(), 1u);
        mainWnd = mains[0];
        ExpectMainHidden();
    }

    void ExpectMainHidden() { EXPECT_FALSE(IsWindowVisible(mainWnd)) << "the main window must never show"; }

    // Set in UTF-16, as a paste sets it.
    void SetField(int id, const std::wstring& text)
    {
        DWORD_PTR r = 0;
        ASSERT_TRUE(SendMessageTimeoutW(GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                        SMTO_ABORTIFHUNG, TIMEOUT_MS, &r));
    }

    // text in code page 932 bytes.
    void SetField(int id, const std::string& text)
    {
        std::wstring wide;
        ASSERT_TRUE(Widen(932, text.c_str(), wide));
        SetField(id, wide);
    }

    std::string Field(int id) { return Text(GetDlgItem(dlg, id)); }

    // Files dropped as Explorer drops them: a DROPFILES block of wide names,
    // in the program's own memory, whose address Wine takes for the handle.
    void Drop(const std::vector<std::wstring>& names)
    {
        DROPFILES head = {};
        head.pFiles = sizeof head;
        head.fWide = TRUE;
        std::wstring list;
        for (const std::wstring& name : names)
            list += name + L'\0';
        list += L'\0';
        std::string block(reinterpret_cast<const char*>(&head), sizeof head);
        block.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
        void* mem = VirtualAllocEx(pi.hProcess, NULL, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        ASSERT_NE(mem, nullptr);
        ASSERT_TRUE(WriteProcessMemory(pi.hProcess, mem, block.data(), block.size(), NULL));
        ASSERT_TRUE(PostMessageW(dlg, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0));
    }

    // Posted, not sent: the handler shows a modal box, and a send would wait
    // for it to be dismissed.
    void Press(int id)
    {
        ASSERT_TRUE(PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)));
    }

    // A key typed into the file name field; the dialog manager sees it first.
    void Key(WPARAM vk)
    {
        HWND edit = GetDlgItem(dlg, IDC_FNAME);
        ASSERT_TRUE(PostMessageA(edit, WM_KEYDOWN, vk, 1));
        ASSERT_TRUE(PostMessageA(edit, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u)));
    }

    // The message boxes up, but for shown, one seen before.
    std::vector<HWND> Boxes(HWND shown = NULL)
    {
        std::vector<HWND> boxes;
        for (HWND w : TopLevelWindows(pi.dwProcessId, "#32770"))
            if (w != dlg && w != shown && IsWindowVisible(w))
                boxes.push_back(w);
        return boxes;
    }

    HWND WaitForBox(HWND shown = NULL)
    {
        std::vector<HWND> boxes;
        if (!WaitFor([&] { return !(boxes = Boxes(shown)).empty(); })) {
            ADD_FAILURE() << "no message box appeared";
            return NULL;
        }
        return boxes[0];
    }

    // Waits for the next message box, reads it and dismisses it with OK.
    Box NextBox() { return Dismiss(WaitForBox()); }

    Box Dismiss(HWND box)
    {
        if (!box)
            return {};
        Box b;
        b.text = Text(GetDlgItem(box, 0xFFFF));
        b.caption = Text(box);
        b.owner = GetWindow(box, GW_OWNER);
        b.dialogEnabled = IsWindowEnabled(dlg) != FALSE;
        ExpectMainHidden();
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); })) << "the box did not go away";
        return b;
    }

    // The close box of the dialog's title bar: the program must end with 0.
    void Close()
    {
        EXPECT_TRUE(Boxes().empty()) << "a box is still open: " << Text(GetDlgItem(Boxes()[0], 0xFFFF));
        ExpectMainHidden();
        ASSERT_TRUE(PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0));
        ASSERT_EQ(WaitForSingleObject(pi.hProcess, TIMEOUT_MS), WAIT_OBJECT_0) << "the program did not end";
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        pi = {};
    }

    // An owned box with the platform's caption: the dialog refused its input.
    void ExpectRefusal(const char* text)
    {
        Box b = NextBox();
        EXPECT_EQ(b.text, text);
        EXPECT_EQ(b.caption, DEFAULT_CAPTION);
        EXPECT_EQ(b.owner, dlg);
        EXPECT_FALSE(b.dialogEnabled);
    }

    void ExpectDone(HWND shown = NULL)
    {
        Box b = Dismiss(WaitForBox(shown));
        EXPECT_EQ(b.text, MSG_DONE);
        EXPECT_EQ(b.caption, CAPTION_DONE);
        EXPECT_EQ(b.owner, dlg);
    }

    PROCESS_INFORMATION pi = {};
    HWND dlg = NULL;
    HWND mainWnd = NULL;
};

// The dialog's controls, in the order of its template, which is their tab
// order too.
const struct {
    DWORD id;
    const wchar_t* cls;  // #128 button, #129 edit, #130 static, #131 list box
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
} kControls[] = {
    {1, L"#128", L"OK", 0x50010001, 70, 95, 50, 14},
    {2, L"#128", L"\u30ad\u30e3\u30f3\u30bb\u30eb", 0x50010000, 7, 94, 50, 14},  // キャンセル
    {1001, L"#131", L"", 0x50A10103, 197, 18, 104, 128},
    {1002, L"#129", L"", 0x50810080, 7, 35, 115, 15},
    {1003, L"#129", L"", 0x50810080, 7, 66, 115, 15},
    {0xFFFFFFFF, L"#130", L"\u8ffd\u52a0\u30d1\u30b9", 0x50020000, 7, 54, 87, 8},        // 追加パス
    {0xFFFFFFFF, L"#130", L"\u30d5\u30a1\u30a4\u30eb\u540d", 0x50020000, 7, 20, 87, 8},  // ファイル名
};

const std::string kModel =
    " MeshMaterialList {\n"
    "   TextureFilename {\n"
    "    \"wood.bmp\";\n"
    " MeshNormals {\n";

std::string ModelWith(const std::string& name)
{
    return " MeshMaterialList {\r\n   TextureFilename {\r\n\"" + name + "\";\r\n MeshNormals {\r\n\r\n";
}

TEST_F(XConvTest, EnterAndOkConvertInTheProgramsDirectoryCancelAndEscChangeNothing)
{
    std::filesystem::create_directory("models");
    WriteBytes("models/model.x", kModel);
    Start();
    SetField(IDC_FNAME, "models\\model.x");
    SetField(IDC_PATH, "tex\\");
    Press(IDCANCEL);
    Key(VK_ESCAPE);
    // Had either shown a box or ended the dialog, this would not be next.
    Key(VK_RETURN);
    ExpectDone();
    EXPECT_EQ(ReadBytes("models/model.x"), ModelWith("tex\\wood.bmp")) << "converted once, by Enter";
    EXPECT_EQ(ReadBytes("Dummy.x"), ModelWith("tex\\wood.bmp")) << "the work file lies in the current directory";
    EXPECT_FALSE(Exists("models/Dummy.x"));
    EXPECT_EQ(Field(IDC_FNAME), "models\\model.x");
    EXPECT_EQ(Field(IDC_PATH), "tex\\");

    // Again, on the converted file, which also gains a second empty line.
    Press(IDOK);
    ExpectDone();
    EXPECT_EQ(ReadBytes("models/model.x"), ModelWith("tex\\tex\\wood.bmp") + "\r\n");
    Close();
}

TEST_F(XConvTest, AFailedConversionShowsOnlyItsOwnMessage)
{
    Start();
    SetField(IDC_PATH, "tex\\");
    // Devices too, whatever the extension, and at once: a read of one may
    // wait for ever. The test stage leads COM1 to a pty that nothing writes to.
    WriteBytes("binary.x", "xof 0303bin 0032" + std::string(300, '\x01'));
    for (const char* fname : {"missing.x", "NUL.x", "CON.x", "COM1.x", "AUX.x", "binary.x"}) {
        SCOPED_TRACE(fname);
        SetField(IDC_FNAME, fname);
        const DWORD start = GetTickCount();
        Press(IDOK);
        Box b = NextBox();
        EXPECT_LT(GetTickCount() - start, 1000u);
        EXPECT_EQ(b.text, std::string(fname) == "binary.x" ? MSG_NOT_TEXT_X_FILE : MSG_NO_FILE);
        EXPECT_EQ(b.caption, DEFAULT_CAPTION);
        EXPECT_EQ(b.owner, nullptr);
        EXPECT_TRUE(b.dialogEnabled) << "a box without owner leaves the dialog enabled";
    }
    EXPECT_FALSE(Exists("Dummy.x"));
    EXPECT_EQ(ReadBytes("binary.x"), "xof 0303bin 0032" + std::string(300, '\x01'));

    // OK under a failure box converts another model as it would alone: the
    // failed conversion let go of every file before its box showed.
    WriteBytes("bad.x", "no list\n");
    WriteBytes("model.x", kModel);
    SetField(IDC_FNAME, "bad.x");
    Press(IDOK);
    HWND failure = WaitForBox();
    SetField(IDC_FNAME, "model.x");
    Press(IDOK);
    ExpectDone(failure);
    EXPECT_EQ(Dismiss(failure).text, MSG_NO_MATERIAL_LIST);
    EXPECT_EQ(ReadBytes("model.x"), ModelWith("tex\\wood.bmp"));
    EXPECT_EQ(ReadBytes("Dummy.x"), ModelWith("tex\\wood.bmp"));

    // Whatever a failed OK would still show comes before the next box.
    SetField(IDC_FNAME, "");
    Press(IDOK);
    ExpectRefusal(MSG_NO_FNAME);
    Close();
}

TEST_F(XConvTest, EmptyFieldsAndTextsOfMoreThan255BytesAreRefusedOneAtATime)
{
    WriteBytes("model.x", kModel);
    std::string here;
    for (int i = 0; i < 124; ++i)
        here += ".\\";
    const std::string hyo = "\x95\x5c";  // 表, whose trail byte is a backslash
    Start();
    Press(IDOK);
    ExpectRefusal(MSG_NO_FNAME);  // only this one: the path is not looked at
    SetField(IDC_FNAME, "model.x");
    Press(IDOK);
    ExpectRefusal(MSG_NO_PATH);
    // 256 bytes, which cut to 255 would name model.x; the empty path is not
    // looked at.
    SetField(IDC_FNAME, here + "model.xy");
    Press(IDOK);
    ExpectRefusal(MSG_FNAME_TOO_LONG);
    // 257 bytes, which cut to 255 would leave the lead byte of 表 to join
    // each name.
    SetField(IDC_FNAME, here + "model.x");
    SetField(IDC_PATH, std::string(254, 'p') + hyo + "\\");
    Press(IDOK);
    ExpectRefusal(MSG_PATH_TOO_LONG);
    EXPECT_EQ(ReadBytes("model.x"), kModel);
    EXPECT_FALSE(Exists("Dummy.x"));

    // 255 bytes each reach the conversion whole.
    const std::string Path = std::string(252, 'p') + hyo + "\\";
    SetField(IDC_PATH, Path);
    Press(IDOK);
    ExpectDone();
    EXPECT_EQ(ReadBytes("model.x"), ModelWith(Path + "wood.bmp"));
    Close();
}

// The fields are taken as they show: a text that the ANSI code page can't
// write exactly is refused, never turned into a look-alike that names
// another file (é as e; the wave dash 〜 as code page 932's full-width tilde
// ～) or none (𠮷 as ?); one it can write reaches the conversion as typed.
TEST_F(XConvTest, FieldsAreTakenExactlyAsTheyShow)
{
    const std::wstring unwritable[] = {L"Caf\u00e9.x", L"A\u301cB.x", L"\U00020BB7\u91ce.x"};
    const std::wstring lookAlikes[] = {L"Cafe.x", L"A\uff5eB.x", L"model.x"};
    for (const auto* names : {unwritable, lookAlikes})
        for (int i = 0; i < 3; ++i)
            WriteBytes(names[i], kModel);
    Start();
    SetField(IDC_PATH, L"p\\");
    for (const std::wstring& fname : unwritable) {
        SetField(IDC_FNAME, fname);
        Press(IDOK);
        ExpectRefusal(MSG_FNAME_UNWRITABLE);
    }
    SetField(IDC_FNAME, L"model.x");
    SetField(IDC_PATH, L"textures_\u00e9\\");
    Press(IDOK);
    ExpectRefusal(MSG_PATH_UNWRITABLE);
    for (const auto* names : {unwritable, lookAlikes})
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(ReadBytes(names[i]), kModel);
    EXPECT_FALSE(Exists("Dummy.x"));

    const std::wstring model = L"\u30e2\u30c7\u30eb\u2460.x";  // モデル①.x
    const std::wstring Path = L"\u30c6\u30af\u30b9\u30c1\u30e3\\";  // テクスチャ, a backslash
    WriteBytes(model, kModel);
    SetField(IDC_FNAME, model);
    SetField(IDC_PATH, Path);
    Press(IDOK);
    ExpectDone();
    EXPECT_EQ(ReadBytes(model), ModelWith(Cp932(Path) + "wood.bmp"));
    Close();
}

// The program's texts, read in UTF-16, are its own whatever the system's
// code page: ctest runs this under code page 1252 too (XCONV_ACP).
TEST_F(XConvTest, TheTextsReadRightWhateverTheCodePage)
{
    if (const char* acp = std::getenv("XCONV_ACP")) {
        ASSERT_EQ(GetACP(), std::strtoul(acp, nullptr, 10)) << "the locale did not take";
    }
    WriteBytes("model.x", kModel);
    Start();
    std::vector<std::wstring> labels;
    for (HWND w = GetWindow(dlg, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        labels.push_back(WideText(w));
    ASSERT_EQ(labels.size(), std::size(kControls));
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(labels[i], kControls[i].text);

    const struct {
        const char *fname, *Path, *text, *caption;  // no caption: the platform's, which differs
    } boxes[] = {
        {"", "", MSG_NO_FNAME, nullptr},
        {"model.x", "", MSG_NO_PATH, nullptr},
        {"missing.x", "p\\", MSG_NO_FILE, nullptr},
        {"model.x", "p\\", MSG_DONE, CAPTION_DONE},
    };
    for (const auto& b : boxes) {
        SetField(IDC_FNAME, b.fname);
        SetField(IDC_PATH, b.Path);
        Press(IDOK);
        const Box box = NextBox();
        EXPECT_EQ(box.text, b.text);
        if (b.caption) {
            EXPECT_EQ(box.caption, b.caption);
        }
    }
    Close();
}

// One model dropped on the dialog puts its full name into the file-name
// field, and nothing more: OK then converts it. Anything the field could not
// take is refused, the field as it was.
TEST_F(XConvTest, OneDroppedModelFillsTheFileNameField)
{
    WriteBytes("model.x", kModel);
    WriteBytes(L"Caf\u00e9.x", kModel);
    const std::wstring here = std::filesystem::current_path().wstring() + L"\\";
    const std::wstring model = here + L"model.x";
    Start();
    SetField(IDC_PATH, "p\\");
    Drop({model});
    EXPECT_TRUE(WaitFor([&] { return WideText(GetDlgItem(dlg, IDC_FNAME)) == model; }));
    EXPECT_TRUE(Boxes().empty());

    const struct {
        std::vector<std::wstring> names;
        const char* message;
    } refused[] = {
        {{model, here + L"Caf\u00e9.x"}, MSG_ONE_FILE_ONLY},
        {{here + L"Caf\u00e9.x"}, MSG_FNAME_UNWRITABLE},
        {{here + std::wstring(300, L'a') + L".x"}, MSG_FNAME_TOO_LONG},
    };
    for (const auto& r : refused) {
        Drop(r.names);
        ExpectRefusal(r.message);
        EXPECT_EQ(WideText(GetDlgItem(dlg, IDC_FNAME)), model);
    }
    Press(IDOK);
    ExpectDone();
    EXPECT_EQ(ReadBytes("model.x"), ModelWith("p\\wood.bmp"));
    EXPECT_EQ(ReadBytes(L"Caf\u00e9.x"), kModel);
    Close();
}

// The dialog made in this process from the program's own template and
// procedure, since Wine answers WM_GETICON from no other process: the
// taskbar's button shows the program's icon.
TEST(DialogInThisProcess, ShowsTheProgramsIcon)
{
    const HINSTANCE self = GetModuleHandleW(NULL);
    HWND hDlg = CreateDialogParamW(self, MAKEINTRESOURCEW(IDD_CONVERT), NULL, DlgProc, 0);
    ASSERT_NE(hDlg, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    const HANDLE icon = LoadImageW(self, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                   GetSystemMetrics(SM_CYICON), LR_SHARED);
    EXPECT_NE(icon, nullptr);
    EXPECT_EQ(SendMessageW(hDlg, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
    EXPECT_NE(SendMessageW(hDlg, WM_GETICON, ICON_SMALL, 0), 0);
    DestroyWindow(hDlg);
}

// Runs a command of the host's shell, as Wine can. Links are made and
// removed with the host's own ln and rm: Wine makes no links, and deleting
// one under Wine deletes the file it leads to. Wine may say the host's
// program has ended before it has, so the command leaves a mark when done.
bool OnHost(const std::string& cmd)
{
    std::string line = "/bin/sh -c \"" + cmd + " && : >on-host.done\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const bool done = WaitFor([] { return Exists("on-host.done"); });
    DeleteFileA("on-host.done");
    return done;
}

TEST_F(XConvTest, AWorkFileThatIsALinkIsNeitherFollowedNorReplaced)
{
    WriteBytes("model.x", kModel);
    WriteBytes("other.x", kModel);
    Start();
    SetField(IDC_FNAME, "model.x");
    SetField(IDC_PATH, "p\\");
    for (const char* target : {"nothing.x", "other.x"}) {
        SCOPED_TRACE(target);
        if (!OnHost(std::string("/bin/ln -sf ") + target + " Dummy.x"))
            GTEST_SKIP() << "no host to make a symbolic link";
        Press(IDOK);
        EXPECT_EQ(NextBox().text, MSG_CREATE_FAILED);
        EXPECT_EQ(ReadBytes("model.x"), kModel);
        EXPECT_EQ(ReadBytes("other.x"), kModel);
        EXPECT_FALSE(Exists("nothing.x"));
    }
    OnHost("/bin/rm Dummy.x");
    Close();
}

// In folders that code page 932 can't spell, beside the twin its best fit
// would spell (or the test's folder), and in one of 300 bytes of code page
// 932, fewer than MAX_PATH characters: each model is swapped where it lies,
// nothing of ours stays beside it, and its twin stays as it was.
TEST_F(XConvTest, AModelIsConvertedWhereItLiesWhateverItsFoldersAreNamed)
{
    namespace fs = std::filesystem;
    std::wstring deep;
    for (int i = 0; i < 5; ++i)
        deep += std::wstring(30, L'\u6f22') + L"\\";  // 漢, 2 bytes each
    const struct {
        std::wstring folder, twin;
        const char* link;  // the host's spelling of a link to the model, or none: typed from its folder
    } cases[] = {
        {L"Caf\u00e9", L"Cafe", nullptr},
        {L"x\u00a5y", L"x\\y", nullptr},                                  // ¥ and its best fit, a backslash
        {L"Cr\u00e8me", L"Creme", "$(printf 'Cr\\303\\250me/model.x')"},  // è, in UTF-8
        {L"\U00020BB7\u91ce\u5bb6", L"", nullptr},                          // 𠮷野家: 𠮷 has no best fit
        {deep, L"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(fs::path(c.folder).u8string());
        const fs::path folder = dir / c.folder, twin = dir / c.twin;
        for (const fs::path& f : {twin, folder}) {
            fs::create_directories(f);
            fs::current_path(f);
            WriteBytes("model.x", kModel);
        }
        fs::current_path(c.link ? dir : folder);
        const char* fname = c.link ? "link.x" : "model.x";
        ASSERT_TRUE(!c.link || OnHost(std::string("/bin/ln -s ") + c.link + " link.x"));
        const std::uint64_t before = IndexOf(fname);
        Start();
        SetField(IDC_FNAME, fname);
        SetField(IDC_PATH, "p\\");
        Press(IDOK);
        ExpectDone();
        Close();
        EXPECT_NE(IndexOf(fname), before);
        if (c.link)
            OnHost("/bin/rm link.x Dummy.x");
        fs::current_path(folder);
        EXPECT_EQ(ReadBytes("model.x"), ModelWith("p\\wood.bmp"));
        EXPECT_EQ(FilesIn("."), c.link ? Names{"model.x"} : (Names{"Dummy.x", "model.x"}));
        fs::current_path(twin);
        EXPECT_EQ(ReadBytes("model.x"), kModel);
    }
}

// The hidden main window owns the dialog, which yet has a button on the
// taskbar (its icon is looked at in DialogInThisProcess).
TEST_F(XConvTest, TheHiddenMainWindowOwnsTheDialog)
{
    Start();
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), mainWnd);
    EXPECT_EQ(Text(mainWnd), CAPTION_MAIN);
    EXPECT_TRUE(GetWindowLongPtrW(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    RECT rc;
    GetClientRect(mainWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 640);
    EXPECT_EQ(rc.bottom - rc.top, 480);
    DWORD_PTR count = 1;
    SendMessageTimeoutA(GetDlgItem(dlg, IDC_LIST), LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, TIMEOUT_MS, &count);
    EXPECT_EQ(count, 0u) << "the list box stays empty";
    Close();
}

void Report(const char* what, const RECT& rc)
{
    std::printf("%s %ld %ld %ld %ld\n", what, rc.left, rc.top, rc.right, rc.bottom);
    std::fflush(stdout);
    char line[16];
    std::fgets(line, sizeof line, stdin);
}

// For scripts/screenshots.sh, which runs it by name: the dialog filled in,
// then the completion box over it, each reported as a rectangle of the
// screen once it shows; a line on standard input goes on.
TEST_F(XConvTest, DISABLED_Pose)
{
    WriteBytes("model.x", kModel);
    Start();
    SetField(IDC_FNAME, "model.x");
    SetField(IDC_PATH, "tex\\");
    RECT rc, rcBox;
    GetWindowRect(dlg, &rc);
    Report("dialog", rc);
    Press(IDOK);
    HWND box = WaitForBox();
    Sleep(500);  // let it paint
    GetWindowRect(box, &rcBox);
    UnionRect(&rc, &rc, &rcBox);
    Report("box", rc);
    Dismiss(box);
    Close();
}

// The resources compiled into the .exe, read back as the platform reads them.
class Resources : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(g_exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << g_exe;
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }

    const BYTE* Load(LPCSTR type, LPCSTR name, DWORD* size = nullptr)
    {
        HRSRC res = FindResourceA(module, name, type);
        if (!res)
            return nullptr;
        if (size)
            *size = SizeofResource(module, res);
        return static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    }

    HMODULE module = NULL;
};

// Reads a dialog template field by field.
struct Reader {
    const BYTE* p;

    WORD Word() { WORD v; memcpy(&v, p, 2); p += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, p, 4); p += 4; return v; }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *p++; }
    // A string, or an ordinal written as "#<number>".
    std::wstring SzOrOrd()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        std::wstring s;
        for (WORD c = first; c != 0; c = Word())
            s += static_cast<wchar_t>(c);
        return s;
    }
    void Align(const BYTE* base) { p = base + ((p - base + 3) & ~3); }
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD lang, LONG_PTR param)
{
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(lang);
    return TRUE;
}

TEST_F(Resources, TheDialogTemplateIsLaidOutAsDesigned)
{
    std::vector<WORD> langs;
    EnumResourceLanguagesA(module, RT_DIALOG, MAKEINTRESOURCEA(103), CollectLanguage, (LONG_PTR)&langs);
    EXPECT_EQ(langs, std::vector<WORD>{1041});

    const BYTE* base = Load(RT_DIALOG, MAKEINTRESOURCEA(103));
    ASSERT_NE(base, nullptr);
    Reader r{base};
    EXPECT_EQ(r.Word(), 1);       // extended template
    EXPECT_EQ(r.Word(), 0xFFFF);
    EXPECT_EQ(r.Dword(), 0u);     // help id
    EXPECT_EQ(r.Dword(), 0u);     // extended style
    EXPECT_EQ(r.Dword(), 0x80C800C8u);
    const WORD count = r.Word();
    ASSERT_EQ(count, 7);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 308);
    EXPECT_EQ(r.Short(), 162);
    EXPECT_EQ(r.SzOrOrd(), L"");  // menu
    EXPECT_EQ(r.SzOrOrd(), L"");  // class
    EXPECT_EQ(r.SzOrOrd(), L"Dialog");
    EXPECT_EQ(r.Word(), 8);
    EXPECT_EQ(r.Word(), 400);
    EXPECT_EQ(r.Byte(), 0);  // not italic
    EXPECT_EQ(r.Byte(), 1);  // default character set
    EXPECT_EQ(r.SzOrOrd(), L"MS Shell Dlg");

    for (const auto& c : kControls) {
        SCOPED_TRACE(c.id);
        r.Align(base);
        EXPECT_EQ(r.Dword(), 0u);  // help id
        EXPECT_EQ(r.Dword(), 0u);  // extended style
        EXPECT_EQ(r.Dword(), c.style);
        EXPECT_EQ(r.Short(), c.x);
        EXPECT_EQ(r.Short(), c.y);
        EXPECT_EQ(r.Short(), c.cx);
        EXPECT_EQ(r.Short(), c.cy);
        EXPECT_EQ(r.Dword(), c.id);
        EXPECT_EQ(r.SzOrOrd(), c.cls);
        EXPECT_EQ(r.SzOrOrd(), c.text);
        EXPECT_EQ(r.Word(), 0);  // no creation data
    }
}

TEST_F(Resources, TheIconHas16And32Pixel16ColourImages)
{
    const BYTE* dir = Load(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP));
    ASSERT_NE(dir, nullptr);
    Reader r{dir};
    EXPECT_EQ(r.Word(), 0);
    EXPECT_EQ(r.Word(), 1);
    ASSERT_EQ(r.Word(), 2);
    for (int size : {16, 32}) {
        EXPECT_EQ(r.Byte(), size);
        EXPECT_EQ(r.Byte(), size);
        EXPECT_EQ(r.Byte(), 16);  // colours
        r.Byte();
        EXPECT_EQ(r.Word(), 1);  // planes
        EXPECT_EQ(r.Word(), 4);  // bits per pixel
        const DWORD bytes = r.Dword();
        const WORD id = r.Word();
        DWORD actual = 0;
        const BYTE* image = Load(RT_ICON, MAKEINTRESOURCEA(id), &actual);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(actual, bytes);
        BITMAPINFOHEADER bih;
        memcpy(&bih, image, sizeof bih);
        EXPECT_EQ(bih.biWidth, size);
        EXPECT_EQ(bih.biBitCount, 4);
    }
}

// Run as the invoker, themed (Common Controls 6), and drawn at the display's
// own scaling: Per-Monitor V2, else the system's.
TEST_F(Resources, TheManifestRunsAsTheInvokerThemedAndSharp)
{
    DWORD size = 0;
    const BYTE* m = Load(RT_MANIFEST, MAKEINTRESOURCEA(1), &size);
    ASSERT_NE(m, nullptr);
    const std::string text(reinterpret_cast<const char*>(m), size);
    for (const char* entry : {"level=\"asInvoker\"", "uiAccess=\"false\"",
                              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                              "publicKeyToken=\"6595b64144ccf1df\"",
                              "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
                              "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                              "PerMonitorV2, system</dpiAwareness>"})
        EXPECT_NE(text.find(entry), std::string::npos) << entry;
}

// Read as the file's properties read it: the project's version, Japanese.
TEST_F(Resources, TheVersionIsTheProjectsInJapanese)
{
    const DWORD size = GetFileVersionInfoSizeA(g_exe.c_str(), NULL);
    ASSERT_NE(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(g_exe.c_str(), 0, size, info.data()));
    UINT len = 0;

    DWORD major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(XCONV_VERSION_TEXT, "%lu.%lu.%lu", &major, &minor, &patch), 3);
    VS_FIXEDFILEINFO* ffi = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&ffi), &len));
    EXPECT_EQ(ffi->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(ffi->dwFileVersionMS, major << 16 | minor);
    EXPECT_EQ(ffi->dwFileVersionLS, patch << 16);
    EXPECT_EQ(ffi->dwProductVersionMS, major << 16 | minor);
    EXPECT_EQ(ffi->dwProductVersionLS, patch << 16);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(len, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);

    const std::string version = XCONV_VERSION_TEXT;
    const struct {
        const wchar_t* name;
        std::wstring text;
    } strings[] = {
        // Xファイル テクスチャパス変換
        {L"ProductName", L"X\u30d5\u30a1\u30a4\u30eb \u30c6\u30af\u30b9\u30c1\u30e3\u30d1\u30b9\u5909\u63db"},
        // Xファイルのテクスチャパスを書き換えるツール
        {L"FileDescription", L"X\u30d5\u30a1\u30a4\u30eb\u306e\u30c6\u30af\u30b9\u30c1\u30e3\u30d1\u30b9"
                             L"\u3092\u66f8\u304d\u63db\u3048\u308b\u30c4\u30fc\u30eb"},
        {L"OriginalFilename", L"XConv.exe"},
        {L"ProductVersion", std::wstring(version.begin(), version.end())},
    };
    for (const auto& s : strings) {
        SCOPED_TRACE(s.name);
        wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), (std::wstring(L"\\StringFileInfo\\041103A4\\") + s.name).c_str(),
                                   reinterpret_cast<void**>(&text), &len));
        EXPECT_EQ(std::wstring(text), s.text);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: xconv_e2e <path of XConv.exe>\n");
        return 2;
    }
    // Made absolute now: each test changes the current directory.
    char full[MAX_PATH];
    if (!GetFullPathNameA(argv[argc - 1], MAX_PATH, full, NULL))
        return 2;
    g_exe = full;
    return RUN_ALL_TESTS();
}
