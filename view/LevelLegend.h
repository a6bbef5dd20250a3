#pragma once

#include "view/ViewSession.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spheres {

/// How the bounding spheres of one tree level are drawn.
struct LevelStyle {
    bool drawn = false;
    /// RGBA; the alpha is the level's opacity.
    std::uint8_t colour[4] = {0, 0, 0, 0};
    /// Width of a silhouette's line, in pixels.
    float width = 1.0f;
};

/// One line of the legend: a tree level's colour, number, node count and state, or the bodies.
struct LegendRow {
    /// The tree level; -1 for the row of the bodies.
    int level = 0;
    /// The level's colour at full strength.
    std::uint8_t colour[4] = {0, 0, 0, 255};
    int nodes = 0;
    bool shown = true;
    bool emphasised = false;
    /// The line as the legend prints it beside the colour.
    std::string text;
};

/// Which tree levels the view shows, which one it emphasises, and the legend that says so. The
/// emphasised level is drawn in its colour, opaque and wider; the other shown levels are faint,
/// so that one level's spheres read as shells among the others.
class LevelLegend {
public:
    /// Levels that have a colour and a key (0 is the root); deeper levels share the last.
    static constexpr int levelCount = 6;
    /// Level colours, RGBA.
    static const std::uint8_t colours[levelCount][4];
    /// The colour of the spheres of leaves whose body has died.
    static const std::uint8_t escapedColour[4];
    /// The bodies' colour.
    static const std::uint8_t bodyColour[4];
    /// Opacity of a faint level, of 255.
    static constexpr std::uint8_t faintAlpha = 110;
    /// The most nodes a level may have to be emphasised at first sight.
    static constexpr int legibleNodes = 40;

    /// The colour and key of a tree level: itself, or the last for deeper levels.
    static int slot(int level) { return level < levelCount ? level : levelCount - 1; }

    bool shown(int level) const { return levelShown[slot(level)]; }
    void toggle(int level) { levelShown[slot(level)] = !levelShown[slot(level)]; }
    int emphasised() const { return emphasis; }
    /// Moves the emphasis by step levels, round from the last level to the root and back.
    void stepEmphasis(int step);
    /// Emphasises the level a newcomer reads best: of the levels with at most legibleNodes nodes,
    /// the one with the most (the root when none has).
    void chooseEmphasis(const TreeLevelCounts& counts);

    /// How a bounding sphere of level is drawn; while quiet (a query is on show), every level is
    /// faint.
    LevelStyle style(int level, bool quiet) const;
    /// The legend: a row per level of counts (levels past the last counted in the last), then
    /// the bodies' row.
    std::vector<LegendRow> rows(const TreeLevelCounts& counts) const;

private:
    bool levelShown[levelCount] = {true, true, true, true, true, true};
    int emphasis = 0;
};

} // namespace spheres
