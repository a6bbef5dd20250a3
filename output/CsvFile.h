#pragma once

namespace spheres {

class Body;
class OutputFile;

/// Writes one row per body of bodies[0..count): frame, index, position, velocity, alive, with
/// every float as %.9g so that reading the text back gives the same float. Stops early once a
/// write has failed.
void writeTraceRows(OutputFile& file, int frame, Body* const* bodies, int count);

/// Writes one row of the per-frame table; milliseconds goes in the last column when timed.
void writeFrameRow(OutputFile& file, int frame, int drawn, int alive, int contacts, bool timed,
                   double milliseconds);

/// The header of the trace file.
extern const char* const traceHeader;
/// The header of the per-frame file, without and with the time column.
extern const char* const framesHeader;
extern const char* const framesTimedHeader;

} // namespace spheres
