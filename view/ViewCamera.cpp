#include "view/ViewCamera.h"

#include "app/CameraMatrices.h"
#include "body/Body.h"
#include "spheretree/QuerySphereTree.h"

#include <algorithm>
#include <cmath>

namespace spheres {

namespace {

constexpr double pi = 3.14159265358979323846;
// The demo camera's far plane for its frustum query, and for its picture one that shows the
// root sphere whole from the demo's eye.
constexpr double demoQueryFar = 300000.0;
constexpr double demoDrawFar = 4.0 * QuerySphereTree::rootRadius;
// The framed sphere fills this share of the window's height.
constexpr double framedShare = 0.8;

} // namespace

SceneBounds boundAliveBodies(Body* const* bodies, int count) {
    Vector3 low;
    Vector3 high;
    bool any = false;
    for (int i = 0; i < count; ++i) {
        if (!bodies[i]->isAlive()) {
            continue;
        }
        Vector3 p = bodies[i]->getPosition();
        float r = bodies[i]->getRadius();
        Vector3 a(p.x - r, p.y - r, p.z - r);
        Vector3 b(p.x + r, p.y + r, p.z + r);
        low = any ? Vector3(std::min(low.x, a.x), std::min(low.y, a.y), std::min(low.z, a.z)) : a;
        high =
            any ? Vector3(std::max(high.x, b.x), std::max(high.y, b.y), std::max(high.z, b.z)) : b;
        any = true;
    }
    SceneBounds bounds;
    if (!any) {
        // The cube the start-up scene fills.
        bounds.radius = 5000.0f * std::sqrt(3.0f);
        return bounds;
    }
    bounds.center = (low + high) * 0.5f;
    float radius = 1.0f;
    for (int i = 0; i < count; ++i) {
        if (bodies[i]->isAlive()) {
            float reach =
                (bodies[i]->getPosition() - bounds.center).length() + bodies[i]->getRadius();
            radius = std::max(radius, reach);
        }
    }
    bounds.radius = radius;
    return bounds;
}

void ViewCamera::frame(const SceneBounds& scene) {
    bounds = scene;
    // The sphere's outline spans 2 asin(r / d) of the vertical field of view.
    double half = fieldOfView / 2.0 * pi / 180.0;
    distance = static_cast<float>(scene.radius / std::sin(framedShare * half));
    zoom = 1.0f;
}

void ViewCamera::zoomOrbit(float factor) {
    // Never through the centre, and never so far that the scene is lost in the root sphere.
    zoom = std::min(std::max(zoom * factor, 1.0e-3f), 100.0f);
}

CameraMatrices ViewCamera::matrices(const CameraPose& pose, int width, int height,
                                    bool forQuery) const {
    CameraMatrices m;
    double aspect = reshapeAspect(width, height);
    if (shown == CameraKind::Demo) {
        perspectiveMatrix(fieldOfView, aspect, 1.0, forQuery ? demoQueryFar : demoDrawFar,
                          m.projection);
        cameraModelviewMatrix(pose.transX, pose.transY, pose.transZ, pose.rotX, pose.rotY,
                              pose.rotZ, m.modelview);
        return m;
    }
    // The demo's matrix turned by the pose's angles plus the orbit's own, whose translation
    // column is then replaced: the scene's centre moved to the origin, turned, and pushed away
    // along the view axis by the orbit distance less the pose's translation.
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, pose.rotX + orbitTilt, pose.rotY + orbitTurn, pose.rotZ,
                          m.modelview);
    float* v = m.modelview;
    const Vector3& c = bounds.center;
    v[12] = pose.transX - (v[0] * c.x + v[4] * c.y + v[8] * c.z);
    v[13] = pose.transY - (v[1] * c.x + v[5] * c.y + v[9] * c.z);
    v[14] = pose.transZ - orbitDistance() - (v[2] * c.x + v[6] * c.y + v[10] * c.z);

    // Near: half the way to the framed sphere, from outside it; a small share of its radius from
    // inside. Far: past the whole root sphere, where every alive body is.
    Vector3 eye(-(v[0] * v[12] + v[1] * v[13] + v[2] * v[14]),
                -(v[4] * v[12] + v[5] * v[13] + v[6] * v[14]),
                -(v[8] * v[12] + v[9] * v[13] + v[10] * v[14]));
    double gap = static_cast<double>((eye - c).length()) - bounds.radius;
    double zNear = std::max(1.0, std::max(0.5 * gap, 1.0e-3 * bounds.radius));
    double zFar = static_cast<double>(eye.length()) + 1.01 * QuerySphereTree::rootRadius;
    perspectiveMatrix(fieldOfView, aspect, zNear, std::max(zFar, 2.0 * zNear), m.projection);
    return m;
}

Vector3 viewDirection(const float m[16]) {
    // The eye looks down its -z axis: minus the third row of the rotation, in the world.
    return Vector3(-m[2], -m[6], -m[10]);
}

float pixelsPerUnit(const float projection[16], int height) {
    return 0.5f * projection[5] * static_cast<float>(height);
}

} // namespace spheres
