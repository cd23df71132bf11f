#include "platform/TerminationSignals.h"

#include "platform/MessageBus.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tunquil::platform {

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};
struct sigaction previous[3];

void OnSignal(int signal) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a pending signal, which is all the reader needs.
    [[maybe_unused]] ssize_t n = write(pipeFds[1], &byte, 1);
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals() {
    if (pipeFds[0] >= 0)
        throw BusError("The termination signals are already handled");
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw BusError("Cannot create the signal pipe");
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
    close(pipeFds[0]);
    close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

int TerminationSignals::fd() const {
    return pipeFds[0];
}

int TerminationSignals::Take() {
    int first = 0;
    unsigned char byte = 0;
    while (read(pipeFds[0], &byte, 1) == 1)
        if (first == 0)
            first = byte;
    return first;
}

} // namespace tunquil::platform
