// Built with SPHERES_COUNT_VISITS: the tree's walks count the nodes they enter. Reports nodes
// visited per sweep query and per frustum query, and the tree's size, at every scene size.
#include "bench/BenchMin.h"
#include "bench/BenchScene.h"
#include "spheretree/QuerySphereTree.h"

#include <benchmark/benchmark.h>

using namespace spheres;

// The counters the tree's walks bump when built with SPHERES_COUNT_VISITS.
namespace spheres {
unsigned long long sweepNodeVisits = 0;
unsigned long long frustumNodeVisits = 0;
} // namespace spheres

namespace {

void FrameVisits(benchmark::State& state) {
    int bodies = static_cast<int>(state.range(0));
    BenchScene scene(bodies);
    sweepNodeVisits = 0;
    frustumNodeVisits = 0;
    long long contacts = 0;
    FrameSettings settings; // one query per body: the nodes each walk enters
    settings.walk = FrameWalk::Snapshot;
    for (auto _ : state) {
        contacts += scene.treeFrame(settings).contacts;
    }
    double frames = static_cast<double>(state.iterations());
    state.counters["sweep_visits_per_query"] =
        static_cast<double>(sweepNodeVisits) / (frames * bodies);
    state.counters["frustum_visits_per_frame"] = static_cast<double>(frustumNodeVisits) / frames;
    state.counters["contacts_per_frame"] = static_cast<double>(contacts) / frames;
    state.counters["tree_nodes_per_leaf"] =
        static_cast<double>(scene.world.getTree().countNodes()) / bodies;
}

void registerAll() {
    for (int bodies : {100, 1000, 10000, 100000}) {
        benchmark::IterationCount frames = bodies >= 10000 ? (bodies == 10000 ? 5 : 1) : 20;
        repeated(benchmark::RegisterBenchmark("FrameVisits", FrameVisits)->Arg(bodies), 1, frames);
    }
}

} // namespace

int main(int argc, char** argv) {
    registerAll();
    return runRegisteredBenchmarks(argc, argv);
}
