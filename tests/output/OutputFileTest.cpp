// The output library in process: a file is replaced whole, with its permissions, or left as it
// was; every float of a trace row reads back as the same float.
#include "output/OutputFile.h"

#include "output/CsvFile.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cfloat>
#include <cstring>
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

// Each fsync of this program: what the file it was handed held, and what the target did.
struct SyncCall {
    std::string synced, target;
};
std::vector<SyncCall> syncCalls;
fs::path syncTarget;
int syncError = 0;

} // namespace

extern "C" int fsync(int descriptor) {
    syncCalls.push_back(
        {readFile("/proc/self/fd/" + std::to_string(descriptor)), readFile(syncTarget)});
    if (syncError != 0) {
        errno = syncError;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fsync, descriptor));
}

namespace {

fs::path freshFolder() {
    fs::path folder = fs::path(OUTPUT_TEST_WORK_DIR) /
                      testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Replaced whole, synced before the rename, with the permissions, owner and group of the file it
// replaces (the owner where the process may give it: as root); a hard link keeps the old
// contents. Not committed, or failing to sync, it leaves the target as it was.
TEST(OutputFileTest, ATargetIsReplacedWholeOnCommitAndOtherwiseLeftAsItWas) {
    enum Ending { commit, failedSync, discard, destroy };
    bool root = geteuid() == 0;
    for (mode_t mode : {0640, 02751, 0444, 0}) {
        for (Ending ending : {commit, failedSync, discard, destroy}) {
            SCOPED_TRACE(std::to_string(mode) + " " + std::to_string(ending));
            fs::path folder = freshFolder(), path = folder / "keep.csv";
            std::ofstream(path) << "old\n";
            ASSERT_EQ(link(path.c_str(), (folder / "link.csv").c_str()), 0);
            ASSERT_EQ((root ? chown(path.c_str(), 1234, 5678) : 0) + chmod(path.c_str(), mode), 0);
            struct stat before, after;
            ASSERT_EQ(stat(path.c_str(), &before), 0);
            ASSERT_EQ(before.st_mode & 07777, mode);
            syncCalls.clear();
            syncTarget = path;
            syncError = ending == failedSync ? EIO : 0;
            {
                OutputFile out;
                ASSERT_TRUE(out.open(path)) << out.error();
                out.print("new %d\n", 1);
                out.flush();
                // Meanwhile the rows go to a temporary file beside the target.
                EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3);
                EXPECT_EQ(readFile(path), "old\n");
                if (ending == commit || ending == failedSync) {
                    EXPECT_EQ(out.commit(), ending == commit) << out.error();
                } else if (ending == discard) {
                    out.discard();
                }
            }
            syncError = 0;
            EXPECT_EQ(readFile(path), ending == commit ? "new 1\n" : "old\n");
            EXPECT_EQ(readFile(folder / "link.csv"), "old\n");
            ASSERT_EQ(stat(path.c_str(), &after), 0);
            EXPECT_EQ(std::make_tuple(after.st_mode, after.st_uid, after.st_gid),
                      std::make_tuple(before.st_mode, before.st_uid, before.st_gid));
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
            if (ending == commit || ending == failedSync) {
                ASSERT_EQ(syncCalls.size(), 1u);
                EXPECT_EQ(syncCalls[0].synced, "new 1\n");
                EXPECT_EQ(syncCalls[0].target, "old\n") << "renamed before it was synced";
            }
        }
    }
}

// Any name the folder allows can be written: where NAME.tmp-XXXXXX would be too long, the
// temporary file's name is cut short.
TEST(OutputFileTest, NamesUpToTheLongestAllowedAreWritten) {
    fs::path folder = freshFolder();
    for (std::size_t length : {1, 244, 245, 255}) {
        fs::path path = folder / std::string(length, 'n');
        OutputFile out;
        ASSERT_TRUE(out.open(path)) << length << ": " << out.error();
        out.print("%zu\n", length);
        EXPECT_TRUE(out.commit()) << out.error();
        EXPECT_EQ(readFile(path), std::to_string(length) + "\n");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 4);
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
