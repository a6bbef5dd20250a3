// Reads its input as operations on a World and its tree and checks after each one the tree's
// invariants and that every alive body is finite. Byte 0 chooses the mode. Even: values within
// the ranges the program can produce, the full checker, and divide-by-zero and invalid traps, so
// a NaN fails where it is born. Odd: any finite float, and a body can be given a NaN or an
// infinity, after which it must be dead or finite from the World's next step on. Then come
// operations: a byte whose low five bits are the code, then the operands; past the end every
// read gives zero.
#include "body/BodyList.h"
#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <fenv.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace spheres;

namespace {

// Enough for a tree several levels deep with shared nodes; an input still runs in about 1 ms.
constexpr std::size_t maxBodies = 48;

/// The kinds of operand, each with the range the program can produce for it.
enum Kind { Radius, Mass, Dt, Position, Velocity, Acceleration, Query, QueryRadius, Matrix, Unit };
constexpr float ranges[][2] = {
    {0.0f, 1049.0f}, {0.0f, 999.0f}, {0.0f, 1.0f}, {-5000.0f, 5000.0f}, {-500.0f, 500.0f},
    {-50.0f, 50.0f}, {-6e5f, 6e5f},  {0.0f, 6e5f}, {-2.0f, 2.0f},       {-1.0f, 1.0f}};

/// Any-float operands a selector byte below 32 picks: boundaries of the tree (the root radius and
/// each level's) and of float arithmetic, so mutations find them at once.
constexpr float boundaries[32] = {
    0.0f,     -0.0f,    1.0f,    -1.0f,  FLT_MAX,   -FLT_MAX,   FLT_MIN,     -FLT_MIN,
    1.4e-45f, 0.001f,   0.1f,    1e-9f,  524288.0f, -524288.0f, 524287.0f,   131072.0f,
    32768.0f, 8192.0f,  2048.0f, 512.0f, 1000.0f,   1e9f,       -1e9f,       1.8446744e19f,
    3.4e38f,  -3.4e38f, 1.7e38f, 1e30f,  -1e30f,    1e15f,      16777216.0f, 0.5f};

/// An operation byte modulo this is its code (its index in operations[], fixed for good). Never
/// changes: that would re-encode every input.
constexpr unsigned codeSlots = 32;

class WorldFuzzer {
public:
    WorldFuzzer(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    void run() {
        // SPHERES_FUZZ_TRACE lists the operations an input decodes to, each with the tree's
        // size after it.
        bool trace = std::getenv("SPHERES_FUZZ_TRACE") != nullptr;
        for (count = 0; offset < size; ++count) {
            unsigned code = byte() % codeSlots;
            const Operation* operation = code < std::size(operations) ? &operations[code] : nullptr;
            name = operation == nullptr ? "none" : operation->name;
            if (operation != nullptr) {
                (this->*operation->apply)();
            }
            if (trace) {
                const QuerySphereTree& tree = world->getTree();
                std::fprintf(stderr, "%d: %s -> %zu nodes, %zu leaves, %zu retired\n", count, name,
                             tree.countNodes(), tree.getLeaves().size(),
                             tree.getRetiredLeaves().size());
            }
            check();
        }
    }

private:
    std::uint8_t byte() { return offset < size ? data[offset++] : 0; }

    unsigned u16() {
        std::uint8_t bytes[2] = {byte(), byte()}; // a braced list is read in order
        return bytes[0] << 8 | bytes[1];
    }

    /// Range mode: lo + (hi - lo) * k / 65535 for the next two bytes k. Any-float mode: a
    /// boundary, or four raw bytes with infinities and NaNs folded onto the largest finite value.
    float read(Kind kind) {
        if (!anyFloat) {
            // No division: packed into vector lanes, one would divide a spare lane by zero.
            float k = static_cast<float>(u16()) * (1.0f / 65535.0f);
            const float* range = ranges[kind];
            return k >= 1.0f ? range[1] : range[0] + (range[1] - range[0]) * k;
        }
        if (std::uint8_t selector = byte(); selector < 32) {
            return boundaries[selector];
        }
        std::uint8_t raw[4] = {byte(), byte(), byte(), byte()};
        float value;
        std::memcpy(&value, raw, sizeof value);
        return std::isfinite(value) ? value : std::signbit(value) ? -FLT_MAX : FLT_MAX;
    }

    Vector3 vector(Kind kind) { return Vector3{read(kind), read(kind), read(kind)}; }

    /// An owned body chosen by the next byte; null when there is none yet.
    Body* pickBody() {
        std::uint8_t k = byte();
        return bodies.empty() ? nullptr : bodies[k % bodies.size()].get();
    }

    void addBody() {
        float radius = read(Radius);
        Vector3 position = vector(Position), velocity = vector(Velocity);
        Vector3 acceleration = vector(Acceleration);
        float mass = read(Mass);
        if (bodies.size() < maxBodies) {
            Body& body = *bodies.emplace_back(std::make_unique<SphereBody>(position, radius));
            body.setVelocity(velocity);
            body.setAcceleration(acceleration);
            body.setMass(mass);
            world->addBody(&body);
        }
    }

    /// A body already in the World gets a second leaf; a removed or dead one comes back.
    void addAgain() {
        if (Body* body = pickBody()) {
            world->addBody(body);
        }
    }

    /// An owned body, or past their number one the World has never seen.
    void removeBody() {
        std::uint8_t k = byte();
        SphereBody stranger(Vector3::zero, 1.0f);
        world->removeBody(k < bodies.size() ? bodies[k].get() : &stranger);
    }

    void step() { stepWorld(read(Dt)); }

    void stepWorld(float dt) {
        world->step(dt);
        for (Body* body : world->getBodies()) {
            poisoned.erase(body); // stepped, so held to the rules again
        }
    }

    void setPosition() {
        Body* body = pickBody();
        Vector3 position = (byte() & 1) ? Vector3::zero : vector(Position);
        if (body != nullptr) {
            body->setPosition(position);
        }
    }

    /// The "b" key: the first bodies back to the origin.
    void recall() {
        for (std::size_t i = 0; i < 3 && i < bodies.size(); ++i) {
            bodies[i]->setPosition(Vector3::zero);
        }
    }

    void queryRay() {
        Vector3 origin = vector(Query);
        Vector3 direction = vector(Unit);
        if (!anyFloat) { // the query's contract: a unit direction
            direction = direction.lengthSquared() > 0.0f ? direction.normalized() : Vector3::unitX;
        }
        BodyList hits;
        TimeList times;
        world->queryRay(origin, direction, hits, times);
        checkParallel(hits, times);
    }

    void querySegment() {
        Vector3 start = vector(Query);
        Vector3 end = (byte() & 1) ? start : vector(Query); // half the time of length zero
        BodyList hits;
        TimeList times;
        world->querySegment(start, end, hits, times);
        checkParallel(hits, times);
    }

    void queryFrustum() {
        float matrices[32]; // projection, then modelview; std::generate fills them in order
        std::generate(std::begin(matrices), std::end(matrices), [this] { return read(Matrix); });
        BodyList hits;
        world->queryFrustum(MatrixFrustum(matrices, matrices + 16), hits);
    }

    void querySphere() {
        Vector3 center = vector(Query);
        BodyList hits;
        world->querySphere(center, read(QueryRadius), hits);
    }

    void querySweep() {
        if (Body* body = pickBody()) {
            sweepAndResolve(body);
        }
    }

    /// The program's frame: a step, then every body's earliest contact, dead bodies included.
    void frame() {
        step();
        for (const auto& body : bodies) {
            sweepAndResolve(body.get());
        }
    }

    /// Any-float mode: a NaN or an infinity in a body's position, velocity or acceleration.
    void poison() {
        std::uint8_t k = byte(), what = byte();
        if (!anyFloat || bodies.empty()) {
            return;
        }
        static const std::pair<Vector3 (Body::*)(), void (Body::*)(const Vector3&)> fields[3] = {
            {&Body::getPosition, &Body::setPosition},
            {&Body::getVelocity, &Body::setVelocity},
            {&Body::getAcceleration, &Body::setAcceleration}};
        Body* body = bodies[k % bodies.size()].get();
        const auto& [get, set] = fields[what / 9 % 3];
        Vector3 v = (body->*get)();
        float* component[3] = {&v.x, &v.y, &v.z};
        *component[what / 3 % 3] = what % 3 == 0 ? NAN : what % 3 == 1 ? INFINITY : -INFINITY;
        (body->*set)(v);
        poisoned.insert(body);
    }

    /// The tree's own insert and remove, behind the World's back.
    void treeMembership() {
        bool insert = byte() & 1;
        if (Body* body = pickBody()) {
            insert ? world->getTree().insert(body) : world->getTree().remove(body);
        }
    }

    /// Any node reachable from the root, numbered depth first: root, bounding node or leaf.
    void removeNode() {
        std::vector<TreeNode*> nodes{world->getTree().getRoot()};
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            nodes.insert(nodes.begin() + i + 1, nodes[i]->children.begin(),
                         nodes[i]->children.end());
        }
        world->getTree().removeNode(nodes[u16() % nodes.size()]);
    }

    /// removeNode on a leaf the tree no longer refreshes: escaped (still attached) or stranded.
    void removeRetiredLeaf() {
        std::uint8_t k = byte();
        const TreeNodeList& retired = world->getTree().getRetiredLeaves();
        if (!retired.empty()) {
            world->getTree().removeNode(*std::next(retired.begin(), k % retired.size()));
        }
    }

    /// Cycles of a body added, lost to the tree and removed: it leaves the root, its radius
    /// turns negative, or (any-float mode) its position turns NaN. Each removal must free the
    /// body's one leaf.
    void churn() {
        float radius = read(Radius);
        Vector3 position = vector(Position);
        std::uint8_t how = byte();
        int way = how / 4 % 3 == 2 && !anyFloat ? 0 : how / 4 % 3; // a NaN would trap in range mode
        for (int cycle = 0; cycle <= how % 4; ++cycle) {
            churnBody.setAlive(true);
            churnBody.setRadius(radius);
            churnBody.setPosition(position);
            churnBody.setPosition(position);
            churnBody.setVelocity(Vector3::zero);
            churnBody.setAcceleration(Vector3::zero);
            world->addBody(&churnBody);
            stepWorld(0.1f);
            if (way == 1) {
                churnBody.setRadius(-FLT_MAX);
            } else {
                churnBody.setPosition(
                    Vector3(way == 0 ? 2.0f * QuerySphereTree::rootRadius : NAN, 0.0f, 0.0f));
            }
            stepWorld(0.1f);
            // Leaving the root may not kill it (a node made for a body placed far outside
            // can still hold it); the other two ways always do.
            if (way != 0 && churnBody.isAlive()) {
                fail("a body with a negative radius or a NaN position is alive");
            }
            world->removeBody(&churnBody);
            const SphereTree& tree = world->getTree();
            auto ofChurnBody = [this](const TreeNode* leaf) { return leaf->body == &churnBody; };
            if (std::any_of(tree.getLeaves().begin(), tree.getLeaves().end(), ofChurnBody) ||
                std::any_of(tree.getRetiredLeaves().begin(), tree.getRetiredLeaves().end(),
                            ofChurnBody)) {
                fail("a removed body still has a leaf");
            }
        }
    }

    void sweepAndResolve(Body* body) {
        BodyList hits;
        TimeList times;
        world->querySweep(body, hits, times);
        checkParallel(hits, times);
        resolveEarliestContact(body, hits, times);
    }

    /// Callers such as resolveEarliestContact read the two lists in step.
    void checkParallel(const BodyList& hits, const TimeList& times) {
        if (hits.size() != times.size()) {
            fail("a query gave a different number of times than of hits");
        }
    }

    void check() {
        TreeCheckMode mode = anyFloat ? TreeCheckMode::FiniteOnly : TreeCheckMode::Full;
        if (std::string problem = checkTree(world->getTree(), mode); !problem.empty()) {
            fail(problem);
        }
        for (const auto& b : bodies) {
            if (b->isAlive() && poisoned.count(b.get()) == 0 &&
                !(isFinite(b->getPosition()) && isFinite(b->getPreviousPosition()) &&
                  isFinite(b->getVelocity()) && isFinite(b->getAcceleration()))) {
                fail("an alive body is not finite");
            }
        }
    }

    [[noreturn]] void fail(const std::string& what) {
        std::fprintf(stderr, "%s mode, operation %d (%s): %s\n", anyFloat ? "any-float" : "range",
                     count, name, what.c_str());
        std::abort();
    }

    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset = 0;
    bool anyFloat = byte() & 1;
    int count = 0;         // operations run so far
    const char* name = ""; // of the operation being run
    // Declared before the World, so they outlive it: the tree's leaves point at them.
    std::vector<std::unique_ptr<SphereBody>> bodies;
    SphereBody churnBody{Vector3::zero, 1.0f};
    /// Bodies given a non-finite value and not stepped by the World since.
    std::set<Body*> poisoned;
    std::unique_ptr<World> world = std::make_unique<World>();

    struct Operation {
        const char* name;
        void (WorldFuzzer::*apply)();
    };
#define OPERATION(name)                                                                            \
    { #name, &WorldFuzzer::name }
    /// Indexed by code: an operation's code is its position here, for good (fuzz/make_corpus.py
    /// writes the same numbers), so a new operation goes at the end. Codes past the end do
    /// nothing.
    static constexpr Operation operations[] = {
        OPERATION(addBody),      OPERATION(addAgain),
        OPERATION(removeBody),   OPERATION(step),
        OPERATION(setPosition),  OPERATION(recall),
        OPERATION(queryRay),     OPERATION(querySegment),
        OPERATION(queryFrustum), OPERATION(querySphere),
        OPERATION(querySweep),   OPERATION(frame),
        OPERATION(poison),       OPERATION(treeMembership),
        OPERATION(removeNode),   OPERATION(removeRetiredLeaf),
        OPERATION(churn)};
#undef OPERATION
    static_assert(std::size(operations) <= codeSlots, "every operation needs a code");
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || !(data[0] & 1)) {
        feenableexcept(FE_DIVBYZERO | FE_INVALID);
    }
    WorldFuzzer(data, size).run();
    fedisableexcept(FE_DIVBYZERO | FE_INVALID);
    feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
