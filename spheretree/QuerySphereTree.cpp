#include "spheretree/QuerySphereTree.h"

#include "body/Body.h"
#include "frustum/Frustum.h"

#ifdef SPHERES_COUNT_VISITS
// Benchmark-only builds count the nodes the sweep and frustum walks enter; the benchmark
// defines the counters. The shipped tree has none.
extern unsigned long long sweepNodeVisits;
extern unsigned long long frustumNodeVisits;
#endif

QuerySphereTree::QuerySphereTree() : SphereTree(524288.0f, 5.0f, 4.0f, 1000.0f, 1.0f) {}

void QuerySphereTree::update() {
    SphereTree::update();
    for (TreeNode* leaf : escapedLeaves) {
        leaf->body->setAlive(false);
    }
    escapedLeaves.clear();
}

// The walks below visit the live children lists: no query changes the tree, so no copy is
// needed and the results come in the same order.

void QuerySphereTree::queryRay(const Vector3& origin, const Vector3& direction, BodyList& bodies,
                               TimeList& times) {
    queryRayNode(origin, direction, root, bodies, times);
}

void QuerySphereTree::queryRayNode(const Vector3& origin, const Vector3& direction, TreeNode* node,
                                   BodyList& bodies, TimeList& times) {
    Vector3 l = node->center - origin;
    float s = l.dot(direction);
    float l2 = l.lengthSquared();
    float r2 = node->radius * node->radius;
    // Behind an origin that lies outside the sphere, or passed by at more than the radius.
    if (s < 0.0f && l2 > r2) {
        return;
    }
    float m2 = l2 - s * s;
    if (m2 > r2) {
        return;
    }
    if (node->flags & TreeNodeFlags::Leaf) {
        float q = std::sqrt(r2 - m2);
        float t = l2 < r2 ? s + q : s - q;
        bodies.push_back(node->body);
        times.push_back(t);
        return;
    }
    for (TreeNode* child : node->children) {
        queryRayNode(origin, direction, child, bodies, times);
    }
}

void QuerySphereTree::querySegment(const Vector3& start, const Vector3& end, BodyList& bodies,
                                   TimeList& times) {
    Segment segment{start, end - start, 0.0f, false};
    // A zero-length segment has no direction to normalise: it is tested as a point.
    if (segment.direction.lengthSquared() > 0.0f) {
        segment.inverseLength = 1.0f / segment.direction.length();
        segment.direction.normalize();
    } else {
        segment.isPoint = true;
    }
    querySegmentNode(segment, root, bodies, times);
}

void QuerySphereTree::querySegmentNode(const Segment& segment, TreeNode* node, BodyList& bodies,
                                       TimeList& times) {
    Vector3 l = node->center - segment.start;
    float l2 = l.lengthSquared();
    float r2 = node->radius * node->radius;
    float time = 0.0f;
    if (segment.isPoint) {
        if (!(l2 < r2)) {
            return;
        }
    } else {
        float s = l.dot(segment.direction);
        if (s < 0.0f && l2 > r2) {
            return;
        }
        float m2 = l2 - s * s;
        if (m2 > r2) {
            return;
        }
        float q = std::sqrt(r2 - m2);
        if (l2 >= r2) {
            // Entry and exit parameters; the sphere must not lie wholly before the start or
            // wholly beyond the end, within a tolerance of 0.001 segment lengths.
            float t0 = (s - q) * segment.inverseLength;
            float t1 = (s + q) * segment.inverseLength;
            if (t0 + 0.001f < 0.0f && t1 + 0.001f < 0.0f) {
                return;
            }
            if (t0 - 0.001f > 1.0f && t1 - 0.001f > 1.0f) {
                return;
            }
            time = t0;
        } else {
            time = (s + q) * segment.inverseLength;
        }
    }
    if (node->flags & TreeNodeFlags::Leaf) {
        bodies.push_back(node->body);
        times.push_back(time);
        return;
    }
    for (TreeNode* child : node->children) {
        querySegmentNode(segment, child, bodies, times);
    }
}

void QuerySphereTree::queryFrustum(const Frustum& frustum, BodyList& bodies) {
    queryFrustumNode(frustum, root, bodies);
}

void QuerySphereTree::queryFrustumNode(const Frustum& frustum, TreeNode* node, BodyList& bodies) {
#ifdef SPHERES_COUNT_VISITS
    ++frustumNodeVisits;
#endif
    // Leaves are tested with the body's present sphere, inner nodes with their own.
    float radius;
    Vector3 center;
    bool isLeaf = node->flags & TreeNodeFlags::Leaf;
    if (isLeaf) {
        radius = node->body->getRadius();
        center = node->body->getPosition();
    } else {
        radius = node->radius;
        center = node->center;
    }
    for (int i = 0; i < 6; ++i) {
        const Plane& plane = *frustum.getPlane(i);
        if (plane.a * center.x + plane.b * center.y + plane.c * center.z + plane.d + radius <
            0.0f) {
            return;
        }
    }
    if (isLeaf) {
        bodies.push_back(node->body);
        return;
    }
    for (TreeNode* child : node->children) {
        queryFrustumNode(frustum, child, bodies);
    }
}

void QuerySphereTree::querySphere(const Vector3& center, float radius, BodyList& bodies) {
    querySphereNode(center, radius, root, bodies);
}

void QuerySphereTree::querySphereNode(const Vector3& center, float radius, TreeNode* node,
                                      BodyList& bodies) {
    Vector3 d = center - node->center;
    float reach = node->radius + radius;
    if (reach * reach <= d.lengthSquared()) {
        return;
    }
    if (node->flags & TreeNodeFlags::Leaf) {
        bodies.push_back(node->body);
        return;
    }
    for (TreeNode* child : node->children) {
        querySphereNode(center, radius, child, bodies);
    }
}

void QuerySphereTree::querySweep(Body* body, BodyList& bodies, TimeList& times) {
    SweptSphere sweep(body);
    querySweepNode(sweep, root, bodies, times);
}

void QuerySphereTree::querySweepNode(const SweptSphere& sweep, TreeNode* node, BodyList& bodies,
                                     TimeList& times) {
#ifdef SPHERES_COUNT_VISITS
    ++sweepNodeVisits;
#endif
    if (!(node->flags & TreeNodeFlags::Leaf)) {
        // Inner nodes are pruned with the query body's present sphere only.
        Vector3 d = sweep.position - node->center;
        float reach = sweep.radius + node->radius;
        if (reach * reach <= d.lengthSquared()) {
            return;
        }
        for (TreeNode* child : node->children) {
            querySweepNode(sweep, child, bodies, times);
        }
        return;
    }

    Body* other = node->body;
    float t;
    if (other == sweep.body || !sweep.contactTime(other, t)) {
        return;
    }
    bodies.push_back(other);
    times.push_back(t);
}
