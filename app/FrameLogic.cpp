#include "app/FrameLogic.h"

#include "body/CollisionResponse.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

/// Each body's query and response in turn: the frame as the program defines it.
int sweepInOrder(World& world, Body* const* bodies, int count, const FrameSettings& settings) {
    int contacts = 0;
    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        if (body == settings.watched && settings.visitor) {
            world.getTree().querySweep(body, hits, times, *settings.visitor);
        } else {
            world.querySweep(body, hits, times);
        }
        if (resolveEarliestContact(body, hits, times)) {
            ++contacts;
        }
        hits.clear();
        times.clear();
    }
    return contacts;
}

/*
 * The batched frame. During the responses the tree does not change; a query's pruning reads only
 * the query body's present sphere and the node spheres, its exact tests the two bodies' present
 * and previous positions and radii; a response changes only the two bodies it exchanges
 * between. So phase A runs every query first, read-only and in any order, keeping every leaf
 * each one reached with the exact test's verdict. Phase B then goes through the bodies in
 * order: a body whose own state and the state of every body it reached no earlier response of
 * this frame has touched takes its phase-A contacts, any other queries again. Each response
 * marks the body and every body in its hit list as touched (a superset of the two changed).
 */
class BatchedSweeps {
public:
    BatchedSweeps(World& world, Body* const* bodies, int count, int threads)
        : tree(world.getTree()), bodies(bodies), count(count), threads(std::max(threads, 1)),
          first(count), span(count), touched(count, 0) {
        index.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            first[i] = index.emplace(bodies[i], i).first->second;
        }
    }

    void runPhaseA() {
        // Neighbouring leaves first, so that consecutive queries walk the same nodes.
        std::vector<int> order;
        order.reserve(static_cast<std::size_t>(count));
        std::vector<char> scheduled(count, 0);
        for (Body* body : tree.refreshSnapshot().leafBodies()) {
            int i = indexOf(body);
            if (i >= 0 && !scheduled[i]) {
                scheduled[i] = 1;
                order.push_back(i);
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!scheduled[i]) {
                order.push_back(i);
            }
        }
        reached.resize(threads);
        owners.resize(threads);
        if (threads == 1) {
            for (int i : order) {
                query(0, i);
            }
            return;
        }
#ifdef _OPENMP
        // Each body's record depends on nothing but the body and the unchanged tree, so neither
        // the number of threads nor the schedule changes what phase B reads.
        bool outOfMemory = false;
#pragma omp parallel num_threads(threads)
        {
            int thread = omp_get_thread_num();
#pragma omp for schedule(dynamic, 64)
            for (int k = 0; k < count; ++k) {
                try {
                    query(thread, order[k]);
                } catch (const std::bad_alloc&) {
#pragma omp atomic write
                    outOfMemory = true;
                }
            }
        }
        if (outOfMemory) {
            throw std::bad_alloc();
        }
#else
        for (int i : order) {
            query(0, i);
        }
#endif
    }

    /// Phase B: body i's contacts into hits and times.
    void contactsOf(World& world, int i, BodyList& hits, TimeList& times) {
        const Span& s = span[i];
        bool fresh = !touched[first[i]];
        for (std::uint32_t k = s.begin; fresh && k < s.end; ++k) {
            int owner = owners[s.thread][k];
            fresh = owner >= 0 ? !touched[owner] : !touchedElsewhere(reached[s.thread][k].body);
        }
        if (!fresh) {
            world.querySweep(bodies[i], hits, times);
            return;
        }
        for (std::uint32_t k = s.begin; k < s.end; ++k) {
            const SweepReach& reach = reached[s.thread][k];
            if (reach.contact) {
                hits.push_back(reach.body);
                times.push_back(reach.time);
            }
        }
    }

    void markTouched(Body* body) {
        int i = indexOf(body);
        if (i >= 0) {
            touched[i] = 1;
        } else {
            outside.push_back(body);
        }
    }

private:
    struct Span {
        int thread = 0;
        std::uint32_t begin = 0, end = 0;
    };

    QuerySphereTree& tree;
    Body* const* bodies;
    int count;
    int threads;
    /// Each body's first index in the frame's array: the one its marks are kept under.
    std::unordered_map<Body*, int> index;
    std::vector<int> first;
    /// Per thread: the leaves reached, and the frame index of each one's body (-1: not in it).
    std::vector<std::vector<SweepReach>> reached;
    std::vector<std::vector<int>> owners;
    /// Where body i's phase-A record lies.
    std::vector<Span> span;
    std::vector<char> touched;
    /// Touched bodies that are in the tree but not in the frame's array.
    std::vector<Body*> outside;

    int indexOf(Body* body) const {
        auto found = index.find(body);
        return found == index.end() ? -1 : found->second;
    }
    bool touchedElsewhere(Body* body) const {
        return std::find(outside.begin(), outside.end(), body) != outside.end();
    }
    void query(int thread, int i) {
        std::vector<SweepReach>& records = reached[thread];
        std::uint32_t begin = static_cast<std::uint32_t>(records.size());
        tree.querySweepReached(bodies[i], records);
        for (std::size_t k = begin; k < records.size(); ++k) {
            owners[thread].push_back(indexOf(records[k].body));
        }
        span[i] = Span{thread, begin, static_cast<std::uint32_t>(records.size())};
    }
};

int sweepBatched(World& world, Body* const* bodies, int count, const FrameSettings& settings) {
    BatchedSweeps batch(world, bodies, count, settings.threads);
    batch.runPhaseA();
    int contacts = 0;
    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        if (body == settings.watched && settings.visitor) {
            world.getTree().querySweep(body, hits, times, *settings.visitor);
        } else {
            batch.contactsOf(world, i, hits, times);
        }
        if (resolveEarliestContact(body, hits, times)) {
            ++contacts;
            batch.markTouched(body);
            for (Body* hit : hits) {
                batch.markTouched(hit);
            }
        }
        hits.clear();
        times.clear();
    }
    return contacts;
}

} // namespace

FrameOutcome simulateFrame(World& world, Body* const* bodies, int count, bool running,
                           float timeStep, const Frustum& frustum, BodyList& visible,
                           const FrameSettings& settings) {
    // The tree's walk for this frame's queries, put back afterwards.
    QuerySphereTree& tree = world.getTree();
    QueryWalk previousWalk = tree.getQueryWalk();
    tree.setQueryWalk(settings.walk == FrameWalk::Literal ? QueryWalk::Literal
                                                          : QueryWalk::Snapshot);
    FrameOutcome outcome;
    if (running) {
        world.step(timeStep);
    }

    // Each body's earliest contact is resolved before the next body's query runs, so later
    // queries see what earlier responses changed.
    if (settings.walk == FrameWalk::Batched) {
        outcome.contacts = sweepBatched(world, bodies, count, settings);
    } else {
        outcome.contacts = sweepInOrder(world, bodies, count, settings);
    }

    // Counted as what this query appended, so a list that was not empty still gives the frame's
    // own number.
    std::size_t before = visible.size();
    world.queryFrustum(frustum, visible);
    outcome.drawn = static_cast<int>(visible.size() - before);
    tree.setQueryWalk(previousWalk);
    return outcome;
}
