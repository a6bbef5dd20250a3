#include "view/ViewPicture.h"

#include "frustum/Frustum.h"
#include "spheretree/NodeIntersection.h"
#include "view/ClipSlab.h"
#include "view/SweepRecorder.h"

#include <algorithm>
#include <cmath>

namespace spheres {

const std::uint8_t ViewPicture::enteredColour[4] = {255, 255, 255, 255};
const std::uint8_t ViewPicture::rejectedColour[4] = {170, 170, 170, 255};
const std::uint8_t ViewPicture::leafColour[4] = {120, 140, 255, 255};
const std::uint8_t ViewPicture::contactColour[4] = {255, 255, 255, 255};
const std::uint8_t ViewPicture::selectedColour[4] = {255, 170, 0, 255};

namespace {

bool outside(const Plane planes[6], const Vector3& center, float radius) {
    for (int i = 0; i < 6; ++i) {
        if (sphereOutsidePlane(planes[i], center, radius)) {
            return true;
        }
    }
    return false;
}

DrawnSphere instance(const Vector3& center, float radius, const std::uint8_t colour[4],
                     float width = 1.0f, float dashes = 0.0f) {
    return DrawnSphere{{center.x, center.y, center.z},
                       radius,
                       {colour[0], colour[1], colour[2], colour[3]},
                       width,
                       dashes};
}

// A dash and its gap take about this many pixels of a dashed silhouette.
constexpr float dashPixels = 20.0f;
// The most opacity of a shell.
constexpr std::uint8_t shellAlpha = 150;

} // namespace

void ViewPicture::begin(const PictureSetup& given) {
    static unsigned long pictures = 0;
    madeAs = ++pictures;
    setup = given;
    for (int i = 0; i < 6; ++i) {
        bodyPlanes[i] = *setup.bodyFrustum->getPlane(i);
        scenePlanes[i] = *setup.sceneFrustum->getPlane(i);
    }
    for (int level = 0; level < LevelLegend::levelCount; ++level) {
        styles[level] = setup.levels->style(level, setup.quiet);
    }
    counts = TreeLevelCounts();
    bodyLists[0].clear();
    bodyLists[1].clear();
    shellList.clear();
    queryBodyList.clear();
    for (int size = 0; size < sizeCount; ++size) {
        silhouetteLists[0][size].clear();
        silhouetteLists[1][size].clear();
    }
    querySilhouetteLists[0].clear();
    querySilhouetteLists[1].clear();
    pathShown = false;
    drawn = 0;
    inSlab = 0;
}

float ViewPicture::silhouettePixels(const Vector3& center, float radius) const {
    float squared = (center - setup.eye).lengthSquared() - radius * radius;
    return squared > 0.0f ? radius * setup.pixelsPerUnit / std::sqrt(squared) : 0.0f;
}

void ViewPicture::drawBody(const Vector3& position, float radius) {
    ++counts.leaves;
    if (outside(bodyPlanes, position, radius)) {
        return;
    }
    ++drawn;
    if (setup.slab->reaches(position, radius)) {
        ++inSlab;
        bodyLists[silhouettePixels(position, radius) >= pointPixels ? Square : Point].push_back(
            instance(position, radius, LevelLegend::bodyColour));
    }
}

void ViewPicture::addBounds(const Vector3& center, float radius, const std::uint8_t colour[4],
                            float width, bool strong) {
    Vector3 c = center;
    float r = radius;
    // With the slab in place, the section with its middle plane stands for the sphere: the
    // sphere around that circle, whose silhouette from the eye is (nearly) the circle.
    if (setup.slab->active() && !setup.slab->section(center, radius, c, r)) {
        return;
    }
    if (outside(scenePlanes, c, r)) {
        return;
    }
    float pixels = silhouettePixels(c, r);
    if (pixels <= 0.0f || (!strong && pixels < faintDotPixels)) {
        return;
    }
    DrawnSphere sphere = instance(c, r, colour, width);
    if (setup.shells) {
        // Nested shells add up: even the strong level lets the levels inside show through.
        sphere.colour[3] = std::min(sphere.colour[3], shellAlpha);
        shellList.push_back(sphere);
    } else {
        SphereSize size = pixels >= largePixels ? Ring : pixels >= pointPixels ? Square : Point;
        silhouetteLists[strong ? 1 : 0][size].push_back(sphere);
    }
}

void ViewPicture::drawBounds(const Vector3& center, float radius, int level) {
    std::size_t at = static_cast<std::size_t>(level);
    if (counts.bounding.size() <= at) {
        counts.bounding.resize(at + 1, 0);
    }
    ++counts.bounding[at];
    const LevelStyle& style = styles[LevelLegend::slot(level)];
    if (style.drawn) {
        addBounds(center, radius, style.colour, style.width, style.colour[3] == 255);
    }
}

void ViewPicture::drawEscapedLeaf(const Vector3& center, float radius) {
    ++counts.escaped;
    const std::uint8_t* c = LevelLegend::escapedColour;
    const std::uint8_t faint[4] = {c[0], c[1], c[2], LevelLegend::faintAlpha};
    addBounds(center, radius, faint, 1.0f, false);
}

void ViewPicture::addQuery(const Vector3& center, float radius, const std::uint8_t colour[4],
                           float width, bool dashed) {
    float pixels = silhouettePixels(center, radius);
    if (pixels <= 0.0f) {
        return;
    }
    float dashes = dashed ? std::max(3.0f, std::round(6.2831853f * pixels / dashPixels)) : 0.0f;
    querySilhouetteLists[pixels >= largePixels ? 1 : 0].push_back(
        instance(center, radius, colour, width, dashes));
}

void ViewPicture::addSweep(const SweepRecorder& sweep) {
    if (!sweep.recorded()) {
        return;
    }
    for (const SweepRecorder::Node& node : sweep.nodes()) {
        addQuery(node.center, node.radius, node.accepted ? enteredColour : rejectedColour,
                 node.accepted ? 2.0f : 1.0f, !node.accepted);
    }
    const SweepRecorder::Leaf* earliest = sweep.earliestContact();
    for (const SweepRecorder::Leaf& leaf : sweep.leaves()) {
        bool partner = &leaf == earliest;
        addQuery(leaf.center, leaf.radius, partner ? contactColour : leafColour,
                 partner ? 3.0f : 2.0f, false);
    }
    queryBodyList.push_back(instance(sweep.pathEnd(), sweep.bodyRadius(), selectedColour));
    addQuery(sweep.pathEnd(), sweep.bodyRadius(), selectedColour, 2.0f, false);
    pathShown = true;
    pathFrom = sweep.pathStart();
    pathTo = sweep.pathEnd();
}

} // namespace spheres
