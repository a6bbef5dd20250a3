#include "app/FrameLogic.h"

#include "body/CollisionResponse.h"
#include "spheretree/Growing.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/SweptSphere.h"
#include "world/World.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace spheres {

namespace {

/// Each body in creation order: its contacts, then its earliest contact resolved, so later
/// bodies see what earlier responses changed. findContacts(i, hits, times) gives body i's
/// contacts, except for the watched body, whose query runs through the visitor walk;
/// exchanged(body, partner) follows every exchange applied. Returns the number of exchanges.
template <class FindContacts, class Exchanged>
int resolveInOrder(World& world, Body* const* bodies, int count, const FrameSettings& settings,
                   FindContacts findContacts, Exchanged exchanged) {
    int contacts = 0;
    BodyList hits;
    TimeList times;
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        if (body == settings.watched && settings.visitor) {
            world.getTree().querySweep(body, hits, times, *settings.visitor);
        } else {
            findContacts(i, hits, times);
        }
        Body* partner = nullptr;
        if (resolveEarliestContact(body, hits, times, &partner)) {
            ++contacts;
            exchanged(body, partner);
        }
        hits.clear();
        times.clear();
    }
    return contacts;
}

/// Each body's query and response in turn: the frame as the program defines it.
int sweepInOrder(World& world, Body* const* bodies, int count, const FrameSettings& settings) {
    return resolveInOrder(
        world, bodies, count, settings,
        [&](int i, BodyList& hits, TimeList& times) { world.querySweep(bodies[i], hits, times); },
        [](Body*, Body*) {});
}

/// Body -> the first index it has in the frame's array, in one flat table (open addressing):
/// a frame looks up every leaf's body once.
class BodyIndex {
public:
    /// Empties the table and sizes it for count bodies; the memory is kept for the next frame.
    void reset(int count) {
        std::size_t capacity = 16;
        while (capacity < 2 * static_cast<std::size_t>(count)) {
            capacity *= 2;
        }
        slots.assign(capacity, Slot{nullptr, -1});
        mask = capacity - 1;
    }
    /// i, or the index body was first inserted with.
    int insert(Body* body, int i) {
        std::size_t at = home(body);
        for (; slots[at].body != nullptr; at = (at + 1) & mask) {
            if (slots[at].body == body) {
                return slots[at].index;
            }
        }
        slots[at] = Slot{body, i};
        return i;
    }
    /// -1 for a body not in the array.
    int find(Body* body) const {
        for (std::size_t at = home(body); slots[at].body != nullptr; at = (at + 1) & mask) {
            if (slots[at].body == body) {
                return slots[at].index;
            }
        }
        return -1;
    }

private:
    struct Slot {
        Body* body;
        int index;
    };
    std::vector<Slot> slots;
    std::size_t mask = 0;

    std::size_t home(Body* body) const {
        auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(body));
        return static_cast<std::size_t>((bits * 0x9e3779b97f4a7c15ull) >> 32) & mask;
    }
};

/*
 * The batched frame. During the responses the tree does not change; a query's pruning reads only
 * the query body's present sphere and the node spheres, its exact tests the two bodies' present
 * and previous positions and radii; a response changes only the two bodies it exchanges
 * between. So phase A runs every query first, read-only and in any order, keeping every leaf
 * each one reached with the exact test's verdict. Phase B then goes through the bodies in
 * order, each response marking its two bodies as touched:
 * - a body that an earlier response of this frame touched queries again (its sphere moved, so
 *   its pruning may differ);
 * - any other reached the same leaves in the same order, and of their verdicts only those of
 *   touched bodies can differ: those exact tests run again on the bodies as they are now, the
 *   others are taken from phase A.
 */
/// Where body i's reached leaves lie: in the records of thread, from begin to end.
struct Span {
    int thread = 0;
    std::uint32_t begin = 0, end = 0;
};

} // namespace

struct FrameBuffers::Arrays {
    BodyIndex index;
    /// Each body's first index in the frame's array: the one its marks are kept under.
    std::vector<int> first;
    /// The frame index of each snapshot leaf's body (-1: not in the array, or not a leaf).
    std::vector<int> leafOwner;
    /// Per thread: the leaves the queries reached (each as BatchedSweeps::query leaves it);
    /// span[i] says where body i's lie.
    std::vector<std::vector<SweepReach>> reached;
    std::vector<Span> span;
    std::vector<char> touched;
    /// Touched bodies that are in the tree but not in the frame's array.
    std::vector<Body*> outside;
    /// Phase A's query order, with each query's body, and which bodies it holds already.
    std::vector<int> order;
    std::vector<Body*> orderBody;
    std::vector<char> scheduled;
};

FrameBuffers::FrameBuffers() : held(new Arrays) {}

FrameBuffers::~FrameBuffers() = default;

namespace {

class BatchedSweeps {
public:
    BatchedSweeps(World& world, Body* const* bodies, int count, int threads,
                  FrameBuffers::Arrays& arrays)
        : tree(world.getTree()), snapshot(tree.refreshSnapshot()), bodies(bodies), count(count),
          threads(threads), index(arrays.index), first(arrays.first), leafOwner(arrays.leafOwner),
          reached(arrays.reached), span(arrays.span), touched(arrays.touched),
          outside(arrays.outside), order(arrays.order), orderBody(arrays.orderBody),
          scheduled(arrays.scheduled) {
        // Everything a frame reads is set here or written before it is read, so arrays left by
        // an earlier frame change nothing.
        index.reset(count);
        first.resize(static_cast<std::size_t>(count));
        span.assign(static_cast<std::size_t>(count), Span{});
        touched.assign(static_cast<std::size_t>(count), 0);
        outside.clear();
        for (int i = 0; i < count; ++i) {
            first[i] = index.insert(bodies[i], i);
        }
        // Lookups only read the index, so the threads share them.
        int slots = static_cast<int>(snapshot.size());
        assignGrowing(leafOwner, static_cast<std::size_t>(slots), -1);
#ifdef _OPENMP
#pragma omp parallel for num_threads(threads) schedule(static) if (threads > 1)
#endif
        for (int slot = 0; slot < slots; ++slot) {
            auto s = static_cast<std::uint32_t>(slot);
            if (snapshot.isLeaf(s)) {
                leafOwner[s] = index.find(snapshot.bodyAt(s));
            }
        }
    }

    void runPhaseA() {
        // In the snapshot's leaf order, so that consecutive queries walk the same nodes. Each
        // query's body is taken from the snapshot as it is read in order (a leaf's body is the
        // body at its owner's index), not from the array, where that order jumps about.
        order.clear();
        orderBody.clear();
        order.reserve(static_cast<std::size_t>(count));
        orderBody.reserve(static_cast<std::size_t>(count));
        scheduled.assign(static_cast<std::size_t>(count), 0);
        for (std::size_t slot = 0; slot < leafOwner.size(); ++slot) {
            int i = leafOwner[slot];
            if (i >= 0 && !scheduled[i]) {
                scheduled[i] = 1;
                order.push_back(i);
                orderBody.push_back(snapshot.bodyAt(static_cast<std::uint32_t>(slot)));
            }
        }
        for (int i = 0; i < count; ++i) {
            if (!scheduled[i]) {
                order.push_back(i);
                orderBody.push_back(bodies[i]);
            }
        }
        reached.resize(threads);
        // About five leaves per query. A thread that took more than its share of the queries
        // in an earlier frame grew its records beyond it; that room is given back, so that what
        // the buffers hold follows the scene, not how the threads happened to share the work.
        std::size_t share = static_cast<std::size_t>(count) * 8 / threads;
        for (std::vector<SweepReach>& records : reached) {
            records.clear();
            if (records.capacity() > share) {
                std::vector<SweepReach>().swap(records);
            }
            records.reserve(share);
        }
        int batches = (count + batchSize - 1) / batchSize;
        if (threads == 1) {
            for (int b = 0; b < batches; ++b) {
                queryBatch(0, b);
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
#pragma omp for schedule(dynamic, 2)
            for (int b = 0; b < batches; ++b) {
                try {
                    queryBatch(thread, b);
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
        for (int b = 0; b < batches; ++b) {
            queryBatch(0, b);
        }
#endif
    }

    /// Phase B: body i's contacts into hits and times.
    void contactsOf(World& world, int i, BodyList& hits, TimeList& times) {
        if (touched[first[i]]) {
            ++requeried;
            world.querySweep(bodies[i], hits, times);
            return;
        }
        const Span& s = span[i];
        const std::vector<SweepReach>& records = reached[s.thread];
        for (std::uint32_t k = s.begin; k < s.end; ++k) {
            const SweepReach& record = records[k];
            // Only a touched body's verdict is tested again, and only a contact needs the body.
            bool outsider = (record.leaf & outsiderBit) != 0;
            auto owner = static_cast<int>(record.leaf & ~outsiderBit);
            Body* other = outsider ? snapshot.bodyAt(record.leaf & ~outsiderBit) : nullptr;
            bool stale = outsider ? touchedElsewhere(other) : touched[owner] != 0;
            if (!stale && !record.contact) {
                continue;
            }
            other = outsider ? other : bodies[owner];
            float t = record.time;
            if (stale ? SweptSphere(bodies[i]).contactTime(other, t) : record.contact) {
                hits.push_back(other);
                times.push_back(t);
            }
        }
    }

    /// Queries phase B walked again.
    int requeried = 0;

    void markTouched(Body* body) {
        int i = index.find(body);
        if (i >= 0) {
            touched[i] = 1;
        } else {
            outside.push_back(body);
        }
    }

private:
    QuerySphereTree& tree;
    const QuerySnapshot& snapshot;
    Body* const* bodies;
    int count;
    int threads;
    // The frame's arrays (FrameBuffers::Arrays says what each holds).
    BodyIndex& index;
    std::vector<int>& first;
    std::vector<int>& leafOwner;
    std::vector<std::vector<SweepReach>>& reached;
    std::vector<Span>& span;
    std::vector<char>& touched;
    std::vector<Body*>& outside;
    std::vector<int>& order;
    std::vector<Body*>& orderBody;
    std::vector<char>& scheduled;

    bool touchedElsewhere(Body* body) const {
        return std::find(outside.begin(), outside.end(), body) != outside.end();
    }
    /// Marks a record's leaf field that holds a leaf of a body outside the frame's array.
    static constexpr std::uint32_t outsiderBit = 0x80000000u;

    /// Phase A's queries in batches of consecutive ones, a batch on one thread.
    static constexpr int batchSize = 32;

    /// The queries of batch b. Each query's verdicts are given after the next query's walk,
    /// while the bodies of the leaves it reached arrive.
    void queryBatch(int thread, int b) {
        std::vector<SweepReach>& records = reached[thread];
        int from = b * batchSize;
        int to = std::min(count, from + batchSize);
        SweptSphere walked[2] = {SweptSphere(orderBody[static_cast<std::size_t>(from)]),
                                 SweptSphere(orderBody[static_cast<std::size_t>(from)])};
        std::uint32_t begin = 0;
        for (int k = from; k <= to; ++k) {
            auto end = static_cast<std::uint32_t>(records.size());
            if (k < to) {
                // The body of a query a few places on is fetched meanwhile: in leaf order the
                // bodies lie anywhere in memory.
                constexpr int ahead = 4;
                if (k + ahead < count) {
                    fetchBody(orderBody[static_cast<std::size_t>(k + ahead)]);
                }
                walked[k & 1] = SweptSphere(orderBody[static_cast<std::size_t>(k)]);
                snapshot.reachSweep(walked[k & 1], records);
            }
            if (k > from) {
                finish(thread, k - 1, walked[(k - 1) & 1], begin, end);
            }
            begin = end;
        }
    }

    /// The records [begin, end) of phase A's k-th query (body order[k]): their verdicts, then
    /// each record's leaf turned into what phase B looks up: the frame index of the leaf's body
    /// (its first), or the leaf itself with outsiderBit for a body not in the array. The
    /// queries run in leaf order, so these lookups walk the table of owners nearly in order,
    /// where phase B, in creation order, would jump all over it.
    void finish(int thread, int k, const SweptSphere& sweep, std::uint32_t begin,
                std::uint32_t end) {
        std::vector<SweepReach>& records = reached[thread];
        snapshot.testReached(sweep, records.data() + begin, records.data() + end);
        for (std::uint32_t r = begin; r < end; ++r) {
            std::uint32_t leaf = records[r].leaf;
            int owner = leafOwner[leaf];
            records[r].leaf = owner >= 0 ? static_cast<std::uint32_t>(owner) : leaf | outsiderBit;
        }
        span[order[static_cast<std::size_t>(k)]] = Span{thread, begin, end};
    }
};

FrameOutcome sweepBatched(World& world, Body* const* bodies, int count, int threads,
                          const FrameSettings& settings) {
    std::unique_ptr<FrameBuffers> own;
    FrameBuffers* buffers = settings.buffers;
    if (buffers == nullptr) {
        own = std::make_unique<FrameBuffers>();
        buffers = own.get();
    }
    BatchedSweeps batch(world, bodies, count, threads, buffers->arrays());
    batch.runPhaseA();
    FrameOutcome outcome;
    outcome.contacts = resolveInOrder(
        world, bodies, count, settings,
        [&](int i, BodyList& hits, TimeList& times) { batch.contactsOf(world, i, hits, times); },
        [&](Body* body, Body* partner) {
            batch.markTouched(body);
            batch.markTouched(partner);
        });
    outcome.requeried = batch.requeried;
    return outcome;
}

} // namespace

int batchedThreads(const FrameSettings& settings, int count) {
    return std::min(settings.threads, count / std::max(1, settings.bodiesPerThread));
}

FrameOutcome simulateFrame(World& world, Body* const* bodies, int count, bool running,
                           float timeStep, const Frustum& frustum, BodyList& visible,
                           const FrameSettings& settings) {
    // The tree's walk for this frame's queries, put back afterwards.
    QuerySphereTree& tree = world.getTree();
    QueryWalk previousWalk = tree.getQueryWalk();
    tree.setQueryWalk(settings.walk == FrameWalk::Literal ? QueryWalk::Literal
                                                          : QueryWalk::Snapshot);
    // The step's and the snapshot's threads follow the frame's, put back afterwards too.
    ThreadBudget previousThreads = world.getThreads();
    world.setThreads(ThreadBudget{settings.threads, settings.bodiesPerThread});
    FrameOutcome outcome;
    if (running) {
        world.step(timeStep);
    }

    // Each body's earliest contact is resolved before the next body's query runs, so later
    // queries see what earlier responses changed.
    int threads = batchedThreads(settings, count);
    if (settings.walk == FrameWalk::Batched && threads >= 1) {
        outcome = sweepBatched(world, bodies, count, threads, settings);
    } else {
        outcome.contacts = sweepInOrder(world, bodies, count, settings);
    }

    // Counted as what this query appended, so a list that was not empty still gives the frame's
    // own number.
    std::size_t before = visible.size();
    world.queryFrustum(frustum, visible);
    outcome.drawn = static_cast<int>(visible.size() - before);
    tree.setQueryWalk(previousWalk);
    world.setThreads(previousThreads);
    return outcome;
}

} // namespace spheres
