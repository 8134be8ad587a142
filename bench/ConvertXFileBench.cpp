// The conversion against the least it must cost: reading the file and
// writing it twice, the second time through to the disk, since the converted
// file must be whole there before it takes the input's place. Here that is
// two whole-file copies, the second one synced.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "ConvertXFile.h"
#include "XFileMaker.h"

namespace {

namespace fs = std::filesystem;

void CopyOver(const char* from, const char* to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void Sync(const char* name)
{
    int fd = open(name, O_RDONLY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

void BM_ConvertVsCopy(benchmark::State& state)
{
    const Shape shape = static_cast<Shape>(state.range(0));
    const std::size_t bytes = static_cast<std::size_t>(state.range(1)) * 1024;
    {
        std::ofstream out("master.x", std::ios::binary | std::ios::trunc);
        const std::string x = MakeXFile(shape, bytes);
        out.write(x.data(), static_cast<std::streamsize>(x.size()));
    }
    double convert = 0, baseline = 0;
    for (auto _ : state) {
        CopyOver("master.x", "model.x");

        auto t0 = std::chrono::steady_clock::now();
        CopyOver("model.x", "copy.x");
        CopyOver("copy.x", "model.x");
        Sync("model.x");
        auto t1 = std::chrono::steady_clock::now();
        if (ConvertXFile("model.x", "textures\\") < 0) {
            state.SkipWithError("conversion failed");
            break;
        }
        auto t2 = std::chrono::steady_clock::now();

        baseline += Seconds(t1 - t0);
        convert += Seconds(t2 - t1);
        state.SetIterationTime(Seconds(t2 - t1));
    }
    const double mb = static_cast<double>(bytes) * static_cast<double>(state.iterations()) / 1e6;
    state.counters["convert_MBps"] = mb / convert;
    state.counters["copy_MBps"] = mb / baseline;
    state.counters["ratio"] = convert / baseline;
    state.SetLabel(shape == SHAPE_TEXTURES ? "textures" : "vertices");
}

// Sizes in KB: 64 KB to 128 MB, each in both shapes.
void Sizes(benchmark::internal::Benchmark* b)
{
    for (long shape : {SHAPE_TEXTURES, SHAPE_VERTICES})
        for (long kb : {64L, 1024L, 8L * 1024, 32L * 1024, 128L * 1024})
            b->Args({shape, kb});
}

BENCHMARK(BM_ConvertVsCopy)->Apply(Sizes)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

// Runs in a directory of its own: the work file goes to the current one.
int main(int argc, char** argv)
{
    fs::path dir = fs::temp_directory_path() / "xconv-bench";
    fs::create_directories(dir);
    fs::current_path(dir);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return 0;
}
