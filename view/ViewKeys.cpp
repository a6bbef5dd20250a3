#include "view/ViewKeys.h"

namespace spheres {

const std::vector<ViewKey>& viewKeys() {
    static const std::vector<ViewKey> keys = {
        {'f', ViewAction::Freeze, 0, "f      freeze / thaw (no frame runs)"},
        {'.', ViewAction::Step, 0, ".      one frame while frozen"},
        {'-', ViewAction::Slower, 0, "-      half the simulation rate"},
        {'+', ViewAction::Faster, 0, "+ =    double the simulation rate"},
        {'=', ViewAction::Faster, 0, nullptr},
        {'r', ViewAction::Reset, 0, "r      reset the scene to its start"},
        {'n', ViewAction::SelectNext, 0, "n p    select the next / previous body"},
        {'p', ViewAction::SelectPrevious, 0, nullptr},
        {'u', ViewAction::Unselect, 0, "u      select none (click: pick a body)"},
        {'0', ViewAction::ToggleLevel, 0, "0      root sphere"},
        {'1', ViewAction::ToggleLevel, 1, "1-5    bounding spheres of level 1 to 5"},
        {'2', ViewAction::ToggleLevel, 2, nullptr},
        {'3', ViewAction::ToggleLevel, 3, nullptr},
        {'4', ViewAction::ToggleLevel, 4, nullptr},
        {'5', ViewAction::ToggleLevel, 5, nullptr},
        {'l', ViewAction::EmphasisNext, 0, "l L    emphasise the next / previous level"},
        {'L', ViewAction::EmphasisBack, 0, nullptr},
        {'t', ViewAction::ToggleStyle, 0, "t      silhouettes / translucent shells"},
        {'c', ViewAction::SlabOn, 0, "c C    clipping slab farther / nearer (then off)"},
        {'C', ViewAction::SlabBack, 0, nullptr},
        {'v', ViewAction::SwitchCamera, 0, "v      orbit camera / the demo's camera"},
        {'h', ViewAction::ToggleHelp, 0, "h      this list"},
    };
    return keys;
}

const ViewKey* findViewKey(unsigned char key) {
    for (const ViewKey& entry : viewKeys()) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace spheres
