#include "view/ViewOptions.h"

#include "output/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

namespace spheres {

namespace {

// GLUT's own options and how many values each takes; glutInit reads and removes them.
struct GlutOption {
    const char* name;
    int values;
};
const GlutOption glutOptions[] = {{"-display", 1}, {"-geometry", 1}, {"-iconic", 0},
                                  {"-direct", 0},  {"-indirect", 0}, {"-gldebug", 0},
                                  {"-sync", 0}};

// The valued options whose meaning and checks come from sphere-sim's reader.
const char* const sharedOptions[] = {"--bodies", "--seed",  "--spread",
                                     "--keys",   "--trace", "--frames"};

bool isOneOf(const std::string& name, const char* const* begin, const char* const* end) {
    return std::find_if(begin, end, [&](const char* known) { return name == known; }) != end;
}

bool parseRate(const std::string& text, double& rate) {
    if (text.empty() || text[0] == ' ') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(parsed >= 0.0 && parsed <= maxViewRate)) {
        return false;
    }
    rate = parsed;
    return true;
}

} // namespace

ViewParseResult parseViewOptions(int argc, const char* const* argv) {
    ViewParseResult result;
    ViewOptions& options = result.options;
    options.glutArguments.push_back(argc > 0 ? argv[0] : "sphere-view");
    // The shared options go to sphere-sim's reader, in their order, as they were written.
    std::vector<const char*> shared = {"sphere-view"};
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.compare(0, 2, "--") != 0) {
            auto glut = std::find_if(std::begin(glutOptions), std::end(glutOptions),
                                     [&](const GlutOption& o) { return argument == o.name; });
            if (argument == "-h") {
                options.help = true;
                continue;
            }
            if (glut == std::end(glutOptions)) {
                result.error = "unknown option '" + argument + "' (see --help)";
                return result;
            }
            if (i + glut->values >= argc) {
                result.error = argument + " needs a value";
                return result;
            }
            for (int k = 0; k <= glut->values; ++k) {
                options.glutArguments.push_back(argv[i + k]);
            }
            i += glut->values;
            continue;
        }
        std::string::size_type equals = argument.find('=');
        std::string name = argument.substr(0, equals);
        bool inlineValue = equals != std::string::npos;
        if (name == "--help" || name == "--version") {
            if (inlineValue) {
                result.error = name + " takes no value";
                return result;
            }
            (name == "--help" ? options.help : options.version) = true;
            continue;
        }
        bool isShared = isOneOf(name, std::begin(sharedOptions), std::end(sharedOptions));
        if (!isShared && name != "--screenshot" && name != "--rate") {
            result.error = "unknown option '" + argument + "' (see --help)";
            return result;
        }
        if (!inlineValue && i + 1 >= argc) {
            result.error = name + " needs a value";
            return result;
        }
        if (isShared) {
            options.framesGiven = options.framesGiven || name == "--frames";
            shared.push_back(argv[i]);
            if (!inlineValue) {
                shared.push_back(argv[++i]);
            }
            continue;
        }
        std::string value = inlineValue ? argument.substr(equals + 1) : argv[++i];
        if (name == "--rate") {
            if (!parseRate(value, options.rate)) {
                result.error = "--rate: '" + value + "' is not a number from 0 to 960";
                return result;
            }
        } else {
            options.screenshotPath = value;
        }
    }
    ParseResult scene = parseSimOptions(static_cast<int>(shared.size()), shared.data());
    if (!scene.error.empty()) {
        result.error = scene.error;
        return result;
    }
    options.scene = scene.options;
    if (!options.framesGiven) {
        options.scene.frames = 0;
    }
    // Both outputs checked together: writable, and not one file under two names.
    std::vector<NamedOutput> outputs;
    if (!options.scene.tracePath.empty()) {
        outputs.push_back({"--trace", options.scene.tracePath});
    }
    if (!options.screenshotPath.empty()) {
        outputs.push_back({"--screenshot", options.screenshotPath});
    }
    result.error = checkOutputs(outputs);
    return result;
}

const char* viewUsage() {
    return "Usage: sphere-view [options] [GLUT options such as -display D -geometry WxH]\n"
           "Shows the spheres and the bounding-sphere tree that indexes them, frame by frame.\n"
           "\n"
           "  --bodies N       bodies in the scene, 1 or more (default 100)\n"
           "  --seed S         state of the scene's random generator (default 1)\n"
           "  --spread X       scale of the start positions, positive (default: 1 for 100\n"
           "                   bodies, cbrt(N/100) otherwise)\n"
           "  --keys LIST      key presses replayed between simulated frames, e.g.\n"
           "                   100:b,150:space,200:f; K:KEY happens after frame K; KEY is one\n"
           "                   character as typed, space or esc\n"
           "  --trace FILE     CSV of every body's state after start-up and after every frame,\n"
           "                   as sphere-sim writes it (a reset starts again at frame 0)\n"
           "  --frames N       end after simulated frame N has been drawn (status 0)\n"
           "  --screenshot FILE  write the picture of frame N (default 0) as PNG, then end\n"
           "  --rate R         simulated frames per second, up to 960 (default 30); 0: one\n"
           "                   frame per picture, as fast as the window draws\n"
           "  --version        the version\n"
           "  --help           this text\n"
           "\n"
           "Standard output gets a line per simulated frame (\"frame N alive A contacts C\")\n"
           "and per selection (\"selected I ...\" or \"selected none\").\n"
           "Keys: h in the window lists them. Exit status: 0 done or Escape, 2 bad option,\n"
           "3 an output could not be written, 128 + signal when interrupted.\n";
}

} // namespace spheres
