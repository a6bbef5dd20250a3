#include "spheretree/QuerySnapshot.h"

#include "body/Body.h"
#include "frustum/Frustum.h"
#include "spheretree/Growing.h"
#include "spheretree/TreeNode.h"

#include <algorithm>
#include <cstring>
#include <new>

#ifdef _OPENMP
#include <omp.h>
#endif

// The sweep walk's AVX2 path, chosen at run time, exists where the compiler can target it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SPHERES_AVX2_PATH 1
#include <immintrin.h>
#else
#define SPHERES_AVX2_PATH 0
#endif

namespace spheres {

#ifdef SPHERES_COUNT_VISITS
extern unsigned long long sweepNodeVisits;
extern unsigned long long frustumNodeVisits;
#endif

namespace {

/// The sweep walk's view of the arrays.
struct SweepArrays {
    const float* centerX;
    const float* centerY;
    const float* centerZ;
    const float* radius;
    const std::uint64_t* leafWords;
    const std::uint32_t* childBegin;
    const std::uint32_t* childCount;
    Body* const* body;

    /// The leaf bits of the slots first to first + 31.
    std::uint32_t leafBits(std::uint32_t first) const {
        std::uint32_t shift = first & 63u;
        std::uint64_t low = leafWords[first >> 6] >> shift;
        std::uint64_t high = (leafWords[(first >> 6) + 1] << 1) << (63u - shift);
        return static_cast<std::uint32_t>(low | high);
    }
};

/// The query's present sphere, as the per-node test reads it.
struct Probe {
    float x, y, z, radius;
};

/// Each child's test as sphereMissesNode computes it, for the eight children from slot on (the
/// arrays' spare entries cover a group that runs past a block's end): bit k is set when child
/// slot + k is missed. Portable code the compiler may turn into vector compares.
struct PortableLanes {
    static std::uint32_t missedBits(const SweepArrays& a, const Probe& p, std::uint32_t slot) {
        Vector3 position(p.x, p.y, p.z);
        std::uint32_t missed = 0;
        for (std::uint32_t k = 0; k < 8; ++k) {
            Vector3 center(a.centerX[slot + k], a.centerY[slot + k], a.centerZ[slot + k]);
            missed |= static_cast<std::uint32_t>(
                          sphereMissesNode(position, p.radius, center, a.radius[slot + k]))
                      << k;
        }
        return missed;
    }
};

#if SPHERES_AVX2_PATH
/// The same with AVX2 instructions: each lane computes sphereMissesNode's operations in the same
/// order (no fused multiply-add), and the comparison's lanes become the bits in one movemask.
struct Avx2Lanes {
    __attribute__((target("avx2"))) static std::uint32_t
    missedBits(const SweepArrays& a, const Probe& p, std::uint32_t slot) {
        __m256 dx = _mm256_sub_ps(_mm256_set1_ps(p.x), _mm256_loadu_ps(a.centerX + slot));
        __m256 dy = _mm256_sub_ps(_mm256_set1_ps(p.y), _mm256_loadu_ps(a.centerY + slot));
        __m256 dz = _mm256_sub_ps(_mm256_set1_ps(p.z), _mm256_loadu_ps(a.centerZ + slot));
        __m256 sum = _mm256_add_ps(_mm256_loadu_ps(a.radius + slot), _mm256_set1_ps(p.radius));
        __m256 d2 = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)),
                                  _mm256_mul_ps(dz, dz));
        __m256 missed = _mm256_cmp_ps(_mm256_mul_ps(sum, sum), d2, _CMP_LE_OQ);
        return static_cast<std::uint32_t>(_mm256_movemask_ps(missed));
    }
};
#endif

/// Up to 32 children of a block still to visit: those the walk goes to (accepted inner nodes and
/// every leaf: the sweep reaches each leaf below an accepted node and never tests it as a node)
/// as bits over the slots from first, and which of them are leaves.
struct Pending {
    std::uint32_t first, end, visit, leaves;
};

/// The chunk of the block [first, end) that starts at first, tested.
template <class Lanes>
__attribute__((always_inline)) inline Pending openChunk(const SweepArrays& a, const Probe& p,
                                                        std::uint32_t first, std::uint32_t end) {
    std::uint32_t n = std::min(32u, end - first);
#ifdef SPHERES_COUNT_VISITS
    sweepNodeVisits += n;
#endif
    std::uint32_t missed = 0;
    for (std::uint32_t g = 0; g < n; g += 8) {
        missed |= Lanes::missedBits(a, p, first + g) << g;
    }
    std::uint32_t leaves = a.leafBits(first);
    std::uint32_t all = n >= 32 ? 0xffffffffu : (1u << n) - 1u;
    return Pending{first, end, (~missed | leaves) & all, leaves};
}

/// The sweep walk: depth first, children in list order, each block's children tested a chunk at
/// a time and the marked ones then taken in order by their bits, without a branch per child.
/// The stack holds one chunk per level below the root; reach(slot) gets each leaf reached other
/// than the query body's own.
template <class Lanes, class Reach>
__attribute__((always_inline)) inline void walkSweep(const SweepArrays& a, const SweptSphere& sweep,
                                                     Pending* stack, Reach& reach) {
    const Probe probe{sweep.position.x, sweep.position.y, sweep.position.z, sweep.radius};
    std::size_t top = 0;
    stack[0] = openChunk<Lanes>(a, probe, 0, 1);
    for (;;) {
        Pending& pending = stack[top];
        if (pending.visit == 0) {
            if (pending.end - pending.first > 32) {
                pending = openChunk<Lanes>(a, probe, pending.first + 32, pending.end);
            } else if (top-- == 0) {
                return;
            }
            continue;
        }
        std::uint32_t k = static_cast<std::uint32_t>(__builtin_ctz(pending.visit));
        pending.visit &= pending.visit - 1;
        std::uint32_t slot = pending.first + k;
        if (pending.leaves >> k & 1u) {
            if (a.body[slot] != sweep.body) {
                reach(slot);
            }
        } else {
            std::uint32_t begin = a.childBegin[slot];
            stack[++top] = openChunk<Lanes>(a, probe, begin, begin + a.childCount[slot]);
        }
    }
}

template <class Reach>
void sweepPortable(const SweepArrays& a, const SweptSphere& sweep, Pending* stack, Reach& reach) {
    walkSweep<PortableLanes>(a, sweep, stack, reach);
}

#if SPHERES_AVX2_PATH
template <class Reach>
__attribute__((target("avx2"))) void sweepAvx2(const SweepArrays& a, const SweptSphere& sweep,
                                               Pending* stack, Reach& reach) {
    walkSweep<Avx2Lanes>(a, sweep, stack, reach);
}
#endif

} // namespace

QuerySnapshot::QuerySnapshot() : vectorised(hasVectorPath()) {}

bool QuerySnapshot::hasVectorPath() {
#if SPHERES_AVX2_PATH
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

void QuerySnapshot::build(TreeNode* root, int threads) {
    // The arrays keep their length from the last build and are written over in place, up to
    // used (what lies beyond is left from earlier builds and never read): once the tree has
    // reached its size nothing is allocated and nothing filled twice.
    used = 0;
    innerAllBounding = true;
    append(&root, 1);
    depth = 0;
#ifdef _OPENMP
    if (threads > 1) {
        copyOnThreads(root, threads);
    } else {
        copyChildren(root, 0, 0);
    }
#else
    (void)threads;
    copyChildren(root, 0, 0);
#endif
    // The spare entries past the last block: spheres that no walk uses.
    for (auto* values : {&centerX, &centerY, &centerZ, &radius}) {
        if (values->size() < used + 8) {
            values->resize(used + 8);
        }
        auto spare = values->begin() + static_cast<std::ptrdiff_t>(used);
        std::fill(spare, spare + 8, 0.0f);
    }
    assignGrowing(leafWords, size() / 64 + 2, std::uint64_t{0});
    for (std::uint32_t slot = 0; slot < size(); ++slot) {
        leafWords[slot >> 6] |= static_cast<std::uint64_t>(isLeaf(slot)) << (slot & 63u);
    }
}

void QuerySnapshot::append(TreeNode* const* copied, std::size_t count) {
    std::size_t first = used;
    used += count;
    reserveUsed();
    for (std::size_t k = 0; k < count; ++k) {
        TreeNode* from = copied[k];
        bool leaf = from->flags & TreeNodeFlags::Leaf;
        std::size_t slot = first + k;
        centerX[slot] = from->center.x;
        centerY[slot] = from->center.y;
        centerZ[slot] = from->center.z;
        radius[slot] = from->radius;
        body[slot] = leaf ? from->body : nullptr;
        node[slot] = from;
        childBegin[slot] = leaf ? leafMark : 0u;
        childCount[slot] = 0u;
        innerAllBounding = innerAllBounding && (leaf || isBounding(from));
        // An inner node's block of children lies elsewhere again; the copy reads it soon.
        if (!leaf) {
            __builtin_prefetch(from->children.data());
        }
    }
}

void QuerySnapshot::reserveUsed() {
    if (used > node.size()) {
        std::size_t grown = std::max(used, 2 * node.size());
        for (auto* values : {&centerX, &centerY, &centerZ, &radius}) {
            values->resize(grown);
        }
        body.resize(grown);
        node.resize(grown);
        childBegin.resize(grown);
        childCount.resize(grown);
    }
}

std::uint32_t QuerySnapshot::appendBlock(const TreeNode* node, std::uint32_t slot,
                                         std::size_t level) {
    const ChildList& children = node->children;
    auto begin = static_cast<std::uint32_t>(used);
    append(children.data(), children.size());
    childBegin[slot] = begin;
    depth = std::max(depth, level + 1);
    childCount[slot] = static_cast<std::uint32_t>(children.size());
    return begin;
}

void QuerySnapshot::copyChildren(const TreeNode* node, std::uint32_t slot, std::size_t level) {
    // The whole block first, then each child's own block: depth-first block order.
    const ChildList& children = node->children;
    std::uint32_t begin = appendBlock(node, slot, level);
    // The nodes lie anywhere in memory: while one child's subtree is copied, the nodes of the
    // next child's block are already on their way to the cache.
    for (std::size_t k = 0, n = children.size(); k < n; ++k) {
        if (k + 1 < n) {
            const ChildList& next = children[k + 1]->children;
            for (std::size_t g = 0, m = std::min<std::size_t>(next.size(), 16); g < m; ++g) {
                __builtin_prefetch(next[g]);
            }
        }
        auto child = begin + static_cast<std::uint32_t>(k);
        if (!isLeaf(child)) {
            copyChildren(children[k], child, level + 1);
        }
    }
}

std::uint32_t QuerySnapshot::appendTo(Part& into, TreeNode* copied) {
    bool leaf = copied->flags & TreeNodeFlags::Leaf;
    into.centerX.push_back(copied->center.x);
    into.centerY.push_back(copied->center.y);
    into.centerZ.push_back(copied->center.z);
    into.radius.push_back(copied->radius);
    into.body.push_back(leaf ? copied->body : nullptr);
    into.node.push_back(copied);
    into.childBegin.push_back(leaf ? leafMark : 0u);
    into.childCount.push_back(0u);
    into.innerAllBounding = into.innerAllBounding && (leaf || isBounding(copied));
    return static_cast<std::uint32_t>(into.radius.size() - 1);
}

void QuerySnapshot::copyInto(Part& into, const TreeNode* node, std::uint32_t slot,
                             std::size_t level, std::size_t& deepest) {
    if (into.childBegin[slot] == leafMark) {
        return;
    }
    // The whole block first, then each child's own block: depth-first block order.
    std::uint32_t begin = static_cast<std::uint32_t>(into.radius.size());
    for (TreeNode* child : node->children) {
        appendTo(into, child);
    }
    into.childBegin[slot] = begin;
    deepest = std::max(deepest, level + 1);
    into.childCount[slot] = static_cast<std::uint32_t>(into.radius.size()) - begin;
    std::uint32_t next = begin;
    for (const TreeNode* child : node->children) {
        copyInto(into, child, next++, level + 1, deepest);
    }
}

void QuerySnapshot::collectCut(const TreeNode* node, std::size_t level, std::size_t cut,
                               std::vector<Subtree>& found) {
    for (const TreeNode* child : node->children) {
        if (child->flags & TreeNodeFlags::Leaf) {
            continue;
        }
        if (level + 1 == cut) {
            found.push_back(Subtree{child, 0, 0, 0});
        } else {
            collectCut(child, level + 1, cut, found);
        }
    }
}

void QuerySnapshot::layOutAbove(const TreeNode* node, std::uint32_t slot, std::size_t level,
                                std::size_t cut, std::size_t& next,
                                std::vector<std::uint32_t>& offsets) {
    if (isLeaf(slot)) {
        return;
    }
    if (level == cut) {
        // This node's copy, its block first, is the next part's: room for it now, filled later.
        const Subtree& subtree = subtrees[next++];
        auto begin = static_cast<std::uint32_t>(used);
        offsets.push_back(begin);
        const Part& part = parts[subtree.part];
        used += subtree.end - subtree.begin;
        reserveUsed();
        childBegin[slot] = begin;
        childCount[slot] = static_cast<std::uint32_t>(subtree.node->children.size());
        depth = std::max(depth, part.depth);
        return;
    }
    std::uint32_t at = appendBlock(node, slot, level);
    for (const TreeNode* child : node->children) {
        layOutAbove(child, at++, level + 1, cut, next, offsets);
    }
}

void QuerySnapshot::copyOnThreads([[maybe_unused]] TreeNode* root, [[maybe_unused]] int threads) {
#ifdef _OPENMP
    // A subtree's copy depends only on the subtree, and its place only on the sizes of the
    // copies before it. So the subtrees below the shallowest depth that gives every thread a few
    // are copied on the threads, each into its thread's part with indices from the part's
    // start; the levels above are then laid out as the one-thread copy lays them out, leaving
    // each subtree the room its copy needs, and the copies are moved into their places with
    // their block indices shifted. Neither the number of threads nor which thread copied what
    // changes a byte.
    constexpr std::size_t deepestCut = 3;
    std::size_t cut = 1;
    for (;; ++cut) {
        subtrees.clear();
        collectCut(root, 0, cut, subtrees);
        if (subtrees.size() >= 4 * static_cast<std::size_t>(threads) || cut == deepestCut) {
            break;
        }
    }
    parts.resize(static_cast<std::size_t>(threads));
    for (Part& part : parts) {
        for (auto* values : {&part.centerX, &part.centerY, &part.centerZ, &part.radius}) {
            values->clear();
        }
        part.body.clear();
        part.node.clear();
        part.childBegin.clear();
        part.childCount.clear();
        part.depth = 0;
        part.innerAllBounding = true;
    }
    int count = static_cast<int>(subtrees.size());
    bool outOfMemory = false;
#pragma omp parallel num_threads(threads)
    {
        auto thread = static_cast<std::size_t>(omp_get_thread_num());
        Part& part = parts[thread];
        // Subtrees dealt out in turn, not on demand: which thread copies what then depends on
        // the tree alone, and so do the sizes the parts keep from build to build (on demand, a
        // thread that happened to take most subtrees once would keep room for them all).
#pragma omp for schedule(static, 1)
        for (int i = 0; i < count; ++i) {
            Subtree& subtree = subtrees[static_cast<std::size_t>(i)];
            try {
                // What copyChildren does for the node at the cut, its own entry aside.
                auto begin = static_cast<std::uint32_t>(part.radius.size());
                for (TreeNode* child : subtree.node->children) {
                    appendTo(part, child);
                }
                part.depth = std::max(part.depth, cut + 1);
                std::uint32_t at = begin;
                for (const TreeNode* child : subtree.node->children) {
                    copyInto(part, child, at++, cut + 1, part.depth);
                }
                subtree.part = thread;
                subtree.begin = begin;
                subtree.end = static_cast<std::uint32_t>(part.radius.size());
            } catch (const std::bad_alloc&) {
#pragma omp atomic write
                outOfMemory = true;
            }
        }
    }
    if (outOfMemory) {
        throw std::bad_alloc();
    }
    for (const Part& part : parts) {
        innerAllBounding = innerAllBounding && part.innerAllBounding;
    }
    std::size_t next = 0;
    std::vector<std::uint32_t> offsets;
    offsets.reserve(subtrees.size());
    layOutAbove(root, 0, 0, cut, next, offsets);
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
    for (int i = 0; i < count; ++i) {
        const Subtree& subtree = subtrees[static_cast<std::size_t>(i)];
        const Part& part = parts[subtree.part];
        std::uint32_t to = offsets[static_cast<std::size_t>(i)];
        std::uint32_t shift = to - subtree.begin;
        for (std::uint32_t k = subtree.begin; k < subtree.end; ++k, ++to) {
            centerX[to] = part.centerX[k];
            centerY[to] = part.centerY[k];
            centerZ[to] = part.centerZ[k];
            radius[to] = part.radius[k];
            body[to] = part.body[k];
            node[to] = part.node[k];
            std::uint32_t blockBegin = part.childBegin[k];
            childBegin[to] = blockBegin == leafMark ? leafMark : blockBegin + shift;
            childCount[to] = part.childCount[k];
        }
    }
#endif
}

void QuerySnapshot::queryFrustum(const Frustum& frustum, BodyList& bodies, int threads) const {
    // The planes cannot change during the query, so they are read once.
    Plane planes[6];
    for (int i = 0; i < 6; ++i) {
        planes[i] = *frustum.getPlane(i);
    }
    auto outside = [&planes](const Vector3& c, float r) {
        for (const Plane& plane : planes) {
            if (sphereOutsidePlane(plane, c, r)) {
                return true;
            }
        }
        return false;
    };
    auto visitInto = [&](std::uint32_t slot, auto& out) {
#ifdef SPHERES_COUNT_VISITS
        ++frustumNodeVisits;
#endif
        if (!isLeaf(slot)) {
            return !outside(center(slot), radius[slot]);
        }
        // Leaves are tested with the body's present sphere, read now. The bodies lie anywhere in
        // memory: that of the leaf a few slots on (most leaves sit together in blocks) is
        // fetched meanwhile.
        if (slot + 4 < used) {
            __builtin_prefetch(body[slot + 4]);
        }
        Body* leafBody = body[slot];
        float r = leafBody->getRadius();
        Vector3 p = leafBody->getPosition();
        if (!outside(p, r)) {
            out.push_back(leafBody);
        }
        return false;
    };
#if defined(_OPENMP) && !defined(SPHERES_COUNT_VISITS)
    if (threads > 1) {
        std::vector<Body*> found;
        walkOnThreads(threads, visitInto, found);
        bodies.insert(bodies.end(), found.begin(), found.end());
        return;
    }
#else
    (void)threads;
#endif
    auto visit = [&](std::uint32_t slot) { return visitInto(slot, bodies); };
    walk(0, 1, visit);
}

template <class Visit>
void QuerySnapshot::walkOnThreads([[maybe_unused]] int threads, [[maybe_unused]] Visit& visit,
                                  [[maybe_unused]] std::vector<Body*>& out) const {
#ifdef _OPENMP
    // The walk above the cut, in order: the leaves it reports, and the nodes at the cut it
    // enters, whose subtrees are walked on the threads.
    struct Item {
        std::uint32_t slot;
        bool below;
    };
    std::vector<Item> items;
    constexpr std::size_t deepestCut = 3;
    std::size_t cut = 1;
    for (;; ++cut) {
        items.clear();
        std::size_t entered = 0;
        std::vector<Body*> reported;
        auto top = [&](auto& self, std::uint32_t begin, std::uint32_t count,
                       std::size_t level) -> void {
            for (std::uint32_t slot = begin; slot < begin + count; ++slot) {
                std::size_t before = reported.size();
                if (visit(slot, reported) && !isLeaf(slot)) {
                    if (level == cut) {
                        items.push_back(Item{slot, true});
                        ++entered;
                    } else {
                        self(self, childBegin[slot], childCount[slot], level + 1);
                    }
                } else if (reported.size() > before) {
                    items.push_back(Item{slot, false});
                }
            }
        };
        top(top, 0, 1, 0);
        if (entered >= 4 * static_cast<std::size_t>(threads) || cut == deepestCut) {
            break;
        }
    }
    std::vector<std::vector<Body*>> found(items.size());
    int count = static_cast<int>(items.size());
    bool outOfMemory = false;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
    for (int i = 0; i < count; ++i) {
        const Item& item = items[static_cast<std::size_t>(i)];
        std::vector<Body*>& into = found[static_cast<std::size_t>(i)];
        try {
            if (!item.below) {
                into.push_back(body[item.slot]);
                continue;
            }
            auto below = [&](std::uint32_t slot) { return visit(slot, into); };
            walk(childBegin[item.slot], childCount[item.slot], below);
        } catch (const std::bad_alloc&) {
#pragma omp atomic write
            outOfMemory = true;
        }
    }
    if (outOfMemory) {
        throw std::bad_alloc();
    }
    for (const std::vector<Body*>& part : found) {
        out.insert(out.end(), part.begin(), part.end());
    }
#endif
}

template <class Reach> void QuerySnapshot::sweep(const SweptSphere& sweep, Reach& reach) const {
    SweepArrays arrays{centerX.data(),   centerY.data(),    centerZ.data(),    radius.data(),
                       leafWords.data(), childBegin.data(), childCount.data(), body.data()};
    // One pending chunk per level: on the stack for any tree of reasonable depth.
    constexpr std::size_t kept = 32;
    Pending local[kept];
    std::vector<Pending> deep(depth + 1 > kept ? depth + 1 : 0);
    Pending* stack = deep.empty() ? local : deep.data();
#if SPHERES_AVX2_PATH
    if (vectorised) {
        sweepAvx2(arrays, sweep, stack, reach);
        return;
    }
#endif
    sweepPortable(arrays, sweep, stack, reach);
}

void QuerySnapshot::querySweep(const SweptSphere& sweep, BodyList& bodies, TimeList& times) const {
    auto reach = [&](std::uint32_t slot) {
        Body* other = body[slot];
        float t;
        if (sweep.contactTime(other, t)) {
            bodies.push_back(other);
            times.push_back(t);
        }
    };
    this->sweep(sweep, reach);
}

void QuerySnapshot::querySweep(const SweptSphere& sweep, std::vector<SweepReach>& reached) const {
    std::size_t begin = reached.size();
    reachSweep(sweep, reached);
    testReached(sweep, reached.data() + begin, reached.data() + reached.size());
}

void QuerySnapshot::reachSweep(const SweptSphere& sweep, std::vector<SweepReach>& reached) const {
    std::size_t begin = reached.size();
    auto reach = [&](std::uint32_t slot) { reached.push_back(SweepReach{slot, 0.0f, false}); };
    this->sweep(sweep, reach);
    // The leaves' bodies lie anywhere in memory: every line of each is fetched now, so that
    // their misses overlap one another and whatever runs before testReached.
    for (std::size_t k = begin; k < reached.size(); ++k) {
        fetchBody(body[reached[k].leaf]);
    }
}

void QuerySnapshot::testReached(const SweptSphere& sweep, SweepReach* first,
                                SweepReach* last) const {
    for (SweepReach* record = first; record != last; ++record) {
        // A verdict of no contact keeps the time 0 unless the test computed one.
        record->contact = sweep.contactTime(body[record->leaf], record->time);
    }
}

Placement QuerySnapshot::place(std::uint32_t slot, const Vector3& center, float radius) const {
    // The block feeds the rule a chunk at a time: the distances computed in one loop over the
    // copied centres, which the compiler vectorises, then offered in order; the rule reads a node
    // only for a child whose distance could count.
    return choosePlacement([&](auto&& offer) {
        constexpr std::uint32_t chunk = 32;
        float distances[chunk];
        std::uint32_t begin = childBegin[slot];
        for (std::uint32_t first = begin, end = begin + childCount[slot]; first < end;
             first += chunk) {
            std::uint32_t n = std::min(chunk, end - first);
            for (std::uint32_t k = 0; k < n; ++k) {
                distances[k] = distanceScore(center, radius, this->center(first + k));
            }
            for (std::uint32_t k = 0; k < n; ++k) {
                std::uint32_t at = first + k;
                offer(
                    node[at], distances[k], at,
                    [this, at] { return innerAllBounding ? !isLeaf(at) : isBounding(node[at]); },
                    [this, at] { return this->radius[at]; });
            }
        }
    });
}

bool QuerySnapshot::isBounding(const TreeNode* copied) {
    return (copied->flags & TreeNodeFlags::Bounding) != 0;
}

std::uint32_t QuerySnapshot::childSlot(std::uint32_t slot, const TreeNode* child) const {
    if (slot >= size() || isLeaf(slot)) {
        return noSlot;
    }
    std::uint32_t begin = childBegin[slot];
    for (std::uint32_t k = begin; k < begin + childCount[slot]; ++k) {
        if (node[k] == child) {
            return k;
        }
    }
    return noSlot;
}

std::size_t QuerySnapshot::memoryBytes() const {
    return (centerX.capacity() + centerY.capacity() + centerZ.capacity() + radius.capacity()) *
               sizeof(float) +
           body.capacity() * sizeof(Body*) + node.capacity() * sizeof(TreeNode*) +
           (childBegin.capacity() + childCount.capacity()) * sizeof(std::uint32_t) +
           leafWords.capacity() * sizeof(std::uint64_t);
}

namespace {

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

} // namespace

bool QuerySnapshot::operator==(const QuerySnapshot& other) const {
    // Only what the last build wrote counts: the arrays' lengths beyond it depend on the
    // builds before. The floats are compared bit for bit, the spare spheres included.
    if (used != other.used || depth != other.depth || leafWords != other.leafWords) {
        return false;
    }
    auto same = [](const auto& a, const auto& b, std::size_t count) {
        return count == 0 || std::memcmp(a.data(), b.data(), count * sizeof(a[0])) == 0;
    };
    // A snapshot never built has no spare spheres either.
    std::size_t floats = used == 0 ? 0 : used + 8;
    return same(centerX, other.centerX, floats) && same(centerY, other.centerY, floats) &&
           same(centerZ, other.centerZ, floats) && same(radius, other.radius, floats) &&
           same(body, other.body, used) && same(node, other.node, used) &&
           same(childBegin, other.childBegin, used) && same(childCount, other.childCount, used);
}

std::string QuerySnapshot::compareWith(const TreeNode* root) const {
    // The tree and the copy side by side, block by block, from the root's one-node block.
    std::vector<std::pair<const TreeNode*, std::uint32_t>> pending{{root, 0u}};
    std::size_t visited = 0;
    while (!pending.empty()) {
        auto [node, slot] = pending.back();
        pending.pop_back();
        ++visited;
        std::string where = "snapshot node " + std::to_string(slot) + ": ";
        if (slot >= size()) {
            return where + "missing";
        }
        bool leaf = node->flags & TreeNodeFlags::Leaf;
        bool leafBit = leafWords[slot >> 6] >> (slot & 63u) & 1u;
        if (leaf != isLeaf(slot) || leaf != leafBit || (leaf && node->body != body[slot]) ||
            node != this->node[slot]) {
            return where + "leaf flag or body differs from the tree's";
        }
        if (!sameBits(node->center.x, centerX[slot]) || !sameBits(node->center.y, centerY[slot]) ||
            !sameBits(node->center.z, centerZ[slot]) || !sameBits(node->radius, radius[slot])) {
            return where + "sphere differs from the tree's";
        }
        if (leaf) {
            continue;
        }
        if (node->children.size() != childCount[slot]) {
            return where + "child count differs from the tree's";
        }
        std::uint32_t next = childBegin[slot];
        for (const TreeNode* child : node->children) {
            pending.emplace_back(child, next++);
        }
    }
    if (visited != size()) {
        return "snapshot holds " + std::to_string(size()) + " nodes, the tree " +
               std::to_string(visited);
    }
    return "";
}

} // namespace spheres
