#include "view/GLViewDraw.h"

#include "frustum/Frustum.h"
#include "spheretree/NodeIntersection.h"
#include "view/SweepRecorder.h"

#include <GL/gl.h>

#include <algorithm>

namespace spheres {

const std::uint8_t GLViewDraw::levelColours[levelCount][4] = {
    {128, 128, 128, 255}, // the root: grey
    {77, 128, 255, 255},  // blue
    {51, 255, 51, 255},   // green
    {255, 255, 51, 255},  // yellow
    {255, 77, 255, 255},  // magenta
    {51, 255, 255, 255},  // cyan
};

namespace {

const std::uint8_t escapedColour[4] = {160, 100, 40, 255};
// The selected body's query: nodes entered bright, rejected dim, leaves reached in blue, the
// earliest contact's partner in white, the body itself and its path in orange.
const std::uint8_t acceptedColour[4] = {230, 230, 230, 255};
const std::uint8_t rejectedColour[4] = {110, 50, 50, 255};
const std::uint8_t leafColour[4] = {120, 140, 255, 255};
const std::uint8_t contactColour[4] = {255, 255, 255, 255};
const std::uint8_t selectedColour[4] = {255, 170, 0, 255};

// Below these radii on screen, in pixels, a body or a bounding sphere is drawn with fewer
// vertices. Lines cost far more than their few pixels suggest, so wire spheres turn coarse early.
constexpr float smallBodyPixels = 12.0f;
constexpr float smallBoundsPixels = 48.0f;

// Alpha of a translucent sphere: many nest, so each adds little.
constexpr std::uint8_t translucentAlpha = 31;

bool outside(const Frustum& frustum, const Vector3& center, float radius) {
    for (int i = 0; i < 6; ++i) {
        if (sphereOutsidePlane(*frustum.getPlane(i), center, radius)) {
            return true;
        }
    }
    return false;
}

void submit(const SphereBatch& batch) {
    if (batch.empty()) {
        return;
    }
    bool solid = batch.shape() == SphereBatch::Shape::Solid;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, batch.positions().data());
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, batch.colours().data());
    if (solid) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, batch.normals().data());
    }
    glDrawElements(solid ? GL_TRIANGLES : GL_LINES, static_cast<GLsizei>(batch.indices().size()),
                   GL_UNSIGNED_INT, batch.indices().data());
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

} // namespace

void GLViewDraw::begin(const Frustum& bodyCull, const Frustum& sceneCull, const Vector3& from,
                       float pixels) {
    bodyFrustum = &bodyCull;
    sceneFrustum = &sceneCull;
    eye = from;
    pixelsPerUnit = pixels;
    drawnBodies = 0;
    for (SphereBatch* batch : {&bodies, &smallBodies, &wires, &smallWires, &shells, &smallShells}) {
        batch->clear();
    }
}

bool GLViewDraw::looksSmall(const Vector3& center, float radius, float pixels) const {
    float distance = (center - eye).length();
    return distance > radius && radius * pixelsPerUnit < pixels * distance;
}

void GLViewDraw::drawBody(const Vector3& position, float radius) {
    static const std::uint8_t red[4] = {255, 0, 0, 255};
    if (!outside(*bodyFrustum, position, radius)) {
        (looksSmall(position, radius, smallBodyPixels) ? smallBodies : bodies)
            .add(position, radius, red);
        ++drawnBodies;
    }
}

void GLViewDraw::addBounds(const Vector3& center, float radius, const std::uint8_t colour[4]) {
    if (outside(*sceneFrustum, center, radius)) {
        return;
    }
    bool small = looksSmall(center, radius, smallBoundsPixels);
    if (translucent) {
        const std::uint8_t faint[4] = {colour[0], colour[1], colour[2], translucentAlpha};
        (small ? smallShells : shells).add(center, radius, faint);
    } else {
        if (small) {
            smallWires.addOutline(center, radius, eye, colour);
        } else {
            wires.add(center, radius, colour);
        }
    }
}

void GLViewDraw::drawBounds(const Vector3& center, float radius, int level) {
    int shown = std::min(level, levelCount - 1);
    if (levelShown[shown]) {
        addBounds(center, radius, levelColours[shown]);
    }
}

void GLViewDraw::drawEscapedLeaf(const Vector3& center, float radius) {
    addBounds(center, radius, escapedColour);
}

void GLViewDraw::finish() {
    // The bodies lit red through the colour material, under the demo's light.
    glEnable(GL_LIGHTING);
    submit(bodies);
    submit(smallBodies);
    glDisable(GL_LIGHTING);
    submit(wires);
    submit(smallWires);
    if (!shells.empty() || !smallShells.empty()) {
        // Blended over everything drawn, without hiding each other.
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
        submit(shells);
        submit(smallShells);
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
}

void GLViewDraw::drawSweep(const SweepRecorder& sweep) {
    if (!sweep.recorded()) {
        return;
    }
    sweepNodes.clear();
    for (const SweepRecorder::Node& node : sweep.nodes()) {
        sweepNodes.add(node.center, node.radius, node.accepted ? acceptedColour : rejectedColour);
    }
    sweepLeaves.clear();
    const SweepRecorder::Leaf* earliest = sweep.earliestContact();
    for (const SweepRecorder::Leaf& leaf : sweep.leaves()) {
        sweepLeaves.add(leaf.center, leaf.radius, &leaf == earliest ? contactColour : leafColour);
    }
    sweepLeaves.add(sweep.pathEnd(), sweep.bodyRadius(), selectedColour);
    glDisable(GL_LIGHTING);
    submit(sweepNodes);
    // The leaves and the body over everything else, so that no body hides them.
    glDisable(GL_DEPTH_TEST);
    glLineWidth(2.0f);
    submit(sweepLeaves);
    // The query body's path over the last step.
    Vector3 from = sweep.pathStart();
    Vector3 to = sweep.pathEnd();
    glColor4ubv(selectedColour);
    glBegin(GL_LINES);
    glVertex3f(from.x, from.y, from.z);
    glVertex3f(to.x, to.y, to.z);
    glEnd();
    glLineWidth(1.0f);
    glEnable(GL_DEPTH_TEST);
}

} // namespace spheres
