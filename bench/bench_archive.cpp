// The read-out archive's list with 10 000 read-outs, and 100 damaged files
// among them: what opening "Архив считываний" costs.
#include "ReadoutArchive.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr int kReadOuts = 10000;
constexpr int kDamaged = 100;

// The files are written directly, without the archive's flush to the disk per file.
class Folder {
public:
    Folder() {
        char pattern[] = "/tmp/velmora-bench-XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        path_ = pattern;
        std::mt19937 rng(7);
        TabletImage image;
        for (auto& b : image.bytes())
            b = static_cast<uint8_t>(rng());
        for (int i = 0; i < kReadOuts; ++i) {
            ReadoutRecord r;
            r.rom = {0x04, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 1, 2, 3, 4, 5};
            r.readOutTime = 45292.5 + (rng() % 1000000) / 1000.0;
            r.deviceNumber = 7;
            r.variant = "main";
            r.programVersion = "0.1.0";
            const auto bytes = ReadoutArchive::encode(image, r, 124);
            write(std::to_string(i) + "-" + ReadoutArchive::fileName(r), bytes.data(),
                  bytes.size());
        }
        const std::string junk(1000, 'j');
        for (int i = 0; i < kDamaged; ++i)
            write("junk-" + std::to_string(i), junk.data(), junk.size());
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    void write(const std::string& name, const void* data, size_t size) {
        std::ofstream(path_ + "/" + name, std::ios::binary)
            .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string path_;
};

void BM_ListArchive(benchmark::State& state) {
    const Folder folder;
    const ReadoutArchive archive(folder.path());
    for (auto _ : state) {
        const auto entries = archive.list();
        if (entries.size() != kReadOuts + kDamaged)
            state.SkipWithError("not every file listed");
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * (kReadOuts + kDamaged));
}
BENCHMARK(BM_ListArchive)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
