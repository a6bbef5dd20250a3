// sphere-sim run as a child process: what it does to files when an option is bad, a signal
// arrives, a pipe closes, a write fails or memory runs out; and tools/plot.sh's own checks.
#include "app/Version.h"
#include "sim/RunStats.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// AddressSanitizer reserves far more address space than a memory limit leaves.
#if defined(__SANITIZE_ADDRESS__)
#define SIM_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIM_TEST_SANITIZED 1
#endif
#endif

namespace {

std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh empty folder named after the running test; the child runs inside it.
std::string workFolder() {
    std::filesystem::path folder = std::filesystem::path(SIM_TEST_WORK_DIR) /
                                   testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::set<std::string> listFolder(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename());
    }
    return names;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream text(line);
    return {std::istream_iterator<std::string>(text), {}};
}

// A running sphere-sim in folder: its standard output is a pipe, its standard error a file
// beside the folder. limit runs in the child before exec.
struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string errPath;

    Child(const std::string& folder, const std::string& arguments,
          const std::function<void()>& limit = {}) {
        errPath = folder + ".stderr";
        int pipeEnds[2];
        EXPECT_EQ(pipe(pipeEnds), 0);
        std::vector<std::string> argv = words(arguments);
        argv.insert(argv.begin(), SPHERE_SIM_PATH);
        pid = fork();
        if (pid == 0) {
            std::vector<char*> raw;
            for (std::string& word : argv) {
                raw.push_back(&word[0]);
            }
            raw.push_back(nullptr);
            if (chdir(folder.c_str()) != 0 || !freopen(errPath.c_str(), "w", stderr)) {
                _exit(126);
            }
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
            if (limit) {
                limit();
            }
            execv(raw[0], raw.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        out = pipeEnds[0];
    }

    // Reads standard output until the end, or only until a first whole line when firstLine.
    std::string read(bool firstLine = false) {
        std::string text;
        char chunk[65536];
        for (ssize_t got; (got = ::read(out, chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<std::size_t>(got));
            if (firstLine && text.find('\n') != std::string::npos) {
                break;
            }
        }
        return text;
    }

    // The exit status; a death by signal shows as -signal.
    int wait() {
        if (out >= 0) {
            close(out);
            out = -1;
        }
        int raw = 0;
        waitpid(pid, &raw, 0);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    }

    std::string err() const { return readFile(errPath); }
};

int runSim(const std::string& folder, const std::string& arguments, std::string* out = nullptr,
           const std::function<void()>& limit = {}) {
    Child child(folder, arguments, limit);
    std::string text = child.read();
    if (out != nullptr) {
        *out = text;
    }
    return child.wait();
}

const std::string precious = "precious\n";

TEST(SimOutputTest, BadOutputsAndRepeatedOptionsLeaveEveryFileUntouched) {
    std::string folder = workFolder();
    writeFile(folder + "/keep.csv", precious);
    ASSERT_EQ(symlink("keep.csv", (folder + "/link.csv").c_str()), 0);
    ASSERT_EQ(link((folder + "/keep.csv").c_str(), (folder + "/hard.csv").c_str()), 0);
    ASSERT_EQ(mkdir((folder + "/dir").c_str(), 0755), 0);
    std::set<std::string> before = listFolder(folder);
    const char* rows[][2] = {
        {"--trace keep.csv --frames-out /proc/x.csv", "--frames-out"},
        {"--trace keep.csv --frames-out dir", std::strerror(EISDIR)},
        {"--trace keep.csv --frames-out ./keep.csv", "--trace file too"},
        {"--trace keep.csv --frames-out link.csv", "--trace file too"},
        {"--trace hard.csv --frames-out keep.csv", "--trace file too"},
        {"--trace new.csv --frames-out dir/../new.csv", "--trace file too"},
        {"--trace keep.csv --trace other.csv", "--trace is given twice"},
        {"--quiet --quiet --trace keep.csv", "--quiet is given twice"},
    };
    for (auto& row : rows) {
        std::string arguments = row[0];
        SCOPED_TRACE(arguments);
        writeFile(folder + "/keep.csv", precious);
        Child child(folder, arguments + " --frames 3 --print-drawn");
        EXPECT_EQ(child.read(), "");
        EXPECT_EQ(child.wait(), 2);
        EXPECT_NE(child.err().find(row[1]), std::string::npos) << child.err();
        EXPECT_EQ(readFile(folder + "/keep.csv"), precious);
        EXPECT_EQ(listFolder(folder), before);
    }
    // A character device may take both tables.
    EXPECT_EQ(runSim(folder, "--frames 3 --trace /dev/null --frames-out /dev/null"), 0);
}

TEST(SimOutputTest, SignalsAndClosedPipesStopAtAFramesEndAndReplaceNothing) {
    for (int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        SCOPED_TRACE(strsignal(signal));
        std::string folder = workFolder();
        writeFile(folder + "/keep.csv", precious);
        // The trace goes to the pipe directly, the frames table to a file it would replace.
        Child child(folder, "--bodies 50 --frames 2000000000 --trace /dev/stdout "
                            "--frames-out keep.csv --keys 2000000001:b");
        std::string rows = child.read(true);
        ASSERT_EQ(rows.substr(0, rows.find('\n')), "frame,index,px,py,pz,vx,vy,vz,alive");
        if (signal == SIGPIPE) {
            close(child.out);
            child.out = -1;
        } else {
            kill(child.pid, signal);
            rows += child.read();
        }
        EXPECT_EQ(child.wait(), 128 + signal);
        EXPECT_EQ(readFile(folder + "/keep.csv"), precious);
        EXPECT_EQ(listFolder(folder), std::set<std::string>{"keep.csv"});
        std::string err = child.err();
        EXPECT_NE(err.find("warning: --keys"), std::string::npos) << err;
        EXPECT_NE(err.find(" frames, "), std::string::npos) << "no summary: " << err;
        if (signal != SIGPIPE) {
            // Whole frames only: a header and 50 rows per frame, each row complete.
            std::size_t lines =
                static_cast<std::size_t>(std::count(rows.begin(), rows.end(), '\n'));
            EXPECT_EQ(rows.back(), '\n');
            EXPECT_EQ((lines - 1) % 50, 0u) << lines << " lines";
        }
    }
}

TEST(SimOutputTest, AFifoGetsEachFrameAsItEnds) {
    std::string folder = workFolder();
    ASSERT_EQ(mkfifo((folder + "/rows.fifo").c_str(), 0600), 0);
    // The trace fills the pipe of standard output, which is never read, and holds the run up a
    // few frames in: the rows of the frames finished by then must have reached the FIFO.
    Child child(folder, "--frames 2000000000 --every 1 --trace /dev/stdout --frames-out rows.fifo "
                        "--quiet --keys 2000000001:b");
    int fifo = open((folder + "/rows.fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    std::string rows;
    pollfd ready{fifo, POLLIN, 0};
    // A long wait only so that a failure ends the test instead of hanging it.
    while (std::count(rows.begin(), rows.end(), '\n') < 4 && poll(&ready, 1, 60000) > 0) {
        char chunk[4096];
        ssize_t got = ::read(fifo, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        rows.append(chunk, static_cast<std::size_t>(got));
    }
    close(fifo);
    EXPECT_EQ(child.wait(), 128 + SIGPIPE);
    std::istringstream table(rows);
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(line, "frame,drawn,alive,contacts");
    for (int frame = 1; frame <= 3; ++frame) {
        ASSERT_TRUE(std::getline(table, line)) << "frame " << frame << " never reached the FIFO";
        EXPECT_EQ(line.substr(0, line.find(',')), std::to_string(frame));
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 3) << line;
    }
}

TEST(SimOutputTest, WriteErrorsAndMemoryExhaustionStopTheRunAndReplaceNothing) {
    std::string folder = workFolder();
    writeFile(folder + "/keep.csv", precious);
    // esc commits the outputs, but a failed write still decides the status.
    EXPECT_EQ(runSim(folder, "--keys 5:esc --trace /dev/full --quiet"), 3);

    Child full(folder, "--frames 20000 --trace /dev/full");
    full.read();
    EXPECT_EQ(full.wait(), 3);
    std::string err = full.err();
    EXPECT_NE(err.find(std::strerror(ENOSPC)), std::string::npos) << err;
    std::vector<std::string> summary = words(err.substr(err.find("sphere-sim: ", 1)));
    EXPECT_LT(std::stoi(summary.at(1)), 1000) << "the run went on after the failed write";

    auto smallFiles = [] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    Child tooLarge(folder, "--frames 1000 --trace keep.csv --quiet", smallFiles);
    tooLarge.read();
    EXPECT_EQ(tooLarge.wait(), 3);
    EXPECT_NE(tooLarge.err().find(std::strerror(EFBIG)), std::string::npos) << tooLarge.err();
    EXPECT_EQ(readFile(folder + "/keep.csv"), precious);
    EXPECT_EQ(listFolder(folder), std::set<std::string>{"keep.csv"});

#ifndef SIM_TEST_SANITIZED
    // A million bodies do not fit in 200 MB of address space.
    auto littleMemory = [] {
        rlimit limit{200 << 20, 200 << 20};
        setrlimit(RLIMIT_AS, &limit);
    };
    EXPECT_EQ(runSim(folder, "--bodies 1000000 --trace keep.csv --quiet", nullptr, littleMemory),
              3);
    EXPECT_EQ(readFile(folder + "/keep.csv"), precious);
    EXPECT_EQ(listFolder(folder), std::set<std::string>{"keep.csv"});
#endif
}

TEST(SimOutputTest, VersionTimingsAndWarnings) {
    std::string folder = workFolder();
    std::string out;
    EXPECT_EQ(runSim(folder, "--version", &out), 0);
    EXPECT_EQ(out, std::string("sphere-sim ") + spheresVersion() + "\n");

    ASSERT_EQ(runSim(folder, "--frames 4 --timings --frames-out /dev/stdout --quiet", &out), 0);
    std::istringstream table(out);
    std::string line;
    for (int rows = 0; std::getline(table, line); ++rows) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
        EXPECT_EQ(rows == 0, line == "frame,drawn,alive,contacts,ms") << line;
    }
    ASSERT_EQ(runSim(folder, "--frames 4 --frames-out /dev/stdout --quiet", &out), 0);
    EXPECT_EQ(out.substr(0, out.find('\n')), "frame,drawn,alive,contacts");

    // Only a spread that reaches past the root sphere is worth a warning.
    for (const char* spread : {"1", "100"}) {
        Child child(folder, std::string("--frames 1 --quiet --spread ") + spread);
        child.read();
        EXPECT_EQ(child.wait(), 0);
        EXPECT_EQ(child.err().find("outside the root sphere") != std::string::npos,
                  spread == std::string("100"))
            << child.err();
    }
}

TEST(SimOutputTest, ProgressLineFitsTheTerminal) {
    for (int columns = 1; columns <= 160; ++columns) {
        for (int done : {0, 7, 300}) {
            std::string line = progressLine(columns, done, 300, done * 0.7, 1000000);
            EXPECT_LT(line.size(), static_cast<std::size_t>(std::max(columns, 1))) << columns;
            if (columns >= 60) {
                EXPECT_EQ(line.find('['), 0u) << line;
                EXPECT_NE(line.find(std::to_string(done) + "/300 frames"), std::string::npos);
            }
        }
    }
}

TEST(SimOutputTest, PlotScriptChecksItsOutputBeforeGnuplotRuns) {
    std::string folder = workFolder();
    std::string plot = std::string(SPHERES_SOURCE_DIR) + "/tools/plot.sh";
    writeFile(folder + "/frames.csv", "frame,drawn,alive,contacts\n1,100,100,1\n2,99,100,0\n");
    std::string out = folder + ".out";
    EXPECT_EQ(std::system(("bash " + plot + " --help >" + out).c_str()), 0);
    EXPECT_NE(readFile(out).find("tools/plot.sh frames"), std::string::npos);
    for (const std::string& target : {std::string("/nonexistent/x.png"), folder}) {
        int raw = std::system(
            ("bash " + plot + " frames " + folder + "/frames.csv " + target + " >" + out).c_str());
        EXPECT_EQ(WEXITSTATUS(raw), 2) << target;
        EXPECT_EQ(readFile(out), "") << "the chart's bytes went to standard output";
    }
    // The benchmark charts are bench/chart.sh's: asked of this script, they are refused by name.
    int raw = std::system(("bash " + plot + " bench " + folder + "/frames.csv " + folder +
                           "/bench.png >" + out + " 2>&1")
                              .c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 2);
    EXPECT_NE(readFile(out).find("bench/chart.sh"), std::string::npos) << readFile(out);
    if (std::system("command -v gnuplot >/dev/null") == 0) {
        std::string png = folder + "/frames.png";
        ASSERT_EQ(std::system(
                      ("bash " + plot + " frames " + folder + "/frames.csv " + png + " >/dev/null")
                          .c_str()),
                  0);
        EXPECT_EQ(readFile(png).substr(1, 3), "PNG");
        EXPECT_EQ(listFolder(folder), (std::set<std::string>{"frames.csv", "frames.png"}));
    }
}

} // namespace
