// Fuzzes the conversion. Each input runs in a directory of its own and is
// judged by what the conversion promises, not by a second implementation:
// it returns S_OK or E_FAIL; it shows one box when it fails and none when it
// succeeds; a failure leaves the input as it was; a success leaves the input
// equal to Dummy.x, with every line ending in CR LF, one output line for each
// input line (up to the end or the first Ctrl-Z), each one its input line or
// that line rebuilt around its quoted name with Path in front.
//
// An input is a header line followed by the file's content:
//   byte 0   how the file is named: 'a' + index into the spellings below
//   byte 1   how its line breaks are written: 'a' + index into the styles
//   then     Path, up to the LF or the first NUL, at most 255 bytes, as the
//            dialog's edit field delivers it
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sanitizer/common_interface_defs.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ConvertXFile.h"

namespace {

int g_boxes = -1;   // stands in for standard error while a conversion runs
int g_stderr = -1;  // the real standard error
std::string g_home;
std::string g_base;

enum Spelling {
    PLAIN,            // model.x
    DOT_SLASH,        // ./model.x
    ABSOLUTE,         // /tmp/.../model.x
    DOT_DOT,          // sub/../model.x
    SHIFT_JIS,        // a name whose double-byte characters end in 0x5C
    WORK,             // Dummy.x
    WORK_DOT_SLASH,   // ./Dummy.x
    WORK_ABSOLUTE,    // /tmp/.../Dummy.x
    WORK_HARD_LINK,   // a hard link to Dummy.x
    WORK_SYMLINK,     // a symbolic link to Dummy.x
    WORK_LINKS_HERE,  // model.x, with Dummy.x a symbolic link to it
    UPPER_X,          // model.X
    FOLDER,           // a directory named folder.x
    READ_ONLY,        // model.x without write permission: the final copy fails
    STALE_WORK,       // model.x, with an old and longer Dummy.x
    SPELLINGS
};

// PAST_CHUNK repeats the text beyond the 64 KiB that the conversion reads at
// a time, so that lines straddle its chunks at varying places.
enum Ending { AS_IS, CR_LF, LF, CTRL_Z_TAIL, PAST_CHUNK, ENDINGS };

std::string ReadFile(const std::string& name)
{
    std::string s;
    int fd = open(name.c_str(), O_RDONLY);
    if (fd < 0)
        return s;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    close(fd);
    return s;
}

void WriteFile(const std::string& name, const std::string& bytes)
{
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::perror(name.c_str());
        std::abort();
    }
}

std::string Restyle(std::string_view text, unsigned ending)
{
    std::string out;
    switch (ending) {
    case CR_LF:
        for (char c : text) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
        return out;
    case LF:
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                out += text[i];
        return out;
    case CTRL_Z_TAIL:
        // As old editors saved it: a Ctrl-Z, and whatever followed in the buffer.
        out.assign(text);
        out += '\x1a';
        out.append(text);
        return out;
    case PAST_CHUNK:
        while (!text.empty() && out.size() <= 65536)
            out.append(text);
        return out;
    default:
        return std::string(text);
    }
}

// Lays out the directory for the spelling; gives the name to convert and, in
// file, the name of the file whose content is at stake (empty for none).
std::string Prepare(unsigned spelling, const std::string& dir, const std::string& content, std::string& file)
{
    file = spelling >= WORK && spelling <= WORK_SYMLINK ? "Dummy.x" : "model.x";
    if (spelling == SHIFT_JIS)
        file = "\x95\x5c\x83\x5c.x";
    if (spelling == UPPER_X)
        file = "model.X";
    if (spelling == FOLDER) {
        file.clear();
        mkdir("folder.x", 0755);
        return "folder.x";
    }
    WriteFile(file, content);
    switch (spelling) {
    case DOT_SLASH:
    case WORK_DOT_SLASH:
        return "./" + file;
    case ABSOLUTE:
    case WORK_ABSOLUTE:
        return dir + "/" + file;
    case DOT_DOT:
        mkdir("sub", 0755);
        return "sub/../" + file;
    case WORK_HARD_LINK:
        link("Dummy.x", "hard.x");
        return "hard.x";
    case WORK_SYMLINK:
        symlink("Dummy.x", "soft.x");
        return "soft.x";
    case WORK_LINKS_HERE:
        symlink("model.x", "Dummy.x");
        break;
    case READ_ONLY:
        chmod("model.x", 0444);
        break;
    case STALE_WORK:
        WriteFile("Dummy.x", std::string(content.size() + 300, 'z'));
        break;
    }
    return file;
}

int Remove(const char* path, const struct stat*, int, struct FTW*)
{
    return remove(path);
}

[[noreturn]] void Fail(const char* what, const std::string& dir)
{
    dprintf(g_stderr, "ConvertXFileFuzz: %s (files left in %s)\n", what, dir.c_str());
    std::abort();
}

// The lines of the input as the conversion reads them: up to the end or the
// first Ctrl-Z, cut at each LF, without a CR just before the LF; the part
// after the last LF is a line too, empty when the input ends with one.
std::vector<std::string_view> InputLines(std::string_view text)
{
    text = text.substr(0, text.find('\x1a'));
    std::vector<std::string_view> lines;
    for (;;) {
        size_t lf = text.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back(text);
            return lines;
        }
        std::string_view line = text.substr(0, lf);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(lf + 1);
    }
}

bool IsRebuilt(std::string_view out, std::string_view in, std::string_view Path)
{
    size_t first = in.find('"');
    size_t last = in.rfind('"');
    if (first == std::string_view::npos || last - first < 2)
        return false;
    std::string line = "\"";
    line.append(Path);
    line.append(in.substr(first + 1, last - first - 1));
    line += "\";";
    return out == line;
}

void CheckConverted(const std::string& input, const std::string& output, const std::string& Path,
                    const std::string& dir)
{
    std::vector<std::string_view> lines = InputLines(input);
    std::string_view rest = output;
    for (std::string_view in : lines) {
        size_t lf = rest.find('\n');
        if (lf == std::string_view::npos)
            Fail("the output has fewer lines than the input", dir);
        if (lf == 0 || rest[lf - 1] != '\r')
            Fail("an output line does not end in CR LF", dir);
        std::string_view out = rest.substr(0, lf - 1);
        if (out != in && !IsRebuilt(out, in, Path))
            Fail("an output line is neither its input line nor its rebuilt name line", dir);
        rest.remove_prefix(lf + 1);
    }
    if (!rest.empty())
        Fail("the output has more lines than the input", dir);
}

size_t CountBoxes()
{
    std::string text;
    char buf[4096];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(g_boxes, buf, sizeof buf, at)) > 0) {
        text.append(buf, static_cast<size_t>(n));
        at += n;
    }
    size_t count = 0;
    for (size_t i = 0; (i = text.find("MessageBox: ", i)) != std::string::npos; ++i)
        if (i == 0 || text[i - 1] == '\n')
            ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Sanitizer reports must reach the real standard error even while it is
    // taken for the boxes.
    g_stderr = dup(2);
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(g_stderr)));
    g_boxes = memfd_create("boxes", 0);
    char cwd[PATH_MAX];
    if (g_stderr < 0 || g_boxes < 0 || !getcwd(cwd, sizeof cwd)) {
        std::perror("ConvertXFileFuzz");
        std::abort();
    }
    g_home = cwd;
    const char* tmp = std::getenv("TMPDIR");
    g_base = std::string(tmp && *tmp ? tmp : "/tmp") + "/xconv-fuzz-XXXXXX";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    unsigned spelling = size > 0 ? static_cast<unsigned char>(bytes[0] - 'a') % SPELLINGS : 0;
    unsigned ending = size > 1 ? static_cast<unsigned char>(bytes[1] - 'a') % ENDINGS : 0;
    bytes.remove_prefix(size < 2 ? size : 2);
    size_t lf = bytes.find('\n');
    std::string_view head = bytes.substr(0, lf);
    std::string Path(head.substr(0, head.find('\0')).substr(0, 255));
    std::string content = Restyle(lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1), ending);

    std::vector<char> name(g_base.begin(), g_base.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()) || chdir(name.data()) != 0) {
        std::perror("ConvertXFileFuzz: private directory");
        std::abort();
    }
    const std::string dir = name.data();
    std::string file;
    const std::string fname = Prepare(spelling, dir, content, file);

    ftruncate(g_boxes, 0);
    lseek(g_boxes, 0, SEEK_SET);
    dup2(g_boxes, 2);
    const HRESULT hr = ConvertXFile(fname.c_str(), Path.c_str());
    dup2(g_stderr, 2);
    const size_t boxes = CountBoxes();

    if (hr != S_OK && hr != E_FAIL)
        Fail("the result is neither S_OK nor E_FAIL", dir);
    if (boxes != (hr == S_OK ? 0u : 1u))
        Fail(hr == S_OK ? "a box was shown on success" : "not exactly one box on failure", dir);
    if (hr == E_FAIL) {
        if (!file.empty() && ReadFile(file) != content)
            Fail("a failed conversion changed the input", dir);
        struct stat st;
        if (spelling == FOLDER && (stat("folder.x", &st) != 0 || !S_ISDIR(st.st_mode)))
            Fail("a failed conversion changed the folder", dir);
    } else {
        const std::string output = ReadFile(file);
        if (output != ReadFile("Dummy.x"))
            Fail("the converted input differs from Dummy.x", dir);
        CheckConverted(content, output, Path, dir);
    }

    if (chdir(g_home.c_str()) != 0 || nftw(dir.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS) != 0) {
        std::perror("ConvertXFileFuzz: clean-up");
        std::abort();
    }
    return 0;
}
