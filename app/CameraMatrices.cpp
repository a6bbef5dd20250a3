#include "app/CameraMatrices.h"

#include <cmath>

namespace spheres {

namespace {

constexpr double pi = 3.14159265358979323846;

void setIdentity(float m[16]) {
    for (int i = 0; i < 16; ++i) {
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    }
}

// m = m x t in float, column-major, summing the products in k order like GL's own multiply.
void multiplyRight(float m[16], const float t[16]) {
    float result[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            result[4 * c + r] = m[r] * t[4 * c + 0] + m[4 + r] * t[4 * c + 1] +
                                m[8 + r] * t[4 * c + 2] + m[12 + r] * t[4 * c + 3];
        }
    }
    for (int i = 0; i < 16; ++i) {
        m[i] = result[i];
    }
}

void translate(float m[16], float x, float y, float z) {
    float t[16];
    setIdentity(t);
    t[12] = x;
    t[13] = y;
    t[14] = z;
    multiplyRight(m, t);
}

// Rotation by angle degrees about one coordinate axis (0 x, 1 y, 2 z). The radians are rounded
// to float before the sine and cosine, as GL does, so the matrices match GL's bit for bit.
void rotate(float m[16], float angle, int axis) {
    float radians = static_cast<float>(angle * pi / 180.0);
    float s = std::sin(radians);
    float c = std::cos(radians);
    float t[16];
    setIdentity(t);
    // The two axes that turn: (u, v) = (y, z) for x, (z, x) for y, (x, y) for z; column-major
    // element (row, column) sits at 4 * column + row.
    int u = (axis + 1) % 3;
    int v = (axis + 2) % 3;
    t[4 * u + u] = c;
    t[4 * v + u] = -s;
    t[4 * u + v] = s;
    t[4 * v + v] = c;
    multiplyRight(m, t);
}

} // namespace

void perspectiveMatrix(double fovy, double aspect, double zNear, double zFar, float out[16]) {
    double radians = fovy / 2 * pi / 180;
    double deltaZ = zFar - zNear;
    double cotangent = std::cos(radians) / std::sin(radians);
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / deltaZ;
    m[11] = -1;
    m[14] = -2 * zNear * zFar / deltaZ;
    m[15] = 0;
    for (int i = 0; i < 16; ++i) {
        out[i] = static_cast<float>(m[i]);
    }
}

void cameraModelviewMatrix(float tx, float ty, float tz, float rx, float ry, float rz,
                           float out[16]) {
    setIdentity(out);
    translate(out, 0.0f, 0.0f, -10000.0f);
    translate(out, tx, ty, tz);
    rotate(out, rx, 0);
    rotate(out, ry, 1);
    rotate(out, rz, 2);
}

void defaultProjectionMatrix(float out[16]) {
    int width = 640;
    int height = 480;
    perspectiveMatrix(75.0, reshapeAspect(width, height), 1.0, 300000.0, out);
}

double reshapeAspect(int& width, int& height) {
    if (height == 0) {
        height = 1;
    }
    if (width == 0) {
        width = 1;
    }
    return static_cast<double>(width) / height;
}

bool clampToViewportLimit(int& width, int& height, int maxWidth, int maxHeight) {
    bool clamped = false;
    if (maxWidth > 0 && width > maxWidth) {
        width = maxWidth;
        clamped = true;
    }
    if (maxHeight > 0 && height > maxHeight) {
        height = maxHeight;
        clamped = true;
    }
    return clamped;
}

MatrixFrustum defaultCameraFrustum() {
    float projection[16];
    float modelview[16];
    defaultProjectionMatrix(projection);
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, modelview);
    return MatrixFrustum(projection, modelview);
}

} // namespace spheres
