// One conversion in a process of its own, for measuring peak memory from
// outside. The file is made by a separate run, so that making it does not
// count:
//   convert_once make <textures|vertices> <KB> <file.x>
//   convert_once convert <file.x>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "ConvertXFile.h"
#include "XFileMaker.h"

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "make") == 0) {
        const Shape shape = std::strcmp(argv[2], "vertices") == 0 ? SHAPE_VERTICES : SHAPE_TEXTURES;
        const std::string x = MakeXFile(shape, std::strtoul(argv[3], nullptr, 10) * 1024);
        std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
        out.write(x.data(), static_cast<std::streamsize>(x.size()));
        return out ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "convert") == 0)
        return ConvertXFile(argv[2], "textures\\") < 0 ? 1 : 0;
    std::fprintf(stderr, "usage: convert_once make <textures|vertices> <KB> <file.x> | convert <file.x>\n");
    return 2;
}
