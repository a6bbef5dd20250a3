#pragma once

#include "math/Vector3.h"
#include "spheretree/DebugDraw.h"

#include <cstdint>
#include <vector>

namespace spheres {

class Frustum;
class SweepRecorder;

/// One sphere as a renderer receives it: centre, radius and an RGBA colour in 20 bytes, laid out
/// to be uploaded unchanged as one instance of an instanced draw.
struct SphereInstance {
    float x, y, z, radius;
    std::uint8_t colour[4];
};

/// A straight segment in one colour.
struct SegmentInstance {
    Vector3 from;
    Vector3 to;
    std::uint8_t colour[4];
};

/// What one picture of the view shows, with no graphics library: the tree's walk (this is its
/// DebugDraw) and the selected body's recorded sweep query fill lists of spheres by kind,
/// culled against the frustums and coloured. A renderer draws each list with one instanced call;
/// the page and the window can share one.
class DrawList final : public DebugDraw {
public:
    /// Levels that have a colour and a key (0 is the root).
    static constexpr int levelCount = 6;
    /// Level colours; a level past the last takes the last colour.
    static const std::uint8_t levelColours[levelCount][4];
    /// The spheres of leaves whose body escaped the root.
    static const std::uint8_t escapedColour[4];

    /// Starts a picture: bodies outside bodyFrustum (the frame's query frustum) are left out, as
    /// are bounding spheres outside sceneFrustum.
    void begin(const Frustum& bodyFrustum, const Frustum& sceneFrustum);
    /// Adds the recorded sweep query: the nodes it entered and rejected, the leaves it reached,
    /// its earliest contact, the query body and its path over the last step. Nothing when none
    /// was recorded.
    void addSweep(const SweepRecorder& sweep);

    void drawBody(const Vector3& position, float radius) override;
    void drawBounds(const Vector3& center, float radius, int level) override;
    void drawEscapedLeaf(const Vector3& center, float radius) override;

    /// Lit solid spheres: the bodies inside the body frustum, in red.
    const std::vector<SphereInstance>& bodies() const { return bodyList; }
    /// The bounding spheres of the shown levels and the escaped leaves: outlines, or faint
    /// shells (alpha below 255) when translucent.
    const std::vector<SphereInstance>& bounds() const { return boundsList; }
    /// Outlines among the scene: the nodes the sweep query entered or rejected.
    const std::vector<SphereInstance>& sweepNodes() const { return sweepNodeList; }
    /// Outlines over everything: the leaves the sweep reached, its contact and the query body.
    const std::vector<SphereInstance>& overlay() const { return overlayList; }
    /// Segments over everything: the query body's path.
    const std::vector<SegmentInstance>& segments() const { return segmentList; }
    /// Bodies added since begin().
    int drawnBodies() const { return static_cast<int>(bodyList.size()); }

    bool levelShown[levelCount] = {true, true, true, true, true, true};
    /// Bounding spheres as faint shells instead of outlines.
    bool translucent = false;

private:
    const Frustum* bodyFrustum = nullptr;
    const Frustum* sceneFrustum = nullptr;
    std::vector<SphereInstance> bodyList;
    std::vector<SphereInstance> boundsList;
    std::vector<SphereInstance> sweepNodeList;
    std::vector<SphereInstance> overlayList;
    std::vector<SegmentInstance> segmentList;

    void addBounds(const Vector3& center, float radius, const std::uint8_t colour[4]);
};

} // namespace spheres
