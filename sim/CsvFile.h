#pragma once

#include <cstdio>
#include <string>

class Body;

/// An output CSV file written through a large buffer; remembers whether any write failed.
class CsvFile {
public:
    CsvFile() = default;
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;
    ~CsvFile();

    /// Creates or truncates path and writes the header line; false if it cannot.
    bool open(const std::string& path, const char* header);
    bool isOpen() const { return file != nullptr; }
    /// Flushes and closes; false if any write since open failed.
    bool close();
    /// Closes and deletes the file, for a run that ends before it starts.
    void discard();
    std::FILE* handle() { return file; }

private:
    std::FILE* file = nullptr;
    std::string path;
    bool failed = false;
};

/// Writes one row per body of bodies[0..count): frame, index, position, velocity, alive, with
/// every float as %.9g so that reading the text back gives the same float.
void writeTraceRows(std::FILE* file, int frame, Body* const* bodies, int count);

/// The header of the trace file.
extern const char* const traceHeader;
/// The header of the per-frame file.
extern const char* const framesHeader;
