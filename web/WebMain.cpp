// The page: sphere-view's scene, frames, keys and selection in a browser's canvas. The C++
// computes and draws through the same libraries as the window; page.js passes the URL's
// parameters in as options, forwards the keys and the mouse, and shows the heads-up text, the
// legend and any message as HTML. The frame lines go to the console through standard output.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/KeyBindings.h"
#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "view/DrawList.h"
#include "view/Picking.h"
#include "view/SimulationClock.h"
#include "view/ViewKeys.h"
#include "view/ViewOptions.h"
#include "view/ViewSession.h"
#include "web/WebGLRenderer.h"
#include "world/World.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace spheres;

// Hands text to page.js: what is "error", "headsUp" or "legend".
EM_JS(void, showOnPage, (const char* what, const char* text),
      { Module.show(UTF8ToString(what), UTF8ToString(text)); });

namespace {

// As sphere-view: the frustum query sees as far as the demo; the picture reaches past the root.
constexpr double queryFar = 300000.0;
constexpr double drawFar = 4.0 * QuerySphereTree::rootRadius;
// As sphere-view's mouse: degrees per pixel of a drag, camera units per pixel of a zoom drag and
// per wheel notch, and how far a button may move between press and release for a click.
constexpr float orbitPerPixel = 0.5f;
constexpr float zoomPerPixel = 50.0f;
constexpr float zoomPerNotch = 500.0f;
constexpr int clickSlop = 3;

// The URL parameters, each read as the sphere-view option of the same name.
const char* const pageParameters[] = {"bodies", "seed", "spread", "keys", "frames", "rate"};

ViewOptions options;
ViewSession* session = nullptr;
SimulationClock* simClock = nullptr;
DrawList drawList;
WebGLRenderer renderer;
bool showHelp = false;
// Escape stops the simulation until a reset; the page keeps drawing.
bool stopped = false;

struct MouseState {
    int button = -1;
    int pressX = 0;
    int pressY = 0;
    int lastX = 0;
    int lastY = 0;
    bool dragged = false;
} mouse;

// Per-second rates of simulated frames and pictures for the heads-up text.
struct Rates {
    double since = 0.0;
    long frames = 0;
    long pictures = 0;
    double simRate = 0.0;
    double drawRate = 0.0;
    double lastDrawSeconds = 0.0;
} rates;

double now() {
    return emscripten_get_now() / 1000.0;
}

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    va_list arguments;
    va_start(arguments, pattern);
    va_list again;
    va_copy(again, arguments);
    std::string text(static_cast<std::size_t>(std::vsnprintf(nullptr, 0, pattern, arguments)), ' ');
    std::vsnprintf(&text[0], text.size() + 1, pattern, again);
    va_end(again);
    va_end(arguments);
    return text;
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
                   "' (the page takes bodies, seed, spread, keys, frames and rate)";
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

void matrices(double far, float projection[16], float modelview[16]) {
    int width = 0;
    int height = 0;
    cssSize(width, height);
    perspectiveMatrix(75.0, reshapeAspect(width, height), 1.0, far, projection);
    cameraModelviewMatrix(cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY,
                          cameraRotZ, modelview);
}

// The browser's C library may round sin, cos and tan (the camera's matrices) otherwise than the
// native one: they reach only the frustum, and so only the drawn count, which no frame line
// carries; the frames, bodies and contacts are the native build's.
MatrixFrustum cameraFrustum() {
    float projection[16];
    float modelview[16];
    matrices(queryFar, projection, modelview);
    return MatrixFrustum(projection, modelview);
}

void press(unsigned char key);

void runOneFrame() {
    session->runFrame(cameraFrustum());
    ++rates.frames;
    for (unsigned char key : session->takeDueKeys()) {
        press(key);
    }
}

// sphere-view's keys, except that Escape stops the simulation instead of ending the program.
void press(unsigned char key) {
    if (key == 27) {
        stopped = true;
        return;
    }
    const ViewKey* viewKey = findViewKey(key);
    if (!viewKey) {
        handleKey(key, 0, 0);
        return;
    }
    switch (viewKey->action) {
    case ViewAction::Freeze:
        simClock->toggleFrozen();
        break;
    case ViewAction::Step:
        simClock->step();
        break;
    case ViewAction::Slower:
        simClock->slower();
        break;
    case ViewAction::Faster:
        simClock->faster();
        break;
    case ViewAction::Reset:
        session->reset();
        world->getTree().setDebugDraw(&drawList);
        simClock->restart();
        stopped = false;
        break;
    case ViewAction::SelectNext:
        session->cycleSelection(1);
        break;
    case ViewAction::SelectPrevious:
        session->cycleSelection(-1);
        break;
    case ViewAction::Unselect:
        session->select(-1);
        break;
    case ViewAction::ToggleLevel:
        drawList.levelShown[viewKey->level] = !drawList.levelShown[viewKey->level];
        break;
    case ViewAction::ToggleStyle:
        drawList.translucent = !drawList.translucent;
        break;
    case ViewAction::ToggleHelp:
        showHelp = !showHelp;
        break;
    case ViewAction::EmphasisNext:
    case ViewAction::EmphasisBack:
    case ViewAction::SlabOn:
    case ViewAction::SlabBack:
    case ViewAction::SwitchCamera:
        // The window's picture (view/ViewPicture) has these; the page's draw list does not.
        break;
    }
}

std::string headsUpText() {
    const FrameOutcome& outcome = session->lastOutcome();
    bool ended = options.framesGiven && session->frame() >= options.frames;
    std::string text = format("frame %d  alive %d/%d  contacts %d  drawn %d%s\n", session->frame(),
                              session->alive(), bodyCount, outcome.contacts, drawList.drawnBodies(),
                              stopped || ended ? "  (stopped)" : "");
    std::string rate = simClock->rate() > 0.0 ? format("%g/s", simClock->rate()) : "max";
    text += format("rate %s%s%s  sim %.1f ms (%.0f/s)  draw %.1f ms (%.0f/s)\n", rate.c_str(),
                   simClock->frozen() ? " FROZEN" : "", simulationRunning ? "" : " paused",
                   1000.0 * session->lastFrameSeconds(), rates.simRate,
                   1000.0 * rates.lastDrawSeconds, rates.drawRate);
    if (session->selectedBody()) {
        const SweepRecorder& sweep = session->sweep();
        const SweepRecorder::Leaf* contact = sweep.earliestContact();
        std::string partner = contact ? format("t %.3f with %d", static_cast<double>(contact->time),
                                               session->indexOf(contact->body))
                                      : std::string("none");
        text += format("body %d: entered %d rejected %d leaves %zu  contact %s\n",
                       session->selectedIndex(), sweep.acceptedCount(), sweep.rejectedCount(),
                       sweep.leaves().size(), partner.c_str());
    }
    if (!showHelp) {
        return text + "h: keys";
    }
    text += "q/Q a/A z/Z move, w/W s/S x/X turn, space pause, b recall, Esc stop\n"
            "mouse: drag orbit, right drag or wheel zoom, click pick";
    for (const ViewKey& key : viewKeys()) {
        if (key.help) {
            text += std::string("\n") + key.help;
        }
    }
    return text;
}

// One row per coloured level (the last one also counts the levels below it, which share its
// colour), then the leaves and the escaped ones.
std::string legendJson() {
    TreeLevelCounts counts = countTreeLevels(world->getTree());
    int nodes[DrawList::levelCount] = {};
    for (std::size_t level = 0; level < counts.bounding.size(); ++level) {
        nodes[std::min<std::size_t>(level, DrawList::levelCount - 1)] += counts.bounding[level];
    }
    std::string rows;
    for (int level = 0; level < DrawList::levelCount; ++level) {
        const std::uint8_t* c = DrawList::levelColours[level];
        rows += format("%s{\"level\":%d,\"colour\":\"rgb(%d,%d,%d)\",\"nodes\":%d,\"shown\":%s}",
                       level ? "," : "", level, c[0], c[1], c[2], nodes[level],
                       drawList.levelShown[level] ? "true" : "false");
    }
    const std::uint8_t* e = DrawList::escapedColour;
    return format("{\"levels\":[%s],\"leaves\":%d,\"escaped\":%d,"
                  "\"escapedColour\":\"rgb(%d,%d,%d)\"}",
                  rows.c_str(), counts.leaves, counts.escaped, e[0], e[1], e[2]);
}

void drawPicture() {
    double started = now();
    int width = 0;
    int height = 0;
    emscripten_get_canvas_element_size("#canvas", &width, &height);
    float projection[16];
    float modelview[16];
    matrices(drawFar, projection, modelview);
    MatrixFrustum bodyFrustum = cameraFrustum();
    MatrixFrustum sceneFrustum(projection, modelview);
    drawList.begin(bodyFrustum, sceneFrustum);
    world->draw();
    drawList.addSweep(session->sweep());
    renderer.draw(drawList, projection, modelview, std::max(1, width), std::max(1, height));
    rates.lastDrawSeconds = now() - started;
    ++rates.pictures;
}

void tick() {
    double time = now();
    if (!stopped) {
        int due = simClock->framesDue(time, session->lastFrameSeconds());
        if (options.framesGiven) {
            due = std::min(due, options.frames - session->frame());
        }
        // A replayed press may freeze the view or stop it: the frames still due then wait.
        bool frozen = simClock->frozen();
        for (int i = 0; i < due && simClock->frozen() == frozen && !stopped; ++i) {
            runOneFrame();
        }
    }
    drawPicture();
    if (double seconds = time - rates.since; seconds >= 1.0) {
        rates.simRate = rates.frames / seconds;
        rates.drawRate = rates.pictures / seconds;
        rates.since = time;
        rates.frames = rates.pictures = 0;
    }
    showOnPage("headsUp", headsUpText().c_str());
    showOnPage("legend", legendJson().c_str());
}

void pick(int x, int y) {
    int width = 0;
    int height = 0;
    cssSize(width, height);
    float projection[16];
    float modelview[16];
    matrices(queryFar, projection, modelview);
    Ray ray = mouseRay(projection, modelview, width, height, x, y);
    session->selectBody(pickBody(world->getTree(), ray));
}

} // namespace

// The input page.js forwards: positions in CSS pixels from the canvas's top left, buttons as
// the DOM numbers them (0 left, 1 middle, 2 right).
extern "C" {

EMSCRIPTEN_KEEPALIVE void pageKey(int key) {
    if (session && key > 0 && key < 256) {
        press(static_cast<unsigned char>(key));
    }
}

EMSCRIPTEN_KEEPALIVE void pageMouseDown(int button, int x, int y) {
    mouse = MouseState{button, x, y, x, y, false};
}

EMSCRIPTEN_KEEPALIVE void pageMouseUp(int button, int x, int y) {
    if (session && button == 0 && mouse.button == 0 && !mouse.dragged) {
        pick(x, y);
    }
    mouse.button = -1;
}

EMSCRIPTEN_KEEPALIVE void pageMouseMove(int x, int y) {
    int dx = x - mouse.lastX;
    int dy = y - mouse.lastY;
    mouse.lastX = x;
    mouse.lastY = y;
    if (mouse.button < 0) {
        return;
    }
    if (std::abs(x - mouse.pressX) > clickSlop || std::abs(y - mouse.pressY) > clickSlop) {
        mouse.dragged = true;
    }
    if (!mouse.dragged) {
        return;
    }
    if (mouse.button == 0) {
        // Orbit: the scene turns about the origin under the fixed eye.
        cameraRotY += orbitPerPixel * static_cast<float>(dx);
        cameraRotX += orbitPerPixel * static_cast<float>(dy);
    } else {
        cameraTransZ -= zoomPerPixel * static_cast<float>(dy);
    }
}

/// notches > 0: the wheel turned away from the user, closer.
EMSCRIPTEN_KEEPALIVE void pageWheel(int notches) {
    cameraTransZ += zoomPerNotch * static_cast<float>(notches);
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
    if (!renderer.init()) {
        showOnPage("error", renderer.error().c_str());
        return 3;
    }

    registerKeyBindings();
    simClock = new SimulationClock(options.rate);
    session = new ViewSession(options, stdout);
    world->getTree().setDebugDraw(&drawList);
    rates.since = now();
    for (unsigned char key : session->takeDueKeys()) {
        press(key);
    }
    emscripten_set_main_loop(tick, 0, 0);
    return 0;
}
