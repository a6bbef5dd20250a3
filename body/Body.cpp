#include "body/Body.h"

namespace spheres {

Body::Body() : alive(true) {}

float Body::getRadius() {
    return radius;
}

Vector3 Body::getPosition() {
    return position;
}

float Body::getSweptRadius() {
    Vector3 d = position - previousPosition;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) + radius + 0.001f;
}

Vector3 Body::getSweptCenter() {
    return (previousPosition + position) * 0.5f;
}

void Body::integrate(float dt) {
    previousAcceleration = acceleration;
    previousVelocity = velocity;
    previousPosition = position;
    velocity = previousVelocity + acceleration * dt;
    // The mean of the start and end velocities is exact for a constant acceleration.
    position = previousPosition + ((velocity + previousVelocity) * 0.5f) * dt;
}

float Body::getMass() {
    return mass;
}

float Body::getAuxValue() {
    return auxValue;
}

Vector3 Body::getVelocity() {
    return velocity;
}

Vector3 Body::getAcceleration() {
    return acceleration;
}

Vector3 Body::getPreviousPosition() {
    return previousPosition;
}

Vector3 Body::getPreviousVelocity() {
    return previousVelocity;
}

Vector3 Body::getPreviousAcceleration() {
    return previousAcceleration;
}

void Body::setMass(float m) {
    mass = m;
}

void Body::setAuxValue(float value) {
    auxValue = value;
}

void Body::setRadius(float r) {
    radius = r;
}

void Body::setPosition(const Vector3& p) {
    previousPosition = position;
    position = p;
}

void Body::setVelocity(const Vector3& v) {
    previousVelocity = velocity;
    velocity = v;
}

void Body::setAcceleration(const Vector3& a) {
    previousAcceleration = acceleration;
    acceleration = a;
}

void Body::setAlive(bool value) {
    alive = value;
}

bool Body::isAlive() {
    return alive;
}

} // namespace spheres
