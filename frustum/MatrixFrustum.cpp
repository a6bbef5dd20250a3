#include "frustum/MatrixFrustum.h"

#include <cassert>
#include <cmath>
#include <cstring>

namespace spheres {

MatrixFrustum::MatrixFrustum(const float projectionMatrix[16], const float modelviewMatrix[16]) {
    setMatrices(projectionMatrix, modelviewMatrix);
}

void MatrixFrustum::setMatrices(const float projectionMatrix[16], const float modelviewMatrix[16]) {
    std::memcpy(projection, projectionMatrix, sizeof projection);
    std::memcpy(modelview, modelviewMatrix, sizeof modelview);
    computePlanes();
}

void MatrixFrustum::extractPlanes() {
    computePlanes();
}

void MatrixFrustum::computePlanes() {
    const float* m = modelview;
    const float* p = projection;
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            clip[4 * c + r] = m[4 * c + 0] * p[0 + r] + m[4 * c + 1] * p[4 + r] +
                              m[4 * c + 2] * p[8 + r] + m[4 * c + 3] * p[12 + r];
        }
    }

    // Each plane is the fourth row of clip plus or minus one of the others:
    // right w - x, left w + x, bottom w + y, top w - y, far w - z, near w + z.
    static const int rows[6] = {0, 0, 1, 1, 2, 2};
    static const float signs[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    for (int i = 0; i < 6; ++i) {
        int row = rows[i];
        Plane& plane = planes[i];
        if (signs[i] > 0.0f) {
            plane.a = clip[3] + clip[row];
            plane.b = clip[7] + clip[4 + row];
            plane.c = clip[11] + clip[8 + row];
            plane.d = clip[15] + clip[12 + row];
        } else {
            plane.a = clip[3] - clip[row];
            plane.b = clip[7] - clip[4 + row];
            plane.c = clip[11] - clip[8 + row];
            plane.d = clip[15] - clip[12 + row];
        }
        float lengthSquared = plane.a * plane.a + plane.b * plane.b + plane.c * plane.c;
        // A degenerate matrix can give a zero normal; that plane stays unnormalised rather than
        // scaled by 1/0, and every sphere is then tested against it as it stands.
        if (!(lengthSquared > 0.0f)) {
            continue;
        }
        normScale = 1.0f / std::sqrt(lengthSquared);
        plane.a *= normScale;
        plane.b *= normScale;
        plane.c *= normScale;
        plane.d *= normScale;
    }
}

const Plane* MatrixFrustum::getPlanes() const {
    return &planes[0];
}

const Plane* MatrixFrustum::getTopPlane() const {
    return &planes[3];
}

const Plane* MatrixFrustum::getBottomPlane() const {
    return &planes[2];
}

const Plane* MatrixFrustum::getLeftPlane() const {
    return &planes[1];
}

const Plane* MatrixFrustum::getRightPlane() const {
    return &planes[0];
}

const Plane* MatrixFrustum::getNearPlane() const {
    return &planes[5];
}

const Plane* MatrixFrustum::getFarPlane() const {
    return &planes[4];
}

const Plane* MatrixFrustum::getPlane(int i) const {
    assert(i >= 0 && i < 6 && "frustum plane index out of 0..5");
    return &planes[i];
}

} // namespace spheres
