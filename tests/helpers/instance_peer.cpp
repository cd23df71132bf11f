// A headless start of the program for the tests of one running copy: the same claim or
// hand-over as the program's start, over the real bus. As the running copy it writes what it
// receives to standard output, one line each ("ready", "command <length> <text>", "front",
// "closed"), and closes on SIGTERM or SIGINT through the shut-down's refusal of late requests.
// Exit status: 0 handed over or closed, 1 no answer, 2 refused, 3 an argument too long.

#include "app/SingleInstance.h"
#include "platform/SocketMessageBus.h"
#include "platform/TerminationSignals.h"

#include <cstdio>
#include <filesystem>
#include <poll.h>

using namespace tunquil;

// Whole, with any NUL it holds (an NV or A command's fields).
static void PrintCommand(const std::string& c) {
    std::printf("command %zu ", c.size());
    std::fwrite(c.data(), 1, c.size(), stdout);
    std::putchar('\n');
}

int main(int argc, char** argv) {
    platform::SocketMessageBus bus;
    platform::TerminationSignals signals;
    RunningCopy* self = nullptr;
    RunningCopy copy(bus, {
                              .commandsArrived =
                                  [&] {
                                      for (const std::string& c : self->TakeCommands())
                                          PrintCommand(c);
                                      std::fflush(stdout);
                                  },
                              .pluginRequestArrived = {},
                              .bringToFront = [] { std::puts("front"), std::fflush(stdout); },
                              .setPosition = {},
                              .showMixer = {},
                          });
    self = &copy;
    auto args = CommandArguments(argc, argv, std::filesystem::current_path());
    switch (ClaimOrHandOver(copy, bus, args)) {
    case StartRole::HandedOver:
        return 0;
    case StartRole::NoAnswer:
        return 1;
    case StartRole::Refused:
        return 2;
    case StartRole::TooLong:
        return 3;
    case StartRole::Alone:
        std::fprintf(stderr, "%s\n", copy.BusProblem().c_str());
        break;
    case StartRole::First:
        break;
    }
    std::puts("ready");
    for (const std::string& c : args)
        PrintCommand(c);
    std::fflush(stdout);
    for (;;) {
        pollfd p{signals.fd(), POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && signals.Take() != 0)
            break;
        bus.Pump(std::chrono::milliseconds(20));
    }
    copy.BeginShutDown();
    std::puts("closed");
    std::fflush(stdout);
    return 0;
}
