// Tokenizer cost against command-line length, up to the 32,767-character
// limit of a Windows command line. Two shapes: many short arguments (what
// ArgumentCount walks), and one long quoted first argument (what Argument(1)
// walks, past the 4,096 bytes it keeps).
#include <benchmark/benchmark.h>

#include <string>

#include "core/arguments.h"
#include "tests/fake_platform.h"

namespace {

constexpr std::size_t kLineLimit = 32767 - 1; // less the NUL

std::string ManyArguments(std::size_t length) {
    std::string line = "\"C:\\Program Files\\Plintor\\plintor-rename.exe\"";
    while (line.size() < length)
        line += " \"C:\\My Files\\a b.txt\"";
    line.resize(length);
    return line;
}

std::string OneLongArgument(std::size_t length) {
    std::string line = "prog \"C:\\";
    while (line.size() < length)
        line += "dir with blanks\\";
    line.resize(length);
    return line;
}

void Lengths(benchmark::internal::Benchmark* b) {
    for (long length : {10L, 100L, 1000L, 4096L, 10000L, 20000L, static_cast<long>(kLineLimit)})
        b->Arg(length);
    b->Complexity(benchmark::oN);
}

void BM_ArgumentCount(benchmark::State& state) {
    ResetFakePlatform();
    Fake().commandLine = ManyArguments(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ArgumentCount());
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<long>(state.iterations()) * state.range(0));
}

void BM_FirstArgument(benchmark::State& state) {
    ResetFakePlatform();
    Fake().commandLine = OneLongArgument(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Argument(1));
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<long>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_ArgumentCount)->Apply(Lengths);
BENCHMARK(BM_FirstArgument)->Apply(Lengths);

BENCHMARK_MAIN();
