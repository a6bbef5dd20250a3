// The page: sphere-view's scene, frames, keys and selection in a browser's canvas. The C++
// computes and draws through the same libraries as the window; page.js passes the URL's
// parameters in as options, forwards the keys and the mouse, and shows the heads-up text, the
// legend and any message as HTML. The frame lines go to the console through standard output.
#include "app/AppGlobals.h"
#include "app/KeyBindings.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "view/ClipSlab.h"
#include "view/HeadsUp.h"
#include "view/LevelLegend.h"
#include "view/Picking.h"
#include "view/SimulationClock.h"
#include "view/ViewCamera.h"
#include "view/ViewController.h"
#include "view/ViewKeys.h"
#include "view/ViewOptions.h"
#include "view/ViewPicture.h"
#include "view/ViewRenderer.h"
#include "view/ViewSession.h"
#include "world/World.h"

#include <GLES3/gl3.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace spheres;

// Hands text to page.js: what is "error", "headsUp" or "legend".
EM_JS(void, showOnPage, (const char* what, const char* text),
      { Module.show(UTF8ToString(what), UTF8ToString(text)); });

namespace {

// The URL parameters, each read as the sphere-view option of the same name.
const char* const pageParameters[] = {"scene", "bodies", "seed", "spread",
                                      "keys",  "frames", "rate"};

ViewOptions options;
ViewSession* session = nullptr;
SimulationClock* simClock = nullptr;
// Escape stops the simulation until a reset (the controller's own Escape); the page keeps
// drawing.
ViewController* controller = nullptr;
ViewPicture picture;
ViewRenderer renderer;
HeadsUp headsUp;

double now() {
    return emscripten_get_now() / 1000.0;
}

// "name=value" from the URL to "--name=value" for sphere-view's reader; only the page's names.
std::string pageArguments(int argc, char** argv, std::vector<std::string>& arguments) {
    arguments = {"sphere-view"};
    for (int i = 1; i < argc; ++i) {
        std::string parameter = argv[i];
        std::string name = parameter.substr(0, parameter.find('='));
        if (std::find(std::begin(pageParameters), std::end(pageParameters), name) ==
            std::end(pageParameters)) {
            return "unknown parameter '" + name +
                   "' (the page takes scene, bodies, seed, spread, keys, frames and rate)";
        }
        arguments.push_back("--" + parameter);
    }
    return "";
}

void cssSize(int& width, int& height) {
    double w = 0.0;
    double h = 0.0;
    emscripten_get_element_css_size("#canvas", &w, &h);
    width = std::max(1, static_cast<int>(w));
    height = std::max(1, static_cast<int>(h));
}

// The window's heads-up lines, but Escape stops the page instead of ending it.
std::string headsUpText() {
    std::vector<std::string> lines =
        headsUp.lines(*session, *simClock, controller->headsUpDrawing(picture));
    if (controller->stopped() || (options.framesGiven && session->frame() >= options.frames)) {
        lines.front() += "  (stopped)";
    }
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    std::string quit = "Esc quit";
    if (std::size_t at = text.find(quit); at != std::string::npos) {
        text.replace(at, quit.size(), "Esc stop");
    }
    return text;
}

// The legend's rows as JSON for page.js: colour, the level (-1: the bodies), the node count
// (leaves for the bodies), hidden or shown, emphasised, and the window's line of text.
std::string legendJson() {
    std::string json = "[";
    for (const LegendRow& row : controller->controls.levels.rows(picture.levelCounts())) {
        char cells[96];
        std::snprintf(cells, sizeof cells,
                      "%s{\"colour\":\"rgb(%d,%d,%d)\",\"level\":%d,\"nodes\":%d,\"shown\":%s,"
                      "\"emphasised\":%s,",
                      json.size() > 1 ? "," : "", row.colour[0], row.colour[1], row.colour[2],
                      row.level, row.nodes, row.shown ? "true" : "false",
                      row.emphasised ? "true" : "false");
        // The text has letters, digits, spaces and commas only.
        json += std::string(cells) + "\"text\":\"" + row.text + "\"}";
    }
    return json + "]";
}

void drawPicture() {
    double started = now();
    int width = 0;
    int height = 0;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    width = std::max(1, width);
    height = std::max(1, height);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    int cssWidth = 0;
    int cssHeight = 0;
    cssSize(cssWidth, cssHeight);
    // Lines and dots in the drawing buffer's pixels, which the pixel ratio makes more than CSS's.
    CameraMatrices shown = controller->makePicture(picture, cssWidth, cssHeight, height);
    renderer.draw(picture, shown, width, height);
    double ended = now();
    headsUp.pictureDrawn(ended - started, ended);
}

void tick() {
    int width = 0;
    int height = 0;
    cssSize(width, height);
    controller->runDueFrames(now(), width, height);
    drawPicture();
    showOnPage("headsUp", headsUpText().c_str());
    showOnPage("legend", legendJson().c_str());
}

MouseButton buttonOf(int button) {
    return button == 0 ? MouseButton::Left : button == 1 ? MouseButton::Middle : MouseButton::Right;
}

} // namespace

// The input page.js forwards: positions in CSS pixels from the canvas's top left, buttons as
// the DOM numbers them (0 left, 1 middle, 2 right).
extern "C" {

EMSCRIPTEN_KEEPALIVE void pageKey(int key) {
    if (controller && key > 0 && key < 256) {
        controller->press(static_cast<unsigned char>(key));
    }
}

EMSCRIPTEN_KEEPALIVE void pageMouseDown(int button, int x, int y) {
    if (controller) {
        controller->mousePressed(buttonOf(button), x, y);
    }
}

// A click picks in the canvas's CSS pixels, the mouse's units. The browser's C library may round
// sin, cos and tan (the camera's matrices) otherwise than the native one: they reach only the
// picking and the frustum, and so only the drawn count, which no frame line carries; the frames,
// bodies and contacts are the native build's.
EMSCRIPTEN_KEEPALIVE void pageMouseUp(int button, int x, int y) {
    if (controller) {
        int width = 0;
        int height = 0;
        cssSize(width, height);
        controller->mouseReleased(buttonOf(button), x, y, width, height);
    }
}

EMSCRIPTEN_KEEPALIVE void pageMouseMove(int x, int y) {
    if (controller) {
        controller->mouseMoved(x, y);
    }
}

/// notches > 0: the wheel turned away from the user, closer.
EMSCRIPTEN_KEEPALIVE void pageWheel(int notches) {
    if (controller) {
        controller->wheelTurned(notches);
    }
}

} // extern "C"

int main(int argc, char** argv) {
    // Line-buffered: each frame line reaches the console as it is written.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    std::vector<std::string> arguments;
    std::string error = pageArguments(argc, argv, arguments);
    if (error.empty()) {
        std::vector<const char*> argumentPointers;
        for (const std::string& argument : arguments) {
            argumentPointers.push_back(argument.c_str());
        }
        ViewParseResult parsed =
            parseViewOptions(static_cast<int>(argumentPointers.size()), argumentPointers.data());
        error = parsed.error;
        options = parsed.options;
    }
    if (!error.empty()) {
        showOnPage("error", error.c_str());
        return 2;
    }

    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = false;
    attributes.antialias = false;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) {
        showOnPage("error", "this browser offers no WebGL2, which the page draws with");
        return 3;
    }
    emscripten_webgl_make_context_current(context);
    std::string rendererError;
    if (!renderer.init(rendererError)) {
        showOnPage("error", rendererError.c_str());
        return 3;
    }

    registerKeyBindings();
    simClock = new SimulationClock(options.rate);
    session = new ViewSession(options, stdout);
    session->setDebugDraw(&picture);
    controller = new ViewController(options, *session, *simClock, headsUp);
    controller->frameBodies();
    controller->controls.levels.chooseEmphasis(countTreeLevels(world->getTree()));
    headsUp.start(now());
    controller->pressDueKeys();
    emscripten_set_main_loop(tick, 0, 0);
    return 0;
}
