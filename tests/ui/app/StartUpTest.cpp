// The window as the running copy, offscreen: a termination signal closes it through the whole
// shut-down, hand-overs wait for the database and are refused once closing has begun, and a
// saved place off every screen is brought back.

#include "base/ScriptedHost.h"
#include "database/TAlbList.h"
#include "database/TDMM2.h"
#include "platform/FakeMessageBus.h"
#include "platform/FakeSequencerDevice.h"
#include "platform/TerminationSignals.h"
#include "support/MidiBytes.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/app/BusNotifiers.h"
#include "ui/app/ScreenPlacement.h"
#include "ui/app/TMasterFrm.h"

#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

std::unique_ptr<TMasterFrm> Window(const fs::path& home) {
    test::GuiTestApp();
    return std::make_unique<TMasterFrm>(home, std::make_unique<platform::FakeSequencerDevice>());
}

TEST(StartUpWindow, SigtermClosesThroughTheShutDownAndKeepsUnsavedAlbumEntries) {
    test::TempDir home;
    home.Write("Tunquil.ini", "[Setup]\nRemindToScan=0\n");
    auto window = Window(home.path());
    window->DeferredStartUp();
    ASSERT_TRUE(window->StartUpComplete());
    TAlbList& albums = window->Library().Albums();
    int32_t album = albums.AddAlbum("Road");
    auto tune = home.Write("in/one.mid", test::SmallMidiFile(2));
    // The tune arrives the way a second start hands it over.
    platform::BusMessage handOver;
    handOver.number = kHandOverMessage;
    handOver.items = {"Z" + tune.string()};
    EXPECT_EQ(window->Copy().Receive(handOver), 1);
    QApplication::processEvents();
    auto titles = window->DataModule()->Database().LiveTitles();
    ASSERT_EQ(titles.size(), 1u);
    ASSERT_EQ(albums.AppendTitles(album, {titles[0].masterKey}), 1);

    platform::TerminationSignals termination;
    BusNotifiers notifiers(nullptr);
    notifiers.WatchSignals(termination, [&](int) { window->EndSession(); });
    window->show();
    raise(SIGTERM);
    for (int i = 0; i < 1000 && window->isVisible(); ++i)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->Copy().Receive(handOver), 0); // refused once closing has begun

    TAlbList saved(home.path());
    saved.Load();
    ASSERT_EQ(saved.Count(), 1);
    EXPECT_EQ(saved.Items()[0].record.name, "Road");
    EXPECT_EQ(saved.Items()[0].entries.size(), 1u);
    EXPECT_TRUE(fs::exists(home / "Tunquil.ini"));
}

TEST(ScreenPlacement, APlaceOnAScreenThatIsGoneComesBackOntoOne) {
    const QList<QRect> screens{QRect(0, 0, 1024, 768), QRect(1024, 0, 800, 600)};
    EXPECT_EQ(ClampToScreens(QRect(100, 100, 585, 400), screens), QRect(100, 100, 585, 400));
    EXPECT_EQ(ClampToScreens(QRect(1100, 50, 585, 400), screens), QRect(1100, 50, 585, 400));
    // Saved on a third screen to the right that is gone: onto the nearest, whole.
    EXPECT_EQ(ClampToScreens(QRect(2500, 100, 585, 400), screens), QRect(1239, 100, 585, 400));
    // Above the screens and larger than any of them: shrunk and placed on the first.
    EXPECT_EQ(ClampToScreens(QRect(-50, -900, 2000, 1000), screens), QRect(0, 0, 1024, 768));
}

} // namespace
} // namespace tunquil::ui
