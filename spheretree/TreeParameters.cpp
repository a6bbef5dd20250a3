#include "spheretree/TreeParameters.h"

namespace spheres {

namespace {
int maxLevel = 0;
float childRadiusScale = 0.0f;
} // namespace

float slackScale = 0.0f;

int getMaxLevel() {
    return maxLevel;
}

void setMaxLevel(int level) {
    maxLevel = level;
}

float getChildRadiusScale() {
    return childRadiusScale;
}

void setChildRadiusScale(float scale) {
    childRadiusScale = scale;
}

void setSlackScale(float scale) {
    slackScale = scale;
}

} // namespace spheres
