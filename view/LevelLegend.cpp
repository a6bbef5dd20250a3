#include "view/LevelLegend.h"

#include <cstdio>

namespace spheres {

const std::uint8_t LevelLegend::colours[levelCount][4] = {
    {128, 128, 128, 255}, // the root: grey
    {77, 128, 255, 255},  // blue
    {51, 255, 51, 255},   // green
    {255, 255, 51, 255},  // yellow
    {255, 77, 255, 255},  // magenta
    {51, 255, 255, 255},  // cyan
};
const std::uint8_t LevelLegend::escapedColour[4] = {160, 100, 40, 255};
const std::uint8_t LevelLegend::bodyColour[4] = {255, 0, 0, 255};

void LevelLegend::stepEmphasis(int step) {
    emphasis = ((emphasis + step) % levelCount + levelCount) % levelCount;
}

void LevelLegend::chooseEmphasis(const TreeLevelCounts& counts) {
    emphasis = 0;
    int best = 0;
    for (std::size_t level = 0; level < counts.bounding.size() && level < levelCount; ++level) {
        int nodes = counts.bounding[level];
        if (nodes <= legibleNodes && nodes > best) {
            best = nodes;
            emphasis = static_cast<int>(level);
        }
    }
}

LevelStyle LevelLegend::style(int level, bool quiet) const {
    LevelStyle style;
    int key = slot(level);
    style.drawn = levelShown[key];
    bool strong = !quiet && key == emphasis;
    for (int i = 0; i < 3; ++i) {
        style.colour[i] = colours[key][i];
    }
    // Quieter still under a query.
    style.colour[3] = strong ? 255 : quiet ? faintAlpha / 2 : faintAlpha;
    style.width = strong ? 2.0f : 1.0f;
    return style;
}

std::vector<LegendRow> LevelLegend::rows(const TreeLevelCounts& counts) const {
    std::vector<LegendRow> rows(levelCount + 1);
    for (std::size_t level = 0; level < counts.bounding.size(); ++level) {
        rows[static_cast<std::size_t>(slot(static_cast<int>(level)))].nodes +=
            counts.bounding[level];
    }
    char line[64];
    for (int level = 0; level < levelCount; ++level) {
        LegendRow& row = rows[static_cast<std::size_t>(level)];
        row.level = level;
        for (int i = 0; i < 4; ++i) {
            row.colour[i] = colours[level][i];
        }
        row.shown = levelShown[level];
        row.emphasised = level == emphasis;
        std::snprintf(line, sizeof line, "level %d %7d node%s%s", level, row.nodes,
                      row.nodes == 1 ? " " : "s",
                      !row.shown       ? "  hidden"
                      : row.emphasised ? "  emphasised"
                                       : "");
        row.text = line;
    }
    LegendRow& bodies = rows.back();
    bodies.level = -1;
    for (int i = 0; i < 4; ++i) {
        bodies.colour[i] = bodyColour[i];
    }
    bodies.nodes = counts.leaves;
    std::snprintf(line, sizeof line, "bodies  %7d leaves, %d escaped", counts.leaves,
                  counts.escaped);
    bodies.text = line;
    return rows;
}

} // namespace spheres
