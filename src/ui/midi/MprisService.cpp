#include "ui/midi/MprisService.h"

#include "app/MediaControls.h"
#include "app/PlayProgram.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>

namespace tunquil::ui {

namespace {
constexpr char kService[] = "org.mpris.MediaPlayer2.tunquil";
constexpr char kPath[] = "/org/mpris/MediaPlayer2";
} // namespace

MprisService::MprisService(PlayProgram& program, QObject* parent)
    : QObject(parent), program_(program) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService() {
    if (registered_) {
        QDBusConnection::sessionBus().unregisterObject(kPath);
        QDBusConnection::sessionBus().unregisterService(kService);
    }
}

bool MprisService::Register() {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(kPath, this))
        return false;
    if (!bus.registerService(kService)) {
        bus.unregisterObject(kPath);
        return false;
    }
    registered_ = true;
    lastStatus_ = Status();
    lastMetadata_ = Metadata();
    lastRate_ = MediaRate(program_);
    return true;
}

QString MprisService::Status() const {
    return QString::fromStdString(MediaPlaybackStatus(program_));
}

QVariantMap MprisService::Metadata() const {
    MediaMetadata data = CurrentMediaMetadata(program_);
    QVariantMap map;
    map["mpris:trackid"] =
        QVariant::fromValue(QDBusObjectPath(QString::fromStdString(data.trackId)));
    if (!data.title.empty()) {
        map["xesam:title"] = QString::fromStdString(data.title);
        map["xesam:artist"] = QStringList{QString::fromStdString(data.artist)};
        map["xesam:genre"] = QStringList{QString::fromStdString(data.genre)};
        map["mpris:length"] = qlonglong(data.lengthUs);
    }
    return map;
}

void MprisService::Changed() {
    if (!registered_)
        return;
    QVariantMap changed;
    QString status = Status();
    QVariantMap metadata = Metadata();
    if (status != lastStatus_)
        changed["PlaybackStatus"] = status;
    if (metadata != lastMetadata_)
        changed["Metadata"] = metadata;
    const double rate = MediaRate(program_);
    if (rate != lastRate_)
        changed["Rate"] = rate;
    if (changed.isEmpty())
        return;
    lastStatus_ = status;
    lastMetadata_ = metadata;
    lastRate_ = rate;
    auto signal =
        QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

qlonglong MprisPlayerAdaptor::Position() const {
    return MediaPositionUs(service_->Program());
}

double MprisPlayerAdaptor::Rate() const {
    return MediaRate(service_->Program());
}

double MprisPlayerAdaptor::MinimumRate() const {
    return kMinimumMediaRate;
}

double MprisPlayerAdaptor::MaximumRate() const {
    return kMaximumMediaRate;
}

void MprisPlayerAdaptor::SetRate(double rate) {
    QTimer::singleShot(0, service_, [s = service_, rate] {
        SetMediaRate(s->Program(), rate);
        s->Changed();
    });
}

// The commands run after the bus call has been answered: a step waits for the player and
// processes events meanwhile, which must not hold the caller.
#define TUNQUIL_MEDIA_COMMAND(name)                                                                \
    void MprisPlayerAdaptor::name() {                                                              \
        QTimer::singleShot(0, service_, [s = service_] {                                           \
            ApplyMediaCommand(s->Program(), MediaCommand::name);                                   \
            s->Changed();                                                                          \
        });                                                                                        \
    }
TUNQUIL_MEDIA_COMMAND(Play)
TUNQUIL_MEDIA_COMMAND(Pause)
TUNQUIL_MEDIA_COMMAND(PlayPause)
TUNQUIL_MEDIA_COMMAND(Stop)
TUNQUIL_MEDIA_COMMAND(Next)
TUNQUIL_MEDIA_COMMAND(Previous)
#undef TUNQUIL_MEDIA_COMMAND

void MprisPlayerAdaptor::Seek(qlonglong offsetUs) {
    QTimer::singleShot(0, service_, [this, offsetUs] {
        int64_t at = SeekMedia(service_->Program(), offsetUs);
        if (at >= 0)
            emit Seeked(at);
    });
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    QTimer::singleShot(0, service_, [this, id = trackId.path().toStdString(), positionUs] {
        int64_t at = SetMediaPosition(service_->Program(), id, positionUs);
        if (at >= 0)
            emit Seeked(at);
    });
}

} // namespace tunquil::ui
