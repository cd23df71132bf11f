// Settings > "MIDI output...": the list of outputs, a remembered output that is not there, and
// the Test button.

#include "base/IniFile.h"
#include "support/TempDir.h"
#include "ui/GuiTestApp.h"
#include "ui/WindowLibrary.h"
#include "ui/controls/TUnMIDIFrm.h"
#include "ui/midi/TMidiOutputFrm.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace tunquil::ui {
namespace {

class MidiOutputWindowTest : public ::testing::Test {
protected:
    void SetUp() override { tunquil::test::GuiTestApp(); }
};

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

TEST_F(MidiOutputWindowTest, ListsTheOutputsAfreshAndKeepsAMissingChoiceInSight) {
    std::vector<std::string> ports{"USB MIDI Cable: USB MIDI Cable MIDI 1"};
    std::vector<std::string> tested;
    std::string problem;
    TMidiOutputFrm::Outputs outputs;
    outputs.list = [&] {
        std::vector<std::string> names{"Built-in synthesizer"};
        names.insert(names.end(), ports.begin(), ports.end());
        return names;
    };
    outputs.test = [&](const std::string& output) {
        tested.push_back(output);
        return problem;
    };
    TMidiOutputFrm window(outputs);
    for (auto* control : window.findChildren<QWidget*>())
        if (qobject_cast<QPushButton*>(control) || qobject_cast<QListWidget*>(control))
            EXPECT_FALSE(control->accessibleName().isEmpty())
                << control->objectName().toStdString();

    // The built-in synthesizer is the choice when none was made.
    window.Load("");
    EXPECT_EQ(Rows(window.List()),
              (QStringList{"Built-in synthesizer", "USB MIDI Cable: USB MIDI Cable MIDI 1"}));
    EXPECT_EQ(window.List()->currentRow(), 0);
    EXPECT_EQ(window.Chosen(), "");

    // A synthesizer plugged in since is there the next time; the one remembered but unplugged
    // is listed as such and stays chosen unless the user picks another.
    ports.push_back("fluidsynth: midi_00 (JACK)");
    window.Load("Module: MIDI 1");
    EXPECT_EQ(Rows(window.List()),
              (QStringList{"Built-in synthesizer", "USB MIDI Cable: USB MIDI Cable MIDI 1",
                           "fluidsynth: midi_00 (JACK)", "Module: MIDI 1 (not connected)"}));
    EXPECT_EQ(window.Chosen(), "Module: MIDI 1");

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QListWidget* list = window.List();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(window.Chosen(), "fluidsynth: midi_00 (JACK)");
    QTest::mouseClick(window.TestButton(), Qt::LeftButton);
    EXPECT_EQ(tested, (std::vector<std::string>{"fluidsynth: midi_00 (JACK)"}));
    EXPECT_EQ(window.Result()->text(), "Playing a scale on fluidsynth: midi_00 (JACK).");
    problem = "\"fluidsynth: midi_00 (JACK)\" is not connected now.";
    QTest::mouseClick(window.TestButton(), Qt::LeftButton);
    EXPECT_EQ(window.Result()->text().toStdString(), problem);
}

} // namespace
} // namespace tunquil::ui

namespace tunquil::ui {
namespace {

TEST_F(MidiOutputWindowTest, ARememberedOutputThatIsGoneAtStartUpGetsTheNoticeAndTheStatusBar) {
    test::TempDir home;
    {
        test::LibraryWriter library(home.path());
        library.AddThreeTitles();
    }
    {
        IniFile ini(home.path() / "Tunquil.ini");
        ini.WriteString("Sound", "MidiOutput", "Unplugged Module: MIDI 1");
        ini.UpdateFile();
    }
    auto window = test::StartShownWindow(home.path(), nullptr); // the program's own devices
    ASSERT_TRUE(window);
    for (int waited = 0; waited < 8000 && !window->StartedUp(); waited += 20)
        QTest::qWait(20);
    ASSERT_TRUE(window->StartedUp());
    EXPECT_TRUE(window->Host().DeviceNotice().isVisible());
    EXPECT_TRUE(window->Host().DeviceNotice().Text().contains("Unplugged Module: MIDI 1"));
    EXPECT_TRUE(window->HintPanel()->text().contains("built-in synthesizer"))
        << window->HintPanel()->text().toStdString();
    window->Host().DeviceNotice().CloseButton()->click();
}

} // namespace
} // namespace tunquil::ui
