// Failures of the disk itself, made with the devices of the host system.
#include "ConvertXFile.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "Messages.h"
#include "TestSupport.h"

namespace {

using DiskFaultTest = InTempDir;

const std::string kModel = " MeshMaterialList {\n   TextureFilename {\n    \"a.bmp\";\n MeshNormals {\n";

std::vector<std::string> ConvertModel(HRESULT& hr)
{
    return CaptureBoxes([&] { hr = ConvertXFile("model.x", "p\\"); });
}

TEST_F(DiskFaultTest, AFullDiskLeavesTheInputAsItWas)
{
    // Big enough that the work file meets the full disk while lines are
    // still being written, not only at the end.
    std::string text = kModel;
    while (text.size() < 1024 * 1024)
        text += "  0.000000;0.000000;0.000000;,\n";
    WriteBytes("model.x", text);
    ASSERT_EQ(symlink("/dev/full", "Dummy.x"), 0);
    HRESULT hr = S_OK;
    EXPECT_EQ(ConvertModel(hr), std::vector<std::string>{MSG_WRITE_FAILED});
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(ReadBytes("model.x"), text);

    // A small file fails only when the last of it goes out.
    WriteBytes("model.x", kModel);
    EXPECT_EQ(ConvertModel(hr), std::vector<std::string>{MSG_WRITE_FAILED});
    EXPECT_EQ(ReadBytes("model.x"), kModel);
}

TEST_F(DiskFaultTest, AnInputThatCanNotBeReadLeavesItAsItWas)
{
    // Reading the start of a process's memory fails with an I/O error.
    ASSERT_EQ(symlink("/proc/self/mem", "model.x"), 0);
    HRESULT hr = S_OK;
    EXPECT_EQ(ConvertModel(hr), std::vector<std::string>{MSG_READ_FAILED});
    EXPECT_EQ(hr, E_FAIL);
}

}  // namespace
