#include <benchmark/benchmark.h>

#include "editor/response_graph.h"

namespace tqm {
namespace {

// One full graph: fresh background, grid, the sum curve and the three bands.
void BM_GraphRenderFull(benchmark::State& state) {
    ResponseGraph graph;
    const EqualizerValues values{{3, 10, 1, 5, -6, 4, 10, 8, 10}};
    for (auto _ : state) {
        graph.open();
        graph.drawCurves(values, 2);
        graph.close();
        benchmark::DoNotOptimize(graph.picture());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GraphRenderFull)->Unit(benchmark::kMicrosecond);

// The empty graph (grid only), as drawn before a set change or a connection attempt.
void BM_GraphRenderGridOnly(benchmark::State& state) {
    ResponseGraph graph;
    for (auto _ : state) {
        graph.open();
        graph.close();
        benchmark::DoNotOptimize(graph.picture());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GraphRenderGridOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tqm
