// Timing of a tune played to a MIDI port: a receiver on the JACK server records the moment each
// event arrives, and its lateness is that moment minus the moment it was due (plus the one
// period JACK always adds). The built-in synthesizer plays the same tune in the same run, and
// its lateness is the moment an event reached the synthesizer minus its due moment. Goal: p99
// under 2 ms, worst under 5 ms, the port no worse than the built-in synthesizer.
//   bench_port_timing [FILE [SECONDS]]   (default: the first tune of bench-data/openmsx, 30 s)
// Needs a JACK server (scripts/test-services.sh starts one; JACK_DEFAULT_SERVER names it) and,
// for the built-in synthesizer, the sound server.

#include "BenchTunes.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MidiPortSequencer.h"
#include "support/JackReceiver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace tunquil::platform;
using Clock = std::chrono::steady_clock;

namespace {

struct Figures {
    std::size_t events = 0;
    double median = 0, p99 = 0, worst = 0;
};

Figures Summarise(std::vector<double> lateMs) {
    Figures f;
    if (lateMs.empty())
        return f;
    std::sort(lateMs.begin(), lateMs.end());
    auto at = [&](double q) { return lateMs[std::size_t(q * double(lateMs.size() - 1))]; };
    f.events = lateMs.size();
    f.median = at(0.5);
    f.p99 = at(0.99);
    f.worst = lateMs.back();
    return f;
}

void Print(const char* what, const Figures& f) {
    std::printf("%-22s %7zu events  median %7.3f ms  p99 %7.3f ms  worst %7.3f ms\n", what,
                f.events, f.median, f.p99, f.worst);
}

bool Report(ISequencerDevice& device, uint32_t error, const fs::path& file) {
    if (error == kSeqOk)
        return true;
    std::string text;
    device.ErrorText(error, text);
    std::fprintf(stderr, "%s: %s\n", file.c_str(), text.c_str());
    return false;
}

// Plays the tune on the device for `seconds` from its start.
bool PlayFor(ISequencerDevice& device, const fs::path& file, int seconds) {
    SequencerDeviceId id = 0;
    if (!Report(device, device.Open(file.string(), id), file))
        return false;
    device.Play(id, 0u, std::nullopt);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    device.Stop(id);
    device.Close(id);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    fs::path file = bench::FirstBenchTune(argc, argv);
    if (file.empty()) {
        std::fprintf(stderr, "no tune given and none in bench-data/openmsx\n");
        return 1;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    if (auto reason = tunquil::test::JackReceiver::UnavailableReason(); !reason.empty()) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }

    // The port: the due moments as the device's clock had them, the arrivals as the receiver
    // heard them on the server's clock.
    std::vector<double> portLateMs;
    jack_nframes_t period = 0;
    double rate = 0;
    {
        tunquil::test::JackReceiver receiver("bench-receiver");
        if (!receiver.Ok()) {
            std::fprintf(stderr, "the receiver cannot join the JACK server\n");
            return 1;
        }
        rate = receiver.SampleRate();
        std::vector<Clock::time_point> due;
        due.reserve(1 << 20);
        MidiPortSequencerOptions options;
        options.port = receiver.Port();
        options.sendObserver = [&](Clock::time_point when, Clock::time_point) {
            if (due.size() < due.capacity())
                due.push_back(when);
        };
        // Our clock against the server's, read side by side.
        const int64_t jackMinusOursUs =
            int64_t(jack_get_time()) -
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
                .count();
        {
            MidiPortSequencer device(options);
            if (!PlayFor(device, file, seconds))
                return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        jack_status_t status;
        jack_client_t* probe = jack_client_open("bench-probe", JackNoStartServer, &status);
        period = probe ? jack_get_buffer_size(probe) : 0;
        if (probe)
            jack_client_close(probe);
        const double periodUs = double(period) * 1e6 / rate;
        // Every play opens with each channel silenced and its controllers reset; the tune's
        // events follow in order.
        const auto events = receiver.Take();
        const std::size_t prelude = 16 * 3 + 16;
        for (std::size_t i = 0; i < due.size() && prelude + i < events.size(); ++i) {
            const double dueUs = double(std::chrono::duration_cast<std::chrono::microseconds>(
                                            due[i].time_since_epoch())
                                            .count() +
                                        jackMinusOursUs) +
                                 periodUs;
            portLateMs.push_back((double(events[prelude + i].usecs) - dueUs) / 1000.0);
        }
        if (due.size() + prelude > events.size())
            std::fprintf(stderr, "note: %zu events sent, %zu received\n", due.size() + prelude,
                         events.size());
    }

    // The built-in synthesizer, to the sound server.
    std::vector<double> builtInLateMs;
    builtInLateMs.reserve(1 << 20);
    FluidSynthSequencerOptions options;
    options.sendObserver = [&](Clock::time_point when, Clock::time_point sent) {
        if (builtInLateMs.size() < builtInLateMs.capacity())
            builtInLateMs.push_back(std::chrono::duration<double, std::milli>(sent - when).count());
    };
    bool builtIn = false;
    {
        FluidSynthSequencer device(options);
        builtIn = PlayFor(device, file, seconds);
    }

    std::printf("%s, %d s each; JACK at %.0f Hz, %u-frame periods (%.2f ms, added to every "
                "port event's due moment)\n",
                file.filename().c_str(), seconds, rate, period, double(period) * 1000.0 / rate);
    const Figures port = Summarise(portLateMs);
    Print("port (JACK receiver)", port);
    if (builtIn)
        Print("built-in synthesizer", Summarise(builtInLateMs));
    std::printf("goal for the port: p99 < 2 ms (%s), worst < 5 ms (%s)\n",
                port.p99 < 2 ? "met" : "missed", port.worst < 5 ? "met" : "missed");
    return 0;
}
