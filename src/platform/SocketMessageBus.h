#pragma once
// The message bus on Unix domain sockets in the user's runtime folder (a 0700 folder; each
// socket 0600). Ownership of a window class is an open-file-description lock on
// "<class>.lock", which the kernel drops when its owner dies, so a socket left by a crashed
// copy is recognised as stale and replaced by the next owner. Everything runs on the caller's
// thread: the owner calls Pump when the descriptors that the watcher announced are readable.

#include "platform/MessageBus.h"

#include <chrono>
#include <list>
#include <set>
#include <sys/types.h>

namespace tunquil::platform {

class SocketMessageBus : public IMessageBus {
public:
    // Creates `runtimeDirectory` (0700) when missing; throws BusError when it is not a folder
    // of this user's alone. Lock files and peers of another user's are not trusted either.
    explicit SocketMessageBus(std::filesystem::path runtimeDirectory = BusRuntimeDirectory());
    ~SocketMessageBus() override;
    SocketMessageBus(const SocketMessageBus&) = delete;
    SocketMessageBus& operator=(const SocketMessageBus&) = delete;

    bool RegisterWindow(const std::string& windowClass, const std::vector<std::string>& names,
                        BusHandler handler) override;
    void UnregisterWindow() override;
    bool HasWindow() const override { return listenFd_ >= 0; }
    bool FindWindow(const std::string& windowClass) override;
    BusResult Send(const std::string& windowClass, BusMessage message,
                   std::chrono::milliseconds timeout) override;
    bool Post(const std::string& windowClass, BusMessage message) override;
    void Pump(std::chrono::milliseconds wait) override;

    // Told of each descriptor the owner must watch for reading (true) and of each that it must
    // stop watching (false), so that a Qt socket notifier can call Pump.
    void SetWatcher(std::function<void(int fd, bool watch)> watcher);

    const std::filesystem::path& RuntimeDirectory() const { return dir_; }
    std::filesystem::path SocketPath(const std::string& windowClass) const;

private:
    struct Connection {
        int fd;
        std::string received;
        std::chrono::steady_clock::time_point opened;
    };
    void Accept();
    // False when the connection is done with (answered, refused or closed by the peer).
    bool Serve(Connection& c);
    void Drop(std::list<Connection>::iterator it);
    void Watch(int fd, bool watch);
    // Connects to the window's socket; -1 when there is none (yet).
    int Connect(const std::string& windowClass, std::chrono::steady_clock::time_point deadline);
    bool ClassIsOwned(const std::string& windowClass);

    std::filesystem::path dir_;
    uid_t owner_; // this process's effective user
    int lockFd_ = -1;
    int listenFd_ = -1;
    std::string windowClass_;
    std::set<std::string> names_;
    BusHandler handler_;
    std::list<Connection> connections_;
    std::function<void(int, bool)> watcher_;
    bool pumping_ = false;
};

} // namespace tunquil::platform
