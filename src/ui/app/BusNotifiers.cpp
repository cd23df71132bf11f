#include "ui/app/BusNotifiers.h"

#include "platform/SocketMessageBus.h"
#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

namespace tunquil::ui {

BusNotifiers::BusNotifiers(platform::SocketMessageBus* bus, QObject* parent)
    : QObject(parent), bus_(bus) {
    if (!bus_)
        return;
    bus_->SetWatcher([this](int fd, bool watch) {
        auto it = notifiers_.find(fd);
        if (it != notifiers_.end()) {
            // Deleted later: the notifier may be the one whose signal is being handled.
            it->second->setEnabled(false);
            it->second->deleteLater();
            notifiers_.erase(it);
        }
        if (watch) {
            auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(n, &QSocketNotifier::activated, this,
                    [this] { bus_->Pump(std::chrono::milliseconds(0)); });
            notifiers_[fd] = n;
        }
    });
}

BusNotifiers::~BusNotifiers() {
    if (bus_)
        bus_->SetWatcher(nullptr);
}

void BusNotifiers::WatchSignals(platform::TerminationSignals& termination,
                                std::function<void(int)> arrived) {
    auto* n = new QSocketNotifier(termination.fd(), QSocketNotifier::Read, this);
    connect(n, &QSocketNotifier::activated, this, [&termination, arrived] {
        if (int signal = termination.Take())
            arrived(signal);
    });
}

} // namespace tunquil::ui
