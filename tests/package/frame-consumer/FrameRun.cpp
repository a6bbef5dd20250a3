// Runs the programs' frame through the installed package on a scene built here: two rows of
// bodies closing head-on, each pair exchanging velocities. The batched frame on two threads must
// give the literal walk's frames exactly.
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "body/SphereBody.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <cstdio>
#include <deque>
#include <vector>

using namespace spheres;

namespace {

struct Rows {
    std::deque<SphereBody> bodies; // before the World, which points at them
    std::deque<Body*> order;
    World world;

    Rows() {
        for (int i = 0; i < 16; ++i) {
            for (float side : {-1.0f, 1.0f}) {
                bodies.emplace_back(Vector3(30.0f * side, 10.0f * i, 0.0f), 2.0f);
                bodies.back().setVelocity(Vector3(-20.0f * side, 0.0f, 0.0f));
                world.addBody(&bodies.back());
                order.push_back(&bodies.back());
            }
        }
        world.step(1.0e-9f);
    }
};

} // namespace

int main() {
    float projection[16], modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    MatrixFrustum frustum(projection, modelview);

    Rows literal, batched;
    FrameSettings literalWalk, twoThreads;
    literalWalk.walk = FrameWalk::Literal;
    twoThreads.threads = 2;
    twoThreads.bodiesPerThread = 8; // batched on two threads even with 32 bodies
    int contacts = 0, drawn = 0;
    bool same = true;
    for (int frame = 0; frame < 40; ++frame) {
        std::vector<Body*> a(literal.order.begin(), literal.order.end());
        std::vector<Body*> b(batched.order.begin(), batched.order.end());
        BodyList visibleA, visibleB;
        FrameOutcome x =
            simulateFrame(literal.world, a.data(), 32, true, 0.1f, frustum, visibleA, literalWalk);
        FrameOutcome y =
            simulateFrame(batched.world, b.data(), 32, true, 0.1f, frustum, visibleB, twoThreads);
        same = same && x.contacts == y.contacts && x.drawn == y.drawn;
        for (std::size_t i = 0; i < literal.bodies.size(); ++i) {
            Vector3 p = literal.bodies[i].getPosition(), q = batched.bodies[i].getPosition();
            same = same && p.x == q.x && p.y == q.y && p.z == q.z;
        }
        contacts += x.contacts;
        drawn = x.drawn;
    }
    // Every pair met once and turned back: the left body of each now moves left.
    bool exchanged = true;
    for (std::size_t i = 0; i < literal.bodies.size(); ++i) {
        float expected = i % 2 == 0 ? -20.0f : 20.0f;
        exchanged = exchanged && literal.bodies[i].getVelocity().x == expected;
    }
    std::printf("frames 40, contacts %d, drawn %d, batched %s\n", contacts, drawn,
                same ? "same" : "DIFFERENT");
    return same && exchanged && contacts >= 16 && drawn == 32 ? 0 : 1;
}
