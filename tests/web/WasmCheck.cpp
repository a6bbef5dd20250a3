// The core's pinned results, computed by whichever build runs this: built natively and as
// WebAssembly (run by Node), the two must print the same lines. The golden hash is the position
// hash of the program's scene after 200 frames that the brute-force frame test pins; the spread
// hash covers the default spread of every scene size sphere-sim accepts, the one value the
// scene takes from a C library function (cbrt) that the browser's C library computes otherwise.
#include "sim/SimOptions.h"
#include "tests/support/TestSupport.h"

#include <cinttypes>
#include <cstdio>

int main() {
    World world;
    std::vector<Body*> bodies = makeStartScene(world, 100);
    MatrixFrustum frustum = defaultCameraFrustum();
    std::uint64_t contacts = 0;
    for (int frame = 1; frame <= 200; ++frame) {
        BodyList visible;
        contacts += static_cast<std::uint64_t>(
            simulateFrame(world, bodies.data(), 100, true, 0.1f, frustum, visible).contacts);
    }
    std::uint64_t hash = hashFloats({});
    for (Body* body : bodies) {
        Vector3 p = body->getPosition();
        hash = hashFloats({p.x, p.y, p.z}, hash);
    }
    std::printf("golden 0x%016" PRIx64 " contacts %" PRIu64 "\n", hash, contacts);

    std::uint64_t spreads = hashFloats({});
    for (int n = 1; n <= maxBodies; ++n) {
        spreads = hashFloats({defaultSpread(n)}, spreads);
    }
    std::printf("spread 0x%016" PRIx64 " for 1 to %d bodies\n", spreads, maxBodies);
    for (Body* body : bodies) {
        delete static_cast<SphereBody*>(body);
    }
    return 0;
}
