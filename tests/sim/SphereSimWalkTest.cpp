// sphere-sim's traces through every --walk, the batched one at 1, 2 and 5 threads: byte for byte
// the literal walk's, on the program's scene and on every other --scene.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

/// FNV-1a of the trace that sphere-sim writes with the given options.
std::uint64_t traceHash(const std::string& options) {
    std::string command = SPHERE_SIM_PATH " --quiet --trace /dev/stdout " + options;
    std::FILE* trace = popen(command.c_str(), "r");
    std::uint64_t hash = 14695981039346656037ull;
    for (int c; (c = std::getc(trace)) != EOF;) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    EXPECT_EQ(pclose(trace), 0) << command;
    return hash;
}

// A difference in any frame carries on into the later ones, so every tenth frame is traced (the
// trace's formatting would cost more than the frames).
void expectSameTraces(int bodies, int frames, const std::string& name = "program") {
    SCOPED_TRACE("scene " + name);
    std::string scene = "--every 10 --scene " + name + " --bodies " + std::to_string(bodies) +
                        " --frames " + std::to_string(frames);
    std::uint64_t literal = traceHash(scene + " --walk literal");
    EXPECT_EQ(traceHash(scene + " --walk snapshot"), literal);
    for (int threads : {1, 2, 5}) {
        EXPECT_EQ(traceHash(scene + " --walk batched --threads " + std::to_string(threads)),
                  literal)
            << threads << " threads";
    }
}

} // namespace

TEST(SphereSimWalkTest, HundredBodiesFor2000Frames) {
    expectSameTraces(100, 2000);
}

TEST(SphereSimWalkTest, SlowThousandBodiesFor300Frames) {
    expectSameTraces(1000, 300);
}

TEST(SphereSimWalkTest, SlowTenThousandBodiesFor30Frames) {
    expectSameTraces(10000, 30);
}

TEST(SphereSimWalkTest, SlowEverySceneTwelveThousandBodiesFor20Frames) {
    for (const char* name : {"sizes", "clusters", "giants", "shell"}) {
        expectSameTraces(12000, 20, name);
    }
}
