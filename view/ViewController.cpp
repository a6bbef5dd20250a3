#include "view/ViewController.h"

#include "app/AppGlobals.h"
#include "app/KeyBindings.h"
#include "frustum/MatrixFrustum.h"
#include "view/Picking.h"
#include "view/SimulationClock.h"
#include "view/ViewKeys.h"
#include "view/ViewOptions.h"
#include "view/ViewPicture.h"
#include "view/ViewSession.h"
#include "world/World.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace spheres {

namespace {

// The mouse: degrees per pixel of a drag, camera units per pixel of a zoom drag and per wheel
// notch for the demo's camera, the orbit camera's zoom factor per notch and per pixel of a drag,
// and the most a button may move between press and release to count as a click.
constexpr float orbitPerPixel = 0.5f;
constexpr float zoomPerPixel = 50.0f;
constexpr float zoomPerNotch = 500.0f;
constexpr float orbitPerNotch = 0.9f;
constexpr float orbitZoomPerPixel = 1.005f;
constexpr int clickSlop = 3;

// Processor time of the calling thread, in seconds.
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

bool sameStyle(const LevelStyle& a, const LevelStyle& b) {
    return a.drawn == b.drawn && std::memcmp(a.colour, b.colour, sizeof a.colour) == 0 &&
           a.width == b.width;
}

} // namespace

ViewController::ViewController(const ViewOptions& options, ViewSession& session,
                               SimulationClock& clock, HeadsUp& headsUp)
    : escape([this] { escaped = true; }), options(options), session(session), clock(clock),
      headsUp(headsUp) {}

ViewController::~ViewController() {
    if (aside.thread.joinable()) {
        aside.thread.join();
    }
}

void ViewController::press(unsigned char key) {
    // Escape before any binding is looked at; the picture's own keys need no wait for frames
    // running aside, every other key may read or change the scene.
    const ViewKey* viewKey = key == 27 ? nullptr : findViewKey(key);
    if (viewKey && controls.apply(*viewKey)) {
        return;
    }
    finishFrames();
    if (key == 27) {
        escape();
        return;
    }
    if (!viewKey) {
        handleKey(key, 0, 0);
        return;
    }
    switch (viewKey->action) {
    case ViewAction::Freeze:
        clock.toggleFrozen();
        break;
    case ViewAction::Step:
        clock.step();
        break;
    case ViewAction::Slower:
        clock.slower();
        break;
    case ViewAction::Faster:
        clock.faster();
        break;
    case ViewAction::Reset:
        session.reset();
        clock.restart();
        frameBodies();
        escaped = false;
        break;
    case ViewAction::SelectNext:
        session.cycleSelection(1);
        break;
    case ViewAction::SelectPrevious:
        session.cycleSelection(-1);
        break;
    case ViewAction::Unselect:
        session.select(-1);
        break;
    default:
        break;
    }
}

void ViewController::pressDueKeys() {
    for (unsigned char key : session.takeDueKeys()) {
        press(key);
    }
}

int ViewController::framesDue(double now) {
    if (escaped) {
        return 0;
    }
    int due = clock.framesDue(now, frameCost);
    if (options.framesGiven) {
        due = std::min(due, options.frames - session.frame());
    }
    return due;
}

void ViewController::runFrames(int count, bool frozen, int width, int height) {
    for (int i = 0; i < count && clock.frozen() == frozen && !escaped; ++i) {
        CameraMatrices m = shownCamera(width, height, true);
        session.runFrame(MatrixFrustum(m.projection, m.modelview));
        headsUp.frameSimulated(session.lastFrameSeconds());
        frameCost = session.lastFrameSeconds();
        pressDueKeys();
    }
}

void ViewController::runDueFrames(double now, int width, int height) {
    finishFrames();
    runFrames(framesDue(now), clock.frozen(), width, height);
}

void ViewController::startDueFrames(double now, int width, int height) {
    if (framesRunning()) {
        return;
    }
    int due = framesDue(now);
    if (due <= 0) {
        return;
    }
    aside.due = due;
    aside.frozen = clock.frozen();
    aside.width = width;
    aside.height = height;
    aside.revision = session.revision();
    aside.recorded = session.sweep().recorded();
    aside.seconds.clear();
    aside.ended = false;
    CameraMatrices m = shownCamera(width, height, true);
    aside.thread = std::thread([this, m] {
        MatrixFrustum frustum(m.projection, m.modelview);
        // A replayed key due after a frame is pressed before the next one, by finishFrames.
        for (int i = 0; i < aside.due && !(i > 0 && session.keysDue()); ++i) {
            double started = threadSeconds();
            session.runFrame(frustum);
            aside.cost = threadSeconds() - started;
            aside.seconds.push_back(session.lastFrameSeconds());
        }
        aside.ended = true;
    });
}

void ViewController::finishFrames() {
    if (!framesRunning()) {
        return;
    }
    aside.thread.join();
    for (double seconds : aside.seconds) {
        headsUp.frameSimulated(seconds);
    }
    if (!aside.seconds.empty()) {
        frameCost = aside.cost;
    }
    pressDueKeys();
    runFrames(aside.due - static_cast<int>(aside.seconds.size()), aside.frozen, aside.width,
              aside.height);
}

void ViewController::collectFrames() {
    if (framesRunning() && aside.ended) {
        finishFrames();
    }
}

void ViewController::frameBodies() {
    controls.camera.frame(boundAliveBodies(bodyArray, bodyCount));
}

void ViewController::mousePressed(MouseButton button, int x, int y) {
    mouse = Mouse{true, button, x, y, x, y, false};
}

void ViewController::mouseReleased(MouseButton button, int x, int y, int width, int height) {
    if (button == MouseButton::Left && mouse.pressed && mouse.button == button && !mouse.dragged) {
        finishFrames();
        CameraMatrices m = shownCamera(width, height, false);
        Ray ray = mouseRay(m.projection, m.modelview, width, height, x, y);
        session.selectBody(pickBody(world->getTree(), ray));
    }
    mouse.pressed = false;
}

void ViewController::mouseMoved(int x, int y) {
    int dx = x - mouse.lastX;
    int dy = y - mouse.lastY;
    mouse.lastX = x;
    mouse.lastY = y;
    if (!mouse.pressed) {
        return;
    }
    if (std::abs(x - mouse.pressX) > clickSlop || std::abs(y - mouse.pressY) > clickSlop) {
        mouse.dragged = true;
    }
    if (!mouse.dragged) {
        return;
    }
    if (mouse.button == MouseButton::Left) {
        // Orbit: the scene turns under the fixed eye, about the framed centre or the origin.
        cameraRotY += orbitPerPixel * static_cast<float>(dx);
        cameraRotX += orbitPerPixel * static_cast<float>(dy);
    } else if (controls.camera.kind() == CameraKind::Orbit) {
        controls.camera.zoomOrbit(std::pow(orbitZoomPerPixel, static_cast<float>(dy)));
    } else {
        cameraTransZ -= zoomPerPixel * static_cast<float>(dy);
    }
}

void ViewController::wheelTurned(int notches) {
    if (controls.camera.kind() == CameraKind::Orbit) {
        controls.camera.zoomOrbit(std::pow(notches > 0 ? orbitPerNotch : 1.0f / orbitPerNotch,
                                           static_cast<float>(std::abs(notches))));
    } else {
        cameraTransZ += zoomPerNotch * static_cast<float>(notches);
    }
}

CameraMatrices ViewController::shownCamera(int width, int height, bool forQuery) const {
    CameraPose pose{cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY, cameraRotZ};
    return controls.camera.matrices(pose, width, height, forQuery);
}

ViewController::PictureSource ViewController::pictureSource(const ViewPicture& picture, int width,
                                                            int height, int pixelHeight,
                                                            unsigned long revision,
                                                            bool recorded) const {
    PictureSource source;
    source.picture = picture.made();
    source.shown = shownCamera(width, height, false);
    source.query = shownCamera(width, height, true);
    source.width = width;
    source.height = height;
    source.pixelHeight = pixelHeight;
    source.revision = revision;
    for (int level = 0; level < LevelLegend::levelCount; ++level) {
        source.styles[level] = controls.levels.style(level, recorded);
    }
    source.slabAt = controls.slab.position();
    source.shells = controls.shells;
    return source;
}

CameraMatrices ViewController::makePicture(ViewPicture& picture, int width, int height,
                                           int pixelHeight) {
    // While frames run aside the scene is theirs: the picture made before they started is kept
    // if nothing else changed, else they are waited for.
    bool running = framesRunning();
    PictureSource source =
        running ? pictureSource(picture, width, height, pixelHeight, aside.revision, aside.recorded)
                : pictureSource(picture, width, height, pixelHeight, session.revision(),
                                session.sweep().recorded());
    const PictureSource& last = lastPicture;
    bool same = last.picture != 0 && source.picture == last.picture &&
                std::memcmp(&source.shown, &last.shown, sizeof source.shown) == 0 &&
                std::memcmp(&source.query, &last.query, sizeof source.query) == 0 &&
                source.width == last.width && source.height == last.height &&
                source.pixelHeight == last.pixelHeight && source.revision == last.revision &&
                source.slabAt == last.slabAt && source.shells == last.shells;
    for (int level = 0; same && level < LevelLegend::levelCount; ++level) {
        same = sameStyle(source.styles[level], last.styles[level]);
    }
    if (same) {
        return source.shown;
    }
    if (running) {
        finishFrames();
        source = pictureSource(picture, width, height, pixelHeight, session.revision(),
                               session.sweep().recorded());
    }
    lastPicture = source;
    MatrixFrustum bodyFrustum(source.query.projection, source.query.modelview);
    MatrixFrustum sceneFrustum(source.shown.projection, source.shown.modelview);
    controls.slab.place(controls.camera.framed(), viewDirection(source.shown.modelview));
    PictureSetup setup;
    setup.bodyFrustum = &bodyFrustum;
    setup.sceneFrustum = &sceneFrustum;
    setup.eye = eyePosition(source.shown.modelview);
    setup.pixelsPerUnit = pixelsPerUnit(source.shown.projection, pixelHeight);
    setup.levels = &controls.levels;
    setup.slab = &controls.slab;
    setup.shells = controls.shells;
    setup.quiet = session.sweep().recorded();
    picture.begin(setup);
    lastPicture.picture = picture.made();
    world->draw();
    picture.addSweep(session.sweep());
    return source.shown;
}

HeadsUpDrawing ViewController::headsUpDrawing(const ViewPicture& picture) const {
    HeadsUpDrawing drawing;
    drawing.drawnBodies = picture.drawnBodies();
    drawing.demoCamera = controls.camera.kind() == CameraKind::Demo;
    drawing.slabPosition = controls.slab.position();
    drawing.slabBodies = picture.slabBodies();
    drawing.showHelp = controls.showHelp;
    return drawing;
}

} // namespace spheres
