#pragma once
// The media controls on the session bus (org.mpris.MediaPlayer2.tunquil): desktop media keys
// and panel widgets see the playing title and steer the play program as the transport buttons
// do. The owner calls Changed() whenever the program or the player changes.

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace tunquil {
class PlayProgram;
}

namespace tunquil::ui {

class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(PlayProgram& program, QObject* parent = nullptr);
    ~MprisService() override;

    // Registers on the session bus; false when there is none or the name is taken.
    bool Register();
    // Announces the properties that changed since the last announcement.
    void Changed();

    PlayProgram& Program() { return program_; }
    QString Status() const;
    QVariantMap Metadata() const;

private:
    PlayProgram& program_;
    bool registered_ = false;
    QString lastStatus_;
    QVariantMap lastMetadata_;
    double lastRate_ = 1.0;
};

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}
    bool CanQuit() const { return false; }
    bool CanRaise() const { return false; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return "Tunquil"; }
    QString DesktopEntry() const { return "tunquil"; }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }
public slots:
    void Raise() {}
    void Quit() {}
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(bool CanGoNext READ CanControl)
    Q_PROPERTY(bool CanGoPrevious READ CanControl)
    Q_PROPERTY(bool CanPlay READ CanControl)
    Q_PROPERTY(bool CanPause READ CanControl)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit MprisPlayerAdaptor(MprisService* service)
        : QDBusAbstractAdaptor(service), service_(service) {}
    QString PlaybackStatus() const { return service_->Status(); }
    QVariantMap Metadata() const { return service_->Metadata(); }
    qlonglong Position() const;
    double Rate() const;
    void SetRate(double rate);
    double MinimumRate() const;
    double MaximumRate() const;
    double Volume() const { return 1.0; }
    bool CanControl() const { return true; }
    bool CanSeek() const { return true; }
public slots:
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs);
signals:
    void Seeked(qlonglong Position);

private:
    MprisService* service_;
};

} // namespace tunquil::ui
