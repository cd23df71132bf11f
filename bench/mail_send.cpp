// Encodes a message with 1,000 attachments of 30 KB (base64) and sends it to a local SMTP
// server (tests/support/smtp_sink.py, aiosmtpd); then Python's smtplib sends the same encoded
// message to the same server, for comparison.

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "export/mail/TmsSMTP.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace tunquil;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPython = "/usr/bin/python3";

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

struct Sink {
    pid_t pid = -1;
    int stdinFd = -1;
    int stdoutFd = -1;
    int port = 0;
    fs::path folder;

    Sink() {
        char pattern[] = "/tmp/tunquil-bench-smtp.XXXXXX";
        folder = ::mkdtemp(pattern);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::string python = kPython;
        std::string script = TUNQUIL_SOURCE_DIR "/tests/support/smtp_sink.py";
        std::string dir = folder.string();
        char* argv[] = {python.data(), script.data(), dir.data(), nullptr};
        if (::posix_spawn(&pid, python.c_str(), &actions, nullptr, argv, environ) != 0)
            throw std::runtime_error("cannot start the SMTP server");
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdinFd = in[1];
        // The output stays open for the server's life: closing it would end the server at its
        // next write.
        stdoutFd = out[0];
        std::string line;
        pollfd p{stdoutFd, POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 20000) > 0) {
            char buf[32];
            ssize_t n = ::read(stdoutFd, buf, sizeof buf);
            if (n <= 0)
                break;
            line.append(buf, static_cast<std::size_t>(n));
        }
        port = std::atoi(line.c_str());
        if (port <= 0)
            throw std::runtime_error("the SMTP server did not start");
    }
    ~Sink() {
        ::close(stdinFd);
        ::close(stdoutFd);
        int status;
        ::waitpid(pid, &status, 0);
        fs::remove_all(folder);
    }
    void Clear() const {
        for (const auto& e : fs::directory_iterator(folder))
            fs::remove(e.path());
    }
};

// Python's smtplib sending the message file; prints its own time for the send alone.
double PythonSend(const fs::path& message, int port) {
    std::string code = "import smtplib,sys,time\n"
                       "data=open(sys.argv[1],'rb').read()\n"
                       "t=time.perf_counter()\n"
                       "s=smtplib.SMTP('127.0.0.1',int(sys.argv[2]))\n"
                       "s.helo()\n"
                       "s.sendmail('bench@example.org',['to@example.org'],data)\n"
                       "s.quit()\n"
                       "print(time.perf_counter()-t)\n";
    std::string cmd =
        kPython + " -c \"" + code + "\" '" + message.string() + "' " + std::to_string(port);
    FILE* pipe = ::popen(cmd.c_str(), "r");
    char buf[64] = {};
    if (!pipe || !std::fgets(buf, sizeof buf, pipe))
        throw std::runtime_error("smtplib run failed");
    ::pclose(pipe);
    return std::atof(buf);
}

} // namespace

int main() {
    constexpr int kAttachments = 1000;
    constexpr std::size_t kSize = 30 * 1024;

    TmsMessage m;
    m.sender = {"Bench", "bench@example.org"};
    m.AddRecipient("to@example.org");
    m.subject = "Benchmark";
    m.body = {"1,000 attachments of 30 KB."};
    std::mt19937 rng(7);
    for (int i = 0; i < kAttachments; ++i) {
        std::string data(kSize, '\0');
        for (char& c : data)
            c = static_cast<char>(rng() & 0xFF);
        m.attachments.emplace_back("tune" + std::to_string(i) + ".bin", std::move(data),
                                   "application/octet-stream");
    }
    const double inputMB = kAttachments * kSize / 1e6;

    double best = 1e9;
    std::string encoded;
    for (int run = 0; run < 3; ++run) {
        auto t0 = Clock::now();
        encoded = m.Encode();
        best = std::min(best, Seconds(t0, Clock::now()));
    }
    const double encodedMB = encoded.size() / 1e6;
    std::printf("encoding: %.1f MB of attachments -> %.1f MB in %.3f s: %.0f MB/s (input)\n",
                inputMB, encodedMB, best, inputMB / best);

    Sink sink;
    ScriptedHost host;
    double ours = 1e9, theirs = 1e9;
    fs::path file = sink.folder / "message.txt";
    for (int run = 0; run < 3; ++run) {
        TmsSMTP smtp(host);
        smtp.server = "127.0.0.1:" + std::to_string(sink.port);
        smtp.mailMessage = &m;
        auto t0 = Clock::now();
        smtp.Send();
        ours = std::min(ours, Seconds(t0, Clock::now()));
        sink.Clear();

        WriteFileAtomically(file, encoded);
        theirs = std::min(theirs, PythonSend(file, sink.port));
        sink.Clear();
    }
    std::printf("sending (Tunquil, encoding included): %.3f s: %.1f MB/s\n", ours,
                encodedMB / ours);
    std::printf("sending (Python smtplib, message ready): %.3f s: %.1f MB/s\n", theirs,
                encodedMB / theirs);
    std::printf("ratio smtplib time / Tunquil time: %.2f (>= 1 means Tunquil is as fast or "
                "faster)\n",
                theirs / ours);
    return 0;
}
