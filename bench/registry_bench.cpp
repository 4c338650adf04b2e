// Reading the registry file: the largest file the reader takes, in two shapes.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "platform/registry.h"

namespace tqm {
namespace {

// A file of about Registry::kMaxFileBytes: many keys, or many values under one key.
std::filesystem::path largestFile(bool manyKeys) {
    std::string text = "Windows Registry Editor Version 5.00\n[R]\n";
    for (int i = 0;; ++i) {
        const std::string line = manyKeys ? "[R\\K" + std::to_string(i) + "]\n"
                                          : "\"v" + std::to_string(i) + "\"=\"\"\n";
        if (text.size() + line.size() > Registry::kMaxFileBytes) break;
        text += line;
    }
    const auto path = std::filesystem::temp_directory_path() /
                      ("tqm-registry-bench-" + std::to_string(::getpid()) + (manyKeys ? "-keys" : "-values"));
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void BM_RegistryLoadLargest(benchmark::State& state) {
    const auto path = largestFile(state.range(0) != 0);
    Registry registry(path);
    for (auto _ : state) benchmark::DoNotOptimize(registry.load());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_RegistryLoadLargest)->Arg(1)->Arg(0)->ArgNames({"keys"})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tqm
