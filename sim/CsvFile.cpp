#include "sim/CsvFile.h"

#include "body/Body.h"

const char* const traceHeader = "frame,index,px,py,pz,vx,vy,vz,alive";
const char* const framesHeader = "frame,drawn,alive,contacts";

CsvFile::~CsvFile() {
    close();
}

bool CsvFile::open(const std::string& filePath, const char* header) {
    close();
    file = std::fopen(filePath.c_str(), "w");
    if (file == nullptr) {
        return false;
    }
    path = filePath;
    failed = false;
    // Traces of large scenes are long; a big buffer keeps the writes few.
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    std::fprintf(file, "%s\n", header);
    return true;
}

bool CsvFile::close() {
    if (file == nullptr) {
        return !failed;
    }
    if (std::ferror(file) != 0) {
        failed = true;
    }
    if (std::fclose(file) != 0) {
        failed = true;
    }
    file = nullptr;
    return !failed;
}

void CsvFile::discard() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
        std::remove(path.c_str());
    }
}

void writeTraceRows(std::FILE* file, int frame, Body* const* bodies, int count) {
    for (int i = 0; i < count; ++i) {
        Body* body = bodies[i];
        Vector3 p = body->getPosition();
        Vector3 v = body->getVelocity();
        // %.9g holds the nine significant digits that every float needs to read back exactly.
        std::fprintf(file, "%d,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d\n", frame, i,
                     static_cast<double>(p.x), static_cast<double>(p.y), static_cast<double>(p.z),
                     static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z),
                     body->isAlive() ? 1 : 0);
    }
}
