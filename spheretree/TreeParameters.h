#pragma once

namespace spheres {

// Parameters shared by every tree of the process. Each SphereTree constructor sets them, so a
// second tree changes them for the first one too.

/// Deepest level a bounding node may have; leaves hang one level below it at most.
int getMaxLevel();
void setMaxLevel(int level);
/// A new bounding child's maxRadius is its parent's maxRadius times this.
float getChildRadiusScale();
void setChildRadiusScale(float scale);
void setSlackScale(float scale);

/// A new bounding child's slack is its parent's slack times this.
extern float slackScale;

} // namespace spheres
