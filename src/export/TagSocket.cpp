#include "export/TagSocket.h"

#include "export/MailErrors.h"

#include <cerrno>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tunquil {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kSlice{50};

struct AddrInfoDeleter {
    void operator()(addrinfo* a) const {
        if (a)
            ::freeaddrinfo(a);
    }
};
using AddrInfoPtr = std::unique_ptr<addrinfo, AddrInfoDeleter>;

// A name lookup running on its own thread, so that the wait can keep the interface alive and
// honour time-out and cancel. An abandoned lookup finishes and frees its result by itself.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    int status = 0;
    AddrInfoPtr result;
};

} // namespace

void TagSocket::CheckCancel() {
    if (cancelled && cancelled())
        throw EMailError(kMailCanceled);
}

void TagSocket::Wait(short events) {
    Clock::time_point deadline = Clock::now() + timeOut;
    while (true) {
        CheckCancel();
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd_, events, 0};
        int n = ::poll(&p, 1, static_cast<int>(std::max<long>(0, std::min(left, kSlice).count())));
        if (n < 0 && errno != EINTR)
            Fail(errno);
        if (n > 0)
            return;
        host_.ProcessEvents();
        CheckCancel();
        if (Clock::now() >= deadline)
            throw EMailError(kMailTimedOut);
    }
}

void TagSocket::Fail(int err) {
    Close();
    throw ESocketError(err);
}

void TagSocket::Connect(const std::string& hostName, int port) {
    Close();
    buffer_.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    std::string service = std::to_string(port);

    AddrInfoPtr addresses;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName.c_str(), service.c_str(), &hints, &found) == 0) {
        addresses.reset(found);
    } else {
        hints.ai_flags = AI_NUMERICSERV;
        auto lookup = std::make_shared<Lookup>();
        std::thread([lookup, hostName, service, hints] {
            addrinfo* r = nullptr;
            int status = ::getaddrinfo(hostName.c_str(), service.c_str(), &hints, &r);
            std::lock_guard lock(lookup->mutex);
            lookup->status = status;
            lookup->result.reset(r);
            lookup->done = true;
        }).detach();
        Clock::time_point deadline = Clock::now() + timeOut;
        while (true) {
            {
                std::lock_guard lock(lookup->mutex);
                if (lookup->done) {
                    if (lookup->status != 0)
                        throw EMailError(kMailResolveFailed);
                    addresses = std::move(lookup->result);
                    break;
                }
            }
            CheckCancel();
            host_.ProcessEvents();
            if (Clock::now() >= deadline)
                throw EMailError(kMailTimedOut);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    int lastError = ECONNREFUSED;
    for (addrinfo* a = addresses.get(); a; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd_, a->ai_addr, a->ai_addrlen) == 0)
            return;
        if (errno != EINPROGRESS) {
            lastError = errno;
            Close();
            continue;
        }
        try {
            Wait(POLLOUT);
        } catch (...) {
            Close();
            throw;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        if (err == 0)
            return;
        lastError = err;
        Close();
    }
    throw ESocketError(lastError);
}

void TagSocket::SendAll(std::string_view data) {
    if (fd_ < 0)
        throw EMailError(kMailNotConnected);
    CheckCancel();
    while (!data.empty()) {
        ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            Wait(POLLOUT);
        } else if (n < 0 && errno != EINTR) {
            Fail(errno);
        }
    }
}

std::string TagSocket::ReadLine() {
    if (fd_ < 0)
        throw EMailError(kMailNotConnected);
    while (true) {
        std::size_t end = buffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        char chunk[4096];
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0) {
            Close();
            throw EMailError(kMailConnectionClosed, "Connection closed by the server");
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            Wait(POLLIN);
        } else if (errno != EINTR) {
            Fail(errno);
        }
    }
}

void TagSocket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace tunquil
