#include "math/Vector3.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

void expectVector(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(Vector3Test, ArithmeticKeepsOperandOrderAndLeavesOperandsUnchanged) {
    Vector3 a(1.0f, 2.0f, 3.0f);
    Vector3 b(4.0f, -6.0f, 0.5f);
    expectVector(Vector3(), 0.0f, 0.0f, 0.0f);
    expectVector(Vector3::zero, 0.0f, 0.0f, 0.0f);
    expectVector(a + b, 5.0f, -4.0f, 3.5f);
    expectVector(a - b, -3.0f, 8.0f, 2.5f);
    expectVector(a * -2.0f, -2.0f, -4.0f, -6.0f);
    EXPECT_EQ(a.dot(b), 4.0f - 12.0f + 1.5f);
    EXPECT_EQ(a.lengthSquared(), 14.0f);
    EXPECT_EQ(Vector3(3.0f, 4.0f, 12.0f).length(), 13.0f);
    expectVector(a, 1.0f, 2.0f, 3.0f);
    expectVector(b, 4.0f, -6.0f, 0.5f);
}

TEST(Vector3Test, NormalisingMultipliesByOneReciprocal) {
    Vector3 v(3.0f, 0.0f, 4.0f);
    Vector3 unit = v.normalized();
    expectVector(v, 3.0f, 0.0f, 4.0f);
    float r = 1.0f / 5.0f;
    expectVector(unit, 3.0f * r, 0.0f, 4.0f * r);
    v.normalize();
    expectVector(v, unit.x, unit.y, unit.z);

    // For (3, 2, 7), 3 * (1 / length) and 3 / length differ in the last bit.
    Vector3 w(3.0f, 2.0f, 7.0f);
    float reciprocal = 1.0f / w.length();
    ASSERT_NE(3.0f * reciprocal, 3.0f / w.length());
    expectVector(w.normalized(), 3.0f * reciprocal, 2.0f * reciprocal, 7.0f * reciprocal);
}

TEST(Vector3Test, NormalisingZeroGivesNonFiniteComponents) {
#ifdef SPHERES_SANITIZED_DIVISION
    GTEST_SKIP() << "the sanitizer stops at the division by zero this test pins";
#endif
    ScopedFloatTrapsOff trapsOff;
    Vector3 zero;
    EXPECT_FALSE(isFinite(zero.normalized()));
    zero.normalize();
    EXPECT_FALSE(isFinite(zero));
}

} // namespace
