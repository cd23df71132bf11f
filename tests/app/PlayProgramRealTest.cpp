// The play program with the real pieces: titles in a database on disk, stored-tune archives,
// the MIDI probe and the sequencer player on a sequencer device without sound output.

#include "PlayFakes.h"
#include "TestTunes.h"
#include "app/DatabaseTitleStore.h"
#include "app/PlayProgram.h"
#include "app/TMyMidiPlayer.h"
#include "database/TCatList.h"
#include "database/TDMM2.h"
#include "export/archive/StoredTune.h"
#include "midi/ResetTunes.h"
#include "platform/FluidSynthSequencer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace tunquil::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Records what the player was asked to open, on its way to the real player.
class RecordingPlayer : public TMyMidiPlayer {
public:
    using TMyMidiPlayer::TMyMidiPlayer;
    std::vector<std::string> opened;
    void Open() override {
        opened.push_back(fs::path(Midi().MidiFile).filename().string());
        TMyMidiPlayer::Open();
    }
};

class PlayProgramRealTest : public ::testing::Test {
protected:
    TempDir home;
    PlayHost host;
    // Events the device has sent to the synthesizer.
    std::atomic<int> sent{0};
    platform::FluidSynthSequencer device{
        {platform::SequencerOutputKind::None, {}, {}, [this](auto, auto) { ++sent; }, nullptr}};
    TMyMidi midi{device};
    RecordingPlayer player{midi};
    TDMM2 data{home.path(), host};
    TCatList categories{home.path()};
    DatabaseTitleStore store{data};
    PlayProgram program{host, player, store, RealPlayTools(host), home.path()};

    PlayProgramRealTest() {
        data.OpenDatabase();
        categories.SetDatabase(&data.Database());
        data.SetCategoryList(&categories);
        data.Database().AddObserver(&program);
        PlayTiming quick;
        quick.afterStep = quick.afterStop = 0ms;
        program.SetTiming(quick);
    }
    ~PlayProgramRealTest() override { data.Database().RemoveObserver(&program); }

    // Adds a title whose stored data hold `midiBytes`; returns its key as program text.
    std::string AddTitle(const std::string& name, const std::string& midiBytes) {
        return std::to_string(AddStoredTitle(data, categories, name, midiBytes));
    }
    std::vector<std::string> AddTitles(int count, int ms = 20000) {
        std::vector<std::string> keys;
        for (int i = 1; i <= count; ++i)
            keys.push_back(AddTitle("Tune " + std::to_string(i), OneNoteTune(ms, 59 + i)));
        return keys;
    }
    void Play(std::vector<std::string> keys, bool top = false) {
        program.SetSelection(std::move(keys), SelectionSource::CategoryGrid);
        top ? program.PlayTop() : program.PlayBottom();
    }
    // Runs the position timer until `done` holds (at most a few seconds).
    bool TickUntil(const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            program.Tick();
            std::this_thread::sleep_for(10ms);
        }
        return done();
    }
    std::string Current() const { return std::to_string(program.CurrentKey()); }
};

// The program's own logic is proved against the fake player; these are the scenarios where the
// real device is what matters: the lengths it measures, tunes that end by themselves, silence on
// a stop, resets and damaged files it really plays or refuses, titles deleted through the
// database.

TEST_F(PlayProgramRealTest, PlayingATitleStoresTheLengthTheDeviceMeasured) {
    auto keys = AddTitles(3, 3000);
    Play(keys);
    EXPECT_EQ(Current(), keys[0]);
    EXPECT_EQ(midi.Mode(), TMyMidi::kPlaying);
    TitleRecord record;
    ASSERT_TRUE(data.Database().ReadRecordByKey(std::stoi(keys[0]), record));
    EXPECT_EQ(record.duration, 3);
    EXPECT_EQ(record.durationText, "0:03");
}

TEST_F(PlayProgramRealTest, TitlesFollowEachOtherWhenOneEnds) {
    auto keys = AddTitles(2, 400);
    Play(keys);
    ASSERT_TRUE(TickUntil([&] { return Current() == keys[1]; }));
    EXPECT_EQ(midi.Mode(), TMyMidi::kPlaying);
}

TEST_F(PlayProgramRealTest, StopRestsAtTheStartOfALargeFileSilently) {
    // A large file, which the player once repositioned with long waits.
    std::vector<std::string> keys{AddTitle("Large", LargeOneNoteTune(20000, 60, 300000)),
                                  AddTitle("Small", OneNoteTune(20000, 61))};
    Play(keys);
    ASSERT_GT(midi.FileSize(), 250000);
    std::this_thread::sleep_for(300ms);
    const int sentBefore = sent;
    program.Stop();
    EXPECT_EQ(sent, sentBefore); // nothing of the tune's start was played
    EXPECT_EQ(midi.Mode(), TMyMidi::kStopped);
    EXPECT_EQ(midi.Position(), 0);
    program.Tick();
    EXPECT_EQ(program.TrackBar().position, 0);
    EXPECT_EQ(Current(), keys[0]);
    program.Stop();
    EXPECT_EQ(midi.Mode(), TMyMidi::kPlaying);
}

TEST_F(PlayProgramRealTest, DeletingPlayingTitleLetsNextStepPlayItsFollower) {
    auto keys = AddTitles(3);
    Play(keys);
    program.Next();
    ASSERT_EQ(Current(), keys[1]);
    data.DeleteTitlesEverywhere({std::stoi(keys[1])}); // the delete menu's path
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{keys[0], keys[2]}));
    program.Next();
    EXPECT_EQ(Current(), keys[2]);
}

TEST_F(PlayProgramRealTest, ReusedKeyOfDeletedTitleNeverPlaysTheNewTitle) {
    auto keys = AddTitles(3);
    Play(keys);
    data.DeleteTitle(std::stoi(keys[2]));
    std::string reused = AddTitle("Newcomer", OneNoteTune(1000, 70));
    ASSERT_EQ(reused, keys[2]); // the highest key is given again
    program.Next();
    program.Next();
    program.Next();
    EXPECT_EQ(player.opened.size(), 4u);
    EXPECT_NE(program.TitleText(), "Newcomer");
    program.SetSelectionKeys({std::stoi(reused)}, SelectionSource::AlbumList);
    program.PlayTop();
    EXPECT_EQ(program.TitleText(), "Newcomer");
}

TEST_F(PlayProgramRealTest, EditedInformationOfPlayingTitleShowsAtOnce) {
    auto keys = AddTitles(2);
    Play(keys);
    int32_t ck = categories.AddCategory("Blues");
    int32_t pk = data.Performers().FindOrAdd("Bo", "Day");
    ASSERT_TRUE(data.UpdateTitleInfo(std::stoi(keys[1]), false, pk, ck, "Other"));
    EXPECT_EQ(program.TitleText(), "Tune 1");
    ASSERT_TRUE(data.UpdateTitleInfo(std::stoi(keys[0]), false, pk, ck, "Renamed"));
    EXPECT_EQ(program.TitleText(), "Renamed");
    EXPECT_EQ(program.ArtistText(), "Bo Day");
    EXPECT_EQ(program.CategoryText(), "Blues");
}

TEST_F(PlayProgramRealTest, GMThenGSResetPlaysBothFilesBeforeTitleAndRemovesThem) {
    auto gm = ResetTuneBytes("GMRESET");
    auto gs = ResetTuneBytes("GSRESET");
    program.SetResetData(std::string(gm.begin(), gm.end()), std::string(gs.begin(), gs.end()));
    program.SetResetChoice(ResetChoice::GMThenGS);
    auto keys = AddTitles(1);
    Play(keys);
    EXPECT_EQ(player.opened, (std::vector<std::string>{"M.dat", "S.dat", "AInternal.MID"}));
    EXPECT_FALSE(fs::exists(home / "TempTrash" / "M.dat"));
    EXPECT_FALSE(fs::exists(home / "TempTrash" / "S.dat"));
    EXPECT_EQ(midi.Mode(), TMyMidi::kPlaying);
}

TEST_F(PlayProgramRealTest, DamagedTitleIsOfferedForDeletionAndNextTitlePlays) {
    auto keys = AddTitles(2);
    std::string bad = AddTitle("Broken", "MThd" + std::string(40, '\x7F'));
    Play({keys[0], bad, keys[1]});
    host.answers = {TModalResult::mrCancel, TModalResult::mrYes};
    program.Next();
    ASSERT_GE(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtError); // the device's text
    EXPECT_EQ(host.messages[1].text, "File may be corrupted: Delete from database?");
    EXPECT_EQ(Current(), keys[1]);
    EXPECT_EQ(program.Entries(), (std::vector<std::string>{keys[0], keys[1]}));
    TitleRecord record;
    EXPECT_FALSE(data.Database().ReadRecordByKey(std::stoi(bad), record));
}

TEST_F(PlayProgramRealTest, SoundDeviceThatCannotPlayStopsProgramAndKeepsItsTitles) {
    // No sound server behind the socket; then a server that is never reached because the
    // SoundFont is no SoundFont.
    auto keys = AddTitles(2);
    const fs::path garbage = home / "garbage.sf2";
    std::ofstream(garbage) << "This is not a SoundFont.";
    test::ScopedEnv server("PULSE_SERVER", ("unix:" + (home / "no-such-socket").string()).c_str());
    struct Case {
        std::string soundFont;
        uint32_t error;
    };
    for (const Case& c : {Case{"", platform::kSeqNoSoundServer},
                          Case{garbage.string(), platform::kSeqSoundFontUnusable}}) {
        SCOPED_TRACE(c.soundFont);
        PlayHost host;
        host.answers = {TModalResult::mrYes, TModalResult::mrYes, TModalResult::mrYes};
        platform::FluidSynthSequencerOptions options;
        options.soundFontSetting = c.soundFont;
        platform::FluidSynthSequencer device(options);
        TMyMidi midi(device);
        TMyMidiPlayer player(midi);
        PlayProgram program(host, player, store, RealPlayTools(host), home.path());
        program.SetResetChoice(ResetChoice::GMOnly); // a reset that fails costs only the reset
        auto gm = ResetTuneBytes("GMRESET");
        program.SetResetData(std::string(gm.begin(), gm.end()), "");
        program.SetSelection(keys, SelectionSource::CategoryGrid);
        program.PlayBottom();

        std::string message;
        ASSERT_TRUE(device.ErrorText(c.error, message));
        EXPECT_EQ(host.deviceNotices, (std::vector<std::string>{message}));
        EXPECT_TRUE(host.messages.empty()); // neither the question nor an error box
        EXPECT_EQ(program.Entries(), keys);
        EXPECT_FALSE(program.Active());
        EXPECT_EQ(midi.Mode(), TMyMidi::kNotReady);
        TitleRecord record;
        EXPECT_TRUE(data.Database().ReadRecordByKey(std::stoi(keys[0]), record));
    }
}

} // namespace
} // namespace tunquil::test
