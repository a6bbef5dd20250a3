#include "view/PictureControls.h"

namespace spheres {

bool PictureControls::apply(const ViewKey& key) {
    switch (key.action) {
    case ViewAction::ToggleLevel:
        levels.toggle(key.level);
        return true;
    case ViewAction::ToggleStyle:
        shells = !shells;
        return true;
    case ViewAction::ToggleHelp:
        showHelp = !showHelp;
        return true;
    case ViewAction::EmphasisNext:
        levels.stepEmphasis(1);
        return true;
    case ViewAction::EmphasisBack:
        levels.stepEmphasis(-1);
        return true;
    case ViewAction::SlabOn:
        slab.move(1);
        return true;
    case ViewAction::SlabBack:
        slab.move(-1);
        return true;
    case ViewAction::SwitchCamera:
        camera.toggle();
        return true;
    default:
        return false;
    }
}

} // namespace spheres
