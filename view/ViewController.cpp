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

namespace spheres {

ViewController::ViewController(const ViewOptions& options, ViewSession& session,
                               SimulationClock& clock, HeadsUp& headsUp)
    : escape([this] { escaped = true; }), options(options), session(session), clock(clock),
      headsUp(headsUp) {}

void ViewController::press(unsigned char key) {
    // Escape before any binding is looked at.
    if (key == 27) {
        escape();
        return;
    }
    const ViewKey* viewKey = findViewKey(key);
    if (!viewKey) {
        handleKey(key, 0, 0);
        return;
    }
    if (controls.apply(*viewKey)) {
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

void ViewController::runDueFrames(double now, int width, int height) {
    if (escaped) {
        return;
    }
    int due = clock.framesDue(now, session.lastFrameSeconds());
    if (options.framesGiven) {
        due = std::min(due, options.frames - session.frame());
    }
    bool frozen = clock.frozen();
    for (int i = 0; i < due && clock.frozen() == frozen && !escaped; ++i) {
        CameraMatrices m = shownCamera(width, height, true);
        session.runFrame(MatrixFrustum(m.projection, m.modelview));
        headsUp.frameSimulated(session.lastFrameSeconds());
        pressDueKeys();
    }
}

void ViewController::frameBodies() {
    controls.camera.frame(boundAliveBodies(bodyArray, bodyCount));
}

CameraMatrices ViewController::shownCamera(int width, int height, bool forQuery) const {
    CameraPose pose{cameraTransX, cameraTransY, cameraTransZ, cameraRotX, cameraRotY, cameraRotZ};
    return controls.camera.matrices(pose, width, height, forQuery);
}

CameraMatrices ViewController::makePicture(ViewPicture& picture, int width, int height,
                                           int pixelHeight) {
    CameraMatrices shown = shownCamera(width, height, false);
    CameraMatrices query = shownCamera(width, height, true);
    MatrixFrustum bodyFrustum(query.projection, query.modelview);
    MatrixFrustum sceneFrustum(shown.projection, shown.modelview);
    controls.slab.place(controls.camera.framed(), viewDirection(shown.modelview));
    PictureSetup setup;
    setup.bodyFrustum = &bodyFrustum;
    setup.sceneFrustum = &sceneFrustum;
    setup.eye = eyePosition(shown.modelview);
    setup.pixelsPerUnit = pixelsPerUnit(shown.projection, pixelHeight);
    setup.levels = &controls.levels;
    setup.slab = &controls.slab;
    setup.shells = controls.shells;
    setup.quiet = session.sweep().recorded();
    picture.begin(setup);
    world->draw();
    picture.addSweep(session.sweep());
    return shown;
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
