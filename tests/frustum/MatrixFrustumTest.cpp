#include "frustum/MatrixFrustum.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void expectPlane(const Plane* p, float a, float b, float c, float d, float tolerance) {
    EXPECT_TRUE(nearlyEqual(p->a, a, tolerance)) << p->a << " vs " << a;
    EXPECT_TRUE(nearlyEqual(p->b, b, tolerance)) << p->b << " vs " << b;
    EXPECT_TRUE(nearlyEqual(p->c, c, tolerance)) << p->c << " vs " << c;
    EXPECT_TRUE(nearlyEqual(p->d, d, tolerance)) << p->d << " vs " << d;
}

float signedDistance(const Plane* p, const Vector3& v) {
    return p->a * v.x + p->b * v.y + p->c * v.z + p->d;
}

TEST(MatrixFrustumTest, IdentityMatricesGiveTheUnitCube) {
    MatrixFrustum frustum(identity, identity);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(frustum.getClip()[i], identity[i]);
    }
    expectPlane(frustum.getRightPlane(), -1, 0, 0, 1, 0.0f);
    expectPlane(frustum.getLeftPlane(), 1, 0, 0, 1, 0.0f);
    expectPlane(frustum.getBottomPlane(), 0, 1, 0, 1, 0.0f);
    expectPlane(frustum.getTopPlane(), 0, -1, 0, 1, 0.0f);
    expectPlane(frustum.getFarPlane(), 0, 0, -1, 1, 0.0f);
    expectPlane(frustum.getNearPlane(), 0, 0, 1, 1, 0.0f);
}

TEST(MatrixFrustumTest, ProgramPerspectiveGivesUnitInwardPlanes) {
    float projection[16];
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, projection);
    {
        SCOPED_TRACE("identity modelview");
        MatrixFrustum frustum(projection, identity);
        expectPlane(frustum.getNearPlane(), 0, 0, -1, -1, 1e-6f);
        expectPlane(frustum.getFarPlane(), 0, 0, 1, 300000.0f, 1500.0f);
        expectPlane(frustum.getRightPlane(), -0.699f, 0, -0.715f, 0, 1e-3f);
        expectPlane(frustum.getTopPlane(), 0, -0.793f, -0.609f, 0, 1e-3f);
        EXPECT_TRUE(
            nearlyEqual(signedDistance(frustum.getNearPlane(), Vector3(0, 0, -1)), 0.0f, 1e-6f));
        EXPECT_GT(signedDistance(frustum.getNearPlane(), Vector3(0, 0, -2)), 0.0f);
        for (const Plane* p = frustum.getPlanes(); p != frustum.getPlanes() + 6; ++p) {
            EXPECT_TRUE(
                nearlyEqual(std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c), 1.0f, 1e-6f));
        }
        const float* clip = frustum.getClip();
        float nearLength = std::sqrt((clip[3] + clip[2]) * (clip[3] + clip[2]) +
                                     (clip[7] + clip[6]) * (clip[7] + clip[6]) +
                                     (clip[11] + clip[10]) * (clip[11] + clip[10]));
        EXPECT_EQ(frustum.getNormScale(), 1.0f / nearLength);
    }
    {
        SCOPED_TRACE("camera 10000 units back");
        float modelview[16];
        translationMatrix(0.0f, 0.0f, -10000.0f, modelview);
        MatrixFrustum frustum(projection, modelview);
        expectPlane(frustum.getNearPlane(), 0, 0, -1, 9999.0f, 1e-2f);
        expectPlane(frustum.getFarPlane(), 0, 0, 1, 290000.0f, 1450.0f);
        expectPlane(frustum.getRightPlane(), -0.699f, 0, -0.715f, 7151.0f, 2.0f);
        Plane before = *frustum.getFarPlane();
        frustum.extractPlanes();
        EXPECT_EQ(frustum.getFarPlane()->d, before.d); // same matrices, same planes
    }
}

TEST(MatrixFrustumTest, GettersReturnTheStoredPlanes) {
    MatrixFrustum frustum(identity, identity);
    const Plane* byRole[6] = {frustum.getRightPlane(),  frustum.getLeftPlane(),
                              frustum.getBottomPlane(), frustum.getTopPlane(),
                              frustum.getFarPlane(),    frustum.getNearPlane()};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frustum.getPlane(i), frustum.getPlanes() + i);
        EXPECT_EQ(byRole[i], frustum.getPlanes() + i);
    }
}

TEST(MatrixFrustumTest, ZeroLengthNormalStaysUnnormalisedAndFinite) {
    // Fourth row (1, 0, 0, 1) and first row (1, 0, 0, 0): the right plane w - x has normal zero.
    float projection[16] = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    MatrixFrustum frustum(projection, identity);
    expectPlane(frustum.getRightPlane(), 0, 0, 0, 1, 0.0f);
    expectPlane(frustum.getLeftPlane(), 1, 0, 0, 0.5f, 0.0f);
    for (int i = 0; i < 6; ++i) {
        const Plane* p = frustum.getPlane(i);
        EXPECT_TRUE(std::isfinite(p->a + p->b + p->c + p->d)) << "plane " << i;
    }
}

} // namespace
