#pragma once
// A scripted SMTP peer on 127.0.0.1 for the failure paths: a thread accepts one connection and
// runs the test's script against it, recording every line it reads.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tunquil::test {

class SmtpFakeServer {
public:
    class Connection {
    public:
        void Say(const std::string& text); // sent as it is: include the CR LF
        // The next line without its CR LF; "" with closed() once the client is gone.
        std::string ReadLine();
        // The DATA content up to the line "." (excluded), raw; false when the client left first.
        bool ReadData(std::string& data);
        // Reads until the client closes the connection.
        void Drain();
        // Closes with a reset instead of an orderly close.
        void Reset();
        // Waits, reading nothing, until the server is stopped.
        void Stall();
        bool closed() const { return closed_; }

    private:
        friend class SmtpFakeServer;
        bool Fill();
        SmtpFakeServer* server_ = nullptr;
        int fd_ = -1;
        std::string buffer_;
        bool closed_ = false;
    };

    using Script = std::function<void(Connection&)>;
    explicit SmtpFakeServer(Script script);
    ~SmtpFakeServer();

    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
    // Waits for the script to end, then gives the lines read.
    std::vector<std::string> Lines();
    bool accepted() const { return accepted_; }
    std::string data() {
        Join();
        return data_;
    }

    // The usual replies: greeting (unless `greet` is false), HELO, MAIL, each RCPT, DATA with
    // its content, QUIT.
    static void Serve(Connection& c, bool greet = true);

private:
    void Join();
    void Run(Script script);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> accepted_{false};
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::string data_;
    std::thread thread_;
};

} // namespace tunquil::test
