// Length accuracy: the sequencer's length of each tune beside mido's MidiFile.length (Debian's
// python3-mido), with the largest difference. Target: within 0.5 % or 50 ms for every file.
//   bench_sound_length [DIR]   (default bench-data/openmsx, filled by bench/fetch-openmsx.sh)

#include "BenchTunes.h"
#include "platform/FluidSynthSequencer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tunquil::platform;

int main(int argc, char** argv) {
    fs::path dir = argc > 1 ? argv[1] : "bench-data/openmsx";
    std::vector<fs::path> files = bench::BenchTunes(dir);
    if (files.empty()) {
        std::fprintf(stderr, "no MIDI files in %s (run bench/fetch-openmsx.sh)\n", dir.c_str());
        return 1;
    }

    // mido, once for all files: "seconds<TAB>path" per line.
    std::string script = "/usr/bin/python3 -c 'import sys, mido\n"
                         "for p in sys.argv[1:]:\n"
                         "    try: print(\"%r\\t%s\" % (mido.MidiFile(p).length, p))\n"
                         "    except Exception as e: print(\"nan\\t%s\" % p)' ";
    for (const auto& f : files)
        script += " '" + f.string() + "'";
    std::map<std::string, double> mido;
    if (FILE* pipe = popen(script.c_str(), "r")) {
        char line[4096];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string s(line);
            auto tab = s.find('\t');
            if (tab == std::string::npos)
                continue;
            std::string path = s.substr(tab + 1);
            path.erase(path.find_last_not_of("\n") + 1);
            mido[path] = std::stod(s.substr(0, tab)) * 1000.0;
        }
        pclose(pipe);
    }

    FluidSynthSequencer device(WithoutOutput());
    double worstMs = 0, worstPercent = 0;
    int outside = 0;
    std::printf("%-36s %12s %12s %10s\n", "file", "tunquil ms", "mido ms", "diff ms");
    for (const auto& f : files) {
        SequencerDeviceId id = 0;
        uint32_t length = 0;
        uint32_t error = device.Open(f.string(), id);
        if (!error) {
            device.Status(id, SequencerStatusItem::Length, length);
            device.Close(id);
        }
        double ref = mido.count(f.string()) ? mido[f.string()] : NAN;
        double diff = double(length) - ref;
        std::printf("%-36s %12u %12.1f %10.1f%s\n", f.filename().c_str(), length, ref, diff,
                    error ? "  (device error)" : "");
        if (std::isnan(ref) || error) {
            ++outside;
            continue;
        }
        worstMs = std::max(worstMs, std::fabs(diff));
        double percent = ref > 0 ? std::fabs(diff) / ref * 100 : 0;
        worstPercent = std::max(worstPercent, percent);
        if (std::fabs(diff) > 50 && percent > 0.5)
            ++outside;
    }
    std::printf("\n%zu files; largest difference %.1f ms (%.3f %%); %d outside 0.5 %% / 50 ms\n",
                files.size(), worstMs, worstPercent, outside);
    return 0;
}
