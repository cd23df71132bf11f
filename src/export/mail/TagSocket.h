#pragma once
// A TCP client socket for the mail components. It never blocks: each wait polls in short slices
// and lets the host handle its pending events between them, so the user interface stays alive,
// and it ends with "Operation timed out" after the time-out without progress, or with
// "Operation has been canceled" once the cancel check says so. TLS runs over the same
// non-blocking socket, so the same waits serve the handshake and every encrypted read and write.

#include "base/Host.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;

namespace tunquil {

class TagSocket {
public:
    explicit TagSocket(IHost& host) : host_(host) {}
    ~TagSocket() { Close(); }
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    // A server that never ends its line would otherwise grow the buffer without bound.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;

    std::chrono::milliseconds timeOut{90000};
    // Asked before and after every slice of a wait; true stops the wait with 57001.
    std::function<bool()> cancelled;

    // Resolves `hostName` (a name or a numeric address) and connects to `port`, trying each
    // address it resolves to. Throws EMailError.
    void Connect(const std::string& hostName, int port);
    // Runs the TLS handshake on the open connection and from then on encrypts everything. The
    // server's certificate must chain to a trusted authority (the system's store, or the file
    // named by SSL_CERT_FILE) and name `hostName`; otherwise throws EMailError (kMailTls)
    // with the reason and closes the connection.
    void StartTls(const std::string& hostName);
    bool encrypted() const { return ssl_ != nullptr; }
    // True when the server has sent bytes that no reply line has taken yet.
    bool hasUnreadData() const { return !buffer_.empty(); }
    // Sends every byte, waiting while the connection's buffer is full.
    void SendAll(std::string_view data);
    // The next line up to CR LF (or a bare LF), without its line end.
    std::string ReadLine();
    // Takes the first line out of `buffer` into `line`; false when it holds no whole line yet.
    // `searched` (0 for a new buffer) remembers how far a line end was looked for. Throws
    // EMailError (kMailLineTooLong) past kMaxLineLength.
    static bool TakeLine(std::string& buffer, std::size_t& searched, std::string& line);
    void Close();
    bool connected() const { return fd_ >= 0; }

private:
    // Waits until `events` are ready on the socket; throws on time-out or cancel.
    void Wait(short events);
    void CheckCancel();
    // Closes the socket first, then throws the socket error: a reset link is gone.
    [[noreturn]] void Fail(int err);
    // For a TLS call that returned `result` <= 0: waits when the library asks to, else throws.
    void WaitForTls(int result, const char* what);
    // Reads what is available into the buffer, waiting for at least one byte.
    void Fill();

    IHost& host_;
    int fd_ = -1;
    SSL* ssl_ = nullptr;
    std::string buffer_;
};

} // namespace tunquil
