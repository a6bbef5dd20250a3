#include "view/SphereBatch.h"

#include <gtest/gtest.h>

using namespace spheres;

static const std::uint8_t colour[4] = {1, 2, 3, 4};

TEST(SphereBatchTest, SpheresAreMovedScaledClosedAndFaceOutwards) {
    Vector3 center(100.0f, -50.0f, 7.0f);
    for (SphereBatch::Shape shape : {SphereBatch::Shape::Solid, SphereBatch::Shape::Wire}) {
        SphereBatch batch(shape, 10, 6);
        batch.add(Vector3(0.0f, 0.0f, 0.0f), 1.0f, colour);
        std::size_t vertices = batch.positions().size() / 3, indices = batch.indices().size();
        batch.add(center, 20.0f, colour);
        ASSERT_EQ(batch.positions().size() / 3, 2 * vertices);
        EXPECT_EQ(vertices, 10u * 5u + 2u);
        EXPECT_EQ(batch.colours().size(), 4 * 2 * vertices);
        // Solid: two triangles per quad and one per cap slice; wire: meridians and parallels.
        EXPECT_EQ(indices, shape == SphereBatch::Shape::Solid ? 3u * 10u * (2u * 4u + 2u)
                                                              : 2u * 10u * (6u + 5u));
        const std::vector<float>& p = batch.positions();
        auto at = [&](std::uint32_t i) { return Vector3(p[3 * i], p[3 * i + 1], p[3 * i + 2]); };
        for (std::uint32_t v = 0; v < 2 * vertices; ++v) {
            float expected = v < vertices ? 1.0f : 20.0f;
            EXPECT_NEAR((at(v) - (v < vertices ? Vector3::zero : center)).length(), expected,
                        1e-4f * expected);
        }
        for (std::size_t k = 0; k < indices; ++k) { // the second copy points at its own vertices
            ASSERT_EQ(batch.indices()[indices + k], batch.indices()[k] + vertices);
        }
        if (shape == SphereBatch::Shape::Wire) {
            continue;
        }
        // Counter-clockwise seen from outside, as lighting and culling expect.
        for (std::size_t k = 0; k < indices; k += 3) {
            Vector3 a = at(batch.indices()[k]), b = at(batch.indices()[k + 1]);
            Vector3 c = at(batch.indices()[k + 2]);
            Vector3 u = b - a, w = c - a;
            Vector3 normal(u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x);
            EXPECT_GT(normal.dot(a + b + c), 0.0f) << "triangle " << k / 3;
        }
    }
}

TEST(SphereBatchTest, AnOutlineLiesOnTheSphereWhereTheEyesLinesTouchIt) {
    SphereBatch batch(SphereBatch::Shape::Wire, 12, 2);
    Vector3 center(300.0f, 200.0f, -100.0f), eye(-500.0f, 900.0f, 2000.0f);
    batch.addOutline(center, 400.0f, eye, colour);
    const std::vector<float>& p = batch.positions();
    ASSERT_EQ(p.size(), 3u * 12u);
    EXPECT_EQ(batch.indices().size(), 2u * 12u);
    for (std::size_t v = 0; v < 12; ++v) {
        Vector3 point(p[3 * v], p[3 * v + 1], p[3 * v + 2]);
        EXPECT_NEAR((point - center).length(), 400.0f, 0.05f);
        // Tangent: the line of sight is perpendicular to the radius there.
        Vector3 sight = (point - eye).normalized(), normal = (point - center).normalized();
        EXPECT_NEAR(sight.dot(normal), 0.0f, 1e-4f);
    }
}
