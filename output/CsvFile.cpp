#include "output/CsvFile.h"

#include "body/Body.h"
#include "output/OutputFile.h"

namespace spheres {

const char* const traceHeader = "frame,index,px,py,pz,vx,vy,vz,alive";
const char* const framesHeader = "frame,drawn,alive,contacts";
const char* const framesTimedHeader = "frame,drawn,alive,contacts,ms";

void writeTraceRows(OutputFile& file, int frame, Body* const* bodies, int count) {
    for (int i = 0; i < count && !file.failed(); ++i) {
        Body* body = bodies[i];
        Vector3 p = body->getPosition();
        Vector3 v = body->getVelocity();
        // %.9g holds the nine significant digits that every float needs to read back exactly.
        file.print("%d,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d\n", frame, i, static_cast<double>(p.x),
                   static_cast<double>(p.y), static_cast<double>(p.z), static_cast<double>(v.x),
                   static_cast<double>(v.y), static_cast<double>(v.z), body->isAlive() ? 1 : 0);
    }
}

void writeFrameRow(OutputFile& file, int frame, int drawn, int alive, int contacts, bool timed,
                   double milliseconds) {
    if (timed) {
        file.print("%d,%d,%d,%d,%.4f\n", frame, drawn, alive, contacts, milliseconds);
    } else {
        file.print("%d,%d,%d,%d\n", frame, drawn, alive, contacts);
    }
}

} // namespace spheres
