#include "sim/SimOptions.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

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

// An output file can be created only in a directory that exists.
bool directoryExists(const std::string& filePath) {
    std::string::size_type slash = filePath.find_last_of('/');
    std::string directory = slash == std::string::npos ? "." : filePath.substr(0, slash + 1);
    struct stat info;
    return stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

} // namespace

float defaultSpread(int bodies) {
    if (bodies == 100) {
        return 1.0f;
    }
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
    std::string keysText;
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

        if (name == "--help" || name == "-h" || name == "--print-drawn" || name == "--quiet") {
            if (hasInlineValue) {
                result.error = name + " takes no value";
                return result;
            }
            if (name == "--print-drawn") {
                options.printDrawn = true;
            } else if (name == "--quiet") {
                options.quiet = true;
            } else {
                options.help = true;
            }
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
            keysText = value;
            if (!parseKeyList(keysText, options.keys, result.error)) {
                return result;
            }
        } else {
            std::string& path = name == "--trace" ? options.tracePath : options.framesPath;
            if (value.empty() || value.back() == '/' || !directoryExists(value)) {
                result.error = name + ": cannot create " + quoted(value) +
                               ": not a file name in an existing directory";
                return result;
            }
            path = value;
        }
    }
    // Two tables in one file would interleave; a device such as /dev/null may take both.
    struct stat shared;
    if (!options.tracePath.empty() && options.tracePath == options.framesPath &&
        (stat(options.tracePath.c_str(), &shared) != 0 || S_ISREG(shared.st_mode))) {
        result.error = "--frames-out: " + quoted(options.framesPath) + " is the --trace file too";
        return result;
    }
    if (!options.spreadGiven) {
        options.spread = defaultSpread(options.bodies);
    }
    return result;
}

const char* simUsage() {
    return "Usage: sphere-sim [options]\n"
           "Runs the sphere demonstration's frames without a window and writes what they did.\n"
           "\n"
           "  --frames F       frames to run after start-up (default 300; 0: start-up only)\n"
           "  --bodies N       bodies in the scene, 1 or more (default 100)\n"
           "  --seed S         state of the scene's random generator (default 1)\n"
           "  --spread X       scale of the start positions, positive (default: 1 for 100\n"
           "                   bodies, cbrt(N/100) otherwise, which keeps the density)\n"
           "  --keys LIST      key presses between frames, e.g. 100:b,150:space,300:esc; a\n"
           "                   press K:KEY happens after frame K; KEY is one character as\n"
           "                   typed, space or esc (esc ends the run with status 1)\n"
           "  --trace FILE     CSV of every body's state after start-up and every K-th frame\n"
           "  --every K        trace every K-th frame, 1 or more (default 1)\n"
           "  --frames-out FILE  CSV of frame, drawn, alive and contacts per frame\n"
           "  --walk W         how the queries run: literal (down the tree's lists), snapshot\n"
           "                   (through its contiguous copy) or batched (every query first,\n"
           "                   then the responses; the default); all give the same results\n"
           "  --threads N      threads of the batched walk (default: the number of cores)\n"
           "  --print-drawn    print \"Spheres Drawn: N\" per frame as the window program does\n"
           "  --quiet          no progress bar and no summary on standard error\n"
           "  --help           this text\n"
           "\n"
           "Exit status: 0 done, 1 ended by esc, 2 bad option, 3 output error or out of memory.\n";
}
