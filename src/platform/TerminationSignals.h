#pragma once
// SIGTERM, SIGINT and SIGHUP (the session ending under a terminal) must close the program
// through its ordinary shut-down, so that albums and settings are saved. A signal handler may
// do almost nothing safely, so it only writes the signal's number into a pipe; the user
// interface watches the pipe's read end (a Qt socket notifier) and starts the shut-down there.

namespace tunquil::platform {

class TerminationSignals {
public:
    // Installs the handlers; only one instance may exist at a time. Throws BusError when the
    // pipe cannot be made.
    TerminationSignals();
    // Restores the handlers that were there before.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Readable when a signal has arrived.
    int fd() const;
    // The signal that arrived first since the last call (draining the pipe), or 0.
    int Take();
};

} // namespace tunquil::platform
