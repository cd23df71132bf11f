// The message bus: its frames, and the socket bus as a window, a sender and a target of
// hostile clients.

#include "platform/SocketMessageBus.h"
#include "support/TempDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tunquil::platform;
using tunquil::test::TempDir;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

BusMessage HandOverWith(std::vector<std::string> items) {
    BusMessage m;
    m.kind = BusKind::Send;
    m.number = 1455;
    m.wParam = static_cast<int64_t>(items.size());
    m.items = std::move(items);
    return m;
}

TEST(BusFrame, CarriesLongArgumentsWholeAndLineBreaksInsideOne) {
    BusMessage m = HandOverWith({std::string(300, 'a'), "/music/two\nPnot a command", ""});
    m.lParam = -7;
    m.text = std::string(255, 'x');
    std::string frame = EncodeFrame(m);
    BusMessage back;
    std::size_t used = 0;
    for (std::size_t cut = 0; cut < frame.size(); ++cut)
        EXPECT_EQ(ParseFrame(std::string_view(frame).substr(0, cut), back, used),
                  FrameStatus::NeedMore)
            << cut;
    ASSERT_EQ(ParseFrame(frame + "next", back, used), FrameStatus::Complete);
    EXPECT_EQ(back, m);
    EXPECT_EQ(used, frame.size());
}

TEST(BusFrame, RefusesWhatBreaksTheFormat) {
    BusMessage named;
    named.name = "TQ_BringToFront";
    const std::string good = EncodeFrame(named);
    auto refused = [](std::string bytes) {
        BusMessage m;
        std::size_t used = 0;
        return ParseFrame(bytes, m, used) == FrameStatus::Malformed;
    };
    auto withLength = [&](uint32_t length) {
        std::string f = good;
        for (int i = 0; i < 4; ++i)
            f[4 + i] = static_cast<char>(length >> (8 * i));
        return f;
    };
    EXPECT_TRUE(refused("GET / HTTP/1.0\r\n"));
    EXPECT_TRUE(refused(withLength(kMaxFramePayload + 1).substr(0, 8))); // before the rest
    EXPECT_TRUE(refused(withLength(static_cast<uint32_t>(good.size() - 8 + 1)) + "x"));
    EXPECT_TRUE(refused(withLength(static_cast<uint32_t>(good.size() - 8 - 1))));
    std::string badKind = good;
    badKind[8] = 9;
    EXPECT_TRUE(refused(badKind));
    BusMessage both = named;
    both.number = 1711;
    EXPECT_TRUE(refused(EncodeFrame(both)));
    BusMessage withNul;
    withNul.number = 1711;
    withNul.text = "ok";
    std::string nul = EncodeFrame(withNul);
    nul[nul.size() - 6] = '\0';
    EXPECT_TRUE(refused(nul));
    BusMessage longAtom;
    longAtom.number = 1711;
    longAtom.text = std::string(256, 'x');
    EXPECT_THROW(EncodeFrame(longAtom), BusError);
}

// The window's bus pumped on a thread of its own, so that this thread can send to it.
class PumpedWindow {
public:
    explicit PumpedWindow(SocketMessageBus& bus)
        : bus_(bus), thread_([this] {
              while (!stop_)
                  bus_.Pump(10ms);
          }) {}
    ~PumpedWindow() {
        stop_ = true;
        thread_.join();
    }

private:
    SocketMessageBus& bus_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int ConnectRaw(const fs::path& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

TEST(SocketMessageBus, OneOwnerPerClassSendWaitsForTheResultAndPostsArrive) {
    TempDir tmp;
    fs::path dir = tmp / "run";
    SocketMessageBus window(dir), other(dir), client(dir);
    std::vector<BusMessage> seen;
    ASSERT_TRUE(window.RegisterWindow("TMasterFrm", {"TQ_BringToFront"}, [&](const BusMessage& m) {
        seen.push_back(m);
        return int64_t{42};
    }));
    EXPECT_FALSE(other.RegisterWindow("TMasterFrm", {}, [](const BusMessage&) { return 0; }));
    EXPECT_TRUE(client.FindWindow("TMasterFrm"));
    EXPECT_FALSE(client.FindWindow("TMsgRcvFrm"));

    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(window.SocketPath("TMasterFrm").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    BusMessage front;
    front.name = "TQ_BringToFront";
    BusMessage unknown;
    unknown.name = "TQ_Unknown";
    {
        PumpedWindow pumped(window);
        EXPECT_EQ(client.Send("TMasterFrm", HandOverWith({"/a.mid", "/b c.mid"}), 5s), 42);
        EXPECT_EQ(client.Send("TMasterFrm", unknown, 5s), std::nullopt);
        EXPECT_TRUE(client.Post("TMasterFrm", front));
        EXPECT_EQ(client.Send("TMasterFrm", front, 5s), 42); // after the post: it arrived
        EXPECT_EQ(client.Send("TMsgRcvFrm", front, 5s), std::nullopt);
        EXPECT_FALSE(client.Post("TMsgRcvFrm", front));
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].items, (std::vector<std::string>{"/a.mid", "/b c.mid"}));
    EXPECT_EQ(seen[1].kind, BusKind::Post);
    EXPECT_EQ(seen[2].kind, BusKind::Send);

    window.UnregisterWindow();
    EXPECT_FALSE(client.FindWindow("TMasterFrm"));
    EXPECT_TRUE(other.RegisterWindow("TMasterFrm", {}, [](const BusMessage&) { return 0; }));
}

TEST(SocketMessageBus, AStaleSocketIsReplaced) {
    TempDir tmp;
    fs::path dir = tmp / "run";
    fs::create_directory(dir);
    chmod(dir.c_str(), 0700);
    // A socket nobody listens on any more, as a copy killed outright leaves it.
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir / "TMasterFrm").c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        close(fd);
    }
    SocketMessageBus window(dir), client(dir);
    EXPECT_FALSE(client.FindWindow("TMasterFrm"));
    EXPECT_EQ(client.Send("TMasterFrm", HandOverWith({}), 5s), std::nullopt);
    ASSERT_TRUE(window.RegisterWindow("TMasterFrm", {}, [](const BusMessage&) { return 1; }));
    PumpedWindow pumped(window);
    EXPECT_EQ(client.Send("TMasterFrm", HandOverWith({}), 5s), 1);
}

// The tests run as root, which may give a folder, a file or a listening process to any user.
constexpr uid_t kOtherUser = 4242;

TEST(SocketMessageBus, WhatIsNotThisUsersOwnIsRefusedAndLeftAsItWas) {
    TempDir tmp;
    struct Case {
        const char* what;
        mode_t mode;
        uid_t owner;
    };
    for (Case c : {Case{"open to others", 0755, geteuid()}, Case{"another's", 0700, kOtherUser}}) {
        fs::path dir = tmp / c.what;
        fs::create_directory(dir);
        std::ofstream(dir / "left.mid").put('x');
        ASSERT_EQ(chmod(dir.c_str(), c.mode), 0);
        ASSERT_EQ(chown(dir.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
        EXPECT_THROW(SocketMessageBus{dir}, BusError) << c.what;
        struct stat st {};
        ASSERT_EQ(stat(dir.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.mode) << c.what;
        EXPECT_TRUE(fs::exists(dir / "left.mid")) << c.what;
    }
    fs::path file = tmp / "file";
    std::ofstream(file).put('x');
    EXPECT_THROW(SocketMessageBus{file}, BusError);

    // A lock file of another user's does not decide who owns the class.
    SocketMessageBus bus(tmp / "run");
    fs::path lock = tmp / "run" / "TMasterFrm.lock";
    std::ofstream(lock).put('x');
    ASSERT_EQ(chown(lock.c_str(), kOtherUser, static_cast<gid_t>(-1)), 0);
    EXPECT_THROW(bus.RegisterWindow("TMasterFrm", {}, [](const BusMessage&) { return 1; }),
                 BusError);
    fs::remove(lock);

    // A window of another user's, however it came into the folder, is no window: nothing is
    // handed to it.
    int reported[2];
    ASSERT_EQ(pipe(reported), 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", bus.SocketPath("TMasterFrm").c_str());
    pid_t child = fork();
    if (child == 0) {
        alarm(10); // a test that goes wrong must not wait for ever
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        // The listener's user is taken at listen().
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            setresuid(kOtherUser, kOtherUser, kOtherUser) != 0 || listen(fd, 4) != 0)
            _exit(1);
        if (write(reported[1], "L", 1) != 1)
            _exit(1);
        char got = 'N';
        for (int i = 0; i < 3; ++i) {
            int peer = accept(fd, nullptr, nullptr);
            char c;
            if (peer >= 0 && read(peer, &c, 1) == 1)
                got = 'Y';
            if (peer >= 0)
                close(peer);
        }
        _exit(write(reported[1], &got, 1) == 1 ? 0 : 1);
    }
    close(reported[1]);
    ASSERT_GT(child, 0);
    char c = 0;
    ASSERT_EQ(read(reported[0], &c, 1), 1);
    ASSERT_EQ(c, 'L');
    EXPECT_FALSE(bus.FindWindow("TMasterFrm"));
    EXPECT_EQ(bus.Send("TMasterFrm", HandOverWith({"/secret.mid"}), 200ms), std::nullopt);
    EXPECT_FALSE(bus.Post("TMasterFrm", HandOverWith({"/secret.mid"})));
    ASSERT_EQ(read(reported[0], &c, 1), 1);
    EXPECT_EQ(c, 'N');
    int status = 0;
    waitpid(child, &status, 0);
    close(reported[0]);
}

TEST(SocketMessageBus, HostileClientsAreDroppedAndTheWindowStillAnswers) {
    TempDir tmp;
    SocketMessageBus window(tmp / "run"), client(tmp / "run");
    int handled = 0;
    ASSERT_TRUE(window.RegisterWindow("TMasterFrm", {}, [&](const BusMessage&) {
        ++handled;
        return int64_t{1};
    }));
    fs::path socketPath = window.SocketPath("TMasterFrm");
    std::string oversized = EncodeFrame(HandOverWith({"x"}));
    oversized[6] = 0x7F; // a length of about two gigabytes
    BusMessage reply;
    reply.kind = BusKind::Reply;
    reply.number = 1455;
    std::string tooManyBytes(kMaxFramePayload + 100, 'T');
    std::vector<std::string> attacks{"garbage that is no frame", oversized.substr(0, 8),
                                     EncodeFrame(reply), tooManyBytes,
                                     EncodeFrame(HandOverWith({"half"})).substr(0, 20)};
    std::vector<int> silent; // connected and never say anything
    {
        PumpedWindow pumped(window);
        for (const std::string& attack : attacks) {
            int fd = ConnectRaw(socketPath);
            send(fd, attack.data(), attack.size(), MSG_NOSIGNAL);
            // The window hangs up without answering, or the client gives up: either way the
            // next honest sender is served.
            shutdown(fd, SHUT_WR);
            char c;
            while (recv(fd, &c, 1, 0) > 0) {
            }
            close(fd);
        }
        for (int i = 0; i < 40; ++i)
            silent.push_back(ConnectRaw(socketPath));
        EXPECT_EQ(client.Send("TMasterFrm", HandOverWith({"/ok.mid"}), 5s), 1);
        for (int fd : silent)
            close(fd);
    }
    EXPECT_EQ(handled, 1);
}

} // namespace
