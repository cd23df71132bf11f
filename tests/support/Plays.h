#pragma once
// Listening tests that a busy machine disturbs now and then (the sound server drops out, a note
// comes late): a fault of the code shows at every play, a disturbance only at some, so a play
// that went wrong gets a few more tries before the test fails.

#include <cstdio>
#include <string>

namespace tunquil::test {

// Plays up to `plays` times; `play` says what went wrong, or nothing. What the last play said,
// or nothing once a play went right.
template <class Play> std::string UntilOnePlayGoesRight(int plays, Play&& play) {
    std::string faults;
    for (int n = 1; n <= plays; ++n) {
        faults = play();
        if (faults.empty())
            break;
        std::fprintf(stderr, "play %d: %s\n", n, faults.c_str());
    }
    return faults;
}

} // namespace tunquil::test
