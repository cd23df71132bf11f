// The port device playing to a receiver on a JACK server (the dummy backend that the test
// command starts): what arrives, in which order and at which frame.

#include "midi/ResetTunes.h"
#include "platform/MidiPortSequencer.h"
#include "support/JackReceiver.h"
#include "support/Plays.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;
namespace fs = std::filesystem;
using Message = std::vector<uint8_t>;
using test::JackReceiver;

namespace {

const fs::path kSource = fs::path(TUNQUIL_TEST_DATA_DIR).parent_path().parent_path();

// The first of the free game music the test command installs, or of the benchmarks' copy.
fs::path RealTune() {
    for (const fs::path folder :
         {fs::path("/usr/share/games/openttd/baseset/openmsx"), kSource / "bench-data/openmsx"}) {
        std::vector<fs::path> tunes;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec))
            if (e.path().extension() == ".mid")
                tunes.push_back(e.path());
        std::sort(tunes.begin(), tunes.end());
        if (!tunes.empty())
            return tunes.front();
    }
    return {};
}

MidiSequence ReadTune(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return MidiSequence::Parse(bytes);
}

struct Played {
    test::TempDir dir;
    JackReceiver receiver;
    std::optional<MidiPortSequencer> device;
    SequencerDeviceId id = 0;

    explicit Played(const char* name = "receiver") {
        MidiPortSequencerOptions options;
        options.port = receiver.Port();
        device.emplace(options);
    }
    uint32_t Open(const std::string& file) { return device->Open(file, id); }
    std::string Write(const std::string& name, const std::string& bytes) {
        auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    uint32_t Mode() {
        uint32_t mode = 0;
        device->Status(id, SequencerStatusItem::Mode, mode);
        return mode;
    }
    // Until the range has played, and what was sent has crossed the server.
    void WaitForTheEnd(int seconds = 30) {
        for (int i = 0; i < seconds * 100 && Mode() == uint32_t(SequencerMode::Playing); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Settle();
    }
    static void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
};

std::vector<Message> BytesOf(const std::vector<JackReceiver::Event>& events) {
    std::vector<Message> out;
    for (const auto& e : events)
        out.push_back(e.bytes);
    return out;
}

// Notes still sounding at the end of what arrived.
std::set<std::pair<int, int>> Sounding(const std::vector<Message>& sent) {
    std::set<std::pair<int, int>> on;
    for (const auto& m : sent) {
        int kind = m[0] & 0xF0, channel = m[0] & 0x0F;
        if (kind == 0x90 && m[2] > 0)
            on.insert({channel, m[1]});
        else if (kind == 0x80 || kind == 0x90)
            on.erase({channel, m[1]});
        else if (kind == 0xB0 && (m[1] == 120 || m[1] == 123))
            std::erase_if(on, [&](auto& n) { return n.first == channel; });
    }
    return on;
}

bool IsNoteOn(const Message& m) {
    return (m[0] & 0xF0) == 0x90 && m.size() == 3 && m[2] > 0;
}

// The messages that open every play: each channel silenced, then its controllers reset.
constexpr std::size_t kPlayPrelude = 16 * 3 + 16;

} // namespace

// One play of the tune's first three seconds: what went wrong goes into `offNotes`, the first
// message that is not the file's, or else the note-ons more than 2 ms off the file's timing.
void PlayTheRealTune(const fs::path& file, std::vector<std::string>& offNotes) {
    Played p;
    ASSERT_TRUE(p.receiver.Ok());
    ASSERT_EQ(p.Open(file.string()), kSeqOk);
    const MidiSequence tune = ReadTune(file);
    constexpr uint32_t kUntilMs = 3000;
    ASSERT_EQ(p.device->Play(p.id, 0, kUntilMs), kSeqOk);
    p.WaitForTheEnd();
    const auto events = p.receiver.Take();

    const auto& expected = tune.Events();
    const std::size_t count = tune.FirstEventAfter(kUntilMs);
    ASSERT_GT(count, 30u) << "the tune should be busier than this";
    ASSERT_GE(events.size(), kPlayPrelude + count);
    // Each note-on against the file's time, apart from the one lateness all share (JACK's
    // period and the lead of the play's start).
    std::vector<std::pair<std::size_t, double>> offsets;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& got = events[kPlayPrelude + i];
        auto want = tune.Message(expected[i]);
        if (got.bytes != Message(want.begin(), want.end())) {
            // A message lost or out of order: a fault of the device's if every play shows it.
            offNotes = {"event " + std::to_string(i) + " is not the file's"};
            p.device->Close(p.id);
            return;
        }
        if (IsNoteOn(got.bytes))
            offsets.emplace_back(i, got.MsSince(events[kPlayPrelude]) -
                                        (tune.Ms(expected[i]) - tune.Ms(expected[0])));
    }
    std::vector<double> sorted;
    for (auto [i, offset] : offsets)
        sorted.push_back(offset);
    std::sort(sorted.begin(), sorted.end());
    const double shared = sorted[sorted.size() / 2];
    offNotes.clear();
    for (auto [i, offset] : offsets)
        if (std::abs(offset - shared) > 2.0)
            offNotes.push_back("event " + std::to_string(i) + ": " +
                               std::to_string(offset - shared) + " ms");
    // The notes the range cut off end with it.
    EXPECT_TRUE(Sounding(BytesOf(events)).empty());
    p.device->Close(p.id);
}

// A fault of the device's shows at every play; a busy machine now and then holds a note back
// (or the receiver misses one), so a play that went wrong gets two more tries.
TEST(MidiPortSound, ARealTuneArrivesWithTheFilesBytesInOrderAndEachNoteOnTime) {
    TUNQUIL_NEED_JACK();
    const fs::path file = RealTune();
    if (file.empty())
        GTEST_SKIP() << "no real tune: scripts/install-deps.sh installs openttd-openmsx";
    const std::string faults = test::UntilOnePlayGoesRight(3, [&]() -> std::string {
        std::vector<std::string> offNotes;
        PlayTheRealTune(file, offNotes);
        if (HasFatalFailure() || offNotes.empty())
            return {};
        return std::to_string(offNotes.size()) +
               " note-ons more than 2 ms off time (or a message not the file's), the first " +
               offNotes.front();
    });
    EXPECT_TRUE(faults.empty()) << "in every play; in the last, " << faults;
}

TEST(MidiPortSound, StopPauseSeekAndNextLeaveNoNoteSoundingAndASeekSendsThePointFirst) {
    TUNQUIL_NEED_JACK();
    const fs::path file = RealTune();
    if (file.empty())
        GTEST_SKIP() << "no real tune: scripts/install-deps.sh installs openttd-openmsx";
    Played p;
    ASSERT_TRUE(p.receiver.Ok());
    ASSERT_EQ(p.Open(file.string()), kSeqOk);
    const MidiSequence tune = ReadTune(file);
    auto playFor = [&](std::optional<uint32_t> from, int ms) {
        ASSERT_EQ(p.device->Play(p.id, from, std::nullopt), kSeqOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    auto silentAfter = [&](const char* what) {
        p.Settle();
        auto heard = BytesOf(p.receiver.Events());
        EXPECT_TRUE(Sounding(heard).empty()) << what;
        auto last = heard.end() - std::min<std::ptrdiff_t>(48, heard.size());
        for (uint8_t channel = 0; channel < 16; ++channel)
            for (uint8_t controller : {120, 123, 121})
                EXPECT_NE(
                    std::find(last, heard.end(), Message{uint8_t(0xB0 | channel), controller, 0}),
                    heard.end())
                    << what << ", channel " << int(channel) << ", controller " << int(controller);
    };

    playFor(0, 1500);
    ASSERT_EQ(p.device->Pause(p.id), kSeqOk);
    silentAfter("pause");
    playFor(std::nullopt, 500);
    ASSERT_EQ(p.device->Stop(p.id), kSeqOk);
    silentAfter("stop");

    // A seek into the middle: the program and bank of each channel, as the tune has set them
    // by then, arrive before the first note after it.
    const uint32_t point = uint32_t(tune.LengthMs() / 2);
    std::map<int, Message> programs;
    for (std::size_t i = 0; i < tune.FirstEventAtOrAfter(point); ++i) {
        auto m = tune.Message(tune.Events()[i]);
        if ((m[0] & 0xF0) == 0xC0)
            programs[m[0] & 0x0F] = Message(m.begin(), m.end());
    }
    ASSERT_FALSE(programs.empty());
    playFor(0, 300);
    ASSERT_EQ(p.device->Seek(p.id, point), kSeqOk);
    silentAfter("seek");
    p.receiver.Take();
    playFor(std::nullopt, 1000);
    auto heard = BytesOf(p.receiver.Take());
    auto firstNote = std::find_if(heard.begin(), heard.end(), IsNoteOn);
    ASSERT_NE(firstNote, heard.end());
    for (const auto& [channel, program] : programs)
        EXPECT_NE(std::find(heard.begin(), firstNote, program), firstNote) << "channel " << channel;

    // The next title: the one playing is closed first.
    ASSERT_EQ(p.device->Close(p.id), kSeqOk);
    silentAfter("close");
    ASSERT_EQ(p.Open(file.string()), kSeqOk);
    p.device->Close(p.id);
}

TEST(MidiPortSound, AChosenResetArrivesBeforeTheTuneAndTheTuneWaitsForIt) {
    TUNQUIL_NEED_JACK();
    Played p;
    ASSERT_TRUE(p.receiver.Ok());
    constexpr int kWaitMs = 60;
    auto xg = ResetMessageBytes("XG");
    ASSERT_EQ(p.Open(p.Write("reset.mid", MakeResetTune(xg, kWaitMs))), kSeqOk);
    ASSERT_EQ(p.device->Play(p.id, 0, std::nullopt), kSeqOk);
    p.WaitForTheEnd();
    ASSERT_EQ(p.device->Close(p.id), kSeqOk);

    test::TrackBuilder t;
    t.Tempo(0, 500000).At(0, {0xC0, 0}).Note(0, 200, 0, 60).End(300);
    ASSERT_EQ(p.Open(p.Write("tune.mid", test::SmfBytes(0, 500, {t}))), kSeqOk);
    ASSERT_EQ(p.device->Play(p.id, 0, std::nullopt), kSeqOk);
    p.WaitForTheEnd();
    p.device->Close(p.id);

    auto events = p.receiver.Take();
    auto reset = std::find_if(events.begin(), events.end(),
                              [&](auto& e) { return e.bytes == Message(xg.begin(), xg.end()); });
    auto note =
        std::find_if(events.begin(), events.end(), [](auto& e) { return IsNoteOn(e.bytes); });
    ASSERT_NE(reset, events.end());
    ASSERT_NE(note, events.end());
    EXPECT_LT(reset, note);
    const double gapMs = note->MsSince(*reset);
    EXPECT_GE(gapMs, kWaitMs - 2.0);
}

TEST(MidiPortSound, LongSystemExclusiveMessagesArriveWholeAndInOrder) {
    TUNQUIL_NEED_JACK();
    Played p;
    ASSERT_TRUE(p.receiver.Ok());
    auto sysex = [](std::size_t size, uint8_t fill) {
        std::string m(size, char(fill));
        m.front() = char(0xF0);
        m.back() = char(0xF7);
        return m;
    };
    const std::string shortOne = sysex(40, 0x11), longOne = sysex(3000, 0x22),
                      longer = sysex(9000, 0x33);
    test::TrackBuilder t;
    // In a file a system-exclusive event's length follows its F0.
    auto event = [](const std::string& m) {
        return std::string(1, char(0xF0)) + test::Vlq(uint32_t(m.size() - 1)) + m.substr(1);
    };
    t.Tempo(0, 500000)
        .Raw(0, event(shortOne))
        .Note(0, 50, 0, 60)
        .Raw(10, event(longOne))
        .Raw(10, event(longer))
        .Note(10, 50, 1, 62)
        .Raw(100, event(shortOne))
        .End(200);
    ASSERT_EQ(p.Open(p.Write("sysex.mid", test::SmfBytes(0, 500, {t}))), kSeqOk);
    ASSERT_EQ(p.device->Play(p.id, 0, std::nullopt), kSeqOk);
    p.WaitForTheEnd();
    p.device->Close(p.id);
    std::vector<Message> sysexHeard;
    for (const auto& m : BytesOf(p.receiver.Take()))
        if (m[0] == 0xF0)
            sysexHeard.push_back(m);
    auto bytes = [](const std::string& s) { return Message(s.begin(), s.end()); };
    EXPECT_EQ(sysexHeard, (std::vector<Message>{bytes(shortOne), bytes(longOne), bytes(longer),
                                                bytes(shortOne)}));
}

TEST(MidiPortSound, TheReceiverGoingAwayEndsThePlayWithAClearMessageAndTheDeviceGoesOn) {
    TUNQUIL_NEED_JACK();
    const fs::path file = RealTune();
    if (file.empty())
        GTEST_SKIP() << "no real tune: scripts/install-deps.sh installs openttd-openmsx";
    Played p;
    ASSERT_TRUE(p.receiver.Ok());
    ASSERT_EQ(p.Open(file.string()), kSeqOk);
    ASSERT_EQ(p.device->Play(p.id, 0, std::nullopt), kSeqOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    p.receiver.Close();
    p.WaitForTheEnd(5);
    EXPECT_EQ(p.Mode(), uint32_t(SequencerMode::Stopped));
    const uint32_t error = p.device->Close(p.id);
    EXPECT_EQ(error, kSeqPortGone);
    std::string text;
    ASSERT_TRUE(p.device->ErrorText(error, text));
    EXPECT_NE(text.find("went away"), std::string::npos);
    // Not there for the next title either, said as such, and nothing hangs.
    EXPECT_EQ(p.Open(file.string()), kSeqPortNotFound);
}

TEST(MidiPortSound, TunquilctlListsThePortAndPlaysToItByAPartOfItsName) {
    TUNQUIL_NEED_JACK();
    JackReceiver receiver("ctl-receiver");
    ASSERT_TRUE(receiver.Ok());
    std::string out;
    ASSERT_EQ(test::RunCtl("outputs", out), 0);
    EXPECT_EQ(out.rfind("Built-in synthesizer\n", 0), 0u) << out;
    EXPECT_NE(out.find("\n" + receiver.Port().Name() + "\n"), std::string::npos) << out;

    test::TempDir dir;
    test::TrackBuilder t;
    t.Tempo(0, 500000).Note(0, 100, 0, 60).Note(200, 100, 0, 64).End(400);
    const auto tune = dir.path() / "two.mid";
    std::ofstream(tune, std::ios::binary) << test::SmfBytes(0, 500, {t});
    ASSERT_EQ(test::RunCtl("play --file '" + tune.string() + "' --output CTL-RECEIVER", out, true),
              0)
        << out;
    std::vector<Message> notes;
    for (const auto& m : BytesOf(receiver.Take()))
        if (IsNoteOn(m))
            notes.push_back(m);
    EXPECT_EQ(notes, (std::vector<Message>{{0x90, 60, 100}, {0x90, 64, 100}}));
}
