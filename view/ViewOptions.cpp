#include "view/ViewOptions.h"

#include "options/CommandLine.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <vector>

namespace spheres {

ViewParseResult parseViewOptions(int argc, const char* const* argv) {
    ViewParseResult result;
    ViewOptions& options = result.options;
    options.glutArguments.push_back(argc > 0 ? argv[0] : "sphere-view");
    std::vector<std::string> given;
    result.error = readCommandLine(argc, argv, options, &given);
    if (!result.error.empty() || options.help || options.version) {
        return result;
    }
    options.framesGiven = std::find(given.begin(), given.end(), "--frames") != given.end();
    if (!options.framesGiven) {
        options.frames = 0;
    }
    // Both outputs checked together: writable, and not one file under two names.
    std::vector<NamedOutput> outputs;
    if (!options.tracePath.empty()) {
        outputs.push_back({"--trace", options.tracePath});
    }
    if (!options.screenshotPath.empty()) {
        outputs.push_back({"--screenshot", options.screenshotPath});
    }
    result.error = checkOutputs(outputs);
    return result;
}

const char* viewUsage() {
    static const std::string text =
        "Usage: sphere-view [options]\n"
        "Shows the spheres frame by frame and the bounding-sphere tree that indexes them.\n"
        "Each option may be given once, as --name VALUE or --name=VALUE; GLUT's own, with\n"
        "one dash, go to GLUT. The view runs until it is ended; with --frames F it ends\n"
        "once frame F has been drawn (status 0).\n"
        "\n" +
        optionUsage(Program::View) +
        "\n"
        "Standard output gets a line per simulated frame (\"frame N alive A contacts C\")\n"
        "and per selection (\"selected I ...\" or \"selected none\"). A reset starts the\n"
        "trace again at frame 0.\n"
        "Keys: h in the window lists them. Exit status: 0 done or Escape, 2 bad option,\n"
        "3 an output could not be written, 4 no window (no X display, or no OpenGL 3.3:\n"
        "run it under xvfb-run -a), 128 + signal when interrupted.\n";
    return text.c_str();
}

} // namespace spheres
