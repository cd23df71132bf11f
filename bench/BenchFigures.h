#pragma once
// Small measuring helpers that every benchmark prints its figures with.

#include <algorithm>
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

} // namespace tunquil::bench
