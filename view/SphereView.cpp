// sphere-view: the scene of sphere-demo with its bounding-sphere tree drawn level by level, at a
// fixed simulation rate, with a body's sweep query shown as it runs. The GL-free view library
// makes the picture; the renderer that the browser page shares draws it.
#include "app/AppGlobals.h"
#include "app/CameraMatrices.h"
#include "app/GLState.h"
#include "app/GLViewportLimit.h"
#include "app/KeyBindings.h"
#include "app/Version.h"
#include "body/Body.h"
#include "frustum/MatrixFrustum.h"
#include "output/OutputFile.h"
#include "output/StopSignals.h"
#include "spheretree/QuerySphereTree.h"
#include "view/ClipSlab.h"
#include "view/DisplayErrors.h"
#include "view/HeadsUp.h"
#include "view/LevelLegend.h"
#include "view/Picking.h"
#include "view/PngFile.h"
#include "view/SimulationClock.h"
#include "view/ViewCamera.h"
#include "view/ViewController.h"
#include "view/ViewKeys.h"
#include "view/ViewOptions.h"
#include "view/ViewPicture.h"
#include "view/ViewRenderer.h"
#include "view/ViewSession.h"
#include "world/World.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

using namespace spheres;

namespace {

constexpr int exitBadOption = 2;
constexpr int exitOutputFailed = 3;
constexpr int exitDisplayFailed = 4;

ViewOptions options;
ViewSession* session = nullptr;
SimulationClock* simClock = nullptr;
ViewController* controller = nullptr;
ViewPicture picture;
ViewRenderer renderer;
GLViewportLimit viewportLimit;
int windowWidth = 640;
int windowHeight = 480;

// Running figures for the heads-up text and the closing summary.
HeadsUp headsUp;

double now() {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count();
}

// A normal end (Escape, the last frame, the window closed): the outputs are put in place, with
// the screenshot of picture if given; returns status, or 3 when an output could not be written.
int closeView(int status, const unsigned char* picture = nullptr) {
    controller->finishFrames();
    std::string error = session->closeOutputs(picture, windowWidth, windowHeight);
    if (!error.empty()) {
        std::fprintf(stderr, "sphere-view: %s; no file replaced\n", error.c_str());
        status = exitOutputFailed;
    }
    std::fprintf(stderr, "sphere-view: %s\n", headsUp.summary(now()).c_str());
    std::fflush(stdout);
    return status;
}

[[noreturn]] void finish(int status, const unsigned char* picture = nullptr) {
    std::exit(closeView(status, picture));
}

// A refused request or a lost display is an error, and no file is replaced.
int displayFailed(const std::string& message) {
    if (controller != nullptr) {
        controller->finishFrames();
    }
    if (session != nullptr) {
        session->discardTrace();
    }
    std::fprintf(stderr, "sphere-view: %s; no file replaced\n", message.c_str());
    return exitDisplayFailed;
}

void keyboard(unsigned char key, int, int) {
    controller->press(key);
}

void special(int key, int x, int y) {
    // A bound special key may change the scene: frames running aside end first.
    controller->finishFrames();
    handleSpecialKey(key, x, y);
}

MouseButton buttonOf(int button) {
    return button == GLUT_LEFT_BUTTON     ? MouseButton::Left
           : button == GLUT_MIDDLE_BUTTON ? MouseButton::Middle
                                          : MouseButton::Right;
}

void mouseButton(int button, int state, int x, int y) {
    // The wheel comes as buttons 3 (away from the user: closer) and 4.
    if (button == 3 || button == 4) {
        if (state == GLUT_DOWN) {
            controller->wheelTurned(button == 3 ? 1 : -1);
        }
    } else if (state == GLUT_DOWN) {
        controller->mousePressed(buttonOf(button), x, y);
    } else {
        controller->mouseReleased(buttonOf(button), x, y, windowWidth, windowHeight);
    }
}

void mouseMotion(int x, int y) {
    controller->mouseMoved(x, y);
}

void reshape(int width, int height) {
    viewportLimit.clampReshape(width, height);
    reshapeAspect(width, height);
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
}

// When the last picture was drawn.
double lastPicture = 0.0;

void idle() {
    // A window destroyed by another client ends the view as a closed one does.
    static double probed = 0.0;
    if (now() - probed >= 0.25) {
        probed = now();
        probeWatchedWindow();
    }
    if (const DisplayError* error = firstDisplayError()) {
        std::exit(error->how == DisplayEnd::WindowDestroyed ? closeView(EXIT_SUCCESS)
                                                            : displayFailed(error->message));
    }
    // Interrupted or terminated: the files named are left as they were.
    if (int signal = StopSignals::received()) {
        controller->finishFrames();
        session->discardTrace();
        std::fprintf(stderr, "sphere-view: stopped by signal %d after frame %d; no file replaced\n",
                     signal, session->frame());
        std::exit(StopSignals::exitStatus(signal));
    }
    // While no picture is drawn (the window hidden), the frames due run here, in place.
    if (now() - lastPicture > 0.25) {
        controller->runDueFrames(now(), windowWidth, windowHeight);
    }
    glutPostRedisplay();
}

void text(int x, int y, const std::string& line) {
    glRasterPos2i(x, y);
    for (char c : line) {
        glutBitmapCharacter(GLUT_BITMAP_8_BY_13, c);
    }
}

// The legend at the bottom left: a square of each level's colour (dimmed while the level is
// hidden), then its number, node count and state; the bodies last.
void drawLegend() {
    std::vector<LegendRow> rows = controller->controls.levels.rows(picture.levelCounts());
    int rowHeight = 15;
    int top = 8 + rowHeight * static_cast<int>(rows.size());
    std::size_t widest = 0;
    for (const LegendRow& row : rows) {
        widest = std::max(widest, row.text.size());
    }
    glEnable(GL_BLEND);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRecti(0, 0, 36 + 8 * static_cast<int>(widest), top + 4);
    glDisable(GL_BLEND);
    int y = top - rowHeight;
    for (const LegendRow& row : rows) {
        int dim = row.shown ? 1 : 3;
        glColor3ub(static_cast<GLubyte>(row.colour[0] / dim),
                   static_cast<GLubyte>(row.colour[1] / dim),
                   static_cast<GLubyte>(row.colour[2] / dim));
        glRecti(8, y - 2, 20, y + 10);
        float grey = row.emphasised ? 1.0f : 0.85f;
        glColor3f(grey, grey, grey);
        text(28, y, row.text);
        y -= rowHeight;
    }
}

// The heads-up text, made while no frame runs aside: it reads the scene.
std::vector<std::string> headsUpLines;

void drawHeadsUp() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0.0, windowWidth, 0.0, windowHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    const std::vector<std::string>& lines = headsUpLines;
    std::size_t widest = 0;
    for (const std::string& line : lines) {
        widest = std::max(widest, line.size());
    }
    // A dark panel under the text keeps it readable over the spheres.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRecti(0, windowHeight - 8 - 15 * static_cast<int>(lines.size()),
            16 + 8 * static_cast<int>(widest), windowHeight);
    glDisable(GL_BLEND);
    glColor3f(0.85f, 0.85f, 0.85f);
    int y = windowHeight - 16;
    for (const std::string& line : lines) {
        text(8, y, line);
        y -= 15;
    }
    drawLegend();
    glEnable(GL_DEPTH_TEST);
}

std::vector<unsigned char> readPicture() {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(windowWidth) *
                                      static_cast<std::size_t>(windowHeight) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void display() {
    // Nothing is drawn while the window is beyond the viewport limit; its shrink is on the way.
    double started = now();
    if (!viewportLimit.clearWithinLimit(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)) {
        glutPostRedisplay();
        return;
    }
    // The frames due run beside the drawing, from the scene this picture shows; while they run,
    // pictures of that scene are drawn again as long as the camera and controls stay.
    controller->collectFrames();
    CameraMatrices shown =
        controller->makePicture(picture, windowWidth, windowHeight, windowHeight);
    bool settled = !controller->framesRunning();
    bool last = settled && options.framesGiven && session->frame() >= options.frames;
    if (settled) {
        headsUpLines = headsUp.lines(*session, *simClock, controller->headsUpDrawing(picture));
        if (!last) {
            controller->startDueFrames(now(), windowWidth, windowHeight);
        }
    }
    renderer.draw(picture, shown, windowWidth, windowHeight);
    drawHeadsUp();
    glFinish();

    double ended = now();
    headsUp.pictureDrawn(ended - started, ended);
    lastPicture = ended;

    std::vector<unsigned char> picture;
    if (last && !options.screenshotPath.empty()) {
        picture = readPicture();
    }
    glutSwapBuffers();
    if (last) {
        finish(EXIT_SUCCESS, picture.empty() ? nullptr : picture.data());
    }
}

// freeglut's fatal errors (no display above all) end here instead of in its own exit(1).
void glutFailed(const char* pattern, va_list arguments) {
    std::fprintf(stderr, "sphere-view: ");
    std::vfprintf(stderr, pattern, arguments);
    std::fprintf(stderr, "\nsphere-view: it needs an X display with OpenGL 3.3: run it under "
                         "xvfb-run -a (Debian package xvfb), or open the browser page "
                         "(tools/web.sh)\n");
    std::exit(exitDisplayFailed);
}

int run(int argc, char** argv) {
    ViewParseResult parsed = parseViewOptions(argc, argv);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "sphere-view: %s\n", parsed.error.c_str());
        return exitBadOption;
    }
    options = parsed.options;
    if (options.help) {
        std::fputs(viewUsage(), stdout);
        return EXIT_SUCCESS;
    }
    if (options.version) {
        std::printf("sphere-view %s\n", spheresVersion());
        return EXIT_SUCCESS;
    }
    if (options.framesGiven || !options.screenshotPath.empty()) {
        options.framesGiven = true;
    }

    // GLUT reads its own options; -geometry overrides the size and place set before.
    glutInitWindowPosition(100, 100);
    glutInitWindowSize(640, 480);
    std::vector<char*> glutArgv;
    for (std::string& argument : options.glutArguments) {
        glutArgv.push_back(&argument[0]);
    }
    int glutArgc = static_cast<int>(glutArgv.size());
    glutArgv.push_back(nullptr);
    glutInitErrorFunc(glutFailed);
    glutInit(&glutArgc, glutArgv.data());
    // X errors and a lost display become the view's own ends; a window closed from outside
    // (the window manager's close) returns from the main loop, which ends the view normally.
    handleDisplayEnds(displayFailed);
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    // The renderer's shaders need 3.3; a compatibility context keeps GLUT's bitmap text.
    glutInitContextVersion(3, 3);
    glutInitContextProfile(GLUT_COMPATIBILITY_PROFILE);
    viewportLimit.createWindow("sphere-view");
    watchWindow(glXGetCurrentDrawable());
    windowWidth = glutGet(GLUT_WINDOW_WIDTH);
    windowHeight = glutGet(GLUT_WINDOW_HEIGHT);
    initGLState();
    std::string rendererError;
    if (!renderer.init(rendererError)) {
        std::fprintf(stderr, "sphere-view: %s\n", rendererError.c_str());
        return exitDisplayFailed;
    }

    StopSignals::install();
    registerKeyBindings();
    SimulationClock clock(options.rate);
    simClock = &clock;
    session = new ViewSession(options, stdout);
    if (!session->openTrace()) {
        std::fprintf(stderr, "sphere-view: --trace: %s\n", session->traceError().c_str());
        // A FIFO waited for its reader until a stop signal came.
        int signal = StopSignals::received();
        return signal != 0 ? StopSignals::exitStatus(signal) : exitOutputFailed;
    }
    session->setDebugDraw(&picture);
    ViewController control(options, *session, clock, headsUp);
    controller = &control;
    // Escape ends the view.
    controller->escape = [] { finish(EXIT_SUCCESS); };
    controller->frameBodies();
    controller->controls.levels.chooseEmphasis(countTreeLevels(world->getTree()));
    headsUp.start(now());
    controller->pressDueKeys();

    glutKeyboardFunc(keyboard);
    glutSpecialFunc(special);
    glutMouseFunc(mouseButton);
    glutMotionFunc(mouseMotion);
    glutReshapeFunc(reshape);
    glutDisplayFunc(display);
    glutIdleFunc(idle);
    glutMainLoop();
    finish(EXIT_SUCCESS);
}

} // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not hand its number to the X
    // connection or a file.
    openStandardStreams();
    // Line-buffered, so a file or a pipe sees each line as it is written.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "sphere-view: out of memory\n");
        return exitOutputFailed;
    }
}
