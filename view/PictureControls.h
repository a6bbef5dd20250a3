#pragma once

#include "view/ClipSlab.h"
#include "view/LevelLegend.h"
#include "view/ViewCamera.h"
#include "view/ViewKeys.h"

namespace spheres {

/// What the view's keys change in the picture alone, the same in the window and in the page: the
/// camera shown, the levels shown and emphasised, the clipping slab, the style of the bounding
/// spheres and the key list.
struct PictureControls {
    ViewCamera camera;
    LevelLegend levels;
    ClipSlab slab;
    /// Translucent shells instead of silhouettes for the bounding spheres.
    bool shells = false;
    bool showHelp = false;

    /// Carries out a key that changes only the picture and returns true; returns false, changing
    /// nothing, for a key the program carries out itself (the clock, a reset, the selection).
    bool apply(const ViewKey& key);
};

} // namespace spheres
