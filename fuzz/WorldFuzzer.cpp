// Reads its input as a sequence of operations on a World and its tree and, after every one,
// checks the tree's invariants and that every alive body is finite.
//
// Byte 0 chooses the mode. Even: every value lies within the ranges the program can produce
// (radius 0..1049, positions within 5000, speeds within 500, masses 0..999, dt 0..1), the full
// checker applies and the divide-by-zero and invalid traps are on, so a NaN born anywhere fails
// at once. Odd: every value is any finite float; then the tree must stay well-formed and every
// node and alive body finite, and bodies whose values overflow must die. In this mode a body can
// also be given a NaN or infinite position, velocity or acceleration directly: from the next
// step on it must be dead (or finite again), and the tree must not carry the value.
#include "FuzzInput.h"
#include "body/BodyList.h"
#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "spheretree/TreeChecker.h"
#include "world/World.h"

#include <fenv.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <list>
#include <memory>
#include <string>
#include <vector>

namespace {

// Small enough that one input runs in well under a millisecond, large enough for a tree several
// levels deep with shared nodes.
constexpr std::size_t maxBodies = 48;
constexpr int maxOperations = 4000;

enum Operation : std::uint8_t {
    AddBody,
    AddAgain,
    RemoveBody,
    Step,
    SetPosition,
    RecallFirstBodies,
    QueryRay,
    QuerySegment,
    QueryFrustum,
    QuerySphere,
    QuerySweep,
    Frame,
    Poison,
    TreeMembership,
    RemoveNode,
    OperationCount
};

const char* operationName(int op) {
    static const char* names[OperationCount] = {
        "addBody",    "addAgain", "removeBody",   "step",           "setPosition",
        "recall",     "queryRay", "querySegment", "queryFrustum",   "querySphere",
        "querySweep", "frame",    "poison",       "treeMembership", "removeNode",
    };
    return names[op];
}

class WorldFuzzer {
public:
    WorldFuzzer(const std::uint8_t* data, std::size_t size) : in(data, size) {
        anyFloat = in.byte() & 1;
        // Set SPHERES_FUZZ_TRACE to see the operations an input decodes to.
        trace = std::getenv("SPHERES_FUZZ_TRACE") != nullptr;
        world = std::make_unique<World>();
    }

    ~WorldFuzzer() {
        // The tree's leaves point at the bodies, so the World goes first.
        world.reset();
    }

    void run() {
        for (int count = 0; count < maxOperations && !in.atEnd(); ++count) {
            int op = in.byte() % OperationCount;
            if (trace) {
                std::fprintf(stderr, "%d: %s\n", count, operationName(op));
            }
            apply(op);
            check(op, count);
        }
    }

private:
    float radius() { return anyFloat ? in.anyFinite() : in.range(0.0f, 1049.0f); }
    float mass() { return anyFloat ? in.anyFinite() : in.range(0.0f, 999.0f); }
    float dt() { return anyFloat ? in.anyFinite() : in.range(0.0f, 1.0f); }

    Vector3 vector(float bound) {
        if (anyFloat) {
            float x = in.anyFinite();
            float y = in.anyFinite();
            return Vector3(x, y, in.anyFinite());
        }
        float x = in.range(-bound, bound);
        float y = in.range(-bound, bound);
        return Vector3(x, y, in.range(-bound, bound));
    }

    /// A unit vector in range mode (the queries' contract), any vector otherwise.
    Vector3 direction() {
        Vector3 d = vector(1.0f);
        if (anyFloat) {
            return d;
        }
        return d.lengthSquared() > 0.0f ? d.normalized() : Vector3::unitX;
    }

    /// An owned body chosen by the next byte; null when there is none yet.
    Body* pickBody() {
        std::uint8_t k = in.byte();
        return bodies.empty() ? nullptr : bodies[k % bodies.size()].get();
    }

    void apply(int op) {
        switch (op) {
        case AddBody: {
            float r = radius();
            Vector3 position = vector(5000.0f);
            Vector3 velocity = vector(500.0f);
            Vector3 acceleration = vector(50.0f);
            float m = mass();
            if (bodies.size() >= maxBodies) {
                return;
            }
            bodies.push_back(std::make_unique<SphereBody>(position, r));
            poisoned.push_back(false);
            Body* body = bodies.back().get();
            body->setVelocity(velocity);
            body->setAcceleration(acceleration);
            body->setMass(m);
            world->addBody(body);
            return;
        }
        case AddAgain:
            // A body already in the World gets a second leaf; a removed or dead one comes back.
            if (Body* body = pickBody()) {
                world->addBody(body);
            }
            return;
        case RemoveBody: {
            std::uint8_t k = in.byte();
            if (k < bodies.size()) {
                world->removeBody(bodies[k].get());
            } else {
                // A body the World has never seen.
                SphereBody stranger(Vector3::zero, 1.0f);
                world->removeBody(&stranger);
            }
            return;
        }
        case Step:
            world->step(dt());
            afterStep();
            return;
        case SetPosition: {
            Body* body = pickBody();
            bool toOrigin = in.byte() & 1;
            Vector3 position = toOrigin ? Vector3::zero : vector(5000.0f);
            if (body != nullptr) {
                body->setPosition(position);
            }
            return;
        }
        case RecallFirstBodies:
            for (std::size_t i = 0; i < 3 && i < bodies.size(); ++i) {
                bodies[i]->setPosition(Vector3::zero);
            }
            return;
        case QueryRay: {
            Vector3 origin = vector(600000.0f);
            Vector3 unit = direction();
            BodyList hits;
            TimeList times;
            world->queryRay(origin, unit, hits, times);
            checkResults(op, hits, times);
            return;
        }
        case QuerySegment: {
            Vector3 start = vector(600000.0f);
            // Half the time the segment ends where it starts.
            Vector3 end = (in.byte() & 1) ? start : vector(600000.0f);
            BodyList hits;
            TimeList times;
            world->querySegment(start, end, hits, times);
            checkResults(op, hits, times);
            return;
        }
        case QueryFrustum: {
            float projection[16];
            float modelview[16];
            for (float& value : projection) {
                value = anyFloat ? in.anyFinite() : in.range(-2.0f, 2.0f);
            }
            for (float& value : modelview) {
                value = anyFloat ? in.anyFinite() : in.range(-2.0f, 2.0f);
            }
            MatrixFrustum frustum(projection, modelview);
            BodyList hits;
            world->queryFrustum(frustum, hits);
            TimeList none(hits.size(), 0.0f);
            checkResults(op, hits, none);
            return;
        }
        case QuerySphere: {
            Vector3 center = vector(600000.0f);
            float r = anyFloat ? in.anyFinite() : in.range(0.0f, 600000.0f);
            BodyList hits;
            world->querySphere(center, r, hits);
            TimeList none(hits.size(), 0.0f);
            checkResults(op, hits, none);
            return;
        }
        case QuerySweep:
            if (Body* body = pickBody()) {
                sweepAndResolve(body);
            }
            return;
        case Frame:
            // The program's frame: a step, then every body's earliest contact in creation order,
            // dead bodies included.
            world->step(dt());
            afterStep();
            for (const auto& body : bodies) {
                sweepAndResolve(body.get());
            }
            return;
        case Poison:
            poison();
            return;
        case TreeMembership: {
            // The tree's own insert and remove, behind the World's back.
            bool insert = in.byte() & 1;
            if (Body* body = pickBody()) {
                if (insert) {
                    world->getTree().insert(body);
                } else {
                    world->getTree().remove(body);
                }
            }
            return;
        }
        case RemoveNode: {
            // Any node reachable from the root, in depth-first order: the root itself, a
            // bounding node with children, an attached or an escaped leaf.
            std::vector<TreeNode*> nodes;
            collect(world->getTree().getRoot(), nodes);
            world->getTree().removeNode(nodes[in.u16() % nodes.size()]);
            return;
        }
        }
    }

    /// Gives a body a NaN or an infinity (any-float mode only): in one component of its
    /// position, velocity or acceleration.
    void poison() {
        std::uint8_t k = in.byte();
        std::uint8_t what = in.byte();
        if (!anyFloat || bodies.empty()) {
            return;
        }
        std::size_t index = k % bodies.size();
        Body* body = bodies[index].get();
        const float values[3] = {std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
        float value = values[what % 3];
        int component = what / 3 % 3;
        auto with = [&](Vector3 v) {
            (component == 0 ? v.x : component == 1 ? v.y : v.z) = value;
            return v;
        };
        switch (what / 9 % 3) {
        case 0:
            body->setPosition(with(body->getPosition()));
            break;
        case 1:
            body->setVelocity(with(body->getVelocity()));
            break;
        default:
            body->setAcceleration(with(body->getAcceleration()));
            break;
        }
        poisoned[index] = true;
    }

    /// A poisoned body that the World has just stepped is held to the rules again.
    void afterStep() {
        const std::list<Body*>& simulated = world->getBodies();
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            if (poisoned[i] &&
                std::find(simulated.begin(), simulated.end(), bodies[i].get()) != simulated.end()) {
                poisoned[i] = false;
            }
        }
    }

    static void collect(TreeNode* node, std::vector<TreeNode*>& nodes) {
        nodes.push_back(node);
        for (TreeNode* child : node->children) {
            collect(child, nodes);
        }
    }

    void sweepAndResolve(Body* body) {
        BodyList hits;
        TimeList times;
        world->querySweep(body, hits, times);
        checkResults(QuerySweep, hits, times);
        resolveEarliestContact(body, hits, times);
    }

    void checkResults(int op, const BodyList& hits, const TimeList& times) {
        if (hits.size() != times.size()) {
            fail(op, "result lists are not parallel");
        }
        for (Body* hit : hits) {
            bool owned = false;
            for (const auto& body : bodies) {
                owned = owned || body.get() == hit;
            }
            if (!owned) {
                fail(op, "a query reported a body that was never added");
            }
        }
    }

    void check(int op, int count) {
        std::string problem =
            checkTree(world->getTree(), anyFloat ? TreeCheckMode::FiniteOnly : TreeCheckMode::Full);
        if (!problem.empty()) {
            std::fprintf(stderr, "after operation %d:\n", count);
            fail(op, problem.c_str());
        }
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            Body* body = bodies[i].get();
            if (body->isAlive() && !poisoned[i] &&
                !(isFinite(body->getPosition()) && isFinite(body->getPreviousPosition()) &&
                  isFinite(body->getVelocity()) && isFinite(body->getAcceleration()))) {
                Vector3 p = body->getPosition();
                Vector3 q = body->getPreviousPosition();
                Vector3 v = body->getVelocity();
                Vector3 a = body->getAcceleration();
                std::fprintf(stderr,
                             "after operation %d: body %zu at (%g, %g, %g) from (%g, %g, %g), "
                             "velocity (%g, %g, %g), acceleration (%g, %g, %g)\n",
                             count, i, p.x, p.y, p.z, q.x, q.y, q.z, v.x, v.y, v.z, a.x, a.y, a.z);
                fail(op, "an alive body is not finite");
            }
        }
    }

    [[noreturn]] void fail(int op, const char* what) {
        std::fprintf(stderr, "%s mode, %s: %s\n", anyFloat ? "any-float" : "range",
                     operationName(op), what);
        std::abort();
    }

    FuzzInput in;
    bool anyFloat = false;
    bool trace = false;
    // Declared before the World so that they outlive it.
    std::vector<std::unique_ptr<SphereBody>> bodies;
    /// Bodies given a non-finite value and not stepped by the World since.
    std::vector<bool> poisoned;
    std::unique_ptr<World> world;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    bool rangeMode = size == 0 || !(data[0] & 1);
    if (rangeMode) {
        feenableexcept(FE_DIVBYZERO | FE_INVALID);
    }
    {
        WorldFuzzer fuzzer(data, size);
        fuzzer.run();
    }
    if (rangeMode) {
        fedisableexcept(FE_DIVBYZERO | FE_INVALID);
    }
    feclearexcept(FE_ALL_EXCEPT);
    return 0;
}
