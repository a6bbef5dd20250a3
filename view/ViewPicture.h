#pragma once

#include "math/Plane.h"
#include "math/Vector3.h"
#include "spheretree/DebugDraw.h"
#include "view/LevelLegend.h"

#include <cstdint>
#include <vector>

namespace spheres {

class ClipSlab;
class Frustum;
class SweepRecorder;

/// One sphere as the renderer draws it, in the layout of its instance buffers: a lit body, a
/// translucent shell, or the silhouette an eye sees of it (the circle where the lines from the
/// eye touch the sphere).
struct DrawnSphere {
    float center[3];
    float radius;
    /// RGBA; the alpha is the opacity.
    std::uint8_t colour[4];
    /// Width of a silhouette's line, in pixels.
    float width;
    /// Dashes around a silhouette; 0 draws it solid.
    float dashes;
};

/// What a picture takes from the window: the cameras' frustums, the eye, and the view's state.
struct PictureSetup {
    /// The frustum query's frustum: the bodies it passes are drawn and counted.
    const Frustum* bodyFrustum = nullptr;
    /// The picture's frustum: bounding spheres wholly outside it are left out.
    const Frustum* sceneFrustum = nullptr;
    Vector3 eye;
    /// The size in pixels of one unit at distance 1.
    float pixelsPerUnit = 1.0f;
    const LevelLegend* levels = nullptr;
    const ClipSlab* slab = nullptr;
    /// Translucent shells shaded by their facing instead of silhouettes.
    bool shells = false;
    /// A query is on show: every level faint, so that the query stands out.
    bool quiet = false;
};

/// The picture of a tree and of a selected body's sweep query, as arrays of sphere instances
/// that a renderer draws with one call each; no graphics library is needed to make it. The
/// tree's draw() fills it through the drawing interface.
class ViewPicture final : public DebugDraw {
public:
    /// How a renderer draws a body or a silhouette, by its radius in pixels: the smallest (by
    /// far the most) as one point each, which costs a software renderer least; from
    /// pointPixels on on a square facing the eye, which covers fewer pixels than a point (a
    /// square on the screen) and whose pixels do less; a silhouette from largePixels on as a
    /// ring of triangles, which covers fewer pixels than a square.
    enum SphereSize { Point, Square, Ring, sizeCount };
    static constexpr float pointPixels = 16.0f;
    /// Silhouettes of at least this radius in pixels are rings.
    static constexpr float largePixels = 48.0f;
    /// A faint silhouette or shell less than this radius in pixels is left out: it would be a
    /// dot among the bodies, and there can be a hundred thousand of them.
    static constexpr float faintDotPixels = 3.0f;

    /// Query colours: nodes the query entered, nodes it rejected (dashed), leaves it reached,
    /// the partner of the earliest contact, and the body itself with its path.
    static const std::uint8_t enteredColour[4];
    static const std::uint8_t rejectedColour[4];
    static const std::uint8_t leafColour[4];
    static const std::uint8_t contactColour[4];
    static const std::uint8_t selectedColour[4];

    /// Forgets the last picture and starts one.
    void begin(const PictureSetup& setup);
    /// A number that no other begin() of any picture gave: it tells whether the picture was
    /// begun again since (0 before the first).
    unsigned long made() const { return madeAs; }
    /// Adds the recorded query, drawn over everything else; nothing when none is recorded.
    void addSweep(const SweepRecorder& sweep);

    void drawBody(const Vector3& position, float radius) override;
    void drawBounds(const Vector3& center, float radius, int level) override;
    void drawEscapedLeaf(const Vector3& center, float radius) override;

    /// The lit bodies drawn as points or squares.
    const std::vector<DrawnSphere>& bodies(SphereSize size) const { return bodyLists[size]; }
    /// The silhouettes of a size; faint ones are drawn first, strong ones (opaque) over them.
    const std::vector<DrawnSphere>& silhouettes(bool strong, SphereSize size) const {
        return silhouetteLists[strong ? 1 : 0][size];
    }
    /// Translucent shells (with PictureSetup::shells).
    const std::vector<DrawnSphere>& shells() const { return shellList; }
    /// The query's body, drawn lit over everything.
    const std::vector<DrawnSphere>& queryBodies() const { return queryBodyList; }
    /// The query's nodes and leaves as small or large silhouettes, drawn over everything.
    const std::vector<DrawnSphere>& querySilhouettes(bool large) const {
        return querySilhouetteLists[large ? 1 : 0];
    }
    /// The query body's path over the last step, when a query is recorded.
    bool hasPath() const { return pathShown; }
    Vector3 pathStart() const { return pathFrom; }
    Vector3 pathEnd() const { return pathTo; }

    /// The nodes the tree's walk sent, by level, as countTreeLevels counts them.
    const TreeLevelCounts& levelCounts() const { return counts; }
    /// Bodies inside the body frustum: the frustum query's count.
    int drawnBodies() const { return drawn; }
    /// Of those, the bodies the slab lets through (all of them while it is off).
    int slabBodies() const { return inSlab; }

private:
    PictureSetup setup;
    unsigned long madeAs = 0;
    // The frustums' planes and the levels' styles, read once a picture.
    Plane bodyPlanes[6];
    Plane scenePlanes[6];
    LevelStyle styles[LevelLegend::levelCount];
    TreeLevelCounts counts;
    std::vector<DrawnSphere> bodyLists[2];
    std::vector<DrawnSphere> silhouetteLists[2][sizeCount];
    std::vector<DrawnSphere> shellList;
    std::vector<DrawnSphere> queryBodyList;
    std::vector<DrawnSphere> querySilhouetteLists[2];
    bool pathShown = false;
    Vector3 pathFrom;
    Vector3 pathTo;
    int drawn = 0;
    int inSlab = 0;

    /// The radius in pixels of the silhouette of a sphere seen from the eye; 0 for a sphere that
    /// holds the eye, which shows none.
    float silhouettePixels(const Vector3& center, float radius) const;
    void addBounds(const Vector3& center, float radius, const std::uint8_t colour[4], float width,
                   bool strong);
    void addQuery(const Vector3& center, float radius, const std::uint8_t colour[4], float width,
                  bool dashed);
};

} // namespace spheres
