// sphere-sim run as a child process: what it does to files when an option is bad, a signal
// arrives, a pipe closes, a write fails or memory runs out; and tools/plot.sh's own checks.
#include "app/Version.h"
#include "sim/RunStats.h"
#include "tests/sim/SimTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

using namespace spheres;
namespace fs = std::filesystem;

// AddressSanitizer reserves far more address space than a memory limit leaves.
#if defined(__SANITIZE_ADDRESS__)
#define SIM_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIM_TEST_SANITIZED 1
#endif
#endif

namespace {

using testing::IsSubstring;
const std::string precious = "precious\n";

// A fresh folder named after the running test, holding only keep.csv; the child runs inside it.
std::string workFolder() {
    std::filesystem::path folder = std::filesystem::path(SIM_TEST_WORK_DIR) /
                                   testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "keep.csv", std::ios::binary) << precious;
    return folder;
}

// keep.csv as written, and the folder holding that many files in all.
void expectUntouched(const std::string& folder, long files = 1) {
    EXPECT_EQ(readFile(folder + "/keep.csv"), precious);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), files);
}

// sphere-sim started by the shell in folder after the shell commands in setup (limits): its
// standard output is a pipe, its standard error a file beside the folder. Unless live, it is run
// to its end.
struct Sim {
    std::FILE* pipe;
    pid_t pid = 0; // the shell's, which exec hands on
    int status = 0;
    std::string errPath, out, err;

    Sim(const std::string& folder, const std::string& arguments, const std::string& setup = "",
        bool live = false)
        : errPath(folder + ".stderr") {
        std::string command = "cd " + folder + " && echo $$ && " + setup +
                              " exec " SPHERE_SIM_PATH " " + arguments + " 2>" + errPath;
        pipe = popen(command.c_str(), "r");
        EXPECT_EQ(std::fscanf(pipe, "%d%*c", &pid), 1); // the pid line from echo
        if (!live) {
            finish();
        }
    }

    // Polls every 20 ms for up to 20 s until done() holds; false if it never did.
    template <class Done> static bool eventually(Done done) {
        for (int i = 0; i < 1000; ++i) {
            if (done()) {
                return true;
            }
            usleep(20000);
        }
        return false;
    }
    // Whether the run has ended (it stays a zombie for finish()); once 20 s have passed without
    // an end it is killed and false returned.
    bool endsSoon() {
        auto ended = [&] {
            siginfo_t info{};
            return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                   info.si_pid == pid;
        };
        return eventually(ended) || (kill(pid, SIGKILL), false);
    }
    // Whether the run has installed its handler of signal (in /proc's SigCgt mask).
    bool handles(int signal) const {
        std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
        std::string::size_type at = status.find("SigCgt:");
        return at != std::string::npos &&
               (std::stoull(status.substr(at + 7), nullptr, 16) >> (signal - 1) & 1) != 0;
    }

    // Reads the rest of standard output, or closes it unread, and waits for the exit status; a
    // death by signal shows as -signal.
    Sim& finish(bool readRest = true) {
        for (int c; readRest && (c = std::getc(pipe)) != EOF;) {
            out += static_cast<char>(c);
        }
        int raw = pclose(pipe);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
        err = readFile(errPath);
        return *this;
    }
};

TEST(SimOutputTest, BadOutputsAndRepeatedOptionsLeaveEveryFileUntouched) {
    std::string folder = workFolder();
    ASSERT_EQ(symlink("keep.csv", (folder + "/link.csv").c_str()), 0);
    ASSERT_EQ(link((folder + "/keep.csv").c_str(), (folder + "/hard.csv").c_str()), 0);
    ASSERT_EQ(mkdir((folder + "/dir").c_str(), 0755), 0);
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
        SCOPED_TRACE(row[0]);
        Sim run(folder, row[0] + std::string(" --frames 3 --print-drawn"));
        EXPECT_EQ(std::make_tuple(run.status, run.out), std::make_tuple(2, std::string()));
        EXPECT_PRED_FORMAT2(IsSubstring, row[1], run.err);
        expectUntouched(folder, 4); // keep.csv, link.csv, hard.csv and dir
    }
    // A character device may take both tables.
    EXPECT_EQ(Sim(folder, "--frames 3 --trace /dev/null --frames-out /dev/null").status, 0);
}

TEST(SimOutputTest, SignalsAndClosedPipesStopAtAFramesEndAndReplaceNothing) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(strsignal(signal));
        std::string folder = workFolder();
        // The trace goes to the pipe directly, the frames table to a file it would replace.
        Sim sim(folder,
                "--bodies 50 --frames 2000000000 --trace /dev/stdout "
                "--frames-out keep.csv --keys 2000000001:b",
                "", true);
        char header[64];
        ASSERT_STREQ(std::fgets(header, sizeof header, sim.pipe),
                     "frame,index,px,py,pz,vx,vy,vz,alive\n");
        if (signal != SIGPIPE) {
            kill(sim.pid, signal);
        }
        EXPECT_EQ(sim.finish(signal != SIGPIPE).status, 128 + signal);
        // Whole frames only: 50 rows per frame, each row complete.
        EXPECT_EQ(std::count(sim.out.begin(), sim.out.end(), '\n') % 50, 0) << sim.out.size();
        EXPECT_TRUE(sim.out.empty() || sim.out.back() == '\n');
        expectUntouched(folder);
        EXPECT_PRED_FORMAT2(IsSubstring, "warning: --keys", sim.err);
        EXPECT_PRED_FORMAT2(IsSubstring, " frames, ", sim.err) << "no summary";
    }
}

// Any other signal that ends a process by default (sent by another process, or a crash) ends the
// run by that signal, and its temporary file goes with it.
TEST(SimOutputTest, EverySignalThatEndsTheRunRemovesItsTemporaryFile) {
    std::vector<int> signals{SIGQUIT, SIGUSR1, SIGALRM, SIGXCPU, SIGXFSZ, SIGABRT, SIGRTMIN};
#ifndef SIM_TEST_SANITIZED
    // A sanitizer keeps its own SIGSEGV handler, which reports and exits instead.
    signals.push_back(SIGSEGV);
#endif
    for (int signal : signals) {
        SCOPED_TRACE(strsignal(signal));
        std::string folder = workFolder();
        Sim sim(folder, "--frames 2000000000 --trace keep.csv --quiet", "ulimit -c 0;", true);
        auto temporary = [&] { return std::distance(fs::directory_iterator(folder), {}) == 2; };
        ASSERT_TRUE(Sim::eventually(temporary));
        kill(sim.pid, signal);
        EXPECT_EQ(sim.finish().status, -signal);
        expectUntouched(folder);
    }
}

// A FIFO without a reader holds the run at its start, and the first stop signal ends it there.
TEST(SimOutputTest, AStopSignalEndsTheWaitForAFifosReader) {
    std::string folder = workFolder();
    ASSERT_EQ(mkfifo((folder + "/rows.fifo").c_str(), 0600), 0);
    Sim sim(folder, "--trace rows.fifo --quiet", "", true);
    ASSERT_TRUE(Sim::eventually([&] { return sim.handles(SIGTERM); }));
    kill(sim.pid, SIGTERM);
    EXPECT_TRUE(sim.endsSoon()) << "the run still waits for a reader";
    EXPECT_EQ(sim.finish().status, 128 + SIGTERM);
}

// A closed standard output does not hand its number to the trace, and a trace that is the
// file of standard error is refused before anything is written.
TEST(SimOutputTest, StandardStreamsNeverMixIntoAnOutput) {
    std::string folder = workFolder(), trace = "--frames 3 --quiet --trace keep.csv ";
    EXPECT_EQ(Sim(folder, trace).status, 0);
    std::string written = readFile(folder + "/keep.csv");
    EXPECT_EQ(Sim(folder, trace + "--print-drawn >&-").status, 0);
    EXPECT_TRUE(readFile(folder + "/keep.csv") == written) << "standard output's lines went in";
    Sim same(folder, "--trace " + folder + ".stderr");
    EXPECT_EQ(same.status, 2);
    EXPECT_PRED_FORMAT2(IsSubstring, "is standard error too", same.err);
}

// Both tables in FIFOs: each gets every frame's rows as the frame ends. The frames table's pipe
// holds one page, which the run fills a few hundred frames in and then waits; by then neither
// table's buffer of 1 MiB is full, so rows that reached a FIFO were sent at their frame's end.
TEST(SimOutputTest, AFifoGetsEachFrameAsItEnds) {
    std::string folder = workFolder();
    int readers[2];
    const char* names[2] = {"/trace.fifo", "/frames.fifo"};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(mkfifo((folder + names[i]).c_str(), 0600), 0);
        readers[i] = open((folder + names[i]).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fcntl(readers[i], F_SETPIPE_SZ, i == 0 ? 1 << 20 : 4096), 0);
    }
    Sim sim(folder,
            "--bodies 10 --frames 2000000000 --trace trace.fifo --frames-out frames.fifo --quiet",
            "", true);
    // Each FIFO is read until it has given four frames, and then left to fill.
    std::string tables[2];
    const long enough[2] = {41, 5};
    auto fourFrames = [&] {
        char bytes[65536];
        bool done = true;
        for (int i = 0; i < 2; ++i) {
            bool more = std::count(tables[i].begin(), tables[i].end(), '\n') < enough[i];
            for (ssize_t got; more && (got = read(readers[i], bytes, sizeof bytes)) > 0;) {
                tables[i].append(bytes, static_cast<std::size_t>(got));
            }
            done = done && std::count(tables[i].begin(), tables[i].end(), '\n') >= enough[i];
        }
        return done;
    };
    EXPECT_TRUE(Sim::eventually(fourFrames))
        << "the FIFOs got " << tables[0].size() << " and " << tables[1].size() << " bytes";
    close(readers[0]);
    close(readers[1]);
    EXPECT_EQ(sim.finish().status, 128 + SIGPIPE);
    // Whole frames of ten rows after the header, each frame written at once.
    EXPECT_EQ(std::count(tables[0].begin(), tables[0].end(), '\n') % 10, 1);
    EXPECT_EQ(tables[1].substr(0, 34), "frame,drawn,alive,contacts\n1,10,10");
}

TEST(SimOutputTest, WriteErrorsAndMemoryExhaustionStopTheRunAndReplaceNothing) {
    std::string folder = workFolder();
    // esc commits the outputs, but a failed write still decides the status.
    EXPECT_EQ(Sim(folder, "--keys 5:esc --trace /dev/full --quiet").status, 3);

    Sim full(folder, "--frames 20000 --trace /dev/full");
    EXPECT_EQ(full.status, 3);
    EXPECT_PRED_FORMAT2(IsSubstring, std::strerror(ENOSPC), full.err);
    std::vector<std::string> summary = words(full.err.substr(full.err.find("sphere-sim: ", 1)));
    EXPECT_LT(std::stoi(summary.at(1)), 1000) << "the run went on after the failed write";

    // Files of at most 64 KiB, with the limit's signal ignored by the caller or not.
    for (std::string setup : {"trap '' XFSZ; ulimit -f 128;", "ulimit -f 128;"}) {
        Sim tooLarge(folder, "--frames 1000 --trace keep.csv --quiet", setup);
        EXPECT_EQ(tooLarge.status, 3) << setup;
        EXPECT_PRED_FORMAT2(IsSubstring, std::strerror(EFBIG), tooLarge.err);
        expectUntouched(folder);
    }
#ifndef SIM_TEST_SANITIZED
    // A million bodies do not fit in 200 MB of address space.
    EXPECT_EQ(Sim(folder, "--bodies 1000000 --trace keep.csv --quiet", "ulimit -v 204800;").status,
              3);
    expectUntouched(folder);
    // In 32 MB the scene fits and three more 8 MB thread stacks do not: the frames run on the
    // threads that could start, with the same results.
    std::string run = "--bodies 20000 --frames 1 --quiet --threads ";
    Sim threads(folder, run + "4 --trace keep.csv", "ulimit -s 8192; ulimit -v 32768;");
    EXPECT_EQ(threads.status, 0);
    EXPECT_PRED_FORMAT2(IsSubstring, "threads could not start", threads.err);
    EXPECT_EQ(Sim(folder, run + "1 --trace one.csv").status, 0);
    EXPECT_EQ(readFile(folder + "/keep.csv"), readFile(folder + "/one.csv"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
#endif
}

TEST(SimOutputTest, VersionTimingsAndWarnings) {
    std::string folder = workFolder();
    Sim version(folder, "--version");
    EXPECT_EQ(std::make_tuple(version.status, version.out),
              std::make_tuple(0, std::string("sphere-sim ") + spheresVersion() + "\n"));

    std::vector<std::string> timed =
        words(Sim(folder, "--frames 4 --timings --frames-out /dev/stdout --quiet").out);
    ASSERT_EQ(timed.size(), 5u);
    EXPECT_EQ(timed[0], "frame,drawn,alive,contacts,ms");
    for (const std::string& line : timed) {
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 4) << line;
    }

    // Only a spread that reaches past the root sphere is worth a warning.
    const char* warning = "outside the root sphere";
    EXPECT_PRED_FORMAT2(testing::IsNotSubstring, warning,
                        Sim(folder, "--frames 1 --quiet --spread 1").err);
    EXPECT_PRED_FORMAT2(IsSubstring, warning, Sim(folder, "--frames 1 --quiet --spread 100").err);
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
    std::string folder = workFolder(), table = folder + "/frames.csv", out = folder + ".out";
    std::ofstream(table) << "frame,drawn,alive,contacts\n1,100,100,1\n2,99,100,0\n";
    auto plot = [&](const std::string& arguments, const char* more = "") {
        std::string command = "bash " SPHERES_SOURCE_DIR "/tools/plot.sh " + arguments;
        return WEXITSTATUS(std::system((command + " >" + out + more).c_str()));
    };
    EXPECT_EQ(plot("--help"), 0);
    EXPECT_PRED_FORMAT2(IsSubstring, "tools/plot.sh frames", readFile(out));
    for (const std::string& target : {std::string("/nonexistent/x.png"), folder}) {
        EXPECT_EQ(plot("frames " + table + " " + target), 2) << target;
        EXPECT_EQ(readFile(out), "") << "the chart's bytes went to standard output";
    }
    // The benchmark charts are bench/chart.sh's: asked of this script, they are refused by name.
    EXPECT_EQ(plot("bench " + table + " " + folder + "/bench.png", " 2>&1"), 2);
    EXPECT_PRED_FORMAT2(IsSubstring, "bench/chart.sh", readFile(out));
    if (std::system("command -v gnuplot >/dev/null") == 0) {
        ASSERT_EQ(plot("frames " + table + " " + folder + "/frames.png"), 0);
        EXPECT_EQ(readFile(folder + "/frames.png").substr(1, 3), "PNG");
        expectUntouched(folder, 3); // keep.csv, frames.csv and frames.png
    }
}

} // namespace
