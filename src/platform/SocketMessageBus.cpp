#include "platform/SocketMessageBus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace tunquil::platform {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {
// A client that connects and then says nothing is dropped after this long, and no more than
// this many are served at once: the bus must never hold the window up or run out of files.
constexpr milliseconds kIdleLimit{5000};
constexpr std::size_t kMaxConnections = 32;

std::string SystemText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

void EnsurePrivateFolder(const fs::path& dir, uid_t owner) {
    std::error_code ec;
    if (dir.has_parent_path())
        fs::create_directories(dir.parent_path(), ec);
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw BusError(SystemText("Cannot create the message folder", dir));
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0)
        throw BusError(SystemText("Cannot read the message folder", dir));
    // Whoever can write into the folder could put a socket of their own in the program's place,
    // or has put one there already: a folder that is not private is refused as it is, never
    // made private with whatever it holds.
    if (!S_ISDIR(st.st_mode) || st.st_uid != owner)
        throw BusError("The message folder " + dir.string() +
                       " is not a folder of this user's own");
    if ((st.st_mode & 077) != 0)
        throw BusError("The message folder " + dir.string() +
                       " is open to other users; remove it, and it is made anew");
}

// False when the path is too long for a socket address: no window can listen there.
bool MakeAddress(const fs::path& path, sockaddr_un& addr) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.native().size() + 1);
    return true;
}

int WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

bool WriteWhole(int fd, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, deadline) <= 0)
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool PeerIs(int fd, uid_t owner) {
    ucred cred{};
    socklen_t len = sizeof cred;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == owner;
}

flock WholeFileLock(short type) {
    flock l{};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    return l;
}
} // namespace

SocketMessageBus::SocketMessageBus(fs::path runtimeDirectory)
    : dir_(std::move(runtimeDirectory)), owner_(geteuid()) {
    EnsurePrivateFolder(dir_, owner_);
}

SocketMessageBus::~SocketMessageBus() {
    UnregisterWindow();
}

fs::path SocketMessageBus::SocketPath(const std::string& windowClass) const {
    return dir_ / windowClass;
}

bool SocketMessageBus::RegisterWindow(const std::string& windowClass,
                                      const std::vector<std::string>& names, BusHandler handler) {
    if (HasWindow())
        throw BusError("This program already is the window " + windowClass_);
    fs::path lockPath = dir_ / (windowClass + ".lock");
    int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0)
        throw BusError(SystemText("Cannot open", lockPath));
    // A lock file of someone else's would let them decide who owns the class.
    struct stat st {};
    if (fstat(lockFd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != owner_) {
        close(lockFd);
        throw BusError("The lock file " + lockPath.string() + " is not a file of this user's own");
    }
    flock l = WholeFileLock(F_WRLCK);
    if (fcntl(lockFd, F_OFD_SETLK, &l) != 0) {
        int err = errno;
        close(lockFd);
        if (err == EAGAIN || err == EACCES)
            return false;
        errno = err;
        throw BusError(SystemText("Cannot lock", lockPath));
    }
    // The class is ours: whatever socket lies at its name was left by a copy that died.
    fs::path socketPath = SocketPath(windowClass);
    sockaddr_un addr;
    if (!MakeAddress(socketPath, addr)) {
        close(lockFd);
        throw BusError("The message folder's path is too long: " + socketPath.string());
    }
    unlink(socketPath.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    mode_t oldMask = umask(0177);
    bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    umask(oldMask);
    if (!bound || chmod(socketPath.c_str(), 0600) != 0 || listen(fd, 16) != 0) {
        std::string text = SystemText("Cannot listen at", socketPath);
        if (fd >= 0)
            close(fd);
        close(lockFd);
        throw BusError(text);
    }
    lockFd_ = lockFd;
    listenFd_ = fd;
    windowClass_ = windowClass;
    names_ = {names.begin(), names.end()};
    handler_ = std::move(handler);
    Watch(listenFd_, true);
    return true;
}

void SocketMessageBus::UnregisterWindow() {
    while (!connections_.empty())
        Drop(connections_.begin());
    if (listenFd_ >= 0) {
        Watch(listenFd_, false);
        // The socket goes before the lock, so that the next owner never meets our socket.
        unlink(SocketPath(windowClass_).c_str());
        close(listenFd_);
        listenFd_ = -1;
    }
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
    handler_ = nullptr;
}

void SocketMessageBus::SetWatcher(std::function<void(int fd, bool watch)> watcher) {
    watcher_ = std::move(watcher);
    if (watcher_ && listenFd_ >= 0)
        watcher_(listenFd_, true);
}

void SocketMessageBus::Watch(int fd, bool watch) {
    if (watcher_)
        watcher_(fd, watch);
}

bool SocketMessageBus::ClassIsOwned(const std::string& windowClass) {
    fs::path lockPath = dir_ / (windowClass + ".lock");
    int fd = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat st {};
    flock l = WholeFileLock(F_WRLCK);
    bool owned = fstat(fd, &st) == 0 && st.st_uid == owner_ && fcntl(fd, F_OFD_GETLK, &l) == 0 &&
                 l.l_type != F_UNLCK;
    close(fd);
    return owned;
}

int SocketMessageBus::Connect(const std::string& windowClass, Clock::time_point deadline) {
    sockaddr_un addr;
    if (!MakeAddress(SocketPath(windowClass), addr))
        return -1;
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return -1;
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            // Nothing is handed to a listener of another user's, whoever let it into the
            // folder: to this program it is no window at all.
            if (PeerIs(fd, owner_))
                return fd;
            close(fd);
            return -1;
        }
        int err = errno;
        close(fd);
        // A full backlog: the window is busy, not gone.
        if (err != EAGAIN || Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

bool SocketMessageBus::FindWindow(const std::string& windowClass) {
    if (windowClass == windowClass_ && HasWindow())
        return true;
    int fd = Connect(windowClass, Clock::now() + milliseconds(500));
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

BusResult SocketMessageBus::Send(const std::string& windowClass, BusMessage message,
                                 milliseconds timeout) {
    message.kind = BusKind::Send;
    std::string frame = EncodeFrame(message);
    Clock::time_point deadline = Clock::now() + timeout;
    int fd = Connect(windowClass, deadline);
    // An owner that is still starting has the class but no socket yet: wait for it a little.
    while (fd < 0 && ClassIsOwned(windowClass) && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(10));
        fd = Connect(windowClass, deadline);
    }
    if (fd < 0)
        return std::nullopt;
    BusResult result;
    if (WriteWhole(fd, frame, deadline)) {
        std::string received;
        char buffer[512];
        while (WaitFor(fd, POLLIN, deadline) > 0) {
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            received.append(buffer, static_cast<std::size_t>(n));
            BusMessage reply;
            std::size_t used = 0;
            FrameStatus status = ParseFrame(received, reply, used);
            if (status == FrameStatus::Complete && reply.kind == BusKind::Reply)
                result = reply.lParam;
            if (status != FrameStatus::NeedMore)
                break;
        }
    }
    close(fd);
    return result;
}

bool SocketMessageBus::Post(const std::string& windowClass, BusMessage message) {
    message.kind = BusKind::Post;
    std::string frame = EncodeFrame(message);
    // A posted frame fits the socket's buffer; the short wait only covers a full backlog.
    Clock::time_point deadline = Clock::now() + milliseconds(500);
    int fd = Connect(windowClass, deadline);
    if (fd < 0)
        return false;
    bool ok = WriteWhole(fd, frame, deadline);
    close(fd);
    return ok;
}

void SocketMessageBus::Accept() {
    for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        if (!PeerIs(fd, owner_)) {
            close(fd);
            continue;
        }
        // The oldest makes room: clients that connect and say nothing cannot lock out the next.
        if (connections_.size() >= kMaxConnections)
            Drop(connections_.begin());
        connections_.push_back({fd, {}, Clock::now()});
        Watch(fd, true);
    }
}

bool SocketMessageBus::Serve(Connection& c) {
    char buffer[4096];
    bool ended = false; // a poster hangs up right after its frame
    while (!ended) {
        ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n < 0)
            return false;
        ended = n == 0;
        c.received.append(buffer, static_cast<std::size_t>(n));
        if (c.received.size() > kMaxFramePayload + 8)
            return false;
    }
    BusMessage message;
    std::size_t used = 0;
    FrameStatus status = ParseFrame(c.received, message, used);
    if (status == FrameStatus::NeedMore)
        return !ended && Clock::now() - c.opened < kIdleLimit;
    // One frame per connection: a malformed one, a reply nobody asked for, or a name this
    // window did not register is refused without the handler ever seeing it.
    if (status == FrameStatus::Malformed || message.kind == BusKind::Reply ||
        (!message.name.empty() && !names_.count(message.name)))
        return false;
    BusHandler handler = handler_;
    int64_t result = handler ? handler(message) : 0;
    if (message.kind == BusKind::Send) {
        BusMessage reply;
        reply.kind = BusKind::Reply;
        reply.number = message.number;
        reply.name = message.name;
        reply.lParam = result;
        WriteWhole(c.fd, EncodeFrame(reply), Clock::now() + milliseconds(500));
    }
    return false;
}

void SocketMessageBus::Drop(std::list<Connection>::iterator it) {
    Watch(it->fd, false);
    close(it->fd);
    connections_.erase(it);
}

void SocketMessageBus::Pump(milliseconds wait) {
    // A handler that processes window messages may come back here; the outer pump serves
    // what is left once the handler returns.
    if (listenFd_ < 0 || pumping_)
        return;
    pumping_ = true;
    std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
    for (const Connection& c : connections_)
        fds.push_back({c.fd, POLLIN, 0});
    while (poll(fds.data(), fds.size(), static_cast<int>(wait.count())) < 0 && errno == EINTR) {
    }
    Accept();
    for (auto it = connections_.begin(); it != connections_.end();) {
        auto next = std::next(it);
        // The connection leaves the list before its handler runs, so that nothing the handler
        // does can touch it.
        Connection c = std::move(*it);
        connections_.erase(it);
        if (Serve(c)) {
            connections_.insert(next, std::move(c));
        } else {
            Watch(c.fd, false);
            close(c.fd);
        }
        it = next;
        if (listenFd_ < 0)
            break;
    }
    pumping_ = false;
}

} // namespace tunquil::platform
