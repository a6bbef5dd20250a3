#include "body/CollisionResponse.h"

#include "body/Body.h"

namespace spheres {

bool resolveEarliestContact(Body* body, const BodyList& hits, const TimeList& times,
                            Body** partner) {
    if (times.empty()) {
        return false;
    }
    float best = 1e9f;
    Body* picked = nullptr;
    auto hit = hits.begin();
    for (auto time = times.begin(); time != times.end() && hit != hits.end(); ++time, ++hit) {
        if (*time < best) {
            best = *time;
            picked = *hit;
        }
    }
    if (picked == nullptr || !resolveCollision(body, picked, best)) {
        return false;
    }
    if (partner != nullptr) {
        *partner = picked;
    }
    return true;
}

bool resolveCollision(Body* a, Body* b, float t) {
    Vector3 sA = a->getPosition() - a->getPreviousPosition();
    Vector3 sB = b->getPosition() - b->getPreviousPosition();
    float lengthA = sA.length();
    float lengthB = sB.length();
    Vector3 pA = sA * t + a->getPreviousPosition();
    Vector3 pB = sB * t + b->getPreviousPosition();

    // Coincident centres leave no line to exchange momentum along; the bodies pass unchanged.
    Vector3 n = pA - pB;
    if (!(n.lengthSquared() > 0.0f)) {
        return false;
    }
    n.normalize();
    float remaining = 1.0f - t;

    // Two massless bodies (or masses that cancel, or a total too small to invert) exchange as if
    // their masses were equal.
    float massA = a->getMass();
    float massB = b->getMass();
    float totalMass = massB + massA;
    float shareA = 0.5f;
    float shareB = 0.5f;
    if (totalMass != 0.0f && std::isfinite(1.0f / totalMass)) {
        float inverseTotalMass = 1.0f / totalMass;
        shareA = massA * inverseTotalMass;
        shareB = massB * inverseTotalMass;
    }

    Vector3 rv = a->getVelocity() - b->getVelocity();
    Vector3 newVelocityA = a->getVelocity() + ((n * -2.0f) * shareB) * rv.dot(n);
    Vector3 newVelocityB = b->getVelocity() + ((n * 2.0f) * shareA) * n.dot(rv);

    // Extreme inputs can overflow the exchange; then it is dropped rather than spread.
    if (!isFinite(newVelocityA) || !isFinite(newVelocityB)) {
        return false;
    }
    // A body whose new velocity is zero stays at its contact point rather than normalising zero.
    Vector3 newPositionA = pA;
    if (newVelocityA.lengthSquared() > 0.0f) {
        newPositionA = pA + (newVelocityA.normalized() * lengthA) * remaining;
    }
    Vector3 newPositionB = pB;
    if (newVelocityB.lengthSquared() > 0.0f) {
        newPositionB = pB + (newVelocityB.normalized() * lengthB) * remaining;
    }

    if (!isFinite(newPositionA) || !isFinite(newPositionB)) {
        return false;
    }
    a->setVelocity(newVelocityA);
    b->setVelocity(newVelocityB);
    a->setPosition(newPositionA);
    b->setPosition(newPositionB);
    return true;
}

} // namespace spheres
