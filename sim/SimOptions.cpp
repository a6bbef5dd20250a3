#include "sim/SimOptions.h"

#include "sim/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace spheres {

namespace {

// Whole numbers only: no sign unless allowed, no spaces, no trailing characters, no overflow.
bool parseInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(begin, &end, 10);
    if (errno != 0 || end == begin || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool parseFloat(const std::string& text, float& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    float parsed = std::strtof(begin, &end);
    if (errno != 0 || end == begin || *end != '\0') {
        return false;
    }
    value = parsed;
    return true;
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

} // namespace

float defaultSpread(int bodies) {
    if (bodies == 100) {
        return 1.0f;
    }
    // C libraries round double cbrt differently in places (the page's against glibc), but for
    // every count from 1 to maxBodies theirs round to the same float, which is all the scene
    // reads: the web tests hash this over that whole range in both builds.
    return static_cast<float>(std::cbrt(static_cast<double>(bodies) / 100.0));
}

bool parseKeyList(const std::string& text, std::vector<KeyPress>& keys, std::string& error) {
    keys.clear();
    if (text.empty()) {
        return true;
    }
    std::string::size_type start = 0;
    while (true) {
        std::string::size_type comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        std::string::size_type colon = item.find(':');
        long long frame = 0;
        if (colon == std::string::npos || !parseInteger(item.substr(0, colon), 0, INT_MAX, frame)) {
            error = "--keys: " + quoted(item) + " is not FRAME:KEY with a frame of 0 or more";
            return false;
        }
        std::string name = item.substr(colon + 1);
        KeyPress press;
        press.afterFrame = static_cast<int>(frame);
        if (name == "space") {
            press.key = ' ';
        } else if (name == "esc") {
            press.key = 27;
        } else if (name.size() == 1) {
            press.key = static_cast<unsigned char>(name[0]);
        } else {
            error = "--keys: " + quoted(name) + " is not a single character, space or esc";
            return false;
        }
        keys.push_back(press);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    // Presses happen frame by frame; those of one frame keep the order they were given in.
    std::stable_sort(keys.begin(), keys.end(), [](const KeyPress& a, const KeyPress& b) {
        return a.afterFrame < b.afterFrame;
    });
    return true;
}

ParseResult parseSimOptions(int argc, const char* const* argv) {
    ParseResult result;
    SimOptions& options = result.options;
    options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::string name = argument;
        std::string value;
        bool hasInlineValue = false;
        std::string::size_type equals = argument.find('=');
        if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasInlineValue = true;
        }

        // A second --trace or --frames would silently override the first.
        std::string canonical = name == "-h" ? "--help" : name;
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) {
            result.error = canonical + " is given twice";
            return result;
        }
        seen.push_back(canonical);

        static const char* const flags[] = {"--help", "--version", "--print-drawn", "--timings",
                                            "--quiet"};
        if (std::find_if(std::begin(flags), std::end(flags), [&](const char* known) {
                return canonical == known;
            }) != std::end(flags)) {
            if (hasInlineValue) {
                result.error = name + " takes no value";
                return result;
            }
            bool& flag = canonical == "--help"      ? options.help
                         : canonical == "--version" ? options.version
                         : canonical == "--timings" ? options.timings
                         : canonical == "--quiet"   ? options.quiet
                                                    : options.printDrawn;
            flag = true;
            continue;
        }

        static const char* const valued[] = {"--frames",  "--bodies", "--seed",  "--spread",
                                             "--keys",    "--trace",  "--every", "--frames-out",
                                             "--threads", "--walk"};
        if (std::find_if(std::begin(valued), std::end(valued),
                         [&](const char* known) { return name == known; }) == std::end(valued)) {
            result.error = "unknown option " + quoted(argument) + " (see --help)";
            return result;
        }
        if (!hasInlineValue) {
            if (i + 1 >= argc) {
                result.error = name + " needs a value";
                return result;
            }
            value = argv[++i];
        }

        long long number = 0;
        if (name == "--frames") {
            if (!parseInteger(value, 0, INT_MAX, number)) {
                result.error = "--frames: " + quoted(value) + " is not a whole number of 0 or more";
                return result;
            }
            options.frames = static_cast<int>(number);
        } else if (name == "--bodies") {
            if (!parseInteger(value, 1, maxBodies, number)) {
                result.error = "--bodies: " + quoted(value) + " is not a whole number from 1 to " +
                               std::to_string(maxBodies);
                return result;
            }
            options.bodies = static_cast<int>(number);
        } else if (name == "--seed") {
            if (!parseInteger(value, 0, UINT32_MAX, number)) {
                result.error = "--seed: " + quoted(value) + " is not a whole number from 0 to " +
                               std::to_string(UINT32_MAX);
                return result;
            }
            options.seed = static_cast<std::uint32_t>(number);
        } else if (name == "--spread") {
            float spread = 0.0f;
            if (!parseFloat(value, spread) || !std::isfinite(spread) || !(spread > 0.0f)) {
                result.error = "--spread: " + quoted(value) + " is not a positive finite number";
                return result;
            }
            options.spread = spread;
            options.spreadGiven = true;
        } else if (name == "--every") {
            if (!parseInteger(value, 1, INT_MAX, number)) {
                result.error = "--every: " + quoted(value) + " is not a whole number of 1 or more";
                return result;
            }
            options.every = static_cast<int>(number);
        } else if (name == "--threads") {
            if (!parseInteger(value, 1, maxThreads, number)) {
                result.error = "--threads: " + quoted(value) + " is not a whole number from 1 to " +
                               std::to_string(maxThreads);
                return result;
            }
            options.threads = static_cast<int>(number);
        } else if (name == "--walk") {
            static const std::pair<const char*, FrameWalk> walks[] = {
                {"literal", FrameWalk::Literal},
                {"snapshot", FrameWalk::Snapshot},
                {"batched", FrameWalk::Batched}};
            auto found = std::find_if(std::begin(walks), std::end(walks),
                                      [&](const auto& walk) { return value == walk.first; });
            if (found == std::end(walks)) {
                result.error = "--walk: " + quoted(value) + " is not literal, snapshot or batched";
                return result;
            }
            options.walk = found->second;
        } else if (name == "--keys") {
            if (!parseKeyList(value, options.keys, result.error)) {
                return result;
            }
        } else {
            if (value.empty()) {
                result.error = name + ": the file name is empty";
                return result;
            }
            (name == "--trace" ? options.tracePath : options.framesPath) = value;
        }
    }
    if (options.help || options.version) {
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
    if (!options.spreadGiven) {
        options.spread = defaultSpread(options.bodies);
    }
    return result;
}

const char* simUsage() {
    return "Usage: sphere-sim [options]\n"
           "Runs the sphere demonstration's frames without a window and writes what they did.\n"
           "Each option may be given once, as --name VALUE or --name=VALUE.\n"
           "\n"
           "  --frames F       frames to run after start-up, 0 to 2147483647 (default 300;\n"
           "                   0: start-up only)\n"
           "  --bodies N       bodies in the scene, 1 to 1000000 (default 100)\n"
           "  --seed S         state of the scene's random generator, 0 to 4294967295\n"
           "                   (default 1)\n"
           "  --spread X       scale of the start positions, a positive finite number (default:\n"
           "                   1 for 100 bodies, cbrt(N/100) otherwise, which keeps the density)\n"
           "  --keys LIST      key presses between frames, e.g. 100:b,150:space,300:esc; a\n"
           "                   press K:KEY happens after frame K, K from 0 to F (a later one is\n"
           "                   never made: a warning says so); KEY is one character as typed,\n"
           "                   space or esc (esc ends the run with status 1)\n"
           "  --trace FILE     CSV of every body's state after start-up and every K-th frame\n"
           "  --every K        trace every K-th frame, 1 to 2147483647 (default 1)\n"
           "  --frames-out FILE  CSV of frame, drawn, alive and contacts per frame\n"
           "  --timings        add each frame's computing time in ms to --frames-out\n"
           "  --walk W         how the queries run: literal (down the tree's lists), snapshot\n"
           "                   (through its contiguous copy) or batched (every query first,\n"
           "                   then the responses; the default); all give the same results\n"
           "  --threads N      threads of the batched walk, 1 to 256 (default: the number of\n"
           "                   cores)\n"
           "  --print-drawn    print \"Spheres Drawn: N\" per frame as the window program does\n"
           "  --quiet          no progress and no summary on standard error\n"
           "  --help           this text\n"
           "  --version        the version\n"
           "\n"
           "A file is written under a temporary name beside it and renamed when the run ends\n"
           "normally (esc included); a device or FIFO is written directly, each frame as it\n"
           "ends. An interrupted or failed run removes its temporary files and leaves existing\n"
           "files as they were.\n"
           "\n"
           "Exit status: 0 done, 1 ended by esc, 2 bad option (no file changed), 3 an output\n"
           "could not be written or memory ran out (no file changed), 130 SIGINT, 141 closed\n"
           "pipe, 143 SIGTERM.\n";
}

} // namespace spheres
