// One running copy: the arguments of a start, the hand-over and its refusals, over the test
// double of the bus and between real processes on a real runtime folder.

#include "app/SingleInstance.h"

#include "base/Files.h"
#include "integration/CommandProcessor.h"
#include "platform/FakeMessageBus.h"
#include "platform/SocketMessageBus.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace tunquil {
namespace {

namespace fs = std::filesystem;
using platform::BusMessage;
using platform::FakeMessageBus;
using test::TempDir;
using namespace std::chrono_literals;

TEST(StartArguments, RelativePathsBecomeAbsoluteAndOptionsStayBehind) {
    TempDir dir;
    dir.Write("song.mid", "x");
    dir.Write("sub/tune.mid", "x");
    const char* argv[] = {"tunquil",   "--home",        "/elsewhere",
                          "song.mid",  "Psub/tune.mid", "Zmissing.mid",
                          "--home=/x", "/abs.mid",      "NV/p[http://a/b.mid"};
    EXPECT_EQ(CommandArguments(9, argv, dir.path()),
              (std::vector<std::string>{(dir / "song.mid").string(),
                                        "P" + (dir / "sub/tune.mid").string(), "Zmissing.mid",
                                        "/abs.mid", "NV/p[http://a/b.mid"}));
}

struct Window {
    std::shared_ptr<FakeMessageBus::Network> network = std::make_shared<FakeMessageBus::Network>();
    FakeMessageBus bus{network};
    int fronts = 0, arrivals = 0, requests = 0;
    std::vector<int> positions;
    RunningCopy copy{bus,
                     {.commandsArrived = [this] { ++arrivals; },
                      .pluginRequestArrived = [this] { ++requests; },
                      .bringToFront = [this] { ++fronts; },
                      .setPosition = [this](int p) { positions.push_back(p); },
                      .showMixer = {}}};
};

TEST(HandOver, ArgumentsArriveWholeInOrderAndAreRefusedOnceShutDownBegins) {
    Window w;
    ASSERT_TRUE(w.copy.Register());
    FakeMessageBus second(w.network);
    RunningCopy secondCopy(second, {});
    std::string longName = "/music/" + std::string(300, 'n') + ".mid";
    std::string smuggler = "/music/a\r\nZ/etc/passwd.mid";
    EXPECT_EQ(ClaimOrHandOver(secondCopy, second, {longName, smuggler}, 100ms),
              StartRole::HandedOver);
    EXPECT_EQ(w.arrivals, 1);
    EXPECT_EQ(w.fronts, 1);
    EXPECT_EQ(w.copy.TakeCommands(), (std::vector<std::string>{longName, smuggler}));
    // Without arguments the window only comes to the front.
    EXPECT_EQ(HandOver(second, {}), HandOverResult::Done);
    EXPECT_EQ(w.fronts, 2);
    EXPECT_TRUE(w.copy.TakeCommands().empty());

    w.copy.BeginShutDown();
    BusMessage request;
    request.number = kPluginRequestMessage;
    request.text = "NV/tmp/a.mid[http://x/a.mid";
    EXPECT_EQ(second.Send(kMainWindowClass, request, 1s), 0);
    EXPECT_EQ(ClaimOrHandOver(secondCopy, second, {"/late.mid"}, 50ms), StartRole::Refused);
    EXPECT_TRUE(w.copy.TakeCommands().empty());
    EXPECT_FALSE(w.copy.HasPluginRequest());
    // Once the closing copy is gone the waiting start takes its place.
    w.copy.BeginShutDown();
    w.bus.UnregisterWindow();
    EXPECT_EQ(ClaimOrHandOver(secondCopy, second, {"/late.mid"}, 50ms), StartRole::First);
}

TEST(HandOver, AHungCopyLetsTheSecondStartEndAfterItsTimeOut) {
    Window w;
    ASSERT_TRUE(w.copy.Register());
    w.bus.hung = true;
    FakeMessageBus second(w.network);
    RunningCopy secondCopy(second, {});
    EXPECT_EQ(ClaimOrHandOver(secondCopy, second, {"/a.mid"}, 30ms), StartRole::NoAnswer);
}

TEST(HandOver, ACopyThatGoesBetweenTheClaimAndTheHandOverIsReplaced) {
    // The running copy ends just as the second start's hand-over reaches for it.
    struct VanishingOwner : FakeMessageBus {
        using FakeMessageBus::FakeMessageBus;
        FakeMessageBus* owner = nullptr;
        platform::BusResult Send(const std::string& windowClass, BusMessage message,
                                 std::chrono::milliseconds timeout) override {
            owner->UnregisterWindow();
            return FakeMessageBus::Send(windowClass, std::move(message), timeout);
        }
    };
    Window w;
    ASSERT_TRUE(w.copy.Register());
    VanishingOwner second(w.network);
    second.owner = &w.bus;
    RunningCopy secondCopy(second, {});
    EXPECT_EQ(ClaimOrHandOver(secondCopy, second, {"/a.mid"}, 1s), StartRole::First);
    EXPECT_TRUE(second.HasWindow());
}

// The plug-in helper's standard output for `input` on its standard input, and its exit status.
std::pair<std::string, int> RunPluginHelper(const std::string& input) {
    std::string command = "printf '" + input + "' | " + TUNQUIL_PLUGIN_HELPER_PATH + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    int status = pclose(pipe);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

TEST(BusFailures, AStartAndThePluginHelperCarryOnWithoutTheBus) {
    TempDir dir;
    // Too long a path for a socket's address; a lock file that cannot be opened.
    fs::path tooLong = dir / std::string(120, 'r');
    fs::path lockless = dir / "run";
    fs::create_directories(lockless / (std::string(kMainWindowClass) + ".lock"));
    chmod(lockless.c_str(), 0700);
    for (const fs::path& runtime : {tooLong, lockless}) {
        platform::SocketMessageBus bus(runtime);
        RunningCopy copy(bus, {});
        EXPECT_EQ(ClaimOrHandOver(copy, bus, {"/a.mid"}, 50ms), StartRole::Alone) << runtime;
        EXPECT_NE(copy.BusProblem().find(runtime.string()), std::string::npos) << copy.BusProblem();
    }
    test::ScopedEnv env("TUNQUIL_RUNTIME_DIR", tooLong.c_str());
    EXPECT_EQ(RunPluginHelper("request /a.mid http://h/a.mid\\nquit\\n"),
              std::make_pair(std::string("ready\nno program\n"), 0));
}

TEST(PluginRequests, APathHoldingABracketNamesItsFile) {
    TempDir dir;
    test::ScopedEnv env("TUNQUIL_RUNTIME_DIR", (dir / "run").c_str());
    platform::SocketMessageBus bus;
    RunningCopy copy(bus, {});
    ASSERT_TRUE(copy.Register());
    std::atomic<bool> stop{false};
    std::thread pump([&] {
        while (!stop)
            bus.Pump(10ms);
    });
    auto [out, status] = RunPluginHelper("request /m/live [1].mid http://h/x.mid?a[]=1\\nquit\\n");
    EXPECT_EQ(out, "ready\nsent\n");
    EXPECT_EQ(status, 0);
    PluginRequest request;
    ASSERT_TRUE(CommandProcessor::ParsePluginCommand(copy.TakePluginRequest(), request));
    EXPECT_EQ(request.path, "/m/live [1].mid");
    EXPECT_EQ(request.origin, "http://h/x.mid?a[]=1");

    // A path and a URL that fit a message's items, though not the 255 characters of the
    // one-text form together; a URL beyond any browser's is refused.
    const std::string longPath = "/m/" + std::string(200, 'p') + ".mid";
    const std::string longUrl = "http://h/" + std::string(200, 'u') + ".mid";
    std::tie(out, status) =
        RunPluginHelper("request " + longPath + " " + longUrl + "\\nrequest /a.mid http://h/" +
                        std::string(70000, 'x') + "\\nquit\\n");
    stop = true;
    pump.join();
    EXPECT_EQ(out, "ready\nsent\ntoo long\n");
    ASSERT_TRUE(CommandProcessor::ParsePluginCommand(copy.TakePluginRequest(), request));
    EXPECT_EQ(request.path, longPath);
    EXPECT_EQ(request.origin, longUrl);
}

TEST(HandOver, ThousandsOfFilesPastOneFrameArriveWholeInOrderOverTheRealBus) {
    TempDir dir;
    test::ScopedEnv env("TUNQUIL_RUNTIME_DIR", (dir / "run").c_str());
    platform::SocketMessageBus bus;
    int arrivals = 0;
    RunningCopy copy(bus, {.commandsArrived = [&] { ++arrivals; },
                           .pluginRequestArrived = {},
                           .bringToFront = {},
                           .setPosition = {},
                           .showMixer = {}});
    ASSERT_TRUE(copy.Register());
    std::atomic<bool> stop{false};
    std::thread pump([&] {
        while (!stop)
            bus.Pump(10ms);
    });
    // 6,000 files of 300 bytes each: past both the frame's size and its count of items.
    std::vector<std::string> files;
    for (int i = 0; i < 6000; ++i)
        files.push_back("/music/" + std::to_string(i) + std::string(290, 'x') + ".mid");
    platform::SocketMessageBus second;
    RunningCopy secondCopy(second, {});
    StartRole role = ClaimOrHandOver(secondCopy, second, files, 10s);
    // One argument longer than a frame carries is refused, before any part is sent.
    std::string huge(platform::kMaxFramePayload, 'h');
    StartRole tooLong = ClaimOrHandOver(secondCopy, second, {"/a.mid", huge}, 10s);
    stop = true;
    pump.join();
    EXPECT_EQ(role, StartRole::HandedOver);
    EXPECT_EQ(tooLong, StartRole::TooLong);
    EXPECT_GT(arrivals, 1);
    std::vector<std::string> taken = copy.TakeCommands();
    EXPECT_TRUE(taken == files);
}

TEST(RegisteredMessages, PluginRequestsReplaceEachOtherAndTheWindowAnswersItsNames) {
    Window w;
    ASSERT_TRUE(w.copy.Register());
    FakeMessageBus plugin(w.network);
    int told = 0;
    EXPECT_FALSE(w.copy.TellPlugin(kShowBadFileBitmap));
    ASSERT_TRUE(plugin.RegisterWindow(kPluginWindowClass, RegisteredMessageNames(),
                                      [&](const BusMessage& m) {
                                          told += m.name == kShowBadFileBitmap;
                                          return int64_t{0};
                                      }));
    for (const char* text : {"NV/a.mid[http://h/a.mid", "NV/b.mid[http://h/b.mid"}) {
        BusMessage request;
        request.number = kPluginRequestMessage;
        request.text = text;
        EXPECT_EQ(plugin.Send(kMainWindowClass, request, 1s), 1);
    }
    EXPECT_EQ(w.requests, 2);
    EXPECT_EQ(w.copy.TakePluginRequest(), "NV/b.mid[http://h/b.mid");
    EXPECT_FALSE(w.copy.HasPluginRequest());

    BusMessage m;
    m.name = kTrackBarSetPos;
    for (int64_t pos : {500, 5000, -3}) {
        m.wParam = pos;
        EXPECT_EQ(plugin.Send(kMainWindowClass, m, 1s), 0);
    }
    EXPECT_EQ(w.positions, (std::vector<int>{500, 1000, 0}));
    m.name = kBringToFront;
    EXPECT_EQ(plugin.Send(kMainWindowClass, m, 1s), 0);
    EXPECT_EQ(w.fronts, 1);
    EXPECT_TRUE(w.copy.TellPlugin(kShowBadFileBitmap));
    plugin.Pump(0ms);
    EXPECT_EQ(told, 1);
}

// A start of the headless peer with its standard output on a pipe.
class Peer {
public:
    Peer(const fs::path& cwd, std::vector<std::string> args) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        args.insert(args.begin(), TUNQUIL_INSTANCE_PEER_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
    }
    ~Peer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        fclose(out_);
    }
    std::string Line() {
        char buffer[64] = {};
        if (!fgets(buffer, sizeof buffer, out_))
            return "";
        std::string s = buffer;
        return s.substr(0, s.find('\n'));
    }
    std::string Command() {
        std::size_t length = 0;
        if (fscanf(out_, "command %zu ", &length) != 1)
            return "?";
        std::string text(length, '\0');
        if (fread(text.data(), 1, length, out_) != length || fgetc(out_) != '\n')
            return "?";
        return text;
    }
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    void Signal(int signal) { kill(pid_, signal); }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

TEST(RunningCopyProcesses, ASecondStartHandsOverAndEndsAndAKilledCopyIsReplaced) {
    TempDir dir;
    fs::path runtime = dir / "run";
    dir.Write("here/song.mid", "x");
    test::ScopedEnv env("TUNQUIL_RUNTIME_DIR", runtime.c_str());
    std::string awkward = "/music/" + std::string(300, 'a') + "\nZ/etc/passwd";
    {
        Peer first(dir.path(), {"--home", "/h", "/first.mid"});
        ASSERT_EQ(first.Line(), "ready");
        EXPECT_EQ(first.Command(), "/first.mid");

        // A hostile client's frames: not one of them reaches the running copy.
        for (std::string attack :
             {std::string("PLAY /etc/passwd\n"), std::string("TQMB\xff\xff\xff\x7f")}) {
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s",
                          (runtime / kMainWindowClass).c_str());
            ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
            EXPECT_EQ(send(fd, attack.data(), attack.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(attack.size()));
            char c;
            EXPECT_EQ(recv(fd, &c, 1, 0), 0); // hung up on, unanswered
            close(fd);
        }

        Peer second(dir / "here", {"song.mid", awkward});
        EXPECT_EQ(second.Wait(), 0);
        EXPECT_EQ(first.Line(), "front");
        EXPECT_EQ(first.Command(), (dir / "here" / "song.mid").string());
        EXPECT_EQ(first.Command(), awkward);

        first.Signal(SIGKILL);
        EXPECT_EQ(first.Wait(), 128 + SIGKILL);
    }
    EXPECT_TRUE(fs::exists(runtime / kMainWindowClass)); // the socket the killed copy left
    Peer third(dir.path(), {});
    ASSERT_EQ(third.Line(), "ready");
    Peer fourth(dir.path(), {"/fourth.mid"});
    EXPECT_EQ(fourth.Wait(), 0);
    EXPECT_EQ(third.Line(), "front");
    EXPECT_EQ(third.Command(), "/fourth.mid");
    third.Signal(SIGTERM);
    EXPECT_EQ(third.Line(), "closed");
    EXPECT_EQ(third.Wait(), 0);
}

} // namespace
} // namespace tunquil

namespace tunquil {
namespace {

// tunquilctl add while the window holds the library: the files go to the window, which adds
// them behind the terminal; the other changing commands say what to do instead.
TEST(RunningCopyProcesses, TunquilctlAddBesideTheWindowHandsItsFilesOverWithoutRaisingIt) {
    TempDir dir;
    test::ScopedEnv env("TUNQUIL_RUNTIME_DIR", (dir / "run").c_str());
    const fs::path home = dir / "home";
    fs::create_directories(home);
    dir.Write("tunes/a.mid", "x");
    dir.Write("tunes/sub/b.kar", "x");
    const fs::path single = dir.Write("c.mid", "x");
    FileLock held(home / "Tunquil.lock", true);
    const std::string ctl = "--home '" + home.string() + "' ";
    std::string out;
    // No window: what holds the library is another command, which ends by itself.
    EXPECT_EQ(test::RunCtl(ctl + "add '" + single.string() + "'", out, true), 2);
    EXPECT_NE(out.find("in use by another copy of Tunquil"), std::string::npos) << out;

    Peer window(dir.path(), {});
    ASSERT_EQ(window.Line(), "ready");
    EXPECT_EQ(test::RunCtl(ctl + "add --category Rock --artist 'Lee, Ann' '" +
                               (dir / "tunes").string() + "' '" + single.string() + "' '" +
                               (dir / "gone.mid").string() + "'",
                           out, true),
              1);
    EXPECT_NE(out.find("Handed 3 files to the running Tunquil window, which adds them.\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("No such file or folder\t" + (dir / "gone.mid").string()), std::string::npos)
        << out;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        AddRequest request;
        ASSERT_TRUE(CommandProcessor::ParseAddCommand(window.Command(), request));
        EXPECT_EQ(request.category, "Rock");
        EXPECT_EQ(request.artist, "Lee, Ann");
        EXPECT_FALSE(request.allowDuplicates);
        EXPECT_EQ(request.library, home.string());
        paths.push_back(request.path);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{(dir / "tunes/a.mid").string(),
                                        (dir / "tunes/sub/b.kar").string(), single.string()}));

    EXPECT_EQ(test::RunCtl(ctl + "delete 1", out, true), 2);
    EXPECT_NE(out.find("open in the running Tunquil window"), std::string::npos) << out;
    EXPECT_NE(out.find("Delete the titles in the window, or close it"), std::string::npos) << out;

    // A start of the program still brings the window forward; the add above did not.
    Peer second(dir.path(), {"/x.mid"});
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(window.Line(), "front");
    EXPECT_EQ(window.Command(), "/x.mid");
}

} // namespace
} // namespace tunquil
