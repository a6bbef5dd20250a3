#include "frustum/MatrixFrustum.h"
#include "spheretree/QuerySphereTree.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TreeChecker.h"

#include <gtest/gtest.h>

namespace {

const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

/// A tree holding one leaf with sphere centre (0, 0, 10), radius 2 inside its whole chain.
class QuerySphereTreeQueryTest : public testing::Test {
protected:
    void SetUp() override {
        body = scene.add(Vector3(0.0f, 0.0f, 10.0f), bodyRadiusForSweptRadius(2.0f));
        scene.tree.update();
        ASSERT_EQ(scene.leafOf(body)->radius, 2.0f);
    }

    /// The single result of a query with times, or time -1 when it found nothing.
    template <class Query> float onlyTime(const Query& query) {
        BodyList bodies;
        TimeList times;
        query.run(scene.tree, bodies, times);
        EXPECT_LE(bodies.size(), 1u);
        EXPECT_EQ(bodies.size(), times.size());
        if (bodies.empty()) {
            return -1.0f;
        }
        EXPECT_EQ(bodies.front(), body);
        return times.front();
    }

    TreeScene scene;
    Body* body = nullptr;
};

TEST_F(QuerySphereTreeQueryTest, RayReportsDistanceToEntryOrExit) {
    Vector3 up(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(onlyTime(RayQuery{Vector3::zero, up}), 8.0f);
    EXPECT_EQ(onlyTime(RayQuery{Vector3(0.0f, 0.0f, 9.0f), up}), 3.0f);   // origin inside: exit
    EXPECT_EQ(onlyTime(RayQuery{Vector3(0.0f, 0.0f, 20.0f), up}), -1.0f); // sphere behind
    EXPECT_EQ(onlyTime(RayQuery{Vector3(0.0f, 3.0f, 0.0f), up}), -1.0f);  // passes by
}

TEST_F(QuerySphereTreeQueryTest, SegmentReportsParameterWithinTolerance) {
    auto segment = [this](float fromZ, float toZ) {
        return onlyTime(SegmentQuery{Vector3(0.0f, 0.0f, fromZ), Vector3(0.0f, 0.0f, toZ)});
    };
    EXPECT_TRUE(nearlyEqual(segment(0.0f, 20.0f), 0.4f, 1e-6f));
    EXPECT_TRUE(nearlyEqual(segment(0.0f, 7.995f), 1.000625f, 1e-5f)); // just past the end
    EXPECT_EQ(segment(0.0f, 7.99f), -1.0f);
    EXPECT_TRUE(nearlyEqual(segment(9.0f, 20.0f), 3.0f / 11.0f, 1e-6f)); // start inside: exit
    EXPECT_EQ(segment(20.0f, 30.0f), -1.0f);
    {
        SCOPED_TRACE("zero length: time 0 only strictly inside");
        EXPECT_EQ(segment(11.0f, 11.0f), 0.0f);
        EXPECT_EQ(segment(12.0f, 12.0f), -1.0f); // on the sphere
        EXPECT_EQ(segment(30.0f, 30.0f), -1.0f);
    }
}

TEST_F(QuerySphereTreeQueryTest, SphereAndFrustumCountOnlyOverlap) {
    BodyList found;
    scene.tree.querySphere(Vector3(0.0f, 0.0f, 5.0f), 3.0f, found); // touching only
    EXPECT_TRUE(found.empty());
    scene.tree.querySphere(Vector3(0.0f, 0.0f, 5.0f), 3.01f, found);
    EXPECT_EQ(found.size(), 1u);

    // The frustum tests the body's present sphere: at (2, 0, 0) it touches the cube's right face.
    MatrixFrustum cube(identity, identity);
    TreeScene frustumScene;
    Body* x = frustumScene.add(Vector3(2.0f, 0.0f, 0.0f), 1.0f);
    frustumScene.tree.update();
    BodyList visible;
    frustumScene.tree.queryFrustum(cube, visible);
    EXPECT_EQ(visible, BodyList{x});
    x->setRadius(0.99f);
    visible.clear();
    frustumScene.tree.queryFrustum(cube, visible);
    EXPECT_TRUE(visible.empty());
}

TEST_F(QuerySphereTreeQueryTest, SweepReportsFirstContactWithinTheStep) {
    // The query body moves from the origin to (10, 0, 0) with radius 1; a leaf body rests at x.
    SphereBody mover = makeBody(Vector3(10.0f, 0.0f, 0.0f), 1.0f, Vector3::zero, Vector3::zero);
    auto sweepAgainstRestingAt = [&mover](float x, const Vector3& otherStep) {
        TreeScene other;
        Body* resting = other.add(Vector3(x, 0.0f, 0.0f), 1.0f);
        resting->setPosition(Vector3(x, 0.0f, 0.0f) + otherStep);
        other.tree.update();
        BodyList bodies;
        TimeList times;
        other.tree.querySweep(&mover, bodies, times);
        other.tree.querySweep(resting, bodies, times); // never reports itself
        EXPECT_EQ(bodies.size(), times.size());
        return times.empty() ? -1.0f : times.front();
    };
    EXPECT_EQ(sweepAgainstRestingAt(5.0f, Vector3::zero), 0.3f);
    EXPECT_EQ(sweepAgainstRestingAt(5.0f, Vector3(10.0f, 0.0f, 0.0f)), -1.0f); // moving along
    EXPECT_EQ(sweepAgainstRestingAt(12.02f, Vector3::zero), -1.0f);            // t = 1.002
    EXPECT_EQ(sweepAgainstRestingAt(1.98f, Vector3::zero), -1.0f);             // t = -0.002
    EXPECT_TRUE(nearlyEqual(sweepAgainstRestingAt(12.005f, Vector3::zero), 1.0005f, 1e-5f));
}

TEST(QuerySphereTreeOrderTest, ResultsComeDepthFirstAfterExistingEntries) {
    TreeScene scene;
    Body* near = scene.add(Vector3::zero, 50.0f);
    Body* far = scene.add(Vector3(40000.0f, 0.0f, 0.0f), 50.0f); // its own level-2 chain
    Body* nearToo = scene.add(Vector3(100.0f, 0.0f, 0.0f), 50.0f);
    scene.tree.update();
    ASSERT_EQ(checkTree(scene.tree), "");
    SphereBody sentinel(Vector3::zero, 1.0f);
    BodyList found{&sentinel};
    scene.tree.querySphere(Vector3::zero, 100000.0f, found);
    EXPECT_EQ(found, (BodyList{&sentinel, near, nearToo, far}));

    TreeScene empty;
    MatrixFrustum cube(identity, identity);
    BodyList bodies;
    TimeList times;
    empty.tree.queryRay(Vector3::zero, Vector3::unitX, bodies, times);
    empty.tree.querySegment(Vector3::zero, Vector3::unitX, bodies, times);
    empty.tree.querySphere(Vector3::zero, 1e6f, bodies);
    empty.tree.queryFrustum(cube, bodies);
    empty.tree.querySweep(&sentinel, bodies, times);
    EXPECT_TRUE(bodies.empty() && times.empty());
}

TEST(QuerySphereTreeOrderTest, LeafOutsideAnAncestorIsMissedOnlyThroughPruning) {
    // The leaf at (2300, 0, 0) fits its level-5 parent but lies outside the level-4 node.
    TreeScene scene;
    scene.add(Vector3::zero, 50.0f);
    scene.tree.update();
    Body* outlier = scene.add(Vector3(1900.0f, 0.0f, 0.0f), 50.0f);
    scene.tree.update();
    TreeScene::moveTo(outlier, Vector3(2300.0f, 0.0f, 0.0f));
    scene.tree.update();
    SphereQuery probe{Vector3(2300.0f, 0.0f, 0.0f), 1.0f};
    ASSERT_EQ(bruteForceQuery(scene.tree, probe).size(), 1u);
    ReferenceComparison comparison = compareWithReference(scene.tree, probe, false);
    EXPECT_EQ(comparison.mismatch, "");
    EXPECT_EQ(comparison.hits, 0);
    EXPECT_EQ(comparison.prunedMisses, 1);
}

} // namespace
