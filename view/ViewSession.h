#pragma once

#include "app/FrameLogic.h"
#include "output/OutputFile.h"
#include "view/SweepRecorder.h"
#include "view/ViewOptions.h"

#include <cstdio>
#include <string>
#include <vector>

namespace spheres {

class DebugDraw;
class Frustum;
class QuerySphereTree;

/// Nodes of a tree by level, as the view lists them.
struct TreeLevelCounts {
    /// Bounding nodes (the root at level 0) by level.
    std::vector<int> bounding;
    int leaves = 0;
    /// Leaves whose body has died.
    int escaped = 0;
};

/// Counts the nodes reachable from the tree's root.
TreeLevelCounts countTreeLevels(QuerySphereTree& tree);

/// The view's scene and everything it does without a window: builds and resets the scene in the
/// application globals, runs simulated frames through the frame function the other programs
/// run, writes the trace and the standard-output lines, replays --keys and keeps the selected
/// body and the record of its sweep query.
class ViewSession {
public:
    /// Builds the scene; out receives the frame and selection lines.
    ViewSession(const ViewOptions& options, std::FILE* out);
    ViewSession(const ViewSession&) = delete;
    ViewSession& operator=(const ViewSession&) = delete;
    ~ViewSession();

    /// Starts the --trace file, if one was asked for, with frame 0; false (traceError() tells why)
    /// if it cannot. The file named is replaced only by closeOutputs().
    bool openTrace();
    /// Ends the outputs: writes the --screenshot of picture (if one was asked for and picture is
    /// given: width x height RGB pixels, bottom row first) and the trace, and puts both in place
    /// of the files named once both are whole and synced. Returns "" or what failed, naming the
    /// option; then neither file named is changed.
    std::string closeOutputs(const unsigned char* picture = nullptr, int width = 0, int height = 0);
    /// Drops the trace written so far, leaving the file named as it was.
    void discardTrace() { trace.discard(); }
    /// What went wrong with the trace.
    std::string traceError() const { return trace.error(); }
    /// Hands debugDraw to the scene's tree, now and after each reset.
    void setDebugDraw(DebugDraw* debugDraw);

    /// Builds the start-up scene again; the frame number starts again at 0.
    void reset();
    /// Runs one simulated frame with the given frustum; the selected body's sweep is recorded.
    void runFrame(const Frustum& frustum);
    /// The presses of --keys due after the current frame, each returned once.
    std::vector<unsigned char> takeDueKeys();
    /// A press of --keys is due after the current frame.
    bool keysDue() const {
        return nextKey < options.keys.size() && options.keys[nextKey].afterFrame <= frameNumber;
    }

    /// Selects body index (-1: none) and writes the selection line.
    void select(int index);
    /// Selects body by its address (null: none).
    void selectBody(Body* body);
    /// Selects the next (step 1) or previous (step -1) alive body after the selected one.
    void cycleSelection(int step);
    int selectedIndex() const { return selected; }
    Body* selectedBody() const;
    /// Index of body in the scene, -1 if it is not one of its bodies.
    int indexOf(const Body* body) const;
    /// The last recorded sweep query of the selected body.
    const SweepRecorder& sweep() const { return recorder; }
    /// Records the selected body's sweep query on the scene as it is now, without a frame.
    void recordSweepNow();

    int frame() const { return frameNumber; }
    int alive() const { return aliveCount; }
    const FrameOutcome& lastOutcome() const { return outcome; }
    /// Seconds the last simulated frame took.
    double lastFrameSeconds() const { return frameSeconds; }
    /// Counts the changes to what a picture shows: the frames run, resets and selections. A
    /// picture made at the same revision, from the same camera and controls, is the same.
    unsigned long revision() const { return changes; }

private:
    ViewOptions options;
    std::FILE* out;
    OutputFile trace;
    std::size_t nextKey = 0;
    int frameNumber = 0;
    int aliveCount = 0;
    int selected = -1;
    FrameOutcome outcome;
    double frameSeconds = 0.0;
    unsigned long changes = 0;
    SweepRecorder recorder;
    /// The batched frame's arrays, kept from frame to frame.
    FrameBuffers frameBuffers;
    DebugDraw* debugDraw = nullptr;

    void createScene();
    void destroyScene();
    void writeTrace();
    void frameDone();
};

} // namespace spheres
