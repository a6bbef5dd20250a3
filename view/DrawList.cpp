#include "view/DrawList.h"

#include "frustum/Frustum.h"
#include "spheretree/NodeIntersection.h"
#include "view/SweepRecorder.h"

#include <algorithm>

namespace spheres {

const std::uint8_t DrawList::levelColours[levelCount][4] = {
    {128, 128, 128, 255}, // the root: grey
    {77, 128, 255, 255},  // blue
    {51, 255, 51, 255},   // green
    {255, 255, 51, 255},  // yellow
    {255, 77, 255, 255},  // magenta
    {51, 255, 255, 255},  // cyan
};
const std::uint8_t DrawList::escapedColour[4] = {160, 100, 40, 255};

namespace {

const std::uint8_t bodyColour[4] = {255, 0, 0, 255};
// The selected body's query: nodes entered bright, rejected dim, leaves reached in blue, the
// earliest contact's partner in white, the body itself and its path in orange.
const std::uint8_t acceptedColour[4] = {230, 230, 230, 255};
const std::uint8_t rejectedColour[4] = {110, 50, 50, 255};
const std::uint8_t leafColour[4] = {120, 140, 255, 255};
const std::uint8_t contactColour[4] = {255, 255, 255, 255};
const std::uint8_t selectedColour[4] = {255, 170, 0, 255};

// Alpha of a translucent bounding sphere: many nest, so each adds little.
constexpr std::uint8_t translucentAlpha = 31;

bool outside(const Frustum* frustum, const Vector3& center, float radius) {
    for (int i = 0; frustum && i < 6; ++i) {
        if (sphereOutsidePlane(*frustum->getPlane(i), center, radius)) {
            return true;
        }
    }
    return false;
}

void add(std::vector<SphereInstance>& list, const Vector3& center, float radius,
         const std::uint8_t colour[4]) {
    list.push_back(
        {center.x, center.y, center.z, radius, {colour[0], colour[1], colour[2], colour[3]}});
}

} // namespace

void DrawList::begin(const Frustum& bodyCull, const Frustum& sceneCull) {
    bodyFrustum = &bodyCull;
    sceneFrustum = &sceneCull;
    for (std::vector<SphereInstance>* list :
         {&bodyList, &boundsList, &sweepNodeList, &overlayList}) {
        list->clear();
    }
    segmentList.clear();
}

void DrawList::drawBody(const Vector3& position, float radius) {
    if (!outside(bodyFrustum, position, radius)) {
        add(bodyList, position, radius, bodyColour);
    }
}

void DrawList::addBounds(const Vector3& center, float radius, const std::uint8_t colour[4]) {
    if (!outside(sceneFrustum, center, radius)) {
        const std::uint8_t faint[4] = {colour[0], colour[1], colour[2], translucentAlpha};
        add(boundsList, center, radius, translucent ? faint : colour);
    }
}

void DrawList::drawBounds(const Vector3& center, float radius, int level) {
    int shown = std::min(level, levelCount - 1);
    if (levelShown[shown]) {
        addBounds(center, radius, levelColours[shown]);
    }
}

void DrawList::drawEscapedLeaf(const Vector3& center, float radius) {
    addBounds(center, radius, escapedColour);
}

void DrawList::addSweep(const SweepRecorder& sweep) {
    if (!sweep.recorded()) {
        return;
    }
    for (const SweepRecorder::Node& node : sweep.nodes()) {
        add(sweepNodeList, node.center, node.radius,
            node.accepted ? acceptedColour : rejectedColour);
    }
    const SweepRecorder::Leaf* earliest = sweep.earliestContact();
    for (const SweepRecorder::Leaf& leaf : sweep.leaves()) {
        add(overlayList, leaf.center, leaf.radius, &leaf == earliest ? contactColour : leafColour);
    }
    add(overlayList, sweep.pathEnd(), sweep.bodyRadius(), selectedColour);
    segmentList.push_back(
        {sweep.pathStart(),
         sweep.pathEnd(),
         {selectedColour[0], selectedColour[1], selectedColour[2], selectedColour[3]}});
}

} // namespace spheres
