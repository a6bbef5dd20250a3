#include "view/LevelLegend.h"

#include <gtest/gtest.h>

using namespace spheres;

TEST(LevelLegendTest, TheEmphasisStartsLegibleAndStepsRoundTheLevels) {
    LevelLegend legend;
    // The level with the most nodes among those with at most legibleNodes.
    TreeLevelCounts counts;
    counts.bounding = {1, 1, 1, 4, 75, 45};
    legend.chooseEmphasis(counts);
    EXPECT_EQ(legend.emphasised(), 3);
    counts.bounding = {1, 1, 7, 40, 41, 6974};
    legend.chooseEmphasis(counts);
    EXPECT_EQ(legend.emphasised(), 3);
    legend.chooseEmphasis(TreeLevelCounts());
    EXPECT_EQ(legend.emphasised(), 0);
    legend.stepEmphasis(-1);
    EXPECT_EQ(legend.emphasised(), LevelLegend::levelCount - 1);
    legend.stepEmphasis(1);
    EXPECT_EQ(legend.emphasised(), 0);
}

TEST(LevelLegendTest, OneLevelStrongTheOthersFaintHiddenOnesNotDrawn) {
    LevelLegend legend;
    legend.stepEmphasis(5);
    legend.toggle(2);
    for (int level = 0; level < 8; ++level) {
        int slot = std::min(level, 5);
        for (bool quiet : {false, true}) {
            LevelStyle style = legend.style(level, quiet);
            EXPECT_EQ(style.drawn, slot != 2) << level;
            bool strong = slot == 5 && !quiet;
            EXPECT_EQ(style.colour[3], strong  ? 255
                                       : quiet ? LevelLegend::faintAlpha / 2
                                               : LevelLegend::faintAlpha);
            EXPECT_EQ(style.width, strong ? 2.0f : 1.0f);
            EXPECT_EQ(style.colour[0], LevelLegend::colours[slot][0]);
        }
    }
    // Levels past the last share its colour, key and row.
    legend.toggle(7);
    EXPECT_FALSE(legend.shown(5));
    TreeLevelCounts counts;
    counts.bounding = {1, 2, 3, 4, 5, 6, 7};
    counts.leaves = 30;
    counts.escaped = 2;
    std::vector<LegendRow> rows = legend.rows(counts);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[5].nodes, 13);
    EXPECT_EQ(rows[0].text, "level 0       1 node ");
    EXPECT_EQ(rows[2].text, "level 2       3 nodes  hidden");
    EXPECT_EQ(rows[5].text, "level 5      13 nodes  hidden");
    legend.toggle(5);
    EXPECT_EQ(legend.rows(counts)[5].text, "level 5      13 nodes  emphasised");
    EXPECT_EQ(rows[6].level, -1);
    EXPECT_EQ(rows[6].text, "bodies       30 leaves, 2 escaped");
}
