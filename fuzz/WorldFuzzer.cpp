// Reads its input as operations on a World and its tree (a byte, modulo their number, then the
// operands; past the end every read gives zero) and checks after each one the tree's invariants
// and that every alive body is finite. Byte 0 chooses the mode. Even: values within the ranges the
// program can produce, the full checker, and divide-by-zero and invalid traps, so a NaN fails
// where it is born. Odd: any finite float, bodies that overflow must die, and a body can be given
// a NaN or an infinity, after which it must be dead or finite from the World's next step on.
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

class WorldFuzzer {
public:
    WorldFuzzer(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    void run() {
        // SPHERES_FUZZ_TRACE lists the operations an input decodes to.
        bool trace = std::getenv("SPHERES_FUZZ_TRACE") != nullptr;
        for (count = 0; offset < size; ++count) {
            const auto& [opName, apply] = operations[byte() % std::size(operations)];
            name = opName;
            if (trace) {
                std::fprintf(stderr, "%d: %s\n", count, name);
            }
            (this->*apply)();
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

    void step() {
        world->step(read(Dt));
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
    /// Bodies given a non-finite value and not stepped by the World since.
    std::set<Body*> poisoned;
    std::unique_ptr<World> world = std::make_unique<World>();

    using Operation = std::pair<const char*, void (WorldFuzzer::*)()>;
    static const Operation operations[15];
};

// The order fixes each operation's byte; fuzz/make_corpus.py writes the same codes.
#define OPERATION(name)                                                                            \
    { #name, &WorldFuzzer::name }
const WorldFuzzer::Operation WorldFuzzer::operations[15] = {
    OPERATION(addBody),     OPERATION(addAgain),       OPERATION(removeBody),
    OPERATION(step),        OPERATION(setPosition),    OPERATION(recall),
    OPERATION(queryRay),    OPERATION(querySegment),   OPERATION(queryFrustum),
    OPERATION(querySphere), OPERATION(querySweep),     OPERATION(frame),
    OPERATION(poison),      OPERATION(treeMembership), OPERATION(removeNode)};
#undef OPERATION

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
