// The desktop keyring through the real Secret Service: gnome-keyring-daemon on a private
// session bus, with a fresh login keyring unlocked for the test.

#include "platform/SecretStore.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tunquil {
namespace {

using platform::SecretServiceStore;

// A process started with `environment` added to ours, `input` on its standard input (then
// closed) and its standard output readable through `output`.
class Child {
public:
    Child(std::vector<std::string> argv, const std::vector<std::string>& environment,
          const std::string& input) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> env = environment;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e); // the first of a name wins
        std::vector<char*> args, envp;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        output = out[0];
        if (rc != 0)
            throw std::runtime_error("cannot start " + argv[0]);
        (void)!::write(in[1], input.data(), input.size());
        ::close(in[1]);
    }
    ~Child() {
        ::kill(pid_, SIGTERM);
        int status;
        ::waitpid(pid_, &status, 0);
        ::close(output);
    }
    // The first line of its output, waiting a generous while.
    std::string FirstLine() const {
        std::string line;
        pollfd p{output, POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&p, 1, 20000) > 0) {
            char c;
            if (::read(output, &c, 1) != 1)
                break;
            line.push_back(c);
        }
        return line.substr(0, line.find('\n'));
    }
    int output = -1;

private:
    pid_t pid_ = -1;
};

class SecretService : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "run");
        std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
        bus = std::make_unique<Child>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            std::vector<std::string>{}, "");
        std::string address = bus->FirstLine();
        ASSERT_FALSE(address.empty());
        busAddress.emplace("DBUS_SESSION_BUS_ADDRESS", address.c_str());
        std::string home = dir.path().string();
        keyring = std::make_unique<Child>(
            std::vector<std::string>{"gnome-keyring-daemon", "--foreground", "--components=secrets",
                                     "--unlock"},
            std::vector<std::string>{"HOME=" + home, "XDG_DATA_HOME=" + home + "/data",
                                     "XDG_RUNTIME_DIR=" + home + "/run"},
            "unlock");
    }
    void TearDown() override {
        keyring.reset();
        bus.reset();
        busAddress.reset();
    }
    test::TempDir dir;
    std::optional<test::ScopedEnv> busAddress;
    std::unique_ptr<Child> bus, keyring;
};

TEST_F(SecretService, KeepsFindsAndRemovesAPasswordPerServerAndUser) {
    SecretServiceStore store;
    // The daemon takes its bus name a moment after it starts.
    bool available = false;
    for (int i = 0; i < 200 && !available; ++i) {
        available = store.Available();
        if (!available)
            ::usleep(50000);
    }
    ASSERT_TRUE(available);
    EXPECT_EQ(store.Lookup("mail.example.org", "ann"), std::nullopt);
    store.Store("mail.example.org", "ann", "s3cret \xC3\xBC");
    store.Store("mail.example.org", "bob", "other");
    store.Store("mail.example.org", "ann", "newer");
    EXPECT_EQ(store.Lookup("mail.example.org", "ann"), "newer");
    EXPECT_EQ(store.Lookup("mail.example.org", "bob"), "other");
    EXPECT_EQ(store.Lookup("smtp.example.org", "ann"), std::nullopt);
    store.Remove("mail.example.org", "ann");
    EXPECT_EQ(store.Lookup("mail.example.org", "ann"), std::nullopt);
    EXPECT_EQ(store.Lookup("mail.example.org", "bob"), "other");
}

TEST(SecretServiceAbsent, NoSessionBusMeansNoKeyring) {
    test::TempDir empty;
    test::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", nullptr);
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", empty.path().c_str());
    EXPECT_FALSE(SecretServiceStore().Available());
}

} // namespace
} // namespace tunquil
