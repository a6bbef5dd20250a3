#pragma once

#include <vector>

namespace spheres {

/// What one of the view's own keys does.
enum class ViewAction {
    Freeze,         ///< freeze or thaw: while frozen no frame runs at all
    Step,           ///< run exactly one frame while frozen
    Slower,         ///< halve the simulation rate
    Faster,         ///< double the simulation rate
    Reset,          ///< build the start-up scene again
    SelectNext,     ///< select the next alive body
    SelectPrevious, ///< select the previous alive body
    Unselect,       ///< select none
    ToggleLevel,    ///< show or hide one tree level's bounding spheres (level 0: the root)
    ToggleStyle,    ///< silhouettes or translucent shells for the bounding spheres
    ToggleHelp,     ///< show or hide the key list
    EmphasisNext,   ///< emphasise the next tree level (round from the last to the root)
    EmphasisBack,   ///< emphasise the previous tree level
    SlabOn,         ///< move the clipping slab one step away from the eye (then off)
    SlabBack,       ///< move the clipping slab one step towards the eye (then off)
    SwitchCamera,   ///< the orbit camera or the demo's own camera
};

/// One of the view's keys. None of them is one of the demo's keys or Escape.
struct ViewKey {
    unsigned char key;
    ViewAction action;
    /// The level of ToggleLevel; 0 otherwise.
    int level;
    /// The key list line shown in the window.
    const char* help;
};

/// The view's keys, in the order the key list shows them.
const std::vector<ViewKey>& viewKeys();
/// The view key bound to key, or null.
const ViewKey* findViewKey(unsigned char key);

} // namespace spheres
