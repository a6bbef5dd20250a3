// A window-less run of the program's frames, for the end-to-end tests: prints what the window
// program would print, or checks a recorded output against it.
//
//   sphere-frame-replay [--frames N] [--keys KEYS] [--match FILE [--keys-by F]]
//
// Without --match it prints "Spheres Drawn: N" for every frame in which at least one body is in
// view, with the camera keys KEYS applied before the first frame. With --match it reads the
// window program's output from FILE and checks that it is what the same frames print when the
// camera keys KEYS land one after the other at some moments between frames, all of them before
// frame F (default 1000), so that the later frames show the final camera.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/FrameLogic.h"
#include "app/KeyBindings.h"
#include "app/ScenePopulation.h"
#include "frustum/MatrixFrustum.h"
#include "world/World.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct CameraState {
    float tx, ty, tz, rx, ry, rz;
};

CameraState currentCamera() {
    return {cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY, cameraRotZ};
}

bool isCameraKey(char key) {
    return std::strchr("qazQAZwsxWSX", key) != nullptr;
}

void usage(std::ostream& out) {
    out << "usage: sphere-frame-replay [--frames N] [--keys KEYS] [--match FILE [--keys-by F]]\n"
           "  --frames N    frames to run (default 4000)\n"
           "  --keys KEYS   camera keys (any of qazQAZwsxWSX), pressed in order\n"
           "  --match FILE  check FILE against the frames instead of printing them\n"
           "  --keys-by F   with --match: every key landed before frame F (default 1000)\n";
}

bool parseCount(const char* text, int& value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 1000000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool readCounts(const char* path, std::vector<int>& counts) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "sphere-frame-replay: cannot read " << path << "\n";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        int value = 0;
        const char* prefix = "Spheres Drawn: ";
        if (line.rfind(prefix, 0) != 0 || !parseCount(line.c_str() + std::strlen(prefix), value)) {
            std::cerr << path << ":" << number << ": not a count line: " << line << "\n";
            return false;
        }
        counts.push_back(value);
    }
    return true;
}

MatrixFrustum frustumOf(const CameraState& c, const float projection[16]) {
    float modelview[16];
    cameraModelviewMatrix(c.tx, c.ty, c.tz, c.rx, c.ry, c.rz, modelview);
    return MatrixFrustum(projection, modelview);
}

} // namespace

int main(int argc, char** argv) {
    int frames = 4000;
    std::string keys;
    const char* matchPath = nullptr;
    int keysBy = 1000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            return 0;
        } else if (arg == "--frames" && hasValue) {
            if (!parseCount(argv[++i], frames)) {
                std::cerr << "sphere-frame-replay: --frames needs a whole number 0..1000000\n";
                return 2;
            }
        } else if (arg == "--keys" && hasValue) {
            keys = argv[++i];
        } else if (arg == "--keys-by" && hasValue) {
            if (!parseCount(argv[++i], keysBy)) {
                std::cerr << "sphere-frame-replay: --keys-by needs a whole number 0..1000000\n";
                return 2;
            }
        } else if (arg == "--match" && hasValue) {
            matchPath = argv[++i];
        } else {
            std::cerr << "sphere-frame-replay: unknown or incomplete option " << arg << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    for (char key : keys) {
        if (!isCameraKey(key)) {
            std::cerr << "sphere-frame-replay: '" << key << "' is not a camera key\n";
            return 2;
        }
    }

    // The program's start-up, without the window.
    world = new World();
    std::vector<Body*> bodies = populateScene(*world, bodyCount, 1);
    bodyArray = bodies.data();
    world->step(1.0e-9f);
    registerKeyBindings();

    // Camera i is the camera after the first i keys.
    std::vector<CameraState> cameras{currentCamera()};
    for (char key : keys) {
        handleKey(static_cast<unsigned char>(key), 0, 0);
        cameras.push_back(currentCamera());
    }
    float projection[16];
    defaultProjectionMatrix(projection);

    if (matchPath == nullptr) {
        MatrixFrustum frustum = frustumOf(cameras.back(), projection);
        for (int f = 0; f < frames; ++f) {
            BodyList visible;
            FrameOutcome outcome = simulateFrame(*world, bodyArray, bodyCount, simulationRunning,
                                                 timeStep, frustum, visible);
            if (outcome.drawn >= 1) {
                std::printf("Spheres Drawn: %d\n", outcome.drawn);
            }
        }
        return 0;
    }

    std::vector<int> recorded;
    if (!readCounts(matchPath, recorded)) {
        return 2;
    }
    // Which (camera, lines consumed) pairs can explain the output so far. Keys only move the
    // camera, which changes what is counted but never the simulation, so one run of the scene
    // serves every camera. Between two frames any number of the remaining keys may land.
    std::vector<MatrixFrustum> frusta;
    for (const CameraState& c : cameras) {
        frusta.push_back(frustumOf(c, projection));
    }
    std::set<std::pair<std::size_t, std::size_t>> reachable{{0, 0}};
    std::size_t best = 0;
    for (int f = 0; f < frames && !reachable.empty(); ++f) {
        BodyList visible;
        simulateFrame(*world, bodyArray, bodyCount, simulationRunning, timeStep, frusta[0],
                      visible);
        std::vector<int> counts{static_cast<int>(visible.size())};
        for (std::size_t c = 1; c < frusta.size(); ++c) {
            visible.clear();
            world->queryFrustum(frusta[c], visible);
            counts.push_back(static_cast<int>(visible.size()));
        }
        std::set<std::pair<std::size_t, std::size_t>> next;
        for (const auto& [camera, consumed] : reachable) {
            // From frame keysBy on, only the final camera remains.
            std::size_t first = f + 1 >= keysBy ? std::max(camera, cameras.size() - 1) : camera;
            for (std::size_t c = first; c < cameras.size(); ++c) {
                if (counts[c] == 0) {
                    next.insert({c, consumed});
                } else if (consumed < recorded.size() && recorded[consumed] == counts[c]) {
                    next.insert({c, consumed + 1});
                    best = std::max(best, consumed + 1);
                }
            }
        }
        reachable = std::move(next);
    }
    if (reachable.count({cameras.size() - 1, recorded.size()}) != 0) {
        std::cout << "match: " << recorded.size() << " lines over " << frames << " frames, "
                  << keys.size() << " keys\n";
        return 0;
    }
    std::cerr << "sphere-frame-replay: no order of the keys explains the output; the first " << best
              << " of " << recorded.size() << " lines can be explained\n";
    return 1;
}
