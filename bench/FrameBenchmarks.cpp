// Timings of the program's frame through the tree's three walks, through two well-known broad
// phases and through brute force, and of the tree's three hot operations alone; then every
// scene through the tree and the two broad phases.
#include "bench/BenchMin.h"
#include "bench/BenchScene.h"
#include "bench/PeerFrames.h"
#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

using namespace spheres;

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

int allCores() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Frames of scene through the tree with settings (0 threads: all cores). With split set, each
// frame runs as the World's step (integration and the tree's update) and then the same frame
// without a step, so that the update's share of the frame can be reported.
void treeFrames(benchmark::State& state, Scene sceneKind, FrameSettings settings,
                bool split = false) {
    int bodies = static_cast<int>(state.range(0));
    settings.threads = settings.threads == 0 ? allCores() : settings.threads;
    BenchScene scene(bodies, sceneKind);
    FrameBuffers buffers;
    settings.buffers = &buffers;
    long long contacts = 0, requeried = 0;
    std::chrono::duration<double> stepping{0.0}, total{0.0};
    for (auto _ : state) {
        auto started = std::chrono::steady_clock::now();
        if (split) {
            scene.world.step(0.1f);
        }
        auto stepped = std::chrono::steady_clock::now();
        scene.visible.clear();
        FrameOutcome outcome = simulateFrame(scene.world, scene.bodies.data(), bodies, !split, 0.1f,
                                             scene.frustum, scene.visible, settings);
        stepping += stepped - started;
        total += std::chrono::steady_clock::now() - started;
        contacts += outcome.contacts;
        requeried += outcome.requeried;
    }
    reportPerBody(state, bodies, contacts);
    if (split) {
        state.counters["update_share"] = stepping.count() / total.count();
        state.counters["requeried_share"] =
            static_cast<double>(requeried) / (static_cast<double>(state.iterations()) * bodies);
    }
    state.counters["tree_nodes_per_leaf"] =
        static_cast<double>(scene.world.getTree().countNodes()) / bodies;
    state.counters["snapshot_bytes_per_body"] =
        static_cast<double>(scene.world.getTree().refreshSnapshot().memoryBytes()) / bodies;
}

// The same frames with a broad phase in place of the tree, built on the warmed-up scene.
void peerFrames(benchmark::State& state, Scene sceneKind, PeerFrame* (*make)()) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies, sceneKind);
    std::unique_ptr<PeerFrame> peer(make());
    long long contacts = 0;
    for (auto _ : state) {
        scene.visible.clear();
        contacts +=
            peer->frame(scene.bodies.data(), bodies, 0.1f, scene.frustum, scene.visible).contacts;
    }
    reportPerBody(state, bodies, contacts);
}

// The program's frame through the tree; range(1) picks the walk, range(2) the threads.
void TreeFrame(benchmark::State& state) {
    FrameSettings settings;
    settings.walk = static_cast<FrameWalk>(state.range(1));
    settings.threads = static_cast<int>(state.range(2));
    treeFrames(state, Scene::Program, settings);
}

template <PeerFrame* (*make)()> void PeerFrameBench(benchmark::State& state) {
    peerFrames(state, Scene::Program, make);
}

void BruteForceFrame(benchmark::State& state) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies);
    long long contacts = 0;
    for (auto _ : state) {
        contacts += scene.bruteForceFrame().contacts;
    }
    reportPerBody(state, bodies, contacts);
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
    struct Walk {
        const char* name;
        FrameWalk walk;
        int threads;
    };
    const Walk walks[] = {{"LiteralFrame", FrameWalk::Literal, 1},
                          {"SnapshotFrame", FrameWalk::Snapshot, 1},
                          {"BatchedFrame", FrameWalk::Batched, 1},
                          {"BatchedFrameAllCores", FrameWalk::Batched, 0}};
    for (const Walk& walk : walks) {
        for (int bodies : {100, 1000, 10000, 100000}) {
            auto* b = benchmark::RegisterBenchmark(walk.name, TreeFrame);
            repeated(b->Args({bodies, static_cast<int>(walk.walk), walk.threads}),
                     bodies == 100000 ? 3 : 5, framesPerRepetition(bodies));
        }
    }
    for (int bodies : {100, 1000, 10000, 100000}) {
        repeated(
            benchmark::RegisterBenchmark("DbvtFrame", PeerFrameBench<makeDbvtFrame>)->Arg(bodies),
            bodies == 100000 ? 3 : 5, framesPerRepetition(bodies));
        repeated(
            benchmark::RegisterBenchmark("GridFrame", PeerFrameBench<makeGridFrame>)->Arg(bodies),
            bodies == 100000 ? 3 : 5, framesPerRepetition(bodies));
    }
    for (int bodies : {100, 1000, 10000}) {
        repeated(benchmark::RegisterBenchmark("BruteForceFrame", BruteForceFrame)->Arg(bodies),
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

// Every scene at three sizes through the tree's fastest frame on one thread (with the update's
// share of its time and the share of queries its second phase walked again) and on every core,
// and through the two peers, named Scene/<scene>/<structure>/<bodies> for scripts to read.
void registerScenes() {
    for (const SceneInfo& info : sceneCatalogue()) {
        Scene scene = info.scene;
        auto tree = [scene](int threads) {
            return [scene, threads](benchmark::State& state) {
                FrameSettings settings;
                settings.threads = threads;
                treeFrames(state, scene, settings, threads == 1);
            };
        };
        auto peer = [scene](PeerFrame* (*make)()) {
            return [scene, make](benchmark::State& state) { peerFrames(state, scene, make); };
        };
        std::string prefix = std::string("Scene/") + info.name + "/";
        for (int bodies : {1000, 10000, 100000}) {
            int repetitions = bodies == 100000 ? 3 : 5;
            benchmark::IterationCount frames = framesPerRepetition(bodies);
            repeated(benchmark::RegisterBenchmark((prefix + "tree").c_str(), tree(1))->Arg(bodies),
                     repetitions, frames);
            repeated(benchmark::RegisterBenchmark((prefix + "tree-threads").c_str(), tree(0))
                         ->Arg(bodies),
                     repetitions, frames);
            repeated(benchmark::RegisterBenchmark((prefix + "dbvt").c_str(), peer(makeDbvtFrame))
                         ->Arg(bodies),
                     repetitions, frames);
            repeated(benchmark::RegisterBenchmark((prefix + "grid").c_str(), peer(makeGridFrame))
                         ->Arg(bodies),
                     repetitions, frames);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    registerAll();
    registerScenes();
    return runRegisteredBenchmarks(argc, argv);
}
