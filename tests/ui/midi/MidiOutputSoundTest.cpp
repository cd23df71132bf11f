// The window end to end on a MIDI port: the output chosen in Settings > "MIDI output..." by
// clicks, titles played to a receiver on the test JACK server, and the receiver going away.

#include "app/TestTunes.h"
#include "base/IniFile.h"
#include "midi/TMyMidi.h"
#include "support/JackReceiver.h"
#include "support/PulseRecorder.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/ModalScript.h"
#include "ui/WindowLibrary.h"
#include "ui/controls/TUnMIDIFrm.h"
#include "ui/midi/SoundCommands.h"
#include "ui/midi/TMidiOutputFrm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

// A tune of `seconds` with a note every 100 ms (480 ticks a quarter of 500 ms), so that a
// receiver hears it at once.
std::string BusyTune(int seconds) {
    std::string track = std::string("\x00\xFF\x51\x03\x07\xA1\x20\x00\xC0\x00", 10);
    for (int i = 0; i < seconds * 10; ++i) {
        track += test::Vlq(i == 0 ? 0 : 10) + std::string("\x90\x3C\x60", 3);
        track += test::Vlq(86) + std::string("\x80\x3C\x40", 3);
    }
    track += test::Vlq(10) + std::string("\xFF\x2F\x00", 3);
    return test::Smf0(track);
}

bool HeardNotes(const test::JackReceiver& receiver) {
    for (const auto& e : receiver.Events())
        if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes.size() == 3 && e.bytes[2] > 0)
            return true;
    return false;
}

template <typename Condition> bool WaitFor(Condition done, int ms = 8000) {
    for (int waited = 0; waited < ms && !done(); waited += 20)
        QTest::qWait(20);
    return done();
}

TEST(MidiOutputSound, ChosenByClicksTheTitlesPlayOnThePortAndOnOurSynthesizerWhenItGoes) {
    TUNQUIL_NEED_JACK();
    TUNQUIL_NEED_SOUND_SERVER();
    test::GuiTestApp();
    test::TempDir home;
    {
        test::LibraryWriter library(home.path());
        for (const char* name : {"First", "Second"})
            test::AddStoredTitle(library.data, library.categories, name, BusyTune(20));
    }
    test::JackReceiver receiver("window-receiver");
    ASSERT_TRUE(receiver.Ok());
    const std::string output = receiver.Port().Name();

    auto window = test::StartShownWindow(home.path(), nullptr); // the program's own devices
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitFor([&] { return window->StartedUp(); }));

    test::ModalScript script({[&](QWidget* box) {
        auto* dialog = qobject_cast<TMidiOutputFrm*>(box);
        ASSERT_TRUE(dialog);
        QListWidget* list = dialog->List();
        auto found = list->findItems(QString::fromStdString(output), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(found.front()).center());
        auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QTest::mouseClick(ok, Qt::LeftButton);
    }});
    window->MenuItem({"&Settings", "MIDI &output..."})->trigger();
    EXPECT_EQ(script.Left(), 0);
    EXPECT_EQ(IniFile(home.path() / "Tunquil.ini").ReadString("Sound", "MidiOutput", ""), output);

    window->MenuItem({"&Categories", "&Play", "&All categories"})->trigger();
    EXPECT_TRUE(WaitFor([&] { return HeardNotes(receiver); })) << "the receiver heard nothing";

    // The receiver goes away mid-title: the notice and the status bar say so, and the title
    // plays on on our own synthesizer.
    receiver.Close();
    EXPECT_TRUE(WaitFor([&] { return window->Host().DeviceNotice().isVisible(); }));
    EXPECT_NE(window->Host().DeviceNotice().Text().toStdString().find(output), std::string::npos);
    EXPECT_TRUE(window->HintPanel()->text().contains("built-in synthesizer"))
        << window->HintPanel()->text().toStdString();
    EXPECT_EQ(window->Midi().Mode(), TMyMidi::kPlaying);
    window->Host().DeviceNotice().CloseButton()->click();
}

} // namespace
} // namespace tunquil::ui
