#pragma once
// The message bus inside one process, for tests: every FakeMessageBus on the same network sees
// the others' windows. Sending calls the window's handler at once; posts wait for the owner's
// Pump, as they would on the socket bus. A test can make a window stop answering.

#include "platform/MessageBus.h"

#include <deque>
#include <map>
#include <memory>
#include <set>

namespace tunquil::platform {

class FakeMessageBus : public IMessageBus {
public:
    struct Network {
        std::map<std::string, FakeMessageBus*> windows;
    };

    explicit FakeMessageBus(std::shared_ptr<Network> network = std::make_shared<Network>())
        : network_(std::move(network)) {}
    ~FakeMessageBus() override { UnregisterWindow(); }

    bool RegisterWindow(const std::string& windowClass, const std::vector<std::string>& names,
                        BusHandler handler) override;
    void UnregisterWindow() override;
    bool HasWindow() const override { return !windowClass_.empty(); }
    bool FindWindow(const std::string& windowClass) override;
    BusResult Send(const std::string& windowClass, BusMessage message,
                   std::chrono::milliseconds timeout) override;
    bool Post(const std::string& windowClass, BusMessage message) override;
    void Pump(std::chrono::milliseconds wait) override;

    const std::shared_ptr<Network>& network() const { return network_; }

    // Every message sent or posted through this bus, in order.
    std::vector<std::pair<std::string, BusMessage>> sent;
    // When set, this window takes sent messages but never answers (a hung owner).
    bool hung = false;

private:
    bool Accepts(const BusMessage& message) const;

    std::shared_ptr<Network> network_;
    std::string windowClass_;
    std::set<std::string> names_;
    BusHandler handler_;
    std::deque<BusMessage> posted_;
};

} // namespace tunquil::platform
