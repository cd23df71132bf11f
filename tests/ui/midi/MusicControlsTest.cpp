// The music controls in the main window offscreen, on a fake sequencer: their keys from every
// window of the program and every control of the main window, the position bar under a click,
// and the program kept from the last run.

#include "app/PlayProgram.h"
#include "midi/TMyMidi.h"
#include "platform/FakeSequencerDevice.h"
#include "ui/GuiTestApp.h"
#include "ui/WindowLibrary.h"
#include "ui/app/TMasterFrm.h"
#include "ui/controls/TCDPanelP.h"
#include "ui/controls/TFlashLabel.h"
#include "ui/controls/TMyStringGrid.h"
#include "ui/midi/LyricsPane.h"
#include "ui/midi/SoundCommands.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

class MusicControlsTest : public ::testing::Test {
protected:
    test::TempDir home;
    std::vector<int32_t> keys;
    platform::FakeSequencerDevice* device = nullptr;

    void SetUp() override {
        test::GuiTestApp();
        test::LibraryWriter library(home.path());
        keys = library.AddThreeTitles();
        for (int32_t key : keys)
            library.data.Database().SetDuration(75, key);
    }

    std::unique_ptr<TMasterFrm> Start() {
        auto fake = std::make_unique<platform::FakeSequencerDevice>();
        device = fake.get();
        return test::StartShownWindow(home.path(), std::move(fake));
    }

    static std::string Current(const PlayProgram& program) {
        return program.Entries().at(program.CurrentIndex());
    }

    // The keys pressed in `widget`'s window with `widget` holding the keyboard.
    static void Press(QWidget* widget, const QKeySequence& keys) {
        widget->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(widget->window()));
        widget->setFocus();
        QTest::keySequence(widget, keys);
    }

    static QString Shown(TMasterFrm& window, TCDPanelP::Item item) {
        return window.NowPlayingPanel()->ItemLabel(item)->text();
    }
};

const QKeySequence kNext(Qt::CTRL | Qt::Key_Right);
const QKeySequence kPause(Qt::CTRL | Qt::Key_Space);

// With the lyrics window in front the keys did nothing, and in the tempo and transpose boxes
// Ctrl+Right moved the cursor instead of playing the next title.
TEST_F(MusicControlsTest, TheMusicKeysWorkInEveryWindowAndEveryControlOfTheMainWindow) {
    auto window = Start();
    ASSERT_TRUE(window);
    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    PlayProgram* program = window->Program();
    ASSERT_EQ(program->Entries().size(), 3u);

    window->MenuItem({"&View", "&Lyrics"})->trigger();
    LyricsPane* lyrics = window->Sound().Lyrics();
    ASSERT_TRUE(lyrics && lyrics->isVisible());
    std::string before = Current(*program);
    Press(lyrics, kNext);
    EXPECT_NE(Current(*program), before) << "Ctrl+Right in the lyrics window";
    Press(lyrics, kPause);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPaused) << "Ctrl+Space in the lyrics window";
    Press(lyrics, kPause);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    lyrics->close();

    window->RefreshTransport();
    for (const char* name : {"Tempo", "Transpose"}) {
        auto* box = static_cast<QSpinBox*>(window->Control(name));
        ASSERT_TRUE(box && box->isEnabled()) << name;
        const int value = box->value();
        before = Current(*program);
        Press(box, kNext);
        EXPECT_NE(Current(*program), before) << "Ctrl+Right in " << name;
        EXPECT_EQ(box->value(), value);
        // The box keeps its own keys.
        QTest::keyClick(box, Qt::Key_Up);
        EXPECT_NE(box->value(), value) << name;
    }
    auto* find = window->findChild<QLineEdit*>("FindTitles");
    ASSERT_TRUE(find);
    before = Current(*program);
    Press(find, kNext);
    EXPECT_NE(Current(*program), before) << "Ctrl+Right in the find field";

    // The program window has the keys too; Stop then Ctrl+Space plays the title from its start.
    window->MenuItem({"&Program", "&View titles"})->trigger();
    QWidget* programWindow = window->findChild<QWidget*>("TViewProgFrm");
    ASSERT_TRUE(programWindow && programWindow->isVisible());
    Press(programWindow, QKeySequence(Qt::CTRL | Qt::Key_Period));
    EXPECT_EQ(program->SafeMode(), TMyMidi::kStopped);
    before = Current(*program);
    Press(programWindow, kPause);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    EXPECT_EQ(Current(*program), before);
    window->ShutDown();
}

// A click in the groove moved the title ten seconds towards the point clicked.
TEST_F(MusicControlsTest, AClickInThePositionBarsGrooveJumpsToThePointClicked) {
    auto window = Start();
    ASSERT_TRUE(window);
    QSlider* bar = window->TrackBar();
    emit window->AllTitlesGrid()->titleDoubleClicked(1);
    ASSERT_EQ(bar->maximum(), 60); // the fake device's length
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    auto last = std::find_if(device->calls.rbegin(), device->calls.rend(), [](const auto& call) {
        return call.command == platform::FakeSequencerDevice::Command::Play;
    });
    ASSERT_NE(last, device->calls.rend());
    ASSERT_TRUE(last->from);
    EXPECT_NEAR(int(*last->from), 45000, 3000);
    EXPECT_NEAR(bar->value(), 45, 3);
    window->ShutDown();
}

// After a restart the panel said "Idle" and "No program" and the Program menu was off, though
// the program window listed the kept titles.
TEST_F(MusicControlsTest, AProgramKeptFromTheLastRunShowsStoppedAtItsFirstTitle) {
    {
        auto window = Start();
        ASSERT_TRUE(window);
        window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
        ASSERT_EQ(window->Program()->Entries().size(), 3u);
        window->ShutDown();
    }
    auto window = Start();
    ASSERT_TRUE(window);
    PlayProgram* program = window->Program();
    ASSERT_EQ(program->Entries().size(), 3u);
    window->NowPlayingPanel()->PollState();
    using Item = TCDPanelP::Item;
    EXPECT_EQ(Shown(*window, Item::Message), "");
    EXPECT_EQ(Shown(*window, Item::TitleNumber), "1");
    EXPECT_EQ(Shown(*window, Item::TitleCount), "3");
    EXPECT_EQ(Shown(*window, Item::State), "Stopped");
    EXPECT_EQ(Shown(*window, Item::Total), "1:00"); // measured by the fake device last run
    EXPECT_NE(Shown(*window, Item::Title), "None");
    QAction* programMenu = nullptr;
    for (QAction* item : window->menuBar()->actions())
        if (item->text() == "&Program")
            programMenu = item;
    ASSERT_TRUE(programMenu);
    EXPECT_TRUE(programMenu->isEnabled());
    for (const auto& call : device->calls)
        EXPECT_NE(call.command, platform::FakeSequencerDevice::Command::Open)
            << "nothing is put in the player at start-up";

    const std::string first = program->Entries().front();
    Press(window->AllTitlesGrid(), kPause);
    EXPECT_EQ(program->SafeMode(), TMyMidi::kPlaying);
    EXPECT_EQ(Current(*program), first);
    window->ShutDown();
}

} // namespace
} // namespace tunquil::ui
