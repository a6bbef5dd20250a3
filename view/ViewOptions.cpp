#include "view/ViewOptions.h"

#include "options/CommandLine.h"
#include "output/OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace spheres {

namespace {

// X's geometry, [=][WIDTHxHEIGHT][{+-}X{+-}Y] with at least one of the two parts, sizes from 1
// and both numbers at most 32767 (the X server's coordinates are 16-bit): GLUT hands anything
// else to the server, which refuses the window with an X error.
bool isGeometry(const std::string& text) {
    std::string::size_type at = text.compare(0, 1, "=") == 0 ? 1 : 0;
    auto number = [&](int low) {
        std::string::size_type start = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
               at - start < 6) {
            ++at;
        }
        return at > start && std::stoi(text.substr(start, at - start)) >= low &&
               std::stoi(text.substr(start, at - start)) <= 32767;
    };
    auto sign = [&](const char* signs) {
        return at < text.size() && std::strchr(signs, text[at]) != nullptr && ++at;
    };
    bool size = at < text.size() && text[at] != '+' && text[at] != '-';
    if (size && !(number(1) && sign("xX") && number(1))) {
        return false;
    }
    bool place = at < text.size();
    if (place && !(sign("+-") && number(0) && sign("+-") && number(0))) {
        return false;
    }
    return (size || place) && at == text.size();
}

} // namespace

ViewParseResult parseViewOptions(int argc, const char* const* argv) {
    ViewParseResult result;
    ViewOptions& options = result.options;
    options.glutArguments.push_back(argc > 0 ? argv[0] : "sphere-view");
    std::vector<std::string> given;
    result.error = readCommandLine(argc, argv, options, &given);
    if (!result.error.empty() || options.help || options.version) {
        return result;
    }
    auto geometry = std::find(options.glutArguments.begin(), options.glutArguments.end(),
                              std::string("-geometry"));
    if (geometry != options.glutArguments.end() && !isGeometry(geometry[1])) {
        result.error = "-geometry: '" + geometry[1] +
                       "' is not WIDTHxHEIGHT+X+Y (sizes 1 to 32767, places to 32767; either "
                       "part may be left out)";
        return result;
    }
    options.framesGiven = std::find(given.begin(), given.end(), "--frames") != given.end();
    if (!options.framesGiven) {
        options.frames = 0;
    }
    // Both outputs checked together: writable, not one file under two names, and neither the
    // file of standard output, which gets the frame lines.
    std::vector<NamedOutput> outputs;
    if (!options.tracePath.empty()) {
        outputs.push_back({"--trace", options.tracePath});
    }
    if (!options.screenshotPath.empty()) {
        outputs.push_back({"--screenshot", options.screenshotPath});
    }
    result.error = checkOutputs(outputs, true);
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
        "Keys: h in the window lists them.\n"
        "\n"
        "Exit status: 0 done, Escape or the window closed (the outputs written), 2 bad\n"
        "option, 3 an output could not be written, 4 no window (no X display, or no\n"
        "OpenGL 3.3: run it under xvfb-run -a), the display lost or a request refused,\n"
        "128 + signal when interrupted; but for 0, no file is changed.\n";
    return text.c_str();
}

} // namespace spheres
