#include "app/Version.h"

const char* spheresVersion() {
    return SPHERES_VERSION;
}
