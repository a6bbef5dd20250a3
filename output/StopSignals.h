#pragma once

namespace spheres {

/// How a run learns that it should stop: SIGINT, SIGTERM and SIGPIPE set a flag that the run
/// reads at the end of each frame. A second SIGINT or SIGTERM (for a run blocked in a long
/// start-up or on a full pipe) removes the registered temporary files and ends the process at
/// once with the same status.
namespace StopSignals {

/// Installs the handlers; the process's signal dispositions are otherwise left alone.
void install();
/// The first stop signal received, or 0.
int received();
/// The exit status of a run ended by signal: 128 + signal.
int exitStatus(int signal);
/// Remembers a temporary file for the second signal to remove; returns its slot, or -1 when
/// every slot is taken (the file is then removed only by the run itself).
int registerTemporary(const char* path);
/// Forgets a slot once its file is renamed or removed.
void forget(int slot);

} // namespace StopSignals

} // namespace spheres
