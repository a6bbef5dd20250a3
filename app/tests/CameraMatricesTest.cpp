#include "app/CameraMatrices.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CameraMatricesTest, ReshapeReplacesZeroSizesByOne) {
    // {width, height} in, {width, height} out, aspect.
    const int sizes[4][4] = {
        {640, 480, 640, 480}, {640, 0, 640, 1}, {0, 480, 1, 480}, {0, 0, 1, 1}};
    for (const auto& s : sizes) {
        int width = s[0];
        int height = s[1];
        EXPECT_EQ(reshapeAspect(width, height), static_cast<double>(s[2]) / s[3]);
        EXPECT_TRUE(width == s[2] && height == s[3]) << s[0] << " x " << s[1];
    }
}

TEST(CameraMatricesTest, PerspectiveFollowsTheProjectionFormula) {
    float m[16];
    perspectiveMatrix(75.0, 2.0, 1.0, 300000.0, m);
    double f = 1.0 / std::tan(75.0 / 2.0 * M_PI / 180.0);
    float expected[16] = {};
    expected[0] = static_cast<float>(f / 2.0);
    expected[5] = static_cast<float>(f);
    expected[10] = static_cast<float>(300001.0 / (1.0 - 300000.0));
    expected[11] = -1.0f;
    expected[14] = static_cast<float>(2.0 * 300000.0 / (1.0 - 300000.0));
    float program[16];
    float window[16];
    defaultProjectionMatrix(program);
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, window);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(m[i], expected[i]) << "element " << i;
        EXPECT_EQ(program[i], window[i]) << "element " << i;
    }
}

TEST(CameraMatricesTest, ModelviewTranslatesThenTurnsZThenYThenX) {
    float m[16];
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, m);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m[i], i == 14 ? -10000.0f : (i % 5 == 0 ? 1.0f : 0.0f)) << "element " << i;
    }
    // Row r of column-major m applied to (x, y, z, 1).
    auto apply = [&m](float x, float y, float z, int r) {
        return m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    };
    // x turns into y about z, stays about y, turns into z about x; y goes to -x, z, then -y.
    cameraModelviewMatrix(0.0f, 0.0f, 0.0f, 90.0f, 90.0f, 90.0f, m);
    EXPECT_NEAR(apply(1, 0, 0, 2), -9999.0f, 1e-3f);
    EXPECT_NEAR(apply(0, 1, 0, 1), -1.0f, 1e-6f);
}
