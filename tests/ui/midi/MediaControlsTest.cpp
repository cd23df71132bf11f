// The media controls on a private session bus, driven with gdbus as a panel widget would.

#include "app/PlayFakes.h"
#include "app/PlayProgram.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/midi/MprisService.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

using namespace tunquil::test;

// A session bus of the test's own, so that no desktop's player sees it.
class PrivateBus {
public:
    PrivateBus() {
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
        if (!daemon.waitForFinished(10000))
            return;
        auto lines = QString::fromUtf8(daemon.readAllStandardOutput()).split('\n');
        if (lines.size() < 2)
            return;
        address_ = lines[0].trimmed().toStdString();
        pid_ = lines[1].trimmed().toInt();
    }
    ~PrivateBus() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
    }
    const std::string& Address() const { return address_; }

private:
    std::string address_;
    int pid_ = 0;
};

class MediaControlsTest : public ::testing::Test, protected FakePlaySetup {
protected:
    MediaControlsTest() : FakePlaySetup(3) {}

    void SetUp() override { GuiTestApp(); }

    // Runs gdbus while our event loop answers it; then lets queued commands run.
    QString Gdbus(const QStringList& args) {
        QProcess gdbus;
        gdbus.start("gdbus",
                    QStringList{"call", "--session", "--dest", "org.mpris.MediaPlayer2.tunquil",
                                "--object-path", "/org/mpris/MediaPlayer2", "--method"} +
                        args);
        QElapsedTimer limit;
        limit.start();
        while (gdbus.state() != QProcess::NotRunning && limit.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            gdbus.waitForFinished(5);
        }
        QCoreApplication::processEvents();
        return QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed();
    }
    QString Get(const QString& property) {
        return Gdbus(
            {"org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player", property});
    }
    QString Call(const QString& method) {
        return Gdbus({"org.mpris.MediaPlayer2.Player." + method});
    }
};

TEST_F(MediaControlsTest, PanelWidgetsSeeThePlayingTitleAndSteerTheProgram) {
    if (QProcess::execute("sh", {"-c", "command -v dbus-daemon && command -v gdbus"}) != 0)
        GTEST_SKIP() << "dbus-daemon or gdbus is missing";
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().empty());
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str());
    MprisService service(program);
    ASSERT_TRUE(service.Register());

    EXPECT_EQ(Get("PlaybackStatus"), "(<'Stopped'>,)");
    program.SetSelection({"1", "2", "3"}, SelectionSource::CategoryGrid);
    program.PlayBottom();
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Playing'>,)");
    QString metadata = Get("Metadata");
    EXPECT_TRUE(metadata.contains("'xesam:title': <'Title 1'>")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'xesam:artist': <['Ann Lee']>")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("'xesam:genre': <['Jazz']>")) << metadata.toStdString();
    EXPECT_TRUE(metadata.contains("/org/tunquil/title/1")) << metadata.toStdString();

    Call("Pause");
    EXPECT_EQ(player.Mode(), kModePaused);
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Paused'>,)");
    Call("PlayPause");
    EXPECT_EQ(player.Mode(), kModePlaying);
    Call("Next");
    EXPECT_EQ(player.played.back(), "MThd tune 2");
    EXPECT_TRUE(Get("Metadata").contains("'xesam:title': <'Title 2'>"));
    // Seeking plays on from within the title, never past its end, and only for the title named.
    program.Tick();
    Gdbus({"org.mpris.MediaPlayer2.Player.Seek", "2000000"});
    EXPECT_EQ(player.calls.back(), "PlayFrom 2000");
    Gdbus({"org.mpris.MediaPlayer2.Player.SetPosition", "'/org/tunquil/title/2'", "90000000"});
    EXPECT_EQ(player.calls.back(), "PlayFrom 60000");
    Gdbus({"org.mpris.MediaPlayer2.Player.SetPosition", "'/org/tunquil/title/1'", "1000000"});
    EXPECT_EQ(player.calls.back(), "PlayFrom 60000");
    // Desktop widgets change the speed through the rate, within its limits.
    EXPECT_EQ(Get("MinimumRate"), "(<0.25>,)");
    EXPECT_EQ(Get("MaximumRate"), "(<4.0>,)");
    Gdbus(
        {"org.freedesktop.DBus.Properties.Set", "org.mpris.MediaPlayer2.Player", "Rate", "<1.5>"});
    EXPECT_EQ(player.tempo, 1.5);
    EXPECT_EQ(Get("Rate"), "(<1.5>,)");
    Gdbus(
        {"org.freedesktop.DBus.Properties.Set", "org.mpris.MediaPlayer2.Player", "Rate", "<9.0>"});
    EXPECT_EQ(player.tempo, 4.0);
    Gdbus(
        {"org.freedesktop.DBus.Properties.Set", "org.mpris.MediaPlayer2.Player", "Rate", "<0.0>"});
    EXPECT_EQ(player.Mode(), kModePaused);
    Call("Stop");
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Stopped'>,)");
    Call("Stop"); // a second Stop does not start the title again, unlike the button
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Stopped'>,)");
    Call("Play");
    EXPECT_EQ(Get("PlaybackStatus"), "(<'Playing'>,)");
}

} // namespace
} // namespace tunquil::ui
