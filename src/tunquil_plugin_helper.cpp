// tunquil-plugin-helper: the browser plug-in's side of its contract with Tunquil, as a small
// program. It is the plug-in's message window on the bus (class TMsgRcvFrm) and hands files from
// the web over as a plug-in does. Driven by lines on standard input:
//   request LOCAL-PATH URL   hands the file over (the path and the URL as items of their own);
//                            the URL is the last word of the line. Without a running Tunquil,
//                            the program given by --program is started with "--plugin PATH URL".
//   position N               asks Tunquil to move the play position to N thousandths
//   front | mixer            asks Tunquil to come to the front / to show its mixer
//   quit                     ends (so does the end of input, SIGTERM and SIGINT)
// and writing one line to standard output for each event: "ready", "sent", "started",
// "no program", "too long", "position N" (each change of the play position Tunquil reports),
// "bad file" (Tunquil could not take the file handed over).

#include "app/SingleInstance.h"
#include "platform/FakeMessageBus.h"
#include "platform/SocketMessageBus.h"
#include "platform/TerminationSignals.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tunquil;
using platform::BusMessage;

namespace {

// Longer than any browser hands to a plug-in, and well inside one message of the bus.
constexpr std::size_t kLongestUrl = 65536;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Starts Tunquil with the request, the way the plug-in does when it finds no running copy, the
// path and the URL apart as on the bus; the helper does not wait for it.
bool StartProgram(const std::string& program, const std::string& path, const std::string& url) {
    std::string p = program, option = "--plugin", a = path, b = url;
    char* argv[] = {p.data(), option.data(), a.data(), b.data(), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) == 0;
}

void HandOver(platform::IMessageBus& bus, const std::string& line, const std::string& program) {
    const std::string rest = line.substr(line.find(' ') + 1);
    const std::size_t blank = rest.rfind(' ');
    if (blank == std::string::npos) {
        Say("usage: request LOCAL-PATH URL");
        return;
    }
    const std::string path = rest.substr(0, blank), url = rest.substr(blank + 1);
    if (path.size() >= PATH_MAX || url.size() > kLongestUrl) {
        Say("too long");
        return;
    }
    BusMessage m;
    m.number = kPluginRequestMessage;
    // The path and the URL travel as items of their own, so that a path holding "[" still
    // names its file. The one-text form, limited to what a running copy that predates the items
    // reads, goes along only where the request fits it.
    const std::string command = "NV" + path + "[" + url;
    if (command.size() <= platform::kMaxAtomText)
        m.text = command;
    m.items = {path, url};
    if (bus.Send(kMainWindowClass, m, std::chrono::seconds(5))) {
        Say("sent");
    } else if (!program.empty() && StartProgram(program, m.items[0], m.items[1])) {
        Say("started");
    } else {
        Say("no program");
    }
}

void Ask(platform::IMessageBus& bus, const std::string& name, int64_t wParam = 0) {
    BusMessage m;
    m.name = name;
    m.wParam = wParam;
    Say(bus.Post(kMainWindowClass, m) ? "sent" : "no program");
}

} // namespace

int main(int argc, char** argv) {
    std::string program;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--program" && i + 1 < argc)
            program = argv[++i];

    // A bus that cannot be used leaves the helper able to start Tunquil with a request, and
    // deaf to what Tunquil tells it; that is said once, and the helper carries on.
    std::unique_ptr<platform::IMessageBus> bus;
    try {
        bus = std::make_unique<platform::SocketMessageBus>();
    } catch (const platform::BusError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        bus = std::make_unique<platform::FakeMessageBus>();
    }
    platform::TerminationSignals signals;
    int lastPosition = -1;
    bool registered = true;
    try {
        registered = bus->RegisterWindow(
            kPluginWindowClass, RegisteredMessageNames(), [&](const BusMessage& m) -> int64_t {
                if (m.name == kTrackBarPerc && m.wParam != lastPosition) {
                    lastPosition = static_cast<int>(m.wParam);
                    Say("position " + std::to_string(m.wParam));
                } else if (m.name == kShowBadFileBitmap) {
                    Say("bad file");
                }
                return 0;
            });
    } catch (const platform::BusError& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    if (!registered) {
        std::fputs("Another plug-in window is already on the bus.\n", stderr);
        return 1;
    }
    Say("ready");

    std::string pending;
    for (;;) {
        pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.fd(), POLLIN, 0}};
        // Without a window on the bus Pump returns at once, so the wait happens here.
        if (poll(p, 2, bus->HasWindow() ? 0 : 20) > 0) {
            if (p[1].revents && signals.Take() != 0)
                break;
            if (p[0].revents) {
                char buffer[4096];
                ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                pending.append(buffer, static_cast<std::size_t>(n));
            }
        }
        bool quit = false;
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const std::string verb = line.substr(0, line.find(' '));
            if (verb == "request")
                HandOver(*bus, line, program);
            else if (verb == "position")
                Ask(*bus, kTrackBarSetPos, std::atoi(line.c_str() + 9));
            else if (verb == "front")
                Ask(*bus, kBringToFront);
            else if (verb == "mixer")
                Ask(*bus, kShowMixerWindow);
            else if (verb == "quit")
                quit = true;
        }
        if (quit)
            break;
        bus->Pump(std::chrono::milliseconds(20));
    }
    bus->UnregisterWindow();
    return 0;
}
