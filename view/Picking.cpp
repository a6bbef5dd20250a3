#include "view/Picking.h"

#include "body/Body.h"
#include "spheretree/NodeIntersection.h"
#include "spheretree/QuerySphereTree.h"

namespace spheres {

Vector3 eyePosition(const float m[16]) {
    // The eye is where the modelview sends the origin: -R^T t for modelview [R t].
    float tx = m[12], ty = m[13], tz = m[14];
    return Vector3(-(m[0] * tx + m[1] * ty + m[2] * tz), -(m[4] * tx + m[5] * ty + m[6] * tz),
                   -(m[8] * tx + m[9] * ty + m[10] * tz));
}

Ray mouseRay(const float projection[16], const float modelview[16], int width, int height, int x,
             int y) {
    // The pixel's centre in normalised device coordinates; GL's window y grows upwards, GLUT's
    // downwards.
    double nx = 2.0 * (x + 0.5) / width - 1.0;
    double ny = 1.0 - 2.0 * (y + 0.5) / height;
    // In eye space the ray leaves the eye through (nx / P00, ny / P11, -1) of a symmetric
    // perspective; R^T turns it into the world.
    double e[3] = {nx / projection[0], ny / projection[5], -1.0};
    const float* m = modelview;
    Vector3 direction(static_cast<float>(m[0] * e[0] + m[1] * e[1] + m[2] * e[2]),
                      static_cast<float>(m[4] * e[0] + m[5] * e[1] + m[6] * e[2]),
                      static_cast<float>(m[8] * e[0] + m[9] * e[1] + m[10] * e[2]));
    return Ray{eyePosition(modelview), direction.normalized()};
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

} // namespace spheres
