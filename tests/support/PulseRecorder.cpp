#include "support/PulseRecorder.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string_view>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tunquil::test {

namespace {
constexpr int kFramesPerBlock = 441;
constexpr double kFramesPerMs = 44.1;
} // namespace

std::string SoundServerUnavailableReason() {
    if (!std::getenv("PULSE_SERVER"))
        return "PULSE_SERVER is not set: no test sound server (scripts/test-services.sh starts "
               "one)";
    if (std::system("pactl info >/dev/null 2>&1") != 0)
        return "the sound server named in PULSE_SERVER does not answer";
    return {};
}

bool SoundServerRequired() {
    const char* required = std::getenv("TUNQUIL_SOUND_SERVER_REQUIRED");
    return required && *required && std::string_view(required) != "0";
}

PulseRecorder::PulseRecorder() {
    if (!SoundServerUnavailableReason().empty())
        return;
    // Test programs run side by side, and every one of them hears the whole sink: one
    // listening test at a time per sound server.
    std::string lockPath = "/tmp/tunquil-sound-test-" +
                           std::to_string(std::hash<std::string>{}(std::getenv("PULSE_SERVER"))) +
                           ".lock";
    lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0)
        flock(lockFd_, LOCK_EX);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const char* argv[] = {
        "parec",        "--device=@DEFAULT_MONITOR@", "--format=s16le", "--rate=44100",
        "--channels=2", "--latency-msec=5",           "--raw",          nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "parec", &actions, nullptr, const_cast<char**>(argv), environ) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    fd_ = pipeFds[0];
    if (pid_ <= 0)
        return;
    reader_ = std::thread([this] { Read(fd_); });
    // Nothing played before the recording runs can be judged: wait for its first blocks.
    auto giveUp = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < giveUp) {
        {
            std::lock_guard lock(mutex_);
            if (peaks_.size() >= 20)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

PulseRecorder::~PulseRecorder() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable())
        reader_.join();
    if (fd_ >= 0)
        close(fd_);
    if (lockFd_ >= 0)
        close(lockFd_); // releases the lock
}

void PulseRecorder::Read(int fd) {
    std::vector<int16_t> pending;
    std::vector<int16_t> buffer(4096);
    uint64_t framesRead = 0;
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size() * 2);
        if (n <= 0)
            break;
        auto arrived = Clock::now();
        pending.insert(pending.end(), buffer.begin(), buffer.begin() + n / 2);
        framesRead += uint64_t(n / 4);
        auto start =
            arrived - std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double, std::milli>(framesRead / kFramesPerMs));
        std::size_t whole = pending.size() / 2 / kFramesPerBlock;
        std::lock_guard lock(mutex_);
        if (!start_ || start < *start_)
            start_ = start;
        for (std::size_t b = 0; b < whole; ++b) {
            int peak = 0;
            for (std::size_t i = b * kFramesPerBlock * 2; i < (b + 1) * kFramesPerBlock * 2; ++i)
                peak = std::max(peak, std::abs(int(pending[i])));
            peaks_.push_back(peak);
        }
        pending.erase(pending.begin(), pending.begin() + whole * kFramesPerBlock * 2);
    }
}

PulseRecorder::Clock::time_point PulseRecorder::HeardLocked(std::size_t block) const {
    return *start_ + std::chrono::milliseconds(10 * block);
}

int PulseRecorder::PeakBetween(Clock::time_point from, Clock::time_point to) {
    std::lock_guard lock(mutex_);
    int peak = 0;
    for (std::size_t i = 0; i < peaks_.size(); ++i)
        if (HeardLocked(i) >= from && HeardLocked(i) < to)
            peak = std::max(peak, peaks_[i]);
    return peak;
}

std::optional<PulseRecorder::Clock::time_point>
PulseRecorder::FirstLoud(Clock::time_point from, Clock::time_point to, int threshold) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < peaks_.size(); ++i)
        if (HeardLocked(i) >= from && HeardLocked(i) < to && peaks_[i] > threshold)
            return HeardLocked(i);
    return std::nullopt;
}

PulseRecorder::Clock::duration PulseRecorder::LongestQuiet(Clock::time_point from,
                                                           Clock::time_point to, int threshold) {
    std::lock_guard lock(mutex_);
    int run = 0, longest = 0;
    for (std::size_t i = 0; i < peaks_.size(); ++i) {
        if (HeardLocked(i) < from || HeardLocked(i) >= to)
            continue;
        run = peaks_[i] <= threshold ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return std::chrono::milliseconds(10 * longest);
}

std::optional<PulseRecorder::Clock::time_point>
PulseRecorder::LastLoud(Clock::time_point from, Clock::time_point to, int threshold) {
    std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> last;
    for (std::size_t i = 0; i < peaks_.size(); ++i)
        if (HeardLocked(i) >= from && HeardLocked(i) < to && peaks_[i] > threshold)
            last = HeardLocked(i);
    return last;
}

void PulseRecorder::Dump(Clock::time_point origin) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < peaks_.size(); i += 5)
        std::fprintf(stderr, "%.0f:%d ",
                     std::chrono::duration<double, std::milli>(HeardLocked(i) - origin).count(),
                     peaks_[i]);
    std::fprintf(stderr, "\n");
}

void PulseRecorder::WaitUntilHeard(Clock::time_point moment) {
    auto giveUp = moment + std::chrono::seconds(1);
    while (Clock::now() < giveUp) {
        {
            std::lock_guard lock(mutex_);
            if (!peaks_.empty() && HeardLocked(peaks_.size() - 1) >= moment)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace tunquil::test
