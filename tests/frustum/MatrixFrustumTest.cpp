#include "frustum/MatrixFrustum.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

void expectPlane(const Plane* p, const Plane& expected, float tolerance) {
    EXPECT_NEAR(p->a, expected.a, tolerance);
    EXPECT_NEAR(p->b, expected.b, tolerance);
    EXPECT_NEAR(p->c, expected.c, tolerance);
    EXPECT_NEAR(p->d, expected.d, tolerance);
}

TEST(MatrixFrustumTest, IdentityMatricesGiveTheUnitCubeInPlaneOrder) {
    float identity[16];
    translationMatrix(0.0f, 0.0f, 0.0f, identity);
    MatrixFrustum frustum(identity, identity);
    const Plane* byRole[6] = {frustum.getRightPlane(),  frustum.getLeftPlane(),
                              frustum.getBottomPlane(), frustum.getTopPlane(),
                              frustum.getFarPlane(),    frustum.getNearPlane()};
    const Plane cube[6] = {{-1, 0, 0, 1}, {1, 0, 0, 1},  {0, 1, 0, 1},
                           {0, -1, 0, 1}, {0, 0, -1, 1}, {0, 0, 1, 1}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(byRole[i] == frustum.getPlane(i) && byRole[i] == frustum.getPlanes() + i);
        expectPlane(byRole[i], cube[i], 0.0f);
    }
}

TEST(MatrixFrustumTest, ProgramPerspectiveGivesUnitInwardPlanes) {
    float projection[16];
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, projection);
    struct Case {
        float cameraZ;
        Plane near, far, right;
        float nearTolerance, farTolerance, rightTolerance;
    };
    const Case cases[] = {
        {0.0f,
         {0, 0, -1, -1},
         {0, 0, 1, 300000.0f},
         {-0.699f, 0, -0.715f, 0},
         1e-6f,
         1500.0f,
         1e-3f},
        {-10000.0f,
         {0, 0, -1, 9999.0f},
         {0, 0, 1, 290000.0f},
         {-0.699f, 0, -0.715f, 7151.0f},
         1e-2f,
         1450.0f,
         2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cameraZ);
        float modelview[16];
        translationMatrix(0.0f, 0.0f, c.cameraZ, modelview);
        MatrixFrustum frustum(projection, modelview);
        expectPlane(frustum.getNearPlane(), c.near, c.nearTolerance);
        expectPlane(frustum.getFarPlane(), c.far, c.farTolerance);
        expectPlane(frustum.getRightPlane(), c.right, c.rightTolerance);
        EXPECT_NEAR(frustum.getTopPlane()->b, -0.793f, 1e-3f);
        for (int i = 0; i < 6; ++i) {
            const Plane* p = frustum.getPlane(i);
            EXPECT_NEAR(std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c), 1.0f, 1e-6f) << i;
        }
    }
}

TEST(MatrixFrustumTest, ZeroLengthNormalStaysUnnormalisedAndFinite) {
    // Fourth row (1, 0, 0, 1) and first row (1, 0, 0, 0): the right plane w - x has normal zero.
    float identity[16];
    translationMatrix(0.0f, 0.0f, 0.0f, identity);
    float projection[16] = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    MatrixFrustum frustum(projection, identity);
    expectPlane(frustum.getRightPlane(), {0, 0, 0, 1}, 0.0f);
    expectPlane(frustum.getLeftPlane(), {1, 0, 0, 0.5f}, 0.0f);
    for (int i = 0; i < 6; ++i) {
        const Plane* p = frustum.getPlane(i);
        EXPECT_TRUE(std::isfinite(p->a + p->b + p->c + p->d)) << "plane " << i;
    }
}

} // namespace
