#pragma once
// Small measuring helpers that every benchmark prints its figures with.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tunquil::bench {

// A "Vm...:" figure of this process in kB (VmHWM: is the peak resident size), -1 when absent.
inline long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

// The middle of a set of rounds: one disturbed round does not move it.
inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds since `from`.
inline double MsSince(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from)
        .count();
}

// A big-endian 32-bit number, as the chunk lengths of a MIDI file are written.
inline void Put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((v >> shift) & 0xFF));
}

} // namespace tunquil::bench
