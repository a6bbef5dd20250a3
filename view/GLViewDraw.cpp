#include "view/GLViewDraw.h"

#include "frustum/Frustum.h"
#include "spheretree/NodeTests.h"
#include "view/SweepRecorder.h"

#include <GL/gl.h>

#include <algorithm>

const std::uint8_t GLViewDraw::levelColours[levelCount][4] = {
    {128, 128, 128, 255}, // the root: grey
    {77, 128, 255, 255},  // blue
    {51, 255, 51, 255},   // green
    {255, 255, 51, 255},  // yellow
    {255, 77, 255, 255},  // magenta
    {51, 255, 255, 255},  // cyan
};

namespace {

const std::uint8_t escapedColour[4] = {255, 140, 0, 255};
const std::uint8_t acceptedColour[4] = {255, 255, 255, 255};
const std::uint8_t rejectedColour[4] = {204, 77, 77, 255};
const std::uint8_t leafColour[4] = {153, 153, 255, 255};
const std::uint8_t contactColour[4] = {255, 255, 255, 255};

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

void GLViewDraw::begin(const Frustum& bodyCull, const Frustum& sceneCull) {
    bodyFrustum = &bodyCull;
    sceneFrustum = &sceneCull;
    drawnBodies = 0;
    bodies.clear();
    wires.clear();
    shells.clear();
}

void GLViewDraw::drawBody(const Vector3& position, float radius) {
    static const std::uint8_t red[4] = {255, 0, 0, 255};
    if (!outside(*bodyFrustum, position, radius)) {
        bodies.add(position, radius, red);
        ++drawnBodies;
    }
}

void GLViewDraw::addBounds(const Vector3& center, float radius, const std::uint8_t colour[4]) {
    if (outside(*sceneFrustum, center, radius)) {
        return;
    }
    if (translucent) {
        const std::uint8_t faint[4] = {colour[0], colour[1], colour[2], translucentAlpha};
        shells.add(center, radius, faint);
    } else {
        wires.add(center, radius, colour);
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
    glDisable(GL_LIGHTING);
    submit(wires);
    if (!shells.empty()) {
        // Blended over everything drawn, without hiding each other.
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
        submit(shells);
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
}

void GLViewDraw::drawSweep(const SweepRecorder& sweep) {
    if (!sweep.recorded()) {
        return;
    }
    sweepWires.clear();
    for (const SweepRecorder::Node& node : sweep.nodes()) {
        sweepWires.add(node.center, node.radius, node.accepted ? acceptedColour : rejectedColour);
    }
    const SweepRecorder::Leaf* earliest = sweep.earliestContact();
    for (const SweepRecorder::Leaf& leaf : sweep.leaves()) {
        sweepWires.add(leaf.center, leaf.radius, &leaf == earliest ? contactColour : leafColour);
    }
    glDisable(GL_LIGHTING);
    glLineWidth(2.0f);
    submit(sweepWires);
    // The query body's path over the last step.
    Vector3 from = sweep.pathStart();
    Vector3 to = sweep.pathEnd();
    glColor4ubv(contactColour);
    glBegin(GL_LINES);
    glVertex3f(from.x, from.y, from.z);
    glVertex3f(to.x, to.y, to.z);
    glEnd();
    glLineWidth(1.0f);
}
