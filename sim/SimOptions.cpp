#include "sim/SimOptions.h"

#include "options/CommandLine.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <thread>

namespace spheres {

ParseResult parseSimOptions(int argc, const char* const* argv) {
    ParseResult result;
    SimOptions& options = result.options;
    options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    result.error = readCommandLine(argc, argv, options);
    if (!result.error.empty() || options.help || options.version) {
        return result;
    }
    // Every output is checked before any is created, so a bad one leaves every file untouched.
    std::vector<NamedOutput> outputs;
    if (!options.tracePath.empty()) {
        outputs.push_back({"--trace", options.tracePath});
    }
    if (!options.framesPath.empty()) {
        outputs.push_back({"--frames-out", options.framesPath});
    }
    result.error = checkOutputs(outputs, options.printDrawn);
    if (!result.error.empty()) {
        return result;
    }
    for (const KeyPress& press : options.keys) {
        if (press.afterFrame > options.frames) {
            result.warnings.push_back("--keys: the press after frame " +
                                      std::to_string(press.afterFrame) +
                                      " comes after the last frame (" +
                                      std::to_string(options.frames) + ") and is not made");
        }
    }
    return result;
}

const char* simUsage() {
    static const std::string text =
        "Usage: sphere-sim [options]\n"
        "Runs the sphere demonstration's frames without a window and writes what they\n"
        "did. Each option may be given once, as --name VALUE or --name=VALUE. Without\n"
        "--frames, 300 frames run.\n"
        "\n" +
        optionUsage(Program::Sim) +
        "\n"
        "A key press after the last frame is never made (a warning says so); esc ends the\n"
        "run with status 1.\n"
        "\n"
        "A file is written under a temporary name beside it and renamed when the run ends\n"
        "normally (esc included); a device or FIFO is written directly, each frame as it\n"
        "ends. An interrupted or failed run removes its temporary files and leaves\n"
        "existing files as they were.\n"
        "\n"
        "Threads that cannot start (a memory or process limit) are left out, with a\n"
        "warning; the results are the same.\n"
        "\n"
        "Exit status: 0 done, 1 ended by esc, 2 bad option (no file changed), 3 an output\n"
        "could not be written, memory ran out or a file size limit was passed (no file\n"
        "changed); 129 SIGHUP, 130 SIGINT, 141 closed pipe, 143 SIGTERM (each stops the\n"
        "run at the end of a frame; no file changed); any other signal that ends the\n"
        "process ends it at once, its temporary files removed (128 + signal).\n";
    return text.c_str();
}

} // namespace spheres
