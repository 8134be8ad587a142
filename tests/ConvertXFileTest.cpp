// The conversion of X files: the lines it rewrites and keeps, and the files it refuses.
#include "ConvertXFile.h"

#include <chrono>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "Faults.h"
#include "Messages.h"
#include "TestSupport.h"

namespace {

using namespace std::string_literals;
// Converts text (written as model.x) and expects success; gives the new text.
std::string Converted(const std::string& text, const std::string& Path)
{
    WriteBytes("model.x", text);
    EXPECT_EQ(Convert("model.x", Path), "converted");
    std::string out = ReadBytes("model.x");
    EXPECT_EQ(ReadBytes("Dummy.x"), out) << "the work file stays behind with the converted text";
    return out;
}

const std::string kListOut =
    " MeshMaterialList {\r\n"
    "  Material {\r\n"
    "   TextureFilename {\r\n"
    "\"tex\\wood.bmp\";\r\n"
    "   }\r\n"
    "  }\r\n"
    " }\r\n"
    " MeshNormals {\r\n";

const std::string kList =
    " MeshMaterialList {\n"
    "  Material {\n"
    "   TextureFilename {\n"
    "    \"wood.bmp\";\n"
    "   }\n"
    "  }\n"
    " }\n"
    " MeshNormals {\n";

using ConvertXFileTest = InTempDir;

TEST_F(ConvertXFileTest, WorkedExample)
{
    EXPECT_EQ(Converted(kList, "tex\\"), kListOut + "\r\n");
}

TEST_F(ConvertXFileTest, LineBreaksBecomeCrLfAndAFinalBreakGivesOneEmptyLine)
{
    const std::string plain = "xof 0303txt 0032\r\n MeshMaterialList {\r\n MeshNormals {\r\n";
    EXPECT_EQ(Converted(" MeshMaterialList {\n MeshNormals {\n", "p\\"), " MeshMaterialList {\r\n MeshNormals {\r\n\r\n");
    EXPECT_EQ(Converted(plain, "p\\"), plain + "\r\n");
    EXPECT_EQ(Converted("a\n MeshMaterialList {\n MeshNormals {\n }", "p\\"),
              "a\r\n MeshMaterialList {\r\n MeshNormals {\r\n }\r\n");
    // Only the CR just before an LF belongs to the line break.
    EXPECT_EQ(Converted("a\rb\r\r\n MeshMaterialList {\n MeshNormals {\r", "p\\"),
              "a\rb\r\r\n MeshMaterialList {\r\n MeshNormals {\r\r\n");
}

TEST_F(ConvertXFileTest, MarkersMatchWholeLinesExactly)
{
    // Other indentation, other case or trailing blanks are not markers.
    const std::string text =
        "MeshMaterialList {\n"
        " meshmateriallist {\n"
        " MeshMaterialList { \n"
        " MeshMaterialList {\n"
        "  TextureFilename {\n"
        "    \"a.bmp\";\n"
        "   TextureFilename {\n"
        "    \"b.bmp\";\n"
        "MeshNormals {\n"
        " MeshNormals {\n";
    EXPECT_EQ(Converted(text, "t/"),
              "MeshMaterialList {\r\n"
              " meshmateriallist {\r\n"
              " MeshMaterialList { \r\n"
              " MeshMaterialList {\r\n"
              "  TextureFilename {\r\n"
              "    \"a.bmp\";\r\n"
              "   TextureFilename {\r\n"
              "\"t/b.bmp\";\r\n"
              "MeshNormals {\r\n"
              " MeshNormals {\r\n"
              "\r\n");
}

TEST_F(ConvertXFileTest, TheNameIsWhatStandsBetweenTheQuotes)
{
    const std::string text =
        " MeshMaterialList {\n"
        "   TextureFilename {\n"
        "    \"wood.bmp\";  \n"  // trailing blanks
        "   TextureFilename {\n"
        "\t\"a \"b\" c\";\n"  // quotes inside: first and last count
        "   TextureFilename {\n"
        "    wood.bmp;\n"  // no quotes: kept
        "   TextureFilename {\n"
        "    \"wood.bmp;\n"  // one quote: kept
        "   TextureFilename {\n"
        "    \"\";\n"  // empty name: kept
        "   TextureFilename {\n"
        "\n"  // empty line
        " MeshNormals {";
    EXPECT_EQ(Converted(text, "p\\"),
              " MeshMaterialList {\r\n"
              "   TextureFilename {\r\n"
              "\"p\\wood.bmp\";\r\n"
              "   TextureFilename {\r\n"
              "\"p\\a \"b\" c\";\r\n"
              "   TextureFilename {\r\n"
              "    wood.bmp;\r\n"
              "   TextureFilename {\r\n"
              "    \"wood.bmp;\r\n"
              "   TextureFilename {\r\n"
              "    \"\";\r\n"
              "   TextureFilename {\r\n"
              "\r\n"
              " MeshNormals {\r\n");
}

// The path goes in front as typed, without a separator added.
TEST_F(ConvertXFileTest, ConvertingTwicePutsThePathInFrontTwiceAndLosesNothing)
{
    for (const std::string Path : {"ab", "tex\\", "textures\\"}) {
        Converted(kList, Path);
        std::string twice = Converted(ReadBytes("model.x"), Path);
        EXPECT_NE(twice.find("\r\n\"" + Path + Path + "wood.bmp\";\r\n"), std::string::npos) << twice;
    }
}

TEST_F(ConvertXFileTest, OnlyTheFirstMaterialListIsRewritten)
{
    const std::string block = "   TextureFilename {\n    \"x.bmp\";\n";
    const std::string text = block + " MeshMaterialList {\n" + block + " MeshNormals {\n" + block +
                             " MeshMaterialList {\n" + block + " MeshNormals {\n" + block;
    const std::string kept = "   TextureFilename {\r\n    \"x.bmp\";\r\n";
    const std::string rebuilt = "   TextureFilename {\r\n\"p/x.bmp\";\r\n";
    EXPECT_EQ(Converted(text, "p/"), kept + " MeshMaterialList {\r\n" + rebuilt + " MeshNormals {\r\n" + kept +
                                         " MeshMaterialList {\r\n" + kept + " MeshNormals {\r\n" + kept + "\r\n");
}

TEST_F(ConvertXFileTest, AListThatRunsToTheEndOfTheFileIsConvertedWhole)
{
    // The normals come first, so the list runs on to the end of the file.
    const std::string head = " MeshNormals {\n }\n MeshMaterialList {\n   TextureFilename {\n    \"a.bmp\";\n   }\n";
    const std::string out = " MeshNormals {\r\n }\r\n MeshMaterialList {\r\n   TextureFilename {\r\n\"d\\a.bmp\";\r\n   }\r\n";
    EXPECT_EQ(Converted(head, "d\\"), out + "\r\n");
    EXPECT_EQ(Converted(head + " }", "d\\"), out + " }\r\n");
    // The file ends right at a texture line, or at its name line.
    EXPECT_EQ(Converted(" MeshMaterialList {\n   TextureFilename {", "d\\"),
              " MeshMaterialList {\r\n   TextureFilename {\r\n");
    EXPECT_EQ(Converted(" MeshMaterialList {\n   TextureFilename {\n", "d\\"),
              " MeshMaterialList {\r\n   TextureFilename {\r\n\r\n");
    EXPECT_EQ(Converted(" MeshMaterialList {\n   TextureFilename {\n    \"b.bmp\";", "d\\"),
              " MeshMaterialList {\r\n   TextureFilename {\r\n\"d\\b.bmp\";\r\n");
    EXPECT_EQ(Converted(" MeshMaterialList {", "d\\"), " MeshMaterialList {\r\n");
}

TEST_F(ConvertXFileTest, CtrlZEndsTheInput)
{
    EXPECT_EQ(Converted(kList + " }\n\x1a garbage\n\n", "t\\"), Converted(kList + " }\n", "t\\"));
    WriteBytes("model.x", " MeshMaterialList {\n MeshNormals {\n }\x1a }\n");
    ASSERT_EQ(Convert("model.x", "t\\"), "converted");
    EXPECT_EQ(ReadBytes("model.x"), " MeshMaterialList {\r\n MeshNormals {\r\n }\r\n");
    // A Ctrl-Z before the material list leaves no list to find.
    WriteBytes("model.x", "\x1a" + kList);
    ExpectRefused("model.x", MSG_NO_MATERIAL_LIST);
}

TEST_F(ConvertXFileTest, LinesAcrossReadChunksComeOutWhole)
{
    // Lines of every length from 0 to 255 bytes, over several hundred KB, so
    // that line breaks, lone CRs and the CR of a CR LF fall on the borders of
    // whatever pieces the file is read in.
    std::string in, out;
    for (std::size_t i = 0; in.size() < 600 * 1024; ++i) {
        std::string line(i % 256, static_cast<char>('a' + i % 26));
        if (i % 7 == 0 && line.size() >= 3)
            line[line.size() / 2] = '\r';
        in += line + (i % 3 ? "\r\n" : "\n");
        out += line + "\r\n";
    }
    EXPECT_EQ(Converted(in + kList + in, "tex\\"), out + kListOut + out + "\r\n");
    // A Ctrl-Z far into the file ends it there.
    EXPECT_EQ(Converted(kList + in + "cut\x1a" + in, "tex\\"), kListOut + out + "cut\r\n");
}

TEST_F(ConvertXFileTest, ShiftJisPassesThroughUnchanged)
{
    // 表 and ソ end in 0x5C, the byte of a backslash.
    const std::string hyo = "\x95\x5c", so = "\x83\x5c";
    const std::string text = "// " + hyo + so + "\n MeshMaterialList {\n   TextureFilename {\n    \"" + hyo +
                             "\\" + so + ".bmp\";\n MeshNormals {\n";
    const std::string fname = hyo + so + ".x";
    WriteBytes(fname, text);
    EXPECT_EQ(Convert(fname, so + "\\" + hyo), "converted");
    EXPECT_EQ(ReadBytes(fname), "// " + hyo + so + "\r\n MeshMaterialList {\r\n   TextureFilename {\r\n\"" + so +
                                    "\\" + hyo + hyo + "\\" + so + ".bmp\";\r\n MeshNormals {\r\n\r\n");
}

TEST_F(ConvertXFileTest, LinesOfUpTo255BytesAreTakenLongerOnesRefused)
{
    const std::string longest(255, 'v');
    EXPECT_EQ(Converted(longest + "\r\n" + kList + longest, "tex\\"), longest + "\r\n" + kListOut + longest + "\r\n");

    const std::string tooLong(256, 'v');
    const std::string name = "    \"" + std::string(250, 'n') + "\";";
    for (const std::string& text : {tooLong + "\n" + kList, longest + "\r\r\n" + kList,
                                    " MeshMaterialList {\n" + tooLong + "\n MeshNormals {\n",
                                    " MeshMaterialList {\n   TextureFilename {\n" + name + "\n",
                                    kList + tooLong, kList + "\n" + tooLong + "\n"}) {
        WriteBytes("model.x", text);
        ExpectRefused("model.x", MSG_LINE_TOO_LONG);
    }
}

TEST_F(ConvertXFileTest, RefusesNamesThatDoNotEndInDotX)
{
    WriteBytes("model.X", kList);
    WriteBytes("x", kList);
    for (const char* fname : {"model.X", "x", "", ".", "model.xx", "model.x "})
        ExpectRefused(fname, MSG_NOT_X_FILE);
    EXPECT_FALSE(Exists("Dummy.x")) << "nothing is created before the name is accepted";
}

TEST_F(ConvertXFileTest, RefusesFilesThatCanNotBeOpened)
{
    std::filesystem::create_directory("folder.x");
    // Devices and pipes, whose reads may wait for ever. COM1.x and AUX.x
    // are tried through the dialog: here reading them back could hang.
#ifdef _WIN32
    for (const char* fname : {"missing.x", "folder.x", "NUL.x", "CON.x"})
#else
    mkfifo("pipe.x", 0666);
    std::filesystem::create_symlink("/dev/null", "null.x");
    for (const char* fname : {"missing.x", "folder.x", "pipe.x", "null.x"})
#endif
        ExpectRefused(fname, MSG_NO_FILE);
    EXPECT_FALSE(Exists("Dummy.x"));
}

// Binary and compressed X files, told by the header, before the first
// "line", which may be of any length; and files without a material list.
TEST_F(ConvertXFileTest, RefusesFilesItCanNotConvert)
{
    const std::pair<std::string, const char*> cases[] = {
        {"xof 0303bin 0032" + std::string(300, '\x01') + "\n" + kList, MSG_NOT_TEXT_X_FILE},
        {"xof 0302tzip0064\n" + kList, MSG_NOT_TEXT_X_FILE}, {"xof 0303bzip0032" + kList, MSG_NOT_TEXT_X_FILE},
        {"", MSG_NO_MATERIAL_LIST}, {"\n", MSG_NO_MATERIAL_LIST},
        {"xof 0303txt 0032\n MeshNormals {\n", MSG_NO_MATERIAL_LIST},
        {" MeshMaterialList { \n", MSG_NO_MATERIAL_LIST},
    };
    for (const auto& [text, message] : cases) {
        WriteBytes("model.x", text);
        ExpectRefused("model.x", message);
        EXPECT_EQ(Exists("Dummy.x"), message == MSG_NO_MATERIAL_LIST) << "a binary file is refused first";
    }
}

// Whatever a drive tells (indexes of 0, one id for two files, one time for
// two files, no full names), the work file is refused by every name that
// reaches it, a hard link too, and never emptied; another file converts
// where anything but a name tells the two apart, if only its size or times.
TEST_F(ConvertXFileTest, RefusesTheWorkFileItselfInAnySpelling)
{
    namespace fs = std::filesystem;
    fs::create_directory("sub");
    const std::string absolute = (dir / "Dummy.x").string();
    // The faults, and how another file of the work file's size ends.
    const std::pair<unsigned, std::string> cases[] = {
        {FAULT_NONE, "converted"},
        {FAULT_IDS_UNKNOWN, "converted"},
        {FAULT_IDS_REUSED, "converted"},
        {FAULT_TIMES_ALIKE, "converted"},
        {FAULT_NO_NAMES | FAULT_IDS_UNKNOWN, "converted"},
        {FAULT_IDS_UNKNOWN | FAULT_TIMES_ALIKE, MSG_IS_WORK_FILE},
        {FAULT_IDS_REUSED | FAULT_TIMES_ALIKE, MSG_IS_WORK_FILE},
    };
    for (const auto& [faults, ofTheSameSize] : cases) {
        SCOPED_TRACE(faults);
        WriteBytes("Dummy.x", kList);
        // Files written within one tick of the clock may share their times.
        fs::last_write_time("Dummy.x", fs::last_write_time("Dummy.x") - std::chrono::hours(1));
        fs::remove("hard.x");
        fs::create_hard_link("Dummy.x", "hard.x");
        InjectFaults(faults);
        for (const std::string fname : {"Dummy.x", "./Dummy.x", "sub/../Dummy.x", absolute.c_str(), "hard.x"}) {
            ExpectRefused(fname, MSG_IS_WORK_FILE);
            EXPECT_EQ(ReadBytes("Dummy.x"), kList);
        }
        WriteBytes("model.x", kList);
        EXPECT_EQ(Convert("model.x"), ofTheSameSize);
        WriteBytes("model.x", kList + " }\n");
        EXPECT_EQ(Convert("model.x"), "converted");
        EXPECT_EQ(ReadBytes("hard.x"), kList) << "only the work file's own name was taken";
        InjectFaults(FAULT_NONE);
    }
}

TEST_F(ConvertXFileTest, TheWorkFileIsReplacedByEachConversion)
{
    WriteBytes("Dummy.x", std::string(10000, 'z'));
    Converted(kList, "b\\");

    // A file of the user's that is also named Dummy.x keeps its text: only
    // that name is taken. A duplicate finder links a converted model and the
    // work file of its text so.
    WriteBytes("other.x", kList + " }\n");
    ASSERT_EQ(Convert("other.x", "a\\"), "converted");
    const std::string other = ReadBytes("other.x");
    std::filesystem::remove("Dummy.x");
    std::filesystem::create_hard_link("other.x", "Dummy.x");
    Converted(kList, "c\\");
    EXPECT_EQ(ReadBytes("other.x"), other);

    // One that can't be made stops the conversion.
    std::filesystem::remove("Dummy.x");
    std::filesystem::create_directory("Dummy.x");
    ExpectRefused("model.x", MSG_CREATE_FAILED);
}

TEST_F(ConvertXFileTest, AReadOnlyInputKeepsItsTextAndTheWorkFileHoldsTheResult)
{
    WriteBytes("model.x", kList);
    std::filesystem::permissions("model.x", std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
    // At once: a read-only file is no hold to wait out (a wait takes a
    // second; the first box of a process under Wine some 0.4 s).
    const auto start = std::chrono::steady_clock::now();
    ExpectRefused("model.x", MSG_COPY_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    const std::string work = ReadBytes("Dummy.x");
    WriteBytes("expected.x", kList);
    ASSERT_EQ(Convert("expected.x"), "converted");
    EXPECT_EQ(work, ReadBytes("expected.x"));
}

TEST_F(ConvertXFileTest, NulBytesStayInTheirLines)
{
    const std::string text = "a\0b\n MeshMaterialList {\n   TextureFilename {\n    \"w\0d.bmp\";\n MeshNormals {\n"s;
    EXPECT_EQ(Converted(text, "p\\"), "a\0b\r\n MeshMaterialList {\r\n   TextureFilename {\r\n\"p\\w\0d.bmp\";\r\n MeshNormals {\r\n\r\n"s);
}

}  // namespace
