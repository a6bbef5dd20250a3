#pragma once

#include "math/Vector3.h"
#include "spheretree/DebugDraw.h"
#include "view/SphereBatch.h"

namespace spheres {

class Frustum;
class SweepRecorder;

/// The view's drawing of a tree: the bodies inside the frustum lit red as the demo draws them,
/// every shown level's bounding spheres in the level's colour, wireframe or translucent, and the
/// spheres of escaped leaves in a colour of their own. The walk only collects; finish() draws
/// each kind with one call. Needs a current GL context.
class GLViewDraw final : public DebugDraw {
public:
    /// Levels that have a colour and a key (0 is the root).
    static constexpr int levelCount = 6;
    /// Level colours; a level past the last takes the last colour.
    static const std::uint8_t levelColours[levelCount][4];

    /// Starts a tree's drawing: bodies outside bodyFrustum are skipped, bounding spheres
    /// outside sceneFrustum. Spheres that look small from eye (pixelsPerUnit is the size in
    /// pixels of one unit at distance 1) get fewer vertices.
    void begin(const Frustum& bodyFrustum, const Frustum& sceneFrustum, const Vector3& eye,
               float pixelsPerUnit);
    /// Draws what the walk collected: the bodies, then the escaped leaves and the bounding
    /// spheres. Leaves lighting off.
    void finish();
    /// Draws the selected body's recorded sweep query over the scene.
    void drawSweep(const SweepRecorder& sweep);

    void drawBody(const Vector3& position, float radius) override;
    void drawBounds(const Vector3& center, float radius, int level) override;
    void drawEscapedLeaf(const Vector3& center, float radius) override;

    bool levelShown[levelCount] = {true, true, true, true, true, true};
    bool translucent = false;
    /// Bodies drawn since begin().
    int drawnBodies = 0;

private:
    const Frustum* bodyFrustum = nullptr;
    const Frustum* sceneFrustum = nullptr;
    Vector3 eye;
    float pixelsPerUnit = 1.0f;
    // Near spheres: the bodies as the demo's 10 x 10 spheres, the bounding spheres coarser,
    // since there are as many of them as bodies. Spheres a few pixels wide: coarser still.
    SphereBatch bodies{SphereBatch::Shape::Solid, 10, 10};
    SphereBatch smallBodies{SphereBatch::Shape::Solid, 6, 4};
    SphereBatch wires{SphereBatch::Shape::Wire, 10, 6};
    SphereBatch smallWires{SphereBatch::Shape::Wire, 12, 2};
    SphereBatch shells{SphereBatch::Shape::Solid, 10, 6};
    SphereBatch smallShells{SphereBatch::Shape::Solid, 6, 4};
    SphereBatch sweepNodes{SphereBatch::Shape::Wire, 10, 6};
    SphereBatch sweepLeaves{SphereBatch::Shape::Wire, 10, 6};

    bool looksSmall(const Vector3& center, float radius, float pixels) const;
    void addBounds(const Vector3& center, float radius, const std::uint8_t colour[4]);
};

} // namespace spheres
