#include "app/CameraMatrices.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace spheres;

TEST(CameraMatricesTest, ReshapeAndMatricesFollowTheirFormulas) {
    for (const auto& s : {std::array<int, 4>{640, 480, 640, 480}, {640, 0, 640, 1}, {0, 0, 1, 1}}) {
        int width = s[0], height = s[1]; // a zero size becomes 1
        EXPECT_EQ(reshapeAspect(width, height), static_cast<double>(s[2]) / s[3]);
        EXPECT_TRUE(width == s[2] && height == s[3]) << s[0] << " x " << s[1];
    }

    float m[16], program[16];
    perspectiveMatrix(75.0, 640.0 / 480.0, 1.0, 300000.0, m);
    defaultProjectionMatrix(program);
    double f = 1.0 / std::tan(75.0 / 2.0 * M_PI / 180.0);
    const double expected[16] = {
        f * 480.0 / 640.0,    0, 0, 0, 0, f, 0, 0, 0, 0, -300001.0 / 299999.0, -1, 0, 0,
        -600000.0 / 299999.0, 0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(m[i], static_cast<float>(expected[i])) << i;
        EXPECT_EQ(program[i], m[i]) << i;
    }

    // A point goes through rotate z, then y, then x, then the translations.
    const double p[3] = {100.0, -200.0, 300.0};
    cameraModelviewMatrix(5.0f, -10.0f, 50.0f, 30.0f, 45.0f, 60.0f, m);
    auto turn = [](double v[3], int axis, double degrees) {
        int u = (axis + 1) % 3, w = (axis + 2) % 3;
        double c = std::cos(degrees * M_PI / 180.0), s = std::sin(degrees * M_PI / 180.0);
        double a = c * v[u] - s * v[w];
        v[w] = s * v[u] + c * v[w];
        v[u] = a;
    };
    double q[3] = {p[0], p[1], p[2]};
    turn(q, 2, 60.0);
    turn(q, 1, 45.0);
    turn(q, 0, 30.0);
    const double moved[3] = {q[0] + 5.0, q[1] - 10.0, q[2] + 50.0 - 10000.0};
    for (int r = 0; r < 4; ++r) {
        double row = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
        EXPECT_NEAR(row, r < 3 ? moved[r] : 1.0, 1e-3) << "row " << r;
    }
}
