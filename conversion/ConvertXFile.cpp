// The conversion: an X file rewritten line by line into the work file.
#include "ConvertXFile.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Messages.h"
#include "Replace.h"
#include "System.h"

namespace {

constexpr char WORK_FILE[] = "Dummy.x";

// Marker lines, compared with the whole line, leading blanks included.
constexpr std::string_view MATERIAL_LIST_LINE = " MeshMaterialList {";
constexpr std::string_view TEXTURE_LINE = "   TextureFilename {";
constexpr std::string_view NORMALS_LINE = " MeshNormals {";

constexpr std::size_t LINE_MAX = 255;
constexpr std::size_t CHUNK = 64 * 1024;

// The input file, read in chunks and cut into lines by hand so that the same
// bytes come out on every platform: LF ends a line, a CR just before it is
// dropped, and a Ctrl-Z (0x1A) ends the input as the end of the file does.
struct Input {
    File f = NO_FILE;
    std::vector<char> chunk;
    std::size_t pos = 0;
    std::size_t end = 0;
    bool ctrlZ = false;  // the chunk ends at a Ctrl-Z: nothing more is read
    bool atEnd = false;  // the last line has been read
};

// One input line; one byte more than the longest line so that a longest line
// still fits with the CR before its LF.
struct Line {
    char buf[LINE_MAX + 1];
    std::size_t len = 0;
};

enum ReadResult { READ_OK, READ_PAST_END, READ_TOO_LONG, READ_ERROR };

// Reads the next chunk of the input, up to a Ctrl-Z in it.
bool ReadChunk(Input& in)
{
    if (!ReadSome(in.f, in.chunk.data(), in.chunk.size(), in.end))
        return false;
    in.pos = 0;
    if (const void* z = std::memchr(in.chunk.data(), '\x1a', in.end)) {
        in.end = static_cast<std::size_t>(static_cast<const char*>(z) - in.chunk.data());
        in.ctrlZ = true;
    }
    return true;
}

// Reads the next line into ln. The read that meets the end of the input still
// yields a line (empty when the input ended with a line break); only a read
// after that one yields READ_PAST_END.
ReadResult ReadLine(Input& in, Line& ln)
{
    if (in.atEnd)
        return READ_PAST_END;
    ln.len = 0;
    for (;;) {
        if (in.pos == in.end && !in.ctrlZ && !ReadChunk(in))
            return READ_ERROR;
        if (in.pos == in.end) {
            in.atEnd = true;
            break;
        }
        const char* p = in.chunk.data() + in.pos;
        std::size_t n = in.end - in.pos;
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', n));
        std::size_t k = lf ? static_cast<std::size_t>(lf - p) : n;
        if (ln.len + k > sizeof ln.buf)
            return READ_TOO_LONG;
        std::memcpy(ln.buf + ln.len, p, k);
        ln.len += k;
        in.pos += k;
        if (lf) {
            ++in.pos;
            if (ln.len > 0 && ln.buf[ln.len - 1] == '\r')
                --ln.len;
            break;
        }
    }
    if (ln.len > LINE_MAX)
        return READ_TOO_LONG;
    ln.buf[ln.len] = '\0';
    return READ_OK;
}

bool Is(const Line& ln, std::string_view marker)
{
    return std::string_view(ln.buf, ln.len) == marker;
}

// A binary or compressed X file names its format in its header, as in
// "xof 0303bin 0032": bytes 8 to 11 of its first line. Its first "line" says
// nothing of its text and may be of any length.
bool IsBinaryXFile(const Input& in)
{
    const char* head = in.chunk.data();
    if (in.end < 12 || std::memcmp(head, "xof ", 4) != 0 || std::memchr(head + 4, '\n', 4))
        return false;
    const std::string_view format(head + 8, 4);
    return format == "bin " || format == "tzip" || format == "bzip";
}

// The work file. Lines are gathered in a chunk of our own and go to the
// file a chunk at a time.
struct Output {
    File f = NO_FILE;
    std::vector<char> chunk;
    std::size_t fill = 0;
};

bool Flush(Output& out)
{
    const bool ok = WriteAll(out.f, out.chunk.data(), out.fill);
    out.fill = 0;
    return ok;
}

// Every line goes out with CR LF. A line is at most a quote, Path, a name and
// a quote and semicolon (some 500 bytes), far less than a chunk.
bool WriteLine(Output& out, std::string_view str)
{
    if (out.fill + str.size() + 2 > out.chunk.size() && !Flush(out))
        return false;
    std::memcpy(out.chunk.data() + out.fill, str.data(), str.size());
    out.fill += str.size();
    out.chunk[out.fill++] = '\r';
    out.chunk[out.fill++] = '\n';
    return true;
}

// A texture name line holds the name in double quotes. The rebuilt line is
// the name with Path in front, in quotes and with a semicolon, unindented.
// A line without two quotes, or with nothing between them (a material
// without a texture), is kept as it is: a path alone would name a folder as
// the texture. 0x22 is never the trail byte of a double-byte character, so a
// byte search is safe.
void RebuildTextureLine(const Line& ln, const char* Path, std::string& str)
{
    std::string_view line(ln.buf, ln.len);
    std::size_t first = line.find('"');
    std::size_t last = line.rfind('"');
    if (first == std::string_view::npos || last - first < 2) {
        str.assign(line);
        return;
    }
    std::string_view tex = line.substr(first + 1, last - first - 1);
    str.assign(1, '"');
    str += Path;
    str += tex;
    str += "\";";
}

const char* ReadFailure(ReadResult r)
{
    return r == READ_TOO_LONG ? MSG_LINE_TOO_LONG : MSG_READ_FAILED;
}

// Whether the work file is the input, asked of the two files open at once,
// so that neither name can pass to another file meanwhile. Where nothing
// tells them apart, it is: the input is never emptied.
bool IsSameFile(File a, File b, FileFacts& work)
{
    FileFacts input;
    return !GetFacts(a, b, input, work) || MayBeOneFile(input, work);
}

// Dummy.x, held against other writers from now until the conversion ends,
// and emptied only once it is known not to be the input. Where it is also
// another name of a file of the user's (a hard link), that file is not ours
// to write: only the name Dummy.x goes, and a new file takes it.
const char* OpenWork(File input, File& work)
{
    for (bool again = false;; again = true) {
        bool made = false;
        if (Patiently(MOMENT, [&] { return OpenWorkFile(WORK_FILE, work, made); }) != STEP_DONE)
            return MSG_CREATE_FAILED;
        if (made)
            return nullptr;
        FileFacts facts;
        if (IsSameFile(input, work, facts))
            return MSG_IS_WORK_FILE;
        if (facts.links <= 1)
            return Empty(work) ? nullptr : MSG_CREATE_FAILED;
        if (again)  // further names again, given meanwhile by another program
            return MSG_CREATE_FAILED;
        Close(work);
        work = NO_FILE;
        // "Dummy.x" is spelt alike in every code page.
        const Name name(WORK_FILE, WORK_FILE + sizeof WORK_FILE - 1);
        if (Patiently(MOMENT, [&] { return RemoveFile(name); }) != STEP_DONE)
            return MSG_CREATE_FAILED;
    }
}

// The whole conversion, but for the box: gives the message of the failure,
// or nullptr. The files it opens are its caller's to close.
const char* Convert(const char* fname, const char* Path, Input& in, Output& out)
{
    std::string str = fname;
    if (str.size() < 2 || str.compare(str.size() - 2, 2, ".x") != 0)
        return MSG_NOT_X_FILE;

    // A device or a pipe could keep a read waiting for ever.
    if (!IsDiskFile(fname) || OpenInput(fname, in.f) != STEP_DONE)
        return MSG_NO_FILE;
    in.chunk.resize(CHUNK);
    if (!ReadChunk(in))
        return MSG_READ_FAILED;
    if (IsBinaryXFile(in))
        return MSG_NOT_TEXT_X_FILE;

    if (const char* failure = OpenWork(in.f, out.f))
        return failure;
    out.chunk.resize(CHUNK);

    Line ln;
    ReadResult r;

    // Up to and including the first material-list line, as read.
    do {
        r = ReadLine(in, ln);
        if (r == READ_PAST_END)
            return MSG_NO_MATERIAL_LIST;
        if (r != READ_OK)
            return ReadFailure(r);
        if (!WriteLine(out, {ln.buf, ln.len}))
            return MSG_WRITE_FAILED;
    } while (!Is(ln, MATERIAL_LIST_LINE));

    // Up to the normals line, or to the end of the file where the list runs
    // on to it: the line after each texture line gets Path in front.
    while (!Is(ln, NORMALS_LINE)) {
        r = ReadLine(in, ln);
        if (r == READ_PAST_END)
            break;
        if (r != READ_OK)
            return ReadFailure(r);
        if (!WriteLine(out, {ln.buf, ln.len}))
            return MSG_WRITE_FAILED;
        if (!Is(ln, TEXTURE_LINE))
            continue;
        r = ReadLine(in, ln);
        if (r == READ_PAST_END)
            break;
        if (r != READ_OK)
            return ReadFailure(r);
        RebuildTextureLine(ln, Path, str);
        if (!WriteLine(out, str))
            return MSG_WRITE_FAILED;
    }

    // The rest, as read.
    while (!in.atEnd) {
        r = ReadLine(in, ln);
        if (r != READ_OK)
            return ReadFailure(r);
        if (!WriteLine(out, {ln.buf, ln.len}))
            return MSG_WRITE_FAILED;
    }
    if (!Flush(out))
        return MSG_WRITE_FAILED;

    // The model is replaced where it was read, and may not be open then.
    Name target, folder;
    const bool found = FindTarget(in.f, fname, target, folder);
    Close(in.f);
    in.f = NO_FILE;
    if (!found || !ReplaceInput(target, folder, out.f))
        return MSG_COPY_FAILED;
    return nullptr;
}

}  // namespace

HRESULT ConvertXFile(const char* fname, const char* Path)
{
    Input in;
    Output out;
    const char* failure = Convert(fname, Path, in, out);
    // Every file is let go before the box shows: the box has no owner, so the
    // dialog stays usable under it, and a conversion started there must find
    // nothing of this one open.
    if (in.f != NO_FILE)
        Close(in.f);
    if (out.f != NO_FILE)
        Close(out.f);
    if (!failure)
        return S_OK;
    ShowError(failure);
    return E_FAIL;
}
