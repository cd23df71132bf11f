#include "app/PlayProgram.h"

#include "PlayFakes.h"
#include "midi/ResetTunes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>

namespace tunquil::test {
namespace {

namespace fs = std::filesystem;

std::string Tune(int key) {
    return "MThd tune " + std::to_string(key);
}

class PlayProgramTest : public ::testing::Test {
protected:
    TempDir home;
    PlayHost host;
    FakePlayer player;
    FakeStore store;
    PlayProgram program{host, player, store, FakeTools(), home.path()};

    PlayProgramTest() {
        PlayTiming quick;
        quick.afterStep = quick.afterStop = quick.waitPoll = std::chrono::milliseconds(0);
        quick.waitLimit = std::chrono::milliseconds(200);
        program.SetTiming(quick);
        for (int key = 1; key <= 4; ++key)
            store.Add(key, Tune(key));
    }

    void Queue(std::vector<std::string> keys) {
        program.SetSelection(std::move(keys), SelectionSource::CategoryGrid);
        program.PlayBottom();
    }
    std::string Playing() const { return player.played.empty() ? "" : player.played.back(); }
    // The tune ends and the position timer notices it.
    void EndTune() {
        player.Finish();
        program.Tick();
    }
};

TEST_F(PlayProgramTest, PlayBottomOnEmptyProgramPlaysFirstTitleThroughInternalFile) {
    Queue({"1", "2", "3"});
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_TRUE(program.Active());
    EXPECT_EQ(Playing(), Tune(1));
    EXPECT_EQ(ReadWholeFile(program.InternalPlayFile()), Tune(1));
    EXPECT_FALSE(fs::exists(home / "TempTune" / "AAAZip.Zip"));
    EXPECT_EQ(program.TitleText(), "Title 1");
    EXPECT_EQ(program.ArtistText(), "Ann Lee");
    EXPECT_EQ(program.CategoryText(), "Jazz");
    EXPECT_TRUE(program.TimerRunning());
    EXPECT_EQ(store.titles[1].duration, 60);
    EXPECT_TRUE(program.Selection().empty());
    EXPECT_EQ(host.busyDepth, 0);

    // More titles at the bottom of an active program wait their turn.
    Queue({"4"});
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(player.played.size(), 1u);
}

TEST_F(PlayProgramTest, PlayActsOnlyOnMarkedNonEmptySelection) {
    program.SetSelection({"1"}, SelectionSource::None);
    program.PlayTop();
    program.PlayBottom();
    program.SetSelection({}, SelectionSource::AlbumList);
    program.PlayTop();
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_TRUE(player.played.empty());
}

TEST_F(PlayProgramTest, PlayTopPutsSelectionFirstInItsOrderAndPlaysIt) {
    Queue({"1", "2"});
    program.SetSelection({"4", "3"}, SelectionSource::AlbumList);
    program.PlayTop();
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"4", "3", "1", "2"}));
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(Playing(), Tune(4));

    program.SetSelection({"2"}, SelectionSource::AlbumList);
    program.PlayReplace();
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"2"}));
    EXPECT_EQ(Playing(), Tune(2));
}

TEST_F(PlayProgramTest, PlayPopupOffersPlacementOnlyWithActiveProgram) {
    auto idle = program.PlayPopup(true);
    EXPECT_EQ(idle.firstCaption, "PLAY");
    EXPECT_FALSE(idle.show); // a Play menu item on an idle program plays at once
    EXPECT_TRUE(program.PlayPopup(false).show);
    Queue({"1"});
    auto active = program.PlayPopup(true);
    EXPECT_EQ(active.firstCaption, "PLAY: &Top of program");
    EXPECT_TRUE(active.bottomAndReplace);
    EXPECT_TRUE(active.show);
}

TEST_F(PlayProgramTest, TitlesFollowEachOtherAndWrapWithAutoLooping) {
    Queue({"1", "2"});
    EndTune();
    EXPECT_EQ(Playing(), Tune(2));
    EXPECT_EQ(program.Panel().TitleNumber(), 2);
    EXPECT_EQ(program.Panel().TotalText(), "1:00"); // the new title's, at once
    EndTune();
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(Playing(), Tune(1));
    EXPECT_EQ(player.Mode(), kModePlaying);
    EXPECT_FALSE(program.ProgramEnded());
}

TEST_F(PlayProgramTest, WithoutAutoLoopingProgramRestsPausedAtFirstTitle) {
    program.SetAutoLooping(false);
    Queue({"1", "2"});
    program.Next();
    EXPECT_EQ(Playing(), Tune(2));
    program.Next();
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(player.Content(), Tune(1));
    EXPECT_EQ(player.played.size(), 2u); // loaded paused, none of it played again
    EXPECT_EQ(player.Mode(), kModePaused);
    EXPECT_EQ(player.Position(), 0);
    EXPECT_TRUE(program.ProgramEnded());
    EXPECT_TRUE(program.Active());
    program.Tick();
    EXPECT_EQ(program.Panel().State(), "Paused");
    EXPECT_EQ(program.Panel().Title(), "Title 1");
    EXPECT_EQ(program.Transport().pause.glyph, Glyph::Play);
}

TEST_F(PlayProgramTest, PreviousOnFirstEntryPlaysLast) {
    Queue({"1", "2", "3"});
    program.Previous();
    EXPECT_EQ(program.CurrentIndex(), 2);
    EXPECT_EQ(Playing(), Tune(3));
    program.Previous();
    EXPECT_EQ(Playing(), Tune(2));
}

TEST_F(PlayProgramTest, ShuffleOfTwoSwapsThemAndOfOnePlaysItAgain) {
    Queue({"1", "2"});
    program.Shuffle();
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(Playing(), Tune(2));

    program.Clear();
    Queue({"3"});
    std::size_t before = player.played.size();
    program.Shuffle();
    EXPECT_EQ(player.played.size(), before + 1);
    EXPECT_EQ(Playing(), Tune(3));
}

TEST(ShuffleEntries, KeepsEveryEntryAndNeverLeavesTheFirstTitleFirst) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> entries{"5", "6", "7", "8", "9"};
        PlayProgram::ShuffleEntries(entries, random);
        EXPECT_NE(entries[0], "5");
        std::multiset<std::string> got(entries.begin(), entries.end());
        EXPECT_EQ(got, (std::multiset<std::string>{"5", "6", "7", "8", "9"}));
    }
}

TEST_F(PlayProgramTest, ClearLetsTitleFinishThenShowsNoProgram) {
    Queue({"1", "2"});
    program.Clear();
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_FALSE(program.Active());
    program.Tick();
    EXPECT_EQ(program.Panel().Message(), "Ending play with this title");
    EXPECT_EQ(program.Panel().Title(), "Title 1");
    EndTune();
    EXPECT_EQ(player.played.size(), 1u);
    EXPECT_EQ(program.Panel().Message(), "No program");
    EXPECT_EQ(program.Panel().Category(), "None");
    EXPECT_EQ(program.Panel().Artist(), "None");
    EXPECT_EQ(program.Panel().Title(), "None");
}

TEST_F(PlayProgramTest, StopRestsAtStartAndPressingAgainPlaysFromStart) {
    Queue({"1", "2"});
    player.SetPosition(30000);
    player.calls.clear();
    program.Stop();
    // Resting at the start plays nothing of it.
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Stop", "Seek 0"}));
    EXPECT_EQ(player.Mode(), kModeStopped);
    EXPECT_EQ(player.Position(), 0);
    EXPECT_TRUE(program.UserStopped());
    const auto& stop = program.Transport().oneStop;
    EXPECT_TRUE(stop.enabled);
    EXPECT_EQ(stop.glyph, Glyph::Play);
    EXPECT_EQ(stop.hint, "Play|Restart play");
    EXPECT_FALSE(program.Transport().pause.enabled);

    program.Tick(); // a stopped title does not advance the program
    EXPECT_EQ(player.played.size(), 1u);
    EXPECT_EQ(program.TrackBar().position, 0);

    player.calls.clear();
    program.Stop();
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Play"}));
    EXPECT_FALSE(program.UserStopped());
    EXPECT_EQ(player.Mode(), kModePlaying);
    EXPECT_EQ(program.Transport().oneStop.hint, "Stop|Stop current play");
    EXPECT_EQ(program.CurrentIndex(), 0);
}

// Stop showed the total time as 0:00, and Ctrl+Space (pause or resume) did nothing after it.
TEST_F(PlayProgramTest, AStoppedTitleKeepsItsLengthAndPauseOrResumePlaysItFromTheStart) {
    player.lengthMs = 125000;
    Queue({"1", "2"});
    player.SetPosition(30000);
    program.Stop();
    program.Tick();
    EXPECT_EQ(program.Panel().TotalText(), "2:05");
    EXPECT_EQ(program.Panel().ElapsedText(), "0:00");
    EXPECT_EQ(program.Panel().State(), "Stopped");

    player.calls.clear();
    program.PauseOrResume();
    EXPECT_EQ(player.calls, (std::vector<std::string>{"Play"}));
    EXPECT_EQ(player.Mode(), kModePlaying);
    EXPECT_FALSE(program.UserStopped());
    EXPECT_EQ(program.CurrentIndex(), 0);
    program.PauseOrResume();
    EXPECT_EQ(player.Mode(), kModePaused);
}

// After a restart the kept program showed "Idle" and "No program", with the Program menu off.
TEST_F(PlayProgramTest, ARestoredProgramRestsStoppedAtItsFirstTitleUntilPlayed) {
    Queue({"3", "1", "9", "2"}); // 9 is no title: it leaves the program when it comes up
    program.SaveEntries();
    auto restore = [&](PlayProgram& fresh) {
        fresh.RestoreSavedEntries([&](int key, TitleRecord& record) {
            auto title = store.titles.find(key);
            if (title == store.titles.end())
                return false;
            record.masterKey = key;
            record.title = title->second.texts.title;
            record.firstName = "Ann";
            record.lastName = "Lee";
            record.categoryName = "Jazz";
            record.duration = key == 3 ? 185 : 0;
            return true;
        });
    };
    FakePlayer idle;
    PlayProgram again{host, idle, store, FakeTools(), home.path()};
    restore(again);
    EXPECT_EQ(again.Entries(), (std::vector<std::string>{"3", "1", "2"}));
    EXPECT_TRUE(idle.calls.empty()) << "nothing is opened or played at start-up";
    const NowPlaying& panel = again.Panel();
    EXPECT_EQ(panel.Message(), "");
    EXPECT_EQ(panel.TitleNumber(), 1);
    EXPECT_EQ(panel.TitleCount(), 3);
    EXPECT_EQ(panel.Title(), "Title 3");
    EXPECT_EQ(panel.Artist(), "Ann Lee");
    EXPECT_EQ(panel.TotalText(), "3:05");
    EXPECT_EQ(panel.State(), "Stopped");
    EXPECT_EQ(again.ShownMode(), kModeStopped);
    EXPECT_TRUE(again.Transport().programMenu);
    EXPECT_TRUE(again.Transport().playNext.enabled);
    EXPECT_EQ(again.Transport().oneStop.hint, "Play|Restart play");
    again.Tick(); // the position timer leaves it as it is
    EXPECT_EQ(panel.TotalText(), "3:05");
    EXPECT_EQ(panel.State(), "Stopped");

    // Pause or resume (Ctrl+Space), Play (the stop button) and Restart play the first title;
    // Next plays the one after it.
    again.PauseOrResume();
    EXPECT_EQ(idle.played, (std::vector<std::string>{Tune(3)}));
    EXPECT_EQ(idle.Mode(), kModePlaying);
    for (auto play : {&PlayProgram::Stop, &PlayProgram::Restart}) {
        FakePlayer player2;
        PlayProgram third{host, player2, store, FakeTools(), home.path()};
        restore(third);
        (third.*play)();
        EXPECT_EQ(player2.played, (std::vector<std::string>{Tune(3)}));
    }
    FakePlayer player3;
    PlayProgram fourth{host, player3, store, FakeTools(), home.path()};
    restore(fourth);
    fourth.Next();
    fourth.Tick();
    EXPECT_EQ(player3.played, (std::vector<std::string>{Tune(1)}));
    EXPECT_EQ(fourth.Panel().TitleNumber(), 2);
}

TEST_F(PlayProgramTest, StopAndClearAsksFirst) {
    Queue({"1", "2"});
    host.answers = {TModalResult::mrNo};
    program.StopAndClear();
    EXPECT_EQ(program.Entries().size(), 2u);
    EXPECT_TRUE(host.Shown("Are you sure you want stop play and erase your music program?"));

    host.answers = {TModalResult::mrYes};
    program.StopAndClear();
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_FALSE(program.Active());
    EXPECT_FALSE(player.IsOpen());
    EXPECT_TRUE(program.ClearedByStop());
    EXPECT_EQ(program.Transport().oneStop.hint, "Stop|Stop current play");
    EXPECT_FALSE(program.Transport().allStop.enabled);
}

TEST_F(PlayProgramTest, PauseAndResumeToggleAndFlipThePauseButton) {
    Queue({"1"});
    program.PauseOrResume();
    EXPECT_EQ(player.Mode(), kModePaused);
    EXPECT_EQ(program.Transport().pause.hint, "Resume");
    EXPECT_EQ(program.Transport().pause.glyph, Glyph::Play);
    program.PauseOrResume();
    EXPECT_EQ(player.Mode(), kModePlaying);
    EXPECT_EQ(program.Transport().pause.glyph, Glyph::Pause);
}

TEST_F(PlayProgramTest, RestartPlaysCurrentTitleAgain) {
    Queue({"1", "2"});
    program.Next();
    program.Restart();
    EXPECT_EQ(player.played.size(), 3u);
    EXPECT_EQ(Playing(), Tune(2));
}

TEST_F(PlayProgramTest, RemoveTitleKeepsIndexOnSameEntry) {
    Queue({"1", "2", "1", "3", "4"});
    program.Next();
    program.Next();
    program.Next(); // index 3, title 3
    program.RemoveTitle(1);
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"2", "3", "4"}));
    EXPECT_EQ(program.CurrentIndex(), 1);
}

TEST_F(PlayProgramTest, RemovingOneEntryOfATitleQueuedTwiceKeepsTheOther) {
    Queue({"1", "2", "1", "3"});
    program.Next();
    program.Next(); // index 2, the second "1"
    EXPECT_TRUE(program.RemoveEntryAt(0));
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"2", "1", "3"}));
    EXPECT_EQ(program.CurrentIndex(), 1); // the same entry, one higher
    EXPECT_EQ(player.played.size(), 3u);  // and it plays on
    EXPECT_TRUE(program.RemoveEntryAt(2));
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"2", "1"}));
    EXPECT_EQ(program.CurrentIndex(), 1);
}

TEST_F(PlayProgramTest, RemovingThePlayingEntryPlaysItsFollowerOrGoesOnAsAtTheEnd) {
    program.SetAutoLooping(false);
    Queue({"1", "2", "3"});
    program.Next(); // plays 2
    EXPECT_TRUE(program.RemoveEntryAt(1));
    EXPECT_EQ(program.CurrentIndex(), 1);
    EXPECT_EQ(Playing(), Tune(3));
    EXPECT_TRUE(program.RemoveEntryAt(1)); // the playing last entry
    EXPECT_EQ(program.Entries(), std::vector<std::string>{"1"});
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(player.Content(), Tune(1));
    EXPECT_TRUE(program.ProgramEnded());
    EXPECT_TRUE(program.RemoveEntryAt(0));
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_FALSE(program.Active());
    EXPECT_EQ(host.busyDepth, 0);
}

TEST_F(PlayProgramTest, RowOperationsOutsideTheProgramDoNothing) {
    Queue({"1", "2"});
    program.Next();
    // The header row (position -1 and, as the dialog once computed it, -2) and a stale row.
    for (int index : {-2, -1, 2, 7}) {
        EXPECT_FALSE(program.PlayEntryAt(index));
        EXPECT_FALSE(program.RemoveEntryAt(index));
    }
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(program.CurrentIndex(), 1);
    EXPECT_EQ(player.played.size(), 2u);
    EXPECT_TRUE(program.PlayEntryAt(0));
    EXPECT_EQ(program.CurrentIndex(), 0);
    EXPECT_EQ(Playing(), Tune(1));
}

TEST_F(PlayProgramTest, TitleThatCannotOpenIsOfferedForDeletionAndNextTitlePlays) {
    store.Add(2, "MThd BADOPEN");
    Queue({"1", "2", "3", "4"});
    host.answers = {TModalResult::mrCancel, TModalResult::mrYes};
    program.Next();
    EXPECT_EQ(host.messages.at(0).text, "The file is corrupt");
    EXPECT_EQ(host.messages.at(1).text, "File may be corrupted: Delete from database?");
    EXPECT_EQ(host.messages.at(1).type, TMsgDlgType::mtWarning);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(store.deleted, (std::vector<int>{2}));
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "3", "4"}));
    EXPECT_EQ(Playing(), Tune(3)); // not 4: the follower of the failing title
    EXPECT_EQ(program.CurrentIndex(), 1);
    EXPECT_TRUE(program.Active());
}

TEST_F(PlayProgramTest, FailingTitleGoingBackwardPlaysTheOneBeforeIt) {
    Queue({"1", "2", "3"});
    program.Next();
    program.Next(); // at 3
    store.Add(2, "MThd NOPLAY");
    std::size_t before = player.played.size();
    program.Previous();
    EXPECT_EQ(player.played.size(), before + 1);
    EXPECT_EQ(Playing(), Tune(1));
    EXPECT_TRUE(store.deleted.empty()); // the question was answered No
}

TEST_F(PlayProgramTest, EveryKindOfBadTitleLeavesProgramAndPlayStepsOn) {
    store.Add(2, "NOZIP");            // the archive does not unpack
    store.Add(3, "not a midi file");  // probe 0
    Queue({"1", "2", "3", "9", "4"}); // 9 is no title
    program.Next();
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(Playing(), Tune(4));
    EXPECT_TRUE(host.Shown("Tune File Data in " + (home / "TempTune" / "AAATune.TTT").string() +
                           " is NOT in VALID MIDI FORMAT"));
}

TEST_F(PlayProgramTest, StepWhereEveryTitleFailsStopsAfterOnePass) {
    store.archiveStuck = true; // no title can ever be prepared, and none is removed
    Queue({"1", "2", "3"});
    EXPECT_EQ(store.extracted.size(), 3u);
    EXPECT_FALSE(program.Active());
    EXPECT_EQ(program.Entries().size(), 3u);
    EXPECT_TRUE(host.Shown("... But cannot delete TempZippFile " +
                           (home / "TempTune" / "AAAZip.Zip").string()));
    program.Tick(); // an inactive program is not stepped again
    EXPECT_EQ(store.extracted.size(), 3u);
    EXPECT_EQ(program.Panel().Title(), "None");
}

TEST_F(PlayProgramTest, APlayFileThatCannotBeReplacedIsNotBlamedOnTheTitles) {
    // A folder in the play file's place cannot be deleted.
    std::filesystem::create_directories(program.InternalPlayFile() / "held");
    Queue({"1", "2"});
    EXPECT_TRUE(
        host.Shown("Could not delete InternalMIDIFile " + program.InternalPlayFile().string()));
    EXPECT_FALSE(host.Shown("File may be corrupted: Delete from database?"));
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(store.deleted.empty());
}

TEST_F(PlayProgramTest, ProgramOfOnlyBadTitlesEndsEmptyAndInactive) {
    store.Add(1, "MThd BADOPEN");
    store.Add(2, "MThd BADOPEN");
    Queue({"1", "2", "1"});
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_FALSE(program.Active());
    EXPECT_EQ(store.extracted.size(), 2u);
}

TEST_F(PlayProgramTest, DeviceFailureStopsProgramWithoutBlamingTheTitle) {
    // The device fails to open a tune, then to play one: either way the program stops with
    // the device's message, and no title is dropped or offered for deletion.
    for (const char* failure : {"MThd NODEVICE", "MThd INUSE"}) {
        SCOPED_TRACE(failure);
        PlayHost host;
        FakeStore store;
        store.Add(1, failure);
        store.Add(2, Tune(2));
        PlayProgram program{host, player, store, FakeTools(), home.path()};
        host.answers = {TModalResult::mrYes, TModalResult::mrYes};
        program.SetSelection({"1", "2"}, SelectionSource::CategoryGrid);
        program.PlayBottom();
        ASSERT_EQ(host.deviceNotices.size(), 1u);
        EXPECT_EQ(host.deviceNotices[0], player.LastError());
        EXPECT_EQ(program.Panel().State(), "MIDI device unavailable");
        EXPECT_EQ(program.Entries(), (std::vector<std::string>{"1", "2"}));
        EXPECT_FALSE(program.Active());
        EXPECT_EQ(store.extracted, (std::vector<int>{1})); // no other title tried
        EXPECT_TRUE(host.messages.empty());
        EXPECT_TRUE(store.deleted.empty());
        EXPECT_FALSE(player.IsOpen());
        program.Tick(); // a stopped program does not step on
        EXPECT_EQ(store.extracted.size(), 1u);
    }

    // Words of a device in use in a tune's own failure do not make it the device's.
    store.Add(1, "MThd NOPLAY");
    host.answers = {TModalResult::mrNo};
    Queue({"1", "2"});
    EXPECT_TRUE(host.deviceNotices.empty());
    EXPECT_TRUE(host.Shown("File may be corrupted: Delete from database?"));
    EXPECT_EQ(Playing(), Tune(2));
}

TEST_F(PlayProgramTest, MeasuredLengthIsStoredOnlyWhenAboveZero) {
    store.titles[1].duration = 95;
    player.lengthMs = 0;
    Queue({"1"});
    EXPECT_EQ(store.titles[1].duration, 95);
    EXPECT_EQ(program.TrackBar().max, 0);

    player.lengthThrows = true;
    program.Restart();
    EXPECT_EQ(store.titles[1].duration, 95);
    EXPECT_EQ(program.TrackBar().max, 4000);

    player.lengthThrows = false;
    player.lengthMs = 125999;
    program.Restart();
    EXPECT_EQ(store.titles[1].duration, 125);
}

TEST_F(PlayProgramTest, WaitsEndWhenPlayerIsIdleFailingOrNeverGetsThere) {
    Queue({"1"});
    player.pauseIgnored = true;
    player.stuckMode = kModeSeeking; // never paused, never playing
    auto start = std::chrono::steady_clock::now();
    program.PauseOrResume();
    program.Stop();
    program.Restart();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    player.stuckMode = -1;
    player.modeThrows = true; // mode 6
    program.PauseOrResume();
    program.Stop();
    player.modeThrows = false;
    player.Close(); // mode 0
    program.PauseOrResume();
    program.Restart();
}

TEST_F(PlayProgramTest, EndOfProgramWaitEndsWhenPauseNeverTakes) {
    program.SetAutoLooping(false);
    Queue({"1"});
    player.pauseIgnored = true;
    EndTune(); // wraps to the first title and tries to pause it
    EXPECT_NE(player.Mode(), kModePaused);
    EXPECT_TRUE(program.ProgramEnded());
}

TEST_F(PlayProgramTest, EndOfProgramPauseThatTakesAMomentIsNotUndone) {
    program.SetAutoLooping(false);
    Queue({"1"});
    player.pauseLag = 1;
    EndTune();
    EXPECT_EQ(player.Mode(), kModePaused);
    EXPECT_EQ(std::count(player.calls.begin(), player.calls.end(), "Resume"), 0);
}

TEST_F(PlayProgramTest, ShutDownEndsStepAndEmptiesProgram) {
    Queue({"1", "2"});
    program.SetShuttingDown(true);
    program.Next();
    EXPECT_TRUE(program.Entries().empty());
    EXPECT_FALSE(program.Active());
    EXPECT_FALSE(program.TimerRunning());
}

TEST_F(PlayProgramTest, ResetTunesPlayBeforeTitleAndAreDeletedAfterwards) {
    program.SetResetData("MThd gm reset", "MThd gs reset");
    program.SetResetChoice(ResetChoice::GMThenGS);
    Queue({"1"});
    EXPECT_EQ(player.played, (std::vector<std::string>{"MThd gm reset", "MThd gs reset", Tune(1)}));
    EXPECT_FALSE(fs::exists(home / "TempTrash" / "M.dat"));
    EXPECT_FALSE(fs::exists(home / "TempTrash" / "S.dat"));

    auto resetsFor = [&](ResetChoice choice) {
        program.SetResetChoice(choice);
        player.played.clear();
        program.Restart();
        player.played.pop_back();
        return player.played;
    };
    EXPECT_EQ(resetsFor(ResetChoice::GSThenGM),
              (std::vector<std::string>{"MThd gs reset", "MThd gm reset"}));
    EXPECT_EQ(resetsFor(ResetChoice::GMOnly),
              (std::vector<std::string>{"MThd gm reset", "MThd gm reset"}));
    EXPECT_EQ(resetsFor(ResetChoice::GSOnly), (std::vector<std::string>{"MThd gs reset"}));
    // The later resets are made from their message and the wait.
    program.SetResetWait(80);
    auto xg = ResetMessageBytes("XG");
    EXPECT_EQ(resetsFor(ResetChoice::XGOnly), (std::vector<std::string>{MakeResetTune(xg, 80)}));
    EXPECT_EQ(resetsFor(ResetChoice::MT32Only),
              (std::vector<std::string>{MakeResetTune(ResetMessageBytes("MT32"), 80)}));
    EXPECT_FALSE(fs::exists(home / "TempTrash" / "R.dat"));
    program.SetResetWait(100000);
    EXPECT_EQ(program.ResetWait(), PlayProgram::kLongestResetWaitMs);

    // A missing or failing reset is skipped quietly and the title still plays.
    program.SetResetData("", "MThd BADOPEN");
    program.SetResetChoice(ResetChoice::GMThenGS);
    std::size_t shown = host.messages.size();
    player.played.clear();
    program.Restart();
    EXPECT_EQ(player.played, (std::vector<std::string>{Tune(1)}));
    EXPECT_EQ(host.messages.size(), shown);
}

TEST_F(PlayProgramTest, TickFeedsPanelAndPlugInPosition) {
    std::vector<int> perMille;
    program.onPositionPerMille = [&](int v) { perMille.push_back(v); };
    player.lengthMs = 200000;
    Queue({"1", "2"});
    player.SetPosition(100000);
    program.Tick();
    EXPECT_EQ(perMille, (std::vector<int>{500}));
    const NowPlaying& panel = program.Panel();
    EXPECT_EQ(panel.Message(), "");
    EXPECT_EQ(panel.TitleNumber(), 1);
    EXPECT_EQ(panel.TitleCount(), 2);
    EXPECT_EQ(panel.ElapsedText(), "1:40");
    EXPECT_EQ(panel.TotalText(), "3:20");
    EXPECT_EQ(panel.State(), "Playing");
    EXPECT_EQ(program.TrackBar().position, 100);
}

TEST_F(PlayProgramTest, TempoAndKeyShapeTheTimesShownAndLastOneTitleUnlessPinned) {
    player.lengthMs = 200000;
    Queue({"1", "2", "3"});
    program.SetTempoPercent(200);
    program.SetTranspose(-30); // kept within an octave
    EXPECT_EQ(player.tempo, 2.0);
    EXPECT_EQ(player.transpose, -12);
    // The times shown are those heard at twice the speed; the track bar keeps the title's own
    // time, so a seek from it lands on the same music.
    player.SetPosition(100000);
    program.Tick();
    EXPECT_EQ(program.Panel().ElapsedText(), "0:50");
    EXPECT_EQ(program.Panel().TotalText(), "1:40");
    EXPECT_EQ(program.TrackBar().position, 100);
    program.TrackBarChanged(150);
    program.Tick();
    EXPECT_EQ(program.Panel().ElapsedText(), "1:15");
    program.TrackBarReleased();
    EXPECT_EQ(player.Position(), 150000);

    // The next title plays at its own speed and key...
    EndTune();
    EXPECT_EQ(Playing(), Tune(2));
    EXPECT_EQ(player.tempo, 1.0);
    EXPECT_EQ(player.transpose, 0);
    EXPECT_EQ(program.TempoPercent(), 100);
    // ...unless they are pinned.
    program.SetTempoPinned(true);
    program.SetTempoPercent(10);
    program.SetTranspose(3);
    EndTune();
    EXPECT_EQ(Playing(), Tune(3));
    EXPECT_EQ(player.tempo, 0.25);
    EXPECT_EQ(player.transpose, 3);
}

TEST_F(PlayProgramTest, TrackBarMovesOnlyWhilePlayingAndSeeksOnRelease) {
    program.TrackBarChanged(42);
    EXPECT_EQ(program.TrackBar().position, 0);
    EXPECT_FALSE(program.Dragging());

    Queue({"1"});
    program.TrackBarChanged(42);
    EXPECT_TRUE(program.Dragging());
    program.TrackBarReleased();
    EXPECT_EQ(player.Position(), 42000);
    EXPECT_FALSE(program.Dragging());
}

TEST_F(PlayProgramTest, PlugInPositionIsClampedAndComputedWithoutOverflow) {
    player.lengthMs = 3000000; // 50 minutes: length x 1000 overflows 32 bits
    Queue({"1"});
    program.SetPositionPerMille(500);
    EXPECT_EQ(player.Position(), 1500000);
    program.SetPositionPerMille(1LL << 40);
    EXPECT_EQ(player.Position(), 3000000);
    program.SetPositionPerMille(-7);
    EXPECT_EQ(player.Position(), 0);
}

} // namespace
} // namespace tunquil::test
