// Made-up X files of a given size and shape for the benchmark.
#include "XFileMaker.h"

#include <cstdio>

namespace {

const char kHeader[] = "xof 0303txt 0032\n\nMesh {\n";

void AppendMaterial(std::string& x, std::size_t i)
{
    char line[128];
    x += "  Material {\n   0.800000;0.800000;0.800000;1.000000;;\n   5.000000;\n";
    x += "   0.000000;0.000000;0.000000;;\n   0.000000;0.000000;0.000000;;\n";
    x += "   TextureFilename {\n";
    std::snprintf(line, sizeof line, "    \"texture_%06zu.bmp\";\n", i);
    x += line;
    x += "   }\n  }\n";
}

void AppendVertex(std::string& x, std::size_t i)
{
    char line[128];
    double v = static_cast<double>(i % 1000) / 7.0;
    std::snprintf(line, sizeof line, "  %f;%f;%f;,\n", v, -v, v / 3.0);
    x += line;
}

}  // namespace

std::string MakeXFile(Shape shape, std::size_t bytes)
{
    std::string x = kHeader;
    x.reserve(bytes + 4096);
    const std::size_t tail = 1024;
    std::size_t i = 0;
    if (shape == SHAPE_VERTICES) {
        while (x.size() + tail < bytes)
            AppendVertex(x, i++);
        x += " MeshMaterialList {\n";
        for (i = 0; i < 4; ++i)
            AppendMaterial(x, i);
    } else {
        x += " MeshMaterialList {\n";
        while (x.size() + tail < bytes)
            AppendMaterial(x, i++);
    }
    x += " }\n MeshNormals {\n";
    while (x.size() + 2 < bytes)
        x += "  0;\n";
    x += "}\n";
    return x;
}
