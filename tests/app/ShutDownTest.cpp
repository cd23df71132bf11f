// Closing the program in order, the settings file it leaves, and the work directories of the
// next start.

#include "app/ShutDownSequence.h"
#include "app/TunquilSettings.h"
#include "app/WorkDirectories.h"
#include "base/Files.h"
#include "base/ProgramDirectory.h"
#include "base/ScriptedHost.h"
#include "platform/FakeMessageBus.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tunquil {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Records the steps in the order they run; the steps named in `failing` throw.
struct RecordingSteps : IShutDownSteps {
    std::vector<std::string> log;
    std::vector<std::string> failing;
    bool printing = false;
    bool playing = true;
    void Step(const std::string& name) {
        log.push_back(name);
        if (std::find(failing.begin(), failing.end(), name) != failing.end())
            throw std::runtime_error(name + " failed");
    }
    bool PrintJobRunning() override { return printing; }
    void EndPrintJob() override { Step("print"); }
    void LockWindow() override { Step("lock"); }
    bool PlayerPlaying() override { return playing; }
    void StopPlayer() override { Step("stop"); }
    void DeactivateProgram() override { Step("inactive"); }
    void SaveAlbums() override { Step("albums"); }
    void SaveCategories() override { Step("categories"); }
    void CloseDatabase() override { Step("database"); }
    void CloseMail() override { Step("mail"); }
    void WriteSettings() override { Step("settings"); }
    void ReleaseProgram() override { Step("program"); }
    void DeleteInternalPlayFile() override { Step("playfile"); }
    void QuitHelp() override { Step("help"); }
    void RestorePlugins() override { Step("plugins"); }
    void Closed() override { Step("closed"); }
};

struct Closing {
    ScriptedHost host;
    platform::FakeMessageBus bus;
    RunningCopy copy{bus, {}};
    ShutDownSequence sequence{host, copy};
};

TEST(ShutDown, ThePrintJobEndsFirstThenEveryStepRunsInOrderOnce) {
    Closing c;
    RecordingSteps steps;
    steps.printing = true;
    c.sequence.Run(steps);
    c.sequence.Run(steps);
    EXPECT_EQ(steps.log,
              (std::vector<std::string>{"print", "lock", "stop", "inactive", "albums", "categories",
                                        "database", "mail", "settings", "program", "playfile",
                                        "help", "plugins", "closed"}));
    EXPECT_TRUE(c.copy.ShuttingDown());
    platform::BusMessage late;
    late.number = kHandOverMessage;
    late.items = {"/late.mid"};
    EXPECT_EQ(c.copy.Receive(late), 0);
    EXPECT_TRUE(c.copy.TakeCommands().empty());
}

TEST(ShutDown, AFailingStepIsShownWithItsLabelAndTheNextStepsStillRun) {
    Closing c;
    RecordingSteps steps;
    steps.failing = {"stop", "albums", "settings", "program", "playfile"};
    c.sequence.Run(steps);
    EXPECT_EQ(steps.log.back(), "closed");
    std::vector<std::string> shown;
    for (const auto& m : c.host.messages) {
        shown.push_back(m.text);
        EXPECT_EQ(m.buttons, static_cast<TMsgDlgButtons>(mbCancel));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Exception closing MIDI: stop failed", "FinishAll1: settings failed",
                         "FinishAll2: program failed", "FinishAll3: playfile failed"}));
}

TEST(ShutDown, TheExitQuestionIsAskedOnlyWhenWantedAndNotAtSessionEnd) {
    Closing c;
    c.host.answers = {TModalResult::mrNo, TModalResult::mrYes};
    EXPECT_FALSE(c.sequence.MayClose(true));
    EXPECT_EQ(c.host.LastMessage(), "Are you sure you want to exit Tunquil?");
    EXPECT_EQ(c.host.messages.back().buttons, static_cast<TMsgDlgButtons>(mbYes | mbNo));
    EXPECT_TRUE(c.sequence.MayClose(true));
    EXPECT_TRUE(c.sequence.MayClose(false));
    c.sequence.SetNoConfirmation();
    EXPECT_TRUE(c.sequence.MayClose(true));
    EXPECT_EQ(c.host.messages.size(), 2u);
}

TEST(Settings, FirstRunMarksTheFileAndTheKeysComeBackKeepingOthers) {
    TempDir dir;
    TunquilSettings first = TunquilSettings::ReadAtStartUp(dir.path());
    EXPECT_TRUE(first.firstRun);
    EXPECT_FALSE(first.fullScanDone);
    EXPECT_FALSE(first.disableTempConPI);
    EXPECT_EQ(ReadWholeFile(SettingsPath(dir.path())), "[Initialization]\nInitialization=1\n");

    IniFile ini(SettingsPath(dir.path()));
    ini.WriteString("Sound", "SoundFont", "/sf/a.sf2");
    ini.WriteString("Setup", "EMail Address", "me@example.org");
    ini.UpdateFile();
    first.fullScanDone = true;
    first.disableTempConPI = true;
    IniFile atShutDown(SettingsPath(dir.path()));
    first.Write(atShutDown);
    atShutDown.UpdateFile();

    TunquilSettings next = TunquilSettings::ReadAtStartUp(dir.path());
    EXPECT_FALSE(next.firstRun);
    EXPECT_TRUE(next.fullScanDone);
    EXPECT_TRUE(next.disableTempConPI);
    IniFile back(SettingsPath(dir.path()));
    EXPECT_TRUE(back.ReadBool("Setup", "StartNotification", false));
    EXPECT_EQ(back.ReadString("Sound", "SoundFont", ""), "/sf/a.sf2");
    EXPECT_EQ(back.ReadString("Setup", "EMail Address", ""), "me@example.org");
}

TEST(WorkDirectories, EachIsMadeAndClearedByItsOwnMasksAndTheBackupKept) {
    TempDir dir;
    ScriptedHost host;
    for (const char* f : {"TempTune/a.MID", "TempTune/b.txt", "TempZips/c.zip", "TempMail/d.jpg",
                          "TempTrash/M.dat", "TempTrash/e.mid", "BackUp/f.mid", "own.mid"})
        dir.Write(f, "x");
    PrepareWorkDirectories(host, dir.path());
    for (const char* gone :
         {"TempTune/a.MID", "TempZips/c.zip", "TempMail/d.jpg", "TempTrash/M.dat"})
        EXPECT_FALSE(fs::exists(dir / gone)) << gone;
    for (const char* kept : {"TempTune/b.txt", "TempTrash/e.mid", "BackUp/f.mid", "own.mid"})
        EXPECT_TRUE(fs::exists(dir / kept)) << kept;
    EXPECT_TRUE(host.messages.empty());

    TempDir fresh;
    PrepareWorkDirectories(host, fresh.path());
    for (const WorkDirectory& w : WorkDirectories())
        EXPECT_TRUE(fs::is_directory(fresh / w.name)) << w.name;
}

TEST(WorkDirectories, ALinkInAWorkDirectorysPlaceIsReplacedAndWhereItLedIsKept) {
    TempDir dir, elsewhere;
    ScriptedHost host;
    elsewhere.Write("mine.mid", "x");
    elsewhere.Write("deep/photo.jpg", "x");
    fs::create_directory_symlink(elsewhere.path(), dir / "TempMail");
    PrepareWorkDirectories(host, dir.path());
    EXPECT_TRUE(fs::exists(elsewhere / "mine.mid"));
    EXPECT_TRUE(fs::exists(elsewhere / "deep/photo.jpg"));
    EXPECT_FALSE(fs::is_symlink(dir / "TempMail"));
    EXPECT_TRUE(fs::is_directory(dir / "TempMail"));
}

} // namespace
} // namespace tunquil
