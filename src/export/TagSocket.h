#pragma once
// A TCP client socket for the mail components. It never blocks: each wait polls in short slices
// and lets the host handle its pending events between them, so the user interface stays alive,
// and it ends with "Operation timed out" after the time-out without progress, or with
// "Operation has been canceled" once the cancel check says so.

#include "base/Host.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace tunquil {

class TagSocket {
public:
    explicit TagSocket(IHost& host) : host_(host) {}
    ~TagSocket() { Close(); }
    TagSocket(const TagSocket&) = delete;
    TagSocket& operator=(const TagSocket&) = delete;

    std::chrono::milliseconds timeOut{90000};
    // Asked before and after every slice of a wait; true stops the wait with 57001.
    std::function<bool()> cancelled;

    // Resolves `hostName` (a name or a numeric address) and connects to `port`, trying each
    // address it resolves to. Throws EMailError.
    void Connect(const std::string& hostName, int port);
    // Sends every byte, waiting while the connection's buffer is full.
    void SendAll(std::string_view data);
    // The next line up to CR LF (or a bare LF), without its line end.
    std::string ReadLine();
    void Close();
    bool connected() const { return fd_ >= 0; }

private:
    // Waits until `events` are ready on the socket; throws on time-out or cancel.
    void Wait(short events);
    void CheckCancel();
    // Closes the socket first, then throws the socket error: a reset link is gone.
    [[noreturn]] void Fail(int err);

    IHost& host_;
    int fd_ = -1;
    std::string buffer_;
};

} // namespace tunquil
