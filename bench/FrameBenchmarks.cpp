// Timings of the program's frame through the tree and through brute force, and of the tree's
// three hot operations alone.
#include "bench/BenchMin.h"
#include "bench/BenchScene.h"
#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// Frames timed per repetition, chosen so that every size measures frames 11 onwards in a
// scene that still looks like the start. Each repetition builds its own scene, so every
// benchmark sees the same fresh memory layout whatever ran before it.
benchmark::IterationCount framesPerRepetition(int bodies) {
    switch (bodies) {
    case 100:
        return 50;
    case 1000:
        return 20;
    case 10000:
        return 5;
    default:
        return 1;
    }
}

void reportPerBody(benchmark::State& state, int bodies, long long contacts) {
    state.SetItemsProcessed(state.iterations() * bodies);
    state.counters["bodies"] = bodies;
    state.counters["contacts_per_frame"] =
        static_cast<double>(contacts) / static_cast<double>(state.iterations());
}

// One program frame per iteration, through the tree or with scans in place of its queries.
void Frame(benchmark::State& state, FrameOutcome (BenchScene::*frame)()) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies);
    long long contacts = 0;
    for (auto _ : state) {
        contacts += (scene.*frame)().contacts;
    }
    reportPerBody(state, bodies, contacts);
    state.counters["tree_nodes_per_leaf"] =
        static_cast<double>(scene.world.getTree().countNodes()) / bodies;
}

// Every body's sweep query of one frame, without the responses: per query cost.
void SweepQueries(benchmark::State& state) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies);
    BodyList hits;
    TimeList times;
    for (auto _ : state) {
        for (Body* body : scene.bodies) {
            scene.world.querySweep(body, hits, times);
            hits.clear();
            times.clear();
        }
    }
    state.SetItemsProcessed(state.iterations() * bodies);
}

void FrustumQuery(benchmark::State& state) {
    BenchScene scene(static_cast<int>(state.range(0)));
    BodyList visible;
    for (auto _ : state) {
        scene.world.queryFrustum(scene.frustum, visible);
        benchmark::DoNotOptimize(visible.size());
        visible.clear();
    }
}

// The tree's update after every alive body has integrated one step; only the update is timed.
void TreeUpdate(benchmark::State& state) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies);
    QuerySphereTree& tree = scene.world.getTree();
    for (auto _ : state) {
        for (Body* body : scene.bodies) {
            if (body->isAlive()) {
                body->integrate(0.1f);
            }
        }
        auto started = std::chrono::steady_clock::now();
        tree.update();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        state.SetIterationTime(took.count());
    }
    state.SetItemsProcessed(state.iterations() * bodies);
}

void registerAll() {
    for (int bodies : {100, 1000, 10000, 100000}) {
        repeated(
            benchmark::RegisterBenchmark("TreeFrame", Frame, &BenchScene::treeFrame)->Arg(bodies),
            bodies == 100000 ? 3 : 5, framesPerRepetition(bodies));
    }
    for (int bodies : {100, 1000, 10000}) {
        repeated(
            benchmark::RegisterBenchmark("BruteForceFrame", Frame, &BenchScene::bruteForceFrame)
                ->Arg(bodies),
            bodies == 10000 ? 3 : 5, framesPerRepetition(bodies));
    }
    for (int bodies : {100, 1000, 10000, 100000}) {
        repeated(benchmark::RegisterBenchmark("SweepQueries", SweepQueries)->Arg(bodies),
                 bodies == 100000 ? 3 : 5, framesPerRepetition(bodies));
    }
    repeated(benchmark::RegisterBenchmark("FrustumQuery", FrustumQuery)->Arg(10000), 5, 200);
    repeated(benchmark::RegisterBenchmark("TreeUpdate", TreeUpdate)->Arg(10000)->UseManualTime(), 5,
             20);
}

} // namespace

int main(int argc, char** argv) {
    registerAll();
    return runRegisteredBenchmarks(argc, argv);
}
