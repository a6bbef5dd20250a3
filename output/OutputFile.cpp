#include "output/OutputFile.h"

#include "output/StopSignals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <memory>

namespace spheres {

namespace {

constexpr std::size_t bufferSize = 1 << 20;

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string reason(int number) {
    return std::strerror(number);
}

// realpath into a string; empty on failure with errno set.
std::string resolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::string folderOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool sameFile(const OutputTarget& a, const OutputTarget& b) {
    if (a.exists != b.exists) {
        return false;
    }
    if (!a.exists) {
        return a.resolved == b.resolved;
    }
    // A character device such as /dev/null may take several outputs.
    return a.device == b.device && a.inode == b.inode && !S_ISCHR(a.mode);
}

// The permissions a new file gets from open(..., 0666) under the process's umask.
mode_t newFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The temporary file beside target: NAME.tmp-XXXXXX, with NAME cut short where the whole would
// be longer than the folder allows a name to be (255 bytes on most file systems).
std::string temporaryPattern(const std::string& target) {
    const std::string suffix = ".tmp-XXXXXX";
    std::string::size_type slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    std::string::size_type limit = longest > 0 ? static_cast<std::string::size_type>(longest) : 255;
    if (name.size() + suffix.size() > limit && limit > suffix.size()) {
        name.resize(limit - suffix.size());
    }
    return (slash == std::string::npos ? "" : folder) + name + suffix;
}

// Opens a FIFO for writing without blocking in open(), which no signal handler that resumes
// interrupted calls could end: while no reader has it open, the open is tried again every
// 20 ms until one does or a stop signal arrives.
int openFifo(const std::string& path) {
    for (;;) {
        int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor >= 0) {
            int flags = fcntl(descriptor, F_GETFL);
            if (flags < 0 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) < 0) {
                int number = errno;
                ::close(descriptor);
                errno = number;
                return -1;
            }
            return descriptor;
        }
        if (errno != ENXIO) {
            return -1;
        }
        if (StopSignals::received() != 0) {
            errno = EINTR;
            return -1;
        }
        struct timespec pause = {0, 20000000};
        nanosleep(&pause, nullptr);
    }
}

} // namespace

void openStandardStreams() {
    for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        // open() takes the lowest free descriptor, which is this one.
        if (fcntl(descriptor, F_GETFD) < 0 && errno == EBADF &&
            ::open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY) < 0) {
            return;
        }
    }
}

OutputTarget inspectOutput(const std::string& path) {
    OutputTarget target;
    auto refuse = [&](const std::string& why) {
        target.error = "cannot write " + quoted(path) + ": " + why;
        return target;
    };
    if (path.empty()) {
        return refuse("empty file name");
    }
    struct stat info;
    if (stat(path.c_str(), &info) == 0) {
        target.exists = true;
        target.device = info.st_dev;
        target.inode = info.st_ino;
        target.mode = info.st_mode;
        target.owner = info.st_uid;
        target.group = info.st_gid;
        target.direct = S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode);
        struct stat stream;
        for (int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
            if (target.standardStream < 0 && fstat(descriptor, &stream) == 0 &&
                stream.st_dev == info.st_dev && stream.st_ino == info.st_ino) {
                target.standardStream = descriptor;
                target.direct = true;
            }
        }
        if (S_ISDIR(info.st_mode)) {
            return refuse(reason(EISDIR));
        }
        if (!target.direct && !S_ISREG(info.st_mode)) {
            return refuse("not a regular file, character device or FIFO");
        }
        if (access(path.c_str(), W_OK) != 0) {
            return refuse(reason(errno));
        }
        target.resolved = target.direct ? path : resolvedPath(path);
        if (target.resolved.empty()) {
            return refuse(reason(errno));
        }
    } else {
        if (errno != ENOENT) {
            return refuse(reason(errno));
        }
        if (lstat(path.c_str(), &info) == 0) {
            return refuse("a symbolic link to a missing file");
        }
        std::string name = path.substr(path.find_last_of('/') + 1);
        if (name.empty()) {
            return refuse("not a file name");
        }
        std::string folder = resolvedPath(folderOf(path));
        if (folder.empty()) {
            return refuse(reason(errno));
        }
        target.resolved = (folder == "/" ? "" : folder) + "/" + name;
    }
    // A new file, or the temporary file that replaces a regular one, is made in the folder.
    if (!target.direct && access(folderOf(target.resolved).c_str(), W_OK | X_OK) != 0) {
        return refuse(reason(errno));
    }
    return target;
}

std::string checkOutputs(const std::vector<NamedOutput>& outputs, bool checkStdout) {
    std::vector<OutputTarget> targets;
    for (const NamedOutput& output : outputs) {
        OutputTarget target = inspectOutput(output.path);
        if (!target.error.empty()) {
            return output.option + ": " + target.error;
        }
        for (std::size_t i = 0; i < targets.size(); ++i) {
            if (sameFile(target, targets[i])) {
                return output.option + ": " + quoted(output.path) + " is the " + outputs[i].option +
                       " file too";
            }
        }
        targets.push_back(target);
    }
    // A terminal or /dev/null may take the program's lines and an output both.
    for (int stream : {STDERR_FILENO, STDOUT_FILENO}) {
        struct stat info;
        if ((stream == STDOUT_FILENO && !checkStdout) || fstat(stream, &info) != 0 ||
            S_ISCHR(info.st_mode)) {
            continue;
        }
        for (std::size_t i = 0; i < targets.size(); ++i) {
            if (targets[i].exists && targets[i].device == info.st_dev &&
                targets[i].inode == info.st_ino) {
                return outputs[i].option + ": " + quoted(outputs[i].path) + " is standard " +
                       (stream == STDOUT_FILENO ? "output" : "error") + " too";
            }
        }
    }
    return "";
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& path) {
    discard();
    name = path;
    errorCode = 0;
    message.clear();
    OutputTarget checked = inspectOutput(path);
    if (!checked.error.empty()) {
        errorCode = EINVAL;
        message = checked.error;
        return false;
    }
    buffer.reserve(bufferSize);
    direct = checked.direct;
    if (checked.standardStream >= 0) {
        // The shell has opened it already: write where that descriptor stands.
        descriptor = checked.standardStream;
        attached = true;
        return true;
    }
    if (checked.direct) {
        descriptor =
            S_ISFIFO(checked.mode) ? openFifo(path) : ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (descriptor < 0) {
            fail(errno, "opening");
            return false;
        }
        return true;
    }
    target = checked.resolved;
    std::string pattern = temporaryPattern(target);
    std::vector<char> made(pattern.begin(), pattern.end());
    made.push_back('\0');
    descriptor = mkostemp(made.data(), O_CLOEXEC);
    if (descriptor < 0) {
        fail(errno, "creating a temporary file beside");
        return false;
    }
    temporary = made.data();
    slot = StopSignals::registerTemporary(temporary.c_str());
    // The replacement keeps the owner and group of the file it replaces where the process may
    // give them, the group alone where only that is allowed, and its permissions (set after
    // the owner, whose change clears the set-user-ID and set-group-ID bits).
    if (checked.exists && fchown(descriptor, checked.owner, checked.group) != 0 &&
        fchown(descriptor, static_cast<uid_t>(-1), checked.group) != 0) {
        // The process's own owner and group stay.
    }
    mode_t mode = checked.exists ? (checked.mode & 07777) : newFileMode();
    if (fchmod(descriptor, mode) != 0) {
        fail(errno, "setting the permissions of");
        discard();
        return false;
    }
    return true;
}

void OutputFile::attach(int existing, const std::string& label) {
    discard();
    descriptor = existing;
    name = label;
    attached = true;
    direct = true;
    buffer.reserve(bufferSize);
}

void OutputFile::write(const char* data, std::size_t size) {
    if (failed() || descriptor < 0) {
        return;
    }
    if (buffer.size() + size > bufferSize) {
        flush();
    }
    if (size >= bufferSize) {
        writeAll(data, size);
    } else {
        buffer.insert(buffer.end(), data, data + size);
    }
}

void OutputFile::print(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length < 0) {
        fail(errno, "formatting a line for");
    } else if (static_cast<std::size_t>(length) < sizeof line) {
        write(line, static_cast<std::size_t>(length));
    } else {
        std::vector<char> longer(static_cast<std::size_t>(length) + 1);
        va_start(arguments, format);
        std::vsnprintf(longer.data(), longer.size(), format, arguments);
        va_end(arguments);
        write(longer.data(), static_cast<std::size_t>(length));
    }
}

void OutputFile::flush() {
    if (!buffer.empty()) {
        writeAll(buffer.data(), buffer.size());
        buffer.clear();
    }
}

void OutputFile::flushIfDirect() {
    if (direct) {
        flush();
    }
}

void OutputFile::writeAll(const char* data, std::size_t size) {
    while (size > 0 && !failed()) {
        ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno != EINTR) {
                fail(errno, "writing");
            }
            continue;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

std::string OutputFile::error() const {
    return message;
}

void OutputFile::fail(int number, const char* action) {
    if (errorCode == 0) {
        errorCode = number;
        message = std::string(action) + " " + quoted(name) + " failed: " + reason(number);
    }
}

bool OutputFile::sync() {
    flush();
    if (!temporary.empty() && descriptor >= 0) {
        // Synced before the rename, so a crash leaves either the old file or the whole new one.
        if (!failed() && fsync(descriptor) != 0) {
            fail(errno, "syncing");
        }
        int closing = closeDescriptor();
        if (!failed() && closing != 0) {
            fail(closing, "closing");
        }
    }
    return !failed();
}

bool OutputFile::commit() {
    sync();
    if (temporary.empty()) {
        closeDescriptor();
        return !failed();
    }
    if (!failed() && std::rename(temporary.c_str(), target.c_str()) != 0) {
        fail(errno, "replacing");
    }
    if (failed()) {
        discard();
        return false;
    }
    StopSignals::forget(slot);
    slot = -1;
    temporary.clear();
    return true;
}

void OutputFile::discard() {
    if (temporary.empty()) {
        if (!failed()) {
            flush();
        }
    } else {
        unlink(temporary.c_str());
        StopSignals::forget(slot);
        slot = -1;
        temporary.clear();
    }
    buffer.clear();
    closeDescriptor();
}

int OutputFile::closeDescriptor() {
    int result = 0;
    if (descriptor >= 0 && !attached && ::close(descriptor) != 0) {
        result = errno;
    }
    descriptor = -1;
    attached = false;
    direct = false;
    return result;
}

} // namespace spheres
