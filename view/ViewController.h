#pragma once

#include "view/HeadsUp.h"
#include "view/PictureControls.h"
#include "view/ViewCamera.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace spheres {

/// The mouse buttons the view tells apart.
enum class MouseButton { Left, Middle, Right };

class SimulationClock;
class ViewPicture;
class ViewSession;
struct ViewOptions;

/// What the window and the page do alike, without GL and without knowing their shell: the keys
/// (the view's own, the demo's, Escape), the frames due at the clock's rate within --frames, the
/// camera shown with the demo's six values, and each picture's spheres. The shell passes its
/// size, its time and its keys in, and draws.
class ViewController {
public:
    /// Runs session's frames at clock's rate within options' frames and counts them in headsUp;
    /// all four outlive the controller.
    ViewController(const ViewOptions& options, ViewSession& session, SimulationClock& clock,
                   HeadsUp& headsUp);
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;
    /// Waits for frames still running aside.
    ~ViewController();

    /// What the keys change in the picture alone.
    PictureControls controls;
    /// What Escape does; by default it stops the simulation until a reset.
    std::function<void()> escape;

    /// Carries out a key pressed or replayed: Escape, the view's keys, or the demo's.
    void press(unsigned char key);
    /// Presses the replayed keys due after the frame just run (--keys).
    void pressDueKeys();
    /// Runs the frames due at time now (seconds) one by one, each with the frustum of the camera
    /// shown in a width x height view; a replayed key that freezes, thaws or stops the view
    /// leaves the rest for later.
    void runDueFrames(double now, int width, int height);
    /// The window's way of running them: the frames due at time now (as runDueFrames, with the
    /// frustum of the camera shown now) run on a thread of their own while the window draws the
    /// picture made before they started. Nothing starts while frames run aside already.
    /// Until finishFrames, only the picture's controls and the camera may change: every call
    /// below that reads or changes the scene waits for them first, and makePicture keeps the
    /// last picture if it can and waits otherwise.
    void startDueFrames(double now, int width, int height);
    /// Waits for the frames running aside and counts them; the replayed keys due after them are
    /// pressed, and the frames a key left for later run here. Nothing while none run.
    void finishFrames();
    /// finishFrames, if the frames running aside have ended; returns at once otherwise.
    void collectFrames();
    /// Frames were started aside and finishFrames has not been called since.
    bool framesRunning() const { return aside.thread.joinable(); }
    /// Escape stopped the simulation (by default) and no reset followed.
    bool stopped() const { return escaped; }
    /// Aims the orbit camera at the alive bodies.
    void frameBodies();

    /// The mouse, in pixels from the top left of a width x height view: a left button released
    /// within a few pixels of where it was pressed is a click, which selects the body under it;
    /// a drag with the left button turns the scene, with another it zooms, as does the wheel
    /// (notches > 0: turned away from the user, closer).
    void mousePressed(MouseButton button, int x, int y);
    void mouseReleased(MouseButton button, int x, int y, int width, int height);
    void mouseMoved(int x, int y);
    void wheelTurned(int notches);

    /// The camera shown in a width x height view, with the demo's six values as the keys and
    /// the mouse left them; forQuery gives the frustum query's camera.
    CameraMatrices shownCamera(int width, int height, bool forQuery) const;
    /// Fills picture with the tree as the camera shown in a width x height view sees it, its
    /// lines and dots sized for pixelHeight pixels of height; returns that camera. A picture
    /// filled last time, asked for again with no frame, selection, camera or control changed
    /// since, keeps its spheres: the tree is not walked again.
    CameraMatrices makePicture(ViewPicture& picture, int width, int height, int pixelHeight);
    /// What the heads-up text shows of picture and the controls.
    HeadsUpDrawing headsUpDrawing(const ViewPicture& picture) const;

private:
    const ViewOptions& options;
    ViewSession& session;
    SimulationClock& clock;
    HeadsUp& headsUp;
    bool escaped = false;
    /// What the last picture was made from; picture is its made() once filled.
    struct PictureSource {
        unsigned long picture = 0;
        CameraMatrices shown{}, query{};
        int width = 0, height = 0, pixelHeight = 0;
        unsigned long revision = 0;
        LevelStyle styles[LevelLegend::levelCount];
        int slabAt = 0;
        bool shells = false;
    } lastPicture;
    PictureSource pictureSource(const ViewPicture& picture, int width, int height, int pixelHeight,
                                unsigned long revision, bool recorded) const;
    /// Frames started aside: how many, with which frustum and what the scene was when they
    /// started; the thread writes seconds and ended, read once it has ended.
    struct Aside {
        std::thread thread;
        std::atomic<bool> ended{false};
        int due = 0;
        bool frozen = false;
        int width = 0, height = 0;
        unsigned long revision = 0;
        bool recorded = false;
        std::vector<double> seconds;
        double cost = 0.0;
    } aside;
    /// What the last frame cost, for the clock: the seconds it took when run in place; run
    /// aside, its thread's processor time, since the renderer's threads share the cores with it
    /// and stretch its wall-clock time without making it any dearer.
    double frameCost = 0.0;
    int framesDue(double now);
    void runFrames(int count, bool frozen, int width, int height);
    struct Mouse {
        bool pressed = false;
        MouseButton button = MouseButton::Left;
        int pressX = 0, pressY = 0, lastX = 0, lastY = 0;
        bool dragged = false;
    } mouse;
};

} // namespace spheres
