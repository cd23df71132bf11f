#pragma once
// Where the mail password is kept between runs: the desktop's keyring, reached through the
// Secret Service, when one is running. Behind this interface so that the core's headers stay
// free of GLib and its tests can stand in a store of their own.

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace tunquil::platform {

class ISecretStore {
public:
    virtual ~ISecretStore() = default;
    // True when a keyring answers; otherwise a password can only be kept in memory.
    virtual bool Available() = 0;
    // The password kept for `user` at `server`, or nullopt. Throws std::runtime_error with the
    // keyring's reason when it fails.
    virtual std::optional<std::string> Lookup(const std::string& server,
                                              const std::string& user) = 0;
    virtual void Store(const std::string& server, const std::string& user,
                       const std::string& password) = 0;
    virtual void Remove(const std::string& server, const std::string& user) = 0;
};

// The desktop's keyring through libsecret; the password goes into the default collection.
class SecretServiceStore : public ISecretStore {
public:
    bool Available() override;
    std::optional<std::string> Lookup(const std::string& server, const std::string& user) override;
    void Store(const std::string& server, const std::string& user,
               const std::string& password) override;
    void Remove(const std::string& server, const std::string& user) override;
};

// A keyring in memory for tests; `available` false plays a desktop without one.
class MemorySecretStore : public ISecretStore {
public:
    bool available = true;
    std::map<std::pair<std::string, std::string>, std::string> passwords;

    bool Available() override { return available; }
    std::optional<std::string> Lookup(const std::string& server, const std::string& user) override {
        auto it = passwords.find({server, user});
        return it == passwords.end() ? std::nullopt : std::optional(it->second);
    }
    void Store(const std::string& server, const std::string& user,
               const std::string& password) override {
        passwords[{server, user}] = password;
    }
    void Remove(const std::string& server, const std::string& user) override {
        passwords.erase({server, user});
    }
};

} // namespace tunquil::platform
