// Decoding speed: one tablet image, and a bin dump of 1 048 576 records.
#include "ParserFactory.h"
#include "TabletImage.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> randomBytes(size_t n) {
    std::mt19937 rng(1234);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

void BM_DecodeImage(benchmark::State& state) {
    const auto variant = static_cast<Variant>(state.range(0));
    const TabletImage image(randomBytes(TabletImage::kSize));
    const auto parser = makeParser(variant, datetime::fixedClock(45292.5));
    for (auto _ : state)
        benchmark::DoNotOptimize(parser->decodeImage(image.bytes(), 512));
    state.SetLabel(std::string(variantName(variant)));
}
BENCHMARK(BM_DecodeImage)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_DecodeDump(benchmark::State& state) {
    const auto variant = static_cast<Variant>(state.range(0));
    const auto dump = randomBytes(4u << 20); // 1 048 576 records
    const auto parser = makeParser(variant, datetime::fixedClock(45292.5));
    for (auto _ : state) {
        double base = 0.0;
        benchmark::DoNotOptimize(parser->decodeEvents(dump, base));
    }
    state.SetLabel(std::string(variantName(variant)));
    state.SetItemsProcessed(state.iterations() * (dump.size() / 4));
}
BENCHMARK(BM_DecodeDump)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
