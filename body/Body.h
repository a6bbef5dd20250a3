#pragma once

#include "math/Vector3.h"

namespace spheres {

/// A moving sphere: centre, radius, mass and alive flag, with the value each of position,
/// velocity and acceleration had before its last change, so that the path swept over the last
/// step can be bounded and rewound.
///
/// Bodies are owned by the application. The World and the tree only point at them, so a body
/// must outlive every World and tree it was added to.
///
/// The World and its tree accept a body with a finite, non-negative radius and finite position,
/// velocity and acceleration. A body that breaks this dies at the World's next step (the tree
/// cuts its leaf loose) and is never moved again.
class Body {
public:
    /// The sphere's radius.
    virtual float getRadius();
    /// The centre now.
    virtual Vector3 getPosition();
    /// Radius of a sphere that holds the body at both ends of its last step, plus 0.001.
    virtual float getSweptRadius();
    /// Midpoint of the previous and the present position.
    virtual Vector3 getSweptCenter();
    /// Advances one step of constant acceleration; every previous value becomes the current one.
    virtual void integrate(float dt);
    virtual float getMass();
    /// A spare scalar for extensions; nothing in the core reads it.
    virtual float getAuxValue();
    virtual Vector3 getVelocity();
    virtual Vector3 getAcceleration();
    /// The position before the last setPosition or integrate.
    virtual Vector3 getPreviousPosition();
    /// The velocity before the last setVelocity or integrate.
    virtual Vector3 getPreviousVelocity();
    /// The acceleration before the last setAcceleration or integrate.
    virtual Vector3 getPreviousAcceleration();
    virtual void setMass(float m);
    virtual void setAuxValue(float value);
    virtual void setRadius(float r);
    /// Keeps the current position as the previous one, then moves to p.
    virtual void setPosition(const Vector3& p);
    /// Keeps the current velocity as the previous one, then sets v.
    virtual void setVelocity(const Vector3& v);
    /// Keeps the current acceleration as the previous one, then sets a.
    virtual void setAcceleration(const Vector3& a);
    /// The World integrates a body only while it is alive; the tree kills bodies that leave it.
    virtual void setAlive(bool value);
    virtual bool isAlive();
    /// The shared, never modified instance of the concrete type.
    virtual Body* getPrototype() = 0;

protected:
    Body();
    // Bodies are never destroyed through this interface, which has no virtual destructor.
    ~Body() = default;
    Body(const Body&) = default;
    Body& operator=(const Body&) = default;

    float mass = 0.0f;
    float auxValue = 0.0f;
    Vector3 position;
    Vector3 previousPosition;
    Vector3 velocity;
    Vector3 previousVelocity;
    Vector3 acceleration;
    Vector3 previousAcceleration;
    float radius = 0.0f;
    bool alive;
};

} // namespace spheres
