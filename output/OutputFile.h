#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <vector>

namespace spheres {

/// An output path named on a command line, with the option that named it (for messages).
struct NamedOutput {
    std::string option;
    std::string path;
};

/// Where an output path leads, found without creating or changing anything.
struct OutputTarget {
    /// Empty when the path can be written; otherwise why not, with the system's reason.
    std::string error;
    /// A character device or a FIFO: written in place, never through a temporary file.
    bool direct = false;
    /// 1 or 2 when the path is the process's own standard output or error (such as /dev/stdout
    /// with output redirected to a file): written through that descriptor, -1 otherwise.
    int standardStream = -1;
    bool exists = false;
    /// The file that is finally replaced: symbolic links and the folder resolved.
    std::string resolved;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

/// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that no file opened
/// later takes the place of a standard stream and receives what is written to it. Called first
/// thing by each program.
void openStandardStreams();

/// Looks at path as an output: an existing regular file (writable, in a writable folder), a
/// character device or FIFO, the process's standard output or error, or a new name in a
/// writable folder.
OutputTarget inspectOutput(const std::string& path);

/// Checks every output before any is created: each must be writable, and no file may be named
/// twice under any spelling (a character device such as /dev/null may). Nor may an output be the
/// file or pipe that standard error goes to, whose messages would mix into it, or, when
/// checkStdout is set, standard output's. Returns "OPTION: message", or "" if all is well.
std::string checkOutputs(const std::vector<NamedOutput>& outputs, bool checkStdout = false);

/// An output written so that a run which does not end normally leaves the named file as it was:
/// a regular file (or a new one) is written to a temporary file in the same folder and renamed
/// over the target by commit(); a device or FIFO is written directly. Writes are buffered (a
/// direct output up to flushIfDirect()); the first failed write is remembered with its errno and
/// every later write is dropped.
/// The temporary file is NAME.tmp-XXXXXX, with NAME cut short where the whole would pass the
/// folder's limit on a name's length. The replacement gets the permissions of the file it
/// replaces, and its owner and group where the process may give them (root may; a user may
/// give a group of its own). Being a new file, it is not the file that other hard links name:
/// they keep the old contents. A symbolic link is followed, and the file it names is replaced.
/// Temporary files are registered with StopSignals, which removes them if the process ends
/// before the run does.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    /// Discards a file that was not committed.
    ~OutputFile();

    /// Opens path (checked beforehand with inspectOutput) for writing; false with error() set.
    /// A FIFO without a reader is waited for until one comes or a stop signal arrives.
    bool open(const std::string& path);
    /// Writes to an already open descriptor such as standard output, which is never renamed.
    void attach(int descriptor, const std::string& name);
    bool isOpen() const { return descriptor >= 0; }

    /// Appends size bytes; the buffer goes out when full.
    void write(const char* data, std::size_t size);
    /// Appends printf-formatted text.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Sends the buffer out now.
    void flush();
    /// Sends the buffer out now if the output is a device, FIFO or standard stream, so that a
    /// reader following it gets whole frames as they end; a file keeps filling its buffer.
    void flushIfDirect();

    /// True once a write has failed; error() tells why.
    bool failed() const { return errorCode != 0; }
    /// True when the failure is a reader that went away (EPIPE) rather than a write error.
    bool pipeClosed() const { return errorCode == EPIPE; }
    /// What failed, with the path and the system's reason; empty if nothing failed.
    std::string error() const;

    /// Flushes and, for a temporary file, syncs and closes it, so that commit() has only the
    /// rename left: a program with several outputs syncs them all before it renames the first.
    /// False if anything failed.
    bool sync();
    /// Syncs (unless done) and renames the temporary file over the target; false if anything
    /// failed (then the temporary file is removed and the target left as it was).
    bool commit();
    /// Removes the temporary file, leaving the target as it was. A direct output gets what is
    /// buffered (whole rows) unless a write already failed.
    void discard();

private:
    void fail(int number, const char* action);
    void writeAll(const char* data, std::size_t size);
    /// Closes the descriptor unless attached; returns the errno of a failed close, or 0.
    int closeDescriptor();

    int descriptor = -1;
    bool attached = false;
    bool direct = false;
    /// The path as given, for messages.
    std::string name;
    /// The file that commit() replaces, and the temporary file written meanwhile.
    std::string target;
    std::string temporary;
    int slot = -1;
    int errorCode = 0;
    std::string message;
    std::vector<char> buffer;
};

} // namespace spheres
