#include "SmtpFakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tunquil::test {

SmtpFakeServer::SmtpFakeServer(Script script) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 4) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, s = std::move(script)] { Run(s); });
}

SmtpFakeServer::~SmtpFakeServer() {
    stop_ = true;
    Join();
    ::close(listenFd_);
}

void SmtpFakeServer::Join() {
    if (thread_.joinable())
        thread_.join();
}

std::vector<std::string> SmtpFakeServer::Lines() {
    Join();
    return lines_;
}

void SmtpFakeServer::Run(Script script) {
    pollfd p{listenFd_, POLLIN, 0};
    while (!stop_ && ::poll(&p, 1, 20) == 0) {
    }
    if (stop_)
        return;
    Connection c;
    c.server_ = this;
    c.fd_ = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    accepted_ = true;
    script(c);
    if (c.fd_ >= 0)
        ::close(c.fd_);
}

void SmtpFakeServer::Connection::Say(const std::string& text) {
    if (fd_ >= 0)
        (void)::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
}

bool SmtpFakeServer::Connection::Fill() {
    pollfd p{fd_, POLLIN, 0};
    while (!server_->stop_) {
        int n = ::poll(&p, 1, 20);
        if (n == 0)
            continue;
        char buf[65536];
        ssize_t got = ::recv(fd_, buf, sizeof buf, 0);
        if (got <= 0)
            break;
        buffer_.append(buf, static_cast<std::size_t>(got));
        return true;
    }
    closed_ = true;
    return false;
}

std::string SmtpFakeServer::Connection::ReadLine() {
    while (true) {
        std::size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            std::lock_guard lock(server_->mutex_);
            server_->lines_.push_back(line);
            return line;
        }
        if (!Fill())
            return "";
    }
}

bool SmtpFakeServer::Connection::ReadData(std::string& data) {
    while (true) {
        std::size_t end = buffer_.find("\r\n.\r\n");
        if (end != std::string::npos) {
            data = buffer_.substr(0, end + 2);
            buffer_.erase(0, end + 5);
            server_->data_ = data;
            return true;
        }
        if (!Fill()) {
            data = buffer_;
            server_->data_ = data;
            return false;
        }
    }
}

void SmtpFakeServer::Connection::Drain() {
    while (Fill()) {
    }
}

void SmtpFakeServer::Connection::Reset() {
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

void SmtpFakeServer::Connection::Stall() {
    while (!server_->stop_)
        ::usleep(10000);
}

void SmtpFakeServer::Serve(Connection& c, bool greet) {
    if (greet)
        c.Say("220 fake ready\r\n");
    while (true) {
        std::string line = c.ReadLine();
        if (c.closed())
            return;
        if (line == "DATA") {
            c.Say("354 go ahead\r\n");
            std::string data;
            if (!c.ReadData(data))
                return;
            c.Say("250 queued\r\n");
        } else if (line == "QUIT") {
            c.Say("221 bye\r\n");
            return;
        } else {
            c.Say("250 ok\r\n");
        }
    }
}

} // namespace tunquil::test
