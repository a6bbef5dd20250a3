#pragma once

namespace spheres {

/// How a run learns that it should stop, and how no temporary file outlives the process:
/// - SIGINT, SIGTERM, SIGHUP and SIGPIPE set a flag that the run reads at the end of each frame.
///   A second SIGINT, SIGTERM or SIGHUP (for a run blocked in a long start-up or on a full pipe)
///   removes the registered temporary files and ends the process at once with the same status.
/// - SIGXFSZ from the process's own write beyond the file size limit is let pass: the write fails
///   with EFBIG like any other write error. Sent by another process it acts as below.
/// - Every other signal whose default action ends the process (SIGQUIT, SIGUSR1, SIGALRM,
///   SIGXCPU, SIGSEGV, SIGABRT, ...) removes the temporary files, then ends the process by its
///   default action (128 + signal to a shell).
/// - Temporary files still registered when the process exits (a library that calls exit()) are
///   removed.
/// Apart from SIGINT, SIGTERM, SIGPIPE and SIGXFSZ, a signal that the process started with
/// ignored (nohup) or that a tool already handles (a sanitizer) is left as it was.
namespace StopSignals {

/// Installs the handlers; the process's other signal dispositions are left alone.
void install();
/// The first stop signal received, or 0.
int received();
/// The exit status of a run ended by signal: 128 + signal.
int exitStatus(int signal);
/// Remembers a temporary file for the handlers to remove; returns its slot, or -1 when every
/// slot is taken (the file is then removed only by the run itself).
int registerTemporary(const char* path);
/// Forgets a slot once its file is renamed or removed.
void forget(int slot);

} // namespace StopSignals

} // namespace spheres
