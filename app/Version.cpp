#include "app/Version.h"

namespace spheres {

const char* spheresVersion() {
    return SPHERES_VERSION;
}

} // namespace spheres
