#include "frustum/MatrixFrustum.h"

#include "app/CameraMatrices.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(MatrixFrustumTest, PlanesOfKnownMatrices) {
    Matrix identity = translation(0.0f, 0.0f, 0.0f), back = translation(0.0f, 0.0f, -10000.0f);
    Matrix perspective;
    defaultProjectionMatrix(perspective.data());
    // The cube's left and bottom planes stand for the other faces, which the perspective rows pin.
    // Fourth row (1, 0, 0, 1) and first row (1, 0, 0, 0): the right plane w - x has normal zero.
    const Matrix degenerate = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const struct {
        const char* label;
        const Matrix &projection, &modelview;
        int plane; // 0 right, 1 left, 2 bottom, 3 top, 4 far, 5 near
        Plane expected;
        float tolerance;
    } cases[] = {
        {"cube left", identity, identity, 1, {1, 0, 0, 1}, 0},
        {"cube bottom", identity, identity, 2, {0, 1, 0, 1}, 0},
        {"perspective right", perspective, identity, 0, {-0.699f, 0, -0.715f, 0}, 1e-3f},
        {"perspective top", perspective, identity, 3, {0, -0.793f, -0.609f, 0}, 1e-3f},
        {"perspective far", perspective, identity, 4, {0, 0, 1, 300000}, 1500},
        {"perspective near", perspective, identity, 5, {0, 0, -1, -1}, 1e-6f},
        {"camera back: right", perspective, back, 0, {-0.699f, 0, -0.715f, 7151}, 2},
        {"camera back: far", perspective, back, 4, {0, 0, 1, 290000}, 1450},
        {"camera back: near", perspective, back, 5, {0, 0, -1, 9999}, 1e-2f},
        {"zero normal stays unnormalised", degenerate, identity, 0, {0, 0, 0, 1}, 0},
        {"beside it, normalised", degenerate, identity, 1, {1, 0, 0, 0.5f}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        MatrixFrustum frustum(c.projection.data(), c.modelview.data());
        const Plane* p = frustum.getPlane(c.plane);
        for (float Plane::*value : {&Plane::a, &Plane::b, &Plane::c, &Plane::d}) {
            EXPECT_NEAR(p->*value, c.expected.*value, c.tolerance);
        }
        for (int i = 0; i < 6; ++i) { // finite, with unit normals where the normal is not zero
            p = frustum.getPlane(i);
            float length = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
            EXPECT_TRUE(std::isfinite(p->d) &&
                        (length == 0.0f || std::fabs(length - 1.0f) < 1e-6f));
        }
    }
}
