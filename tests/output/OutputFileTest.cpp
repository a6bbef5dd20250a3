// The output library in process: a file is replaced whole, with its permissions, or left as it
// was; every float of a trace row reads back as the same float.
#include "output/OutputFile.h"

#include "output/CsvFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cfloat>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

fs::path freshFolder() {
    fs::path folder = fs::path(OUTPUT_TEST_WORK_DIR) /
                      testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(OutputFileTest, ATargetIsReplacedWholeOnCommitAndOtherwiseLeftAsItWas) {
    enum Ending { commit, discard, destroy };
    for (Ending ending : {commit, discard, destroy}) {
        SCOPED_TRACE(ending);
        fs::path folder = freshFolder(), path = folder / "keep.csv";
        std::ofstream(path) << "old\n";
        ASSERT_EQ(chmod(path.c_str(), 0640), 0);
        {
            OutputFile out;
            ASSERT_TRUE(out.open(path)) << out.error();
            out.print("new %d\n", 1);
            out.flush();
            // Meanwhile the rows go to a temporary file beside the target.
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
            EXPECT_EQ(readFile(path), "old\n");
            if (ending == commit) {
                EXPECT_TRUE(out.commit());
            } else if (ending == discard) {
                out.discard();
            }
        }
        EXPECT_EQ(readFile(path), ending == commit ? "new 1\n" : "old\n");
        EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
    }
}

TEST(OutputFileTest, TraceRowsReadBackAsTheSameFloats) {
    // Random bit patterns of finite floats, denormals among them, and the extremes.
    SceneRandom random(7);
    std::vector<float> values = {FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_TRUE_MIN, -0.0f, 0.1f};
    while (values.size() < 6000) {
        std::uint32_t bits = static_cast<std::uint32_t>(random.next()) << 17 ^
                             static_cast<std::uint32_t>(random.next()) << 2 ^
                             static_cast<std::uint32_t>(random.next());
        // Finite: not every exponent bit set (a comparison would trap on a signalling NaN).
        if ((bits >> 23 & 0xFFu) != 0xFFu) {
            float value;
            std::memcpy(&value, &bits, sizeof value);
            values.push_back(value);
        }
    }
    std::vector<SphereBody> bodies;
    std::vector<Body*> pointers;
    for (std::size_t i = 0; i < values.size(); i += 6) {
        bodies.push_back(makeBody(Vector3::zero, Vector3(values[i], values[i + 1], values[i + 2]),
                                  1.0f, Vector3(values[i + 3], values[i + 4], values[i + 5])));
    }
    for (SphereBody& body : bodies) {
        pointers.push_back(&body);
    }
    fs::path path = freshFolder() / "trace.csv";
    OutputFile out;
    ASSERT_TRUE(out.open(path));
    writeTraceRows(out, 3, pointers.data(), static_cast<int>(pointers.size()));
    ASSERT_TRUE(out.commit());

    std::istringstream rows(readFile(path));
    std::size_t read = 0;
    for (std::string row; std::getline(rows, row); ++read) {
        int frame = 0, index = 0, alive = 0;
        float back[6];
        ASSERT_EQ(std::sscanf(row.c_str(), "%d,%d,%f,%f,%f,%f,%f,%f,%d", &frame, &index, &back[0],
                              &back[1], &back[2], &back[3], &back[4], &back[5], &alive),
                  9);
        EXPECT_EQ(std::make_tuple(frame, index, alive), std::make_tuple(3, int(read), 1));
        EXPECT_EQ(std::memcmp(back, &values[6 * read], sizeof back), 0) << row;
    }
    EXPECT_EQ(read, bodies.size());
}

} // namespace
