// A program outside the project that embeds the installed core: two bodies meet head-on, the
// earliest contact of each is resolved every step, and they leave with each other's velocity.
#include "body/BodyList.h"
#include "body/CollisionResponse.h"
#include "body/SphereBody.h"
#include "math/Vector3.h"
#include "spheretree/DebugDraw.h"
#include "spheretree/QuerySphereTree.h"
#include "world/World.h"

#include <cstdio>

using namespace spheres;

// Counts the spheres the tree draws; a window program would draw each one.
class CountingDraw final : public DebugDraw {
public:
    void drawBody(const Vector3&, float) override { ++spheres; }
    int spheres = 0;
};

int main() {
    // Bodies outlive the World: they are declared first, so they are destroyed last.
    SphereBody left(Vector3(-10.0f, 0.0f, 0.0f), 1.0f);
    SphereBody right(Vector3(10.0f, 0.0f, 0.0f), 1.0f);
    left.setVelocity(Vector3(2.0f, 0.0f, 0.0f));
    right.setVelocity(Vector3(-2.0f, 0.0f, 0.0f));

    World world;
    world.addBody(&left);
    world.addBody(&right);
    Body* bodies[] = {&left, &right};
    BodyList hits;
    TimeList times;
    int contacts = 0;
    for (int step = 0; step < 10; ++step) {
        world.step(1.0f);
        for (Body* body : bodies) {
            world.querySweep(body, hits, times);
            contacts += resolveEarliestContact(body, hits, times) ? 1 : 0;
            hits.clear();
            times.clear();
        }
    }

    // Both are found again around their meeting point, now flying apart.
    BodyList near;
    world.querySphere(Vector3(0.0f, 0.0f, 0.0f), 50.0f, near);
    CountingDraw drawer;
    world.getTree().setDebugDraw(&drawer);
    world.draw();

    Vector3 vl = left.getVelocity();
    Vector3 vr = right.getVelocity();
    std::printf("contacts %d, found %zu, drawn %d, left (%g %g %g), right (%g %g %g)\n", contacts,
                near.size(), drawer.spheres, vl.x, vl.y, vl.z, vr.x, vr.y, vr.z);
    bool exchanged = vl.x == -2.0f && vr.x == 2.0f && vl.y == 0.0f && vr.y == 0.0f &&
                     vl.z == 0.0f && vr.z == 0.0f;
    return exchanged && contacts >= 1 && near.size() == 2 && drawer.spheres == 2 ? 0 : 1;
}
