#include "export/mail/TagSocket.h"

#include "export/mail/MailErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
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

// OpenSSL's own socket layer writes with write(), which raises SIGPIPE on a link the server has
// dropped and would end the program; this one sends with MSG_NOSIGNAL instead.
int BioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    ssize_t n = ::send(fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
    ssize_t n = ::recv(fd, data, static_cast<std::size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

long BioControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketBioMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "mail socket");
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioControl);
        return m;
    }();
    return method;
}

// The most telling entry of OpenSSL's error queue, which is emptied.
std::string TlsLibraryReason() {
    unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (e == 0)
        return "unknown reason";
    if (const char* reason = ERR_reason_error_string(e))
        return reason;
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    return buf;
}

struct SslCtxDeleter {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
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

void TagSocket::StartTls(const std::string& hostName) {
    if (fd_ < 0)
        throw EMailError(kMailNotConnected);
    ERR_clear_error();
    std::unique_ptr<SSL_CTX, SslCtxDeleter> context(SSL_CTX_new(TLS_client_method()));
    if (!context) {
        Close();
        throw EMailError(kMailTls, "TLS cannot start: " + TlsLibraryReason());
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    // Reads SSL_CERT_FILE and SSL_CERT_DIR when they are set, the system's store otherwise.
    SSL_CTX_set_default_verify_paths(context.get());
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    ssl_ = SSL_new(context.get());
    BIO* bio = ssl_ ? BIO_new(SocketBioMethod()) : nullptr;
    if (!bio) {
        Close();
        throw EMailError(kMailTls, "TLS cannot start: " + TlsLibraryReason());
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd_)));
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_mode(ssl_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);

    in6_addr numeric;
    bool isAddress = ::inet_pton(AF_INET, hostName.c_str(), &numeric) == 1 ||
                     ::inet_pton(AF_INET6, hostName.c_str(), &numeric) == 1;
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    bool named = isAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, hostName.c_str()) == 1
                           : SSL_set1_host(ssl_, hostName.c_str()) == 1 &&
                                 SSL_set_tlsext_host_name(ssl_, hostName.c_str()) == 1;
    if (!named) {
        Close();
        throw EMailError(kMailTls, "TLS cannot check the server's name \"" + hostName + "\"");
    }
    while (true) {
        ERR_clear_error();
        errno = 0;
        int r = SSL_connect(ssl_);
        if (r == 1)
            return;
        WaitForTls(r, "handshake");
    }
}

void TagSocket::WaitForTls(int result, const char* what) {
    int savedErrno = errno;
    int err = SSL_get_error(ssl_, result);
    if (err == SSL_ERROR_WANT_READ)
        return Wait(POLLIN);
    if (err == SSL_ERROR_WANT_WRITE)
        return Wait(POLLOUT);
    std::string text;
    int number = kMailTls;
    long verify = SSL_get_verify_result(ssl_);
    if (err == SSL_ERROR_SSL && verify != X509_V_OK) {
        ERR_clear_error();
        text = std::string("The server's certificate was refused: ") +
               X509_verify_cert_error_string(verify);
    } else if (err == SSL_ERROR_SSL) {
        text = std::string("TLS ") + what + " failed: " + TlsLibraryReason();
    } else if (err == SSL_ERROR_SYSCALL && ERR_peek_error() == 0 && savedErrno != 0) {
        ERR_clear_error();
        Fail(savedErrno);
    } else {
        ERR_clear_error();
        number = kMailConnectionClosed;
        text = std::string("Connection closed by the server during the TLS ") + what;
    }
    Close();
    throw EMailError(number, text);
}

void TagSocket::SendAll(std::string_view data) {
    if (fd_ < 0)
        throw EMailError(kMailNotConnected);
    CheckCancel();
    while (!data.empty()) {
        if (ssl_) {
            ERR_clear_error();
            errno = 0;
            std::size_t written = 0;
            int r = SSL_write_ex(ssl_, data.data(), data.size(), &written);
            if (r == 1)
                data.remove_prefix(written);
            else
                WaitForTls(r, "write");
            continue;
        }
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

void TagSocket::Fill() {
    char chunk[4096];
    while (true) {
        if (ssl_) {
            ERR_clear_error();
            errno = 0;
            std::size_t got = 0;
            int r = SSL_read_ex(ssl_, chunk, sizeof chunk, &got);
            if (r == 1) {
                buffer_.append(chunk, got);
                return;
            }
            WaitForTls(r, "read");
            continue;
        }
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
            return;
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

bool TagSocket::TakeLine(std::string& buffer, std::size_t& searched, std::string& line) {
    std::size_t end = buffer.find('\n', searched);
    if (end == std::string::npos) {
        if (buffer.size() > kMaxLineLength)
            throw EMailError(kMailLineTooLong);
        searched = buffer.size();
        return false;
    }
    if (end > kMaxLineLength)
        throw EMailError(kMailLineTooLong);
    line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    searched = 0;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

std::string TagSocket::ReadLine() {
    if (fd_ < 0)
        throw EMailError(kMailNotConnected);
    std::size_t searched = 0;
    std::string line;
    try {
        while (!TakeLine(buffer_, searched, line))
            Fill();
    } catch (const EMailError& e) {
        if (e.number() == kMailLineTooLong)
            Close();
        throw;
    }
    return line;
}

void TagSocket::Close() {
    if (ssl_) {
        // No close_notify: the server has said goodbye to QUIT, or the link is broken, and
        // waiting for either would only delay the error.
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace tunquil
