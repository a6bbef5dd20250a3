#include "view/Picking.h"

#include "body/Body.h"
#include "spheretree/NodeTests.h"
#include "spheretree/QuerySphereTree.h"

#include <cmath>

namespace {

// The inverse of the column-major matrix m by cofactors, in double; false when m is singular.
bool invert(const double m[16], double out[16]) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0) {
        return false;
    }
    for (int i = 0; i < 16; ++i) {
        out[i] = inv[i] / det;
    }
    return true;
}

// The world point at normalised device coordinates (x, y, z) under the inverse matrix.
Vector3 unproject(const double inverse[16], double x, double y, double z) {
    double p[4];
    for (int r = 0; r < 4; ++r) {
        p[r] = inverse[r] * x + inverse[4 + r] * y + inverse[8 + r] * z + inverse[12 + r];
    }
    return Vector3(static_cast<float>(p[0] / p[3]), static_cast<float>(p[1] / p[3]),
                   static_cast<float>(p[2] / p[3]));
}

} // namespace

Ray mouseRay(const float projection[16], const float modelview[16], int width, int height, int x,
             int y) {
    double clip[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += static_cast<double>(projection[4 * k + r]) * modelview[4 * c + k];
            }
            clip[4 * c + r] = sum;
        }
    }
    Ray ray{Vector3::zero, Vector3(0.0f, 0.0f, -1.0f)};
    double inverse[16];
    if (width <= 0 || height <= 0 || !invert(clip, inverse)) {
        return ray;
    }
    // The centre of the pixel; GL's window y grows upwards, GLUT's downwards.
    double nx = 2.0 * (x + 0.5) / width - 1.0;
    double ny = 1.0 - 2.0 * (y + 0.5) / height;
    Vector3 nearPoint = unproject(inverse, nx, ny, -1.0);
    Vector3 farPoint = unproject(inverse, nx, ny, 1.0);
    ray.origin = nearPoint;
    ray.direction = (farPoint - nearPoint).normalized();
    return ray;
}

Body* pickBody(QuerySphereTree& tree, const Ray& ray) {
    BodyList hits;
    TimeList times;
    // The tree prunes with the leaves' swept spheres; the drawn sphere decides among its hits.
    tree.queryRay(ray.origin, ray.direction, hits, times);
    Body* nearest = nullptr;
    float nearestDistance = 0.0f;
    for (Body* body : hits) {
        float distance = 0.0f;
        if (rayHitsSphere(ray.origin, ray.direction, body->getPosition(), body->getRadius(),
                          &distance) &&
            (!nearest || distance < nearestDistance)) {
            nearest = body;
            nearestDistance = distance;
        }
    }
    return nearest;
}
