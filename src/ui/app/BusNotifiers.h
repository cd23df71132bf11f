#pragma once
// Brings the message bus and the termination signals into the Qt event loop: a socket notifier
// per descriptor the bus asks to be watched, and one for the signal pipe.

#include <QObject>
#include <functional>
#include <map>

class QSocketNotifier;

namespace tunquil::platform {
class SocketMessageBus;
class TerminationSignals;
} // namespace tunquil::platform

namespace tunquil::ui {

class BusNotifiers : public QObject {
    Q_OBJECT
public:
    // `bus` may be null (no bus could be had): then only the signals are watched.
    explicit BusNotifiers(platform::SocketMessageBus* bus, QObject* parent = nullptr);
    ~BusNotifiers() override;

    // Calls `arrived` with the signal's number when SIGTERM, SIGINT or SIGHUP arrives.
    void WatchSignals(platform::TerminationSignals& termination, std::function<void(int)> arrived);

private:
    platform::SocketMessageBus* bus_;
    std::map<int, QSocketNotifier*> notifiers_;
};

} // namespace tunquil::ui
