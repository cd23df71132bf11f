#include "platform/FakeMessageBus.h"

namespace tunquil::platform {

bool FakeMessageBus::RegisterWindow(const std::string& windowClass,
                                    const std::vector<std::string>& names, BusHandler handler) {
    if (network_->windows.count(windowClass))
        return false;
    network_->windows[windowClass] = this;
    windowClass_ = windowClass;
    names_ = {names.begin(), names.end()};
    handler_ = std::move(handler);
    return true;
}

void FakeMessageBus::UnregisterWindow() {
    if (!windowClass_.empty())
        network_->windows.erase(windowClass_);
    windowClass_.clear();
    handler_ = nullptr;
    posted_.clear();
}

bool FakeMessageBus::FindWindow(const std::string& windowClass) {
    return network_->windows.count(windowClass) > 0;
}

bool FakeMessageBus::Accepts(const BusMessage& message) const {
    return handler_ && (message.name.empty() || names_.count(message.name));
}

BusResult FakeMessageBus::Send(const std::string& windowClass, BusMessage message,
                               std::chrono::milliseconds) {
    message.kind = BusKind::Send;
    EncodeFrame(message); // refuses what the socket bus would refuse
    sent.emplace_back(windowClass, message);
    auto it = network_->windows.find(windowClass);
    if (it == network_->windows.end() || it->second->hung || !it->second->Accepts(message))
        return std::nullopt;
    BusHandler handler = it->second->handler_;
    return handler(message);
}

bool FakeMessageBus::Post(const std::string& windowClass, BusMessage message) {
    message.kind = BusKind::Post;
    EncodeFrame(message);
    sent.emplace_back(windowClass, message);
    auto it = network_->windows.find(windowClass);
    if (it == network_->windows.end())
        return false;
    if (it->second->Accepts(message))
        it->second->posted_.push_back(std::move(message));
    return true;
}

void FakeMessageBus::Pump(std::chrono::milliseconds) {
    while (!posted_.empty() && handler_) {
        BusMessage m = std::move(posted_.front());
        posted_.pop_front();
        BusHandler handler = handler_;
        handler(m);
    }
}

} // namespace tunquil::platform
