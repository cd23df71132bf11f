// The port device against a recording connection, the ALSA sequencer's encoding of messages,
// and choosing an output by name. The JACK server and the receiver on it are the listening
// tests' (MidiPortSoundTest).

#include "platform/MidiPortSequencer.h"

#include "platform/AlsaMidiPort.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;
using Message = std::vector<uint8_t>;

namespace {

// Keeps what the device sends; `gone` stands for the port being unplugged.
struct Recording {
    std::mutex lock;
    std::vector<Message> sent;
    std::atomic<bool> gone{false};
    int connects = 0;
    bool refuse = false;

    std::vector<Message> Take() {
        std::lock_guard hold(lock);
        return std::exchange(sent, {});
    }
};

class RecordingConnection final : public IMidiPortConnection {
public:
    explicit RecordingConnection(Recording& r) : r_(r) {}
    void Send(const uint8_t* bytes, uint32_t size, Clock::time_point) override {
        std::lock_guard hold(r_.lock);
        r_.sent.emplace_back(bytes, bytes + size);
    }
    bool Gone() const override { return r_.gone.load(); }

private:
    Recording& r_;
};

MidiPortSequencerOptions RecordingOptions(Recording& r) {
    MidiPortSequencerOptions options;
    options.port = {MidiPortSystem::Alsa, "Module", "MIDI 1"};
    options.connect = [&r](const MidiOutputPort&, uint32_t& error) {
        std::unique_ptr<IMidiPortConnection> connection;
        ++r.connects;
        if (r.refuse || r.gone) {
            error = kSeqPortNotFound;
            return connection;
        }
        error = kSeqOk;
        connection = std::make_unique<RecordingConnection>(r);
        return connection;
    };
    return options;
}

// Notes held at the end of what was sent: a note-on sounds until its note-off, a note-on of
// velocity 0, or an All Notes Off or All Sound Off on its channel.
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

// Every channel got All Sound Off, All Notes Off and Reset All Controllers.
bool EveryChannelCleared(const std::vector<Message>& sent) {
    for (uint8_t channel = 0; channel < 16; ++channel)
        for (uint8_t controller : {120, 123, 121})
            if (std::find(sent.begin(), sent.end(),
                          Message{uint8_t(0xB0 | channel), controller, 0}) == sent.end())
                return false;
    return true;
}

// A chord held for two seconds on channels 1 and 2 (drums on 10 too), 1 tick a millisecond.
std::string HeldChordTune() {
    test::TrackBuilder t;
    t.Tempo(0, 500000)
        .At(0, {0xC0, 19})
        .At(0, {0xB0, 7, 90})
        .Note(0, 2000, 0, 60)
        .Note(0, 2000, 1, 64)
        .Note(0, 2000, 9, 36)
        .End(2000);
    return test::SmfBytes(0, 500, {t});
}

std::string Write(const test::TempDir& dir, const std::string& name, const std::string& bytes) {
    auto path = dir.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

uint32_t ModeOf(ISequencerDevice& device, SequencerDeviceId id) {
    uint32_t mode = 0;
    device.Status(id, SequencerStatusItem::Mode, mode);
    return mode;
}

} // namespace

TEST(MidiPortSequencer, StopPauseSeekAndCloseLeaveNoNoteSoundingOnTheModule) {
    test::TempDir dir;
    Recording r;
    MidiPortSequencer device(RecordingOptions(r));
    SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(Write(dir, "chord.mid", HeldChordTune()), id), kSeqOk);
    ASSERT_EQ(device.SetTranspose(2), kSeqOk);

    auto playHeld = [&] {
        ASSERT_EQ(device.Play(id, 0, std::nullopt), kSeqOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        // Transposed on the melodic channels, not on the drums'.
        EXPECT_EQ(Sounding(r.Take()), (std::set<std::pair<int, int>>{{0, 62}, {1, 66}, {9, 36}}));
    };
    auto checkSilent = [&](const char* after) {
        auto sent = r.Take();
        EXPECT_TRUE(EveryChannelCleared(sent)) << after;
        // The notes themselves got note-offs on the keys they sounded on.
        for (auto off : {Message{0x80, 62, 0x40}, Message{0x81, 66, 0x40}, Message{0x89, 36, 0x40}})
            EXPECT_NE(std::find(sent.begin(), sent.end(), off), sent.end()) << after;
    };

    playHeld();
    ASSERT_EQ(device.Stop(id), kSeqOk);
    checkSilent("stop");
    playHeld();
    ASSERT_EQ(device.Pause(id), kSeqOk);
    checkSilent("pause");
    playHeld();
    ASSERT_EQ(device.Seek(id, 1000), kSeqOk);
    checkSilent("seek");
    playHeld();
    // A change of key while the chord holds moves it, ending each note on its old key.
    ASSERT_EQ(device.SetTranspose(-1), kSeqOk);
    auto moved = r.Take();
    EXPECT_EQ(Sounding(moved), (std::set<std::pair<int, int>>{{0, 59}, {1, 63}}));
    ASSERT_EQ(device.Close(id), kSeqOk);
    auto closing = r.Take();
    EXPECT_TRUE(EveryChannelCleared(closing));
    EXPECT_NE(std::find(closing.begin(), closing.end(), Message{0x80, 59, 0x40}), closing.end());
}

TEST(MidiPortSequencer, ASeekSendsThePointsProgramAndControllersBeforeItsFirstNote) {
    test::TempDir dir;
    Recording r;
    MidiPortSequencer device(RecordingOptions(r));
    SequencerDeviceId id = 0;
    test::TrackBuilder t;
    t.Tempo(0, 500000)
        .At(0, {0xB0, 0, 8})
        .At(0, {0xC0, 5})
        .At(100, {0xB0, 10, 20})
        .At(200, {0xC0, 33})
        .Note(1000, 100, 0, 60)
        .End(1200);
    ASSERT_EQ(device.Open(Write(dir, "state.mid", test::SmfBytes(0, 500, {t})), id), kSeqOk);
    ASSERT_EQ(device.Play(id, 900, std::nullopt), kSeqOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    auto sent = r.Take();
    auto at = [&](const Message& m) { return std::find(sent.begin(), sent.end(), m); };
    auto firstNote = at({0x90, 60, 100});
    ASSERT_NE(firstNote, sent.end());
    EXPECT_LT(at({0xB0, 0, 8}), at({0xC0, 33})); // the bank before the program chosen in it
    EXPECT_LT(at({0xC0, 33}), firstNote);
    EXPECT_LT(at({0xB0, 10, 20}), firstNote);
    EXPECT_EQ(at({0xC0, 5}), sent.end()); // replaced before the point
    device.Close(id);
}

TEST(MidiPortSequencer, TheMixersVolumeAndMuteReachTheModuleAsMasterVolume) {
    SynthesizerMix mix;
    EXPECT_EQ(MasterVolumeMessage(mix), (Message{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x7F, 0x7F, 0xF7}));
    mix.SetVolume(0, 32768); // the louder side counts; balance stays the module's
    EXPECT_EQ(MasterVolumeMessage(mix), (Message{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7}));
    mix.SetMuted(true);
    EXPECT_EQ(MasterVolumeMessage(mix), (Message{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x00, 0xF7}));

    test::TempDir dir;
    Recording r;
    auto options = RecordingOptions(r);
    options.mix = std::make_shared<SynthesizerMix>();
    options.mix->SetVolume(65535, 65535);
    MidiPortSequencer device(options);
    SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(Write(dir, "chord.mid", HeldChordTune()), id), kSeqOk);
    ASSERT_EQ(device.Play(id, 0, std::nullopt), kSeqOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto sent = r.Take();
    auto volume = std::find(sent.begin(), sent.end(), MasterVolumeMessage(*options.mix));
    EXPECT_LT(volume, std::find(sent.begin(), sent.end(), Message{0xC0, 19})); // before the tune
    // A change while the tune plays (the volume bar, a media key) is sent as it happens.
    options.mix->SetMuted(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sent = r.Take();
    EXPECT_NE(std::find(sent.begin(), sent.end(), MasterVolumeMessage(*options.mix)), sent.end());
    device.Close(id);
}

TEST(MidiPortSequencer, APortThatGoesAwayEndsThePlayWithItsOwnErrorAndIsLookedForAgain) {
    test::TempDir dir;
    Recording r;
    MidiPortSequencer device(RecordingOptions(r));
    SequencerDeviceId id = 0;
    const std::string tune = Write(dir, "chord.mid", HeldChordTune());
    r.refuse = true;
    EXPECT_EQ(device.Open(tune, id), kSeqPortNotFound);
    std::string text;
    ASSERT_TRUE(device.ErrorText(kSeqPortNotFound, text));
    EXPECT_NE(text.find("plugged in"), std::string::npos);
    EXPECT_TRUE(IsDeviceFailure(kSeqPortNotFound)); // no title is blamed for it

    r.refuse = false;
    ASSERT_EQ(device.Open(tune, id), kSeqOk);
    ASSERT_EQ(device.Play(id, 0, std::nullopt), kSeqOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    r.gone = true;
    for (int i = 0; i < 100 && ModeOf(device, id) == uint32_t(SequencerMode::Playing); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ModeOf(device, id), uint32_t(SequencerMode::Stopped));
    EXPECT_EQ(device.Play(id, 0, std::nullopt), kSeqPortGone);
    EXPECT_EQ(device.Close(id), kSeqPortGone);
    EXPECT_TRUE(IsDeviceFailure(kSeqPortGone));

    // Plugged in again: the next tune finds it.
    r.gone = false;
    const int before = r.connects;
    ASSERT_EQ(device.Open(tune, id), kSeqOk);
    EXPECT_EQ(r.connects, before + 1);
    EXPECT_EQ(device.Close(id), kSeqOk);
}

TEST(AlsaMidiPort, EncodesEveryKindOfMessageAsTheSequencerCarriesIt) {
    snd_seq_event_t ev;
    auto encode = [&](Message m) { return EncodeAlsaEvent(m.data(), uint32_t(m.size()), ev); };

    ASSERT_TRUE(encode({0x93, 60, 100}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(ev.data.note.channel, 3);
    EXPECT_EQ(ev.data.note.note, 60);
    EXPECT_EQ(ev.data.note.velocity, 100);
    ASSERT_TRUE(encode({0x93, 60, 0})); // stays a note-on, as the tune has it
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(ev.data.note.velocity, 0);
    ASSERT_TRUE(encode({0x8F, 61, 64}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_NOTEOFF);
    EXPECT_EQ(ev.data.note.channel, 15);
    EXPECT_EQ(ev.data.note.velocity, 64);
    ASSERT_TRUE(encode({0xA1, 62, 30}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_KEYPRESS);
    EXPECT_EQ(ev.data.note.velocity, 30);
    ASSERT_TRUE(encode({0xB2, 7, 90}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CONTROLLER);
    EXPECT_EQ(ev.data.control.channel, 2);
    EXPECT_EQ(ev.data.control.param, 7u);
    EXPECT_EQ(ev.data.control.value, 90);
    ASSERT_TRUE(encode({0xC4, 19}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_PGMCHANGE);
    EXPECT_EQ(ev.data.control.value, 19);
    ASSERT_TRUE(encode({0xD5, 44}));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_CHANPRESS);
    EXPECT_EQ(ev.data.control.value, 44);
    // Pitch bend: the sequencer counts from the centre.
    for (auto [lsb, msb, value] : {std::tuple{0, 0x40, 0}, {0, 0, -8192}, {0x7F, 0x7F, 8191}}) {
        ASSERT_TRUE(encode({0xE6, uint8_t(lsb), uint8_t(msb)}));
        EXPECT_EQ(ev.type, SND_SEQ_EVENT_PITCHBEND);
        EXPECT_EQ(ev.data.control.value, value);
    }
    // System-exclusive: the whole message, F0 to F7, in one event pointing at the bytes.
    Message sysex{0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    ASSERT_TRUE(EncodeAlsaEvent(sysex.data(), uint32_t(sysex.size()), ev));
    EXPECT_EQ(ev.type, SND_SEQ_EVENT_SYSEX);
    EXPECT_EQ(ev.data.ext.len, sysex.size());
    EXPECT_EQ(ev.data.ext.ptr, sysex.data());
    EXPECT_EQ(snd_seq_ev_is_variable(&ev), 1);

    // Nothing the sequencer carries: refused rather than sent as something else.
    EXPECT_FALSE(encode({}));
    EXPECT_FALSE(encode({0x40, 1, 2}));       // no status byte
    EXPECT_FALSE(encode({0x90, 60}));         // cut short
    EXPECT_FALSE(encode({0xF0, 0x7E, 0x7F})); // no end to the system-exclusive message
    EXPECT_FALSE(encode({0xFF, 0x2F, 0x00})); // a file's meta event
}

TEST(AlsaMidiPort, ListsAndReachesTheSequencersPortsWhereThereIsOne) {
    if (!std::filesystem::exists("/dev/snd/seq"))
        GTEST_SKIP() << "skipped: this machine has no ALSA sequencer (/dev/snd/seq); load "
                        "snd-seq and snd-virmidi to run it";
    // Whatever ports there are carry readable names, and one we can write to takes a message.
    for (const auto& port : ListAlsaOutputPorts()) {
        EXPECT_FALSE(port.client.empty());
        EXPECT_EQ(port.Name().find_first_of("0123456789:") == 0, false);
        uint32_t error = kSeqOk;
        auto connection = AlsaMidiPort::Connect(port, error);
        ASSERT_TRUE(connection) << port.Name();
        const uint8_t off[3] = {0xB0, 123, 0};
        connection->Send(off, 3, std::chrono::steady_clock::now());
        EXPECT_FALSE(connection->Gone()) << port.Name();
    }
    uint32_t error = kSeqOk;
    EXPECT_FALSE(AlsaMidiPort::Connect({MidiPortSystem::Alsa, "No such", "synthesizer"}, error));
    EXPECT_EQ(error, kSeqPortNotFound);
}

TEST(MidiOutputs, ANameOrAUniquePartOfItChoosesAnOutputWhateverItsCase) {
    const std::vector<std::string> names{"Built-in synthesizer",
                                         "Midi Through: Midi Through Port-0",
                                         "USB MIDI Cable: USB MIDI Cable MIDI 1",
                                         "receiver: midi_in (JACK)", "receiver: midi_in 2 (JACK)"};
    std::string error;
    EXPECT_EQ(MatchOutputName("built-in synthesizer", names, error), 0);
    EXPECT_EQ(MatchOutputName("usb", names, error), 2);
    EXPECT_EQ(MatchOutputName("THROUGH", names, error), 1);
    // The whole name wins over the longer names that hold it.
    EXPECT_EQ(MatchOutputName("Receiver: midi_in (jack)", names, error), 3);

    EXPECT_EQ(MatchOutputName("receiver", names, error), -1);
    EXPECT_NE(error.find("more than one"), std::string::npos);
    EXPECT_NE(error.find("\n  receiver: midi_in (JACK)"), std::string::npos);
    EXPECT_NE(error.find("\n  receiver: midi_in 2 (JACK)"), std::string::npos);
    EXPECT_EQ(error.find("USB"), std::string::npos);

    EXPECT_EQ(MatchOutputName("fluid", names, error), -1);
    EXPECT_NE(error.find("No MIDI output is named \"fluid\""), std::string::npos);
    for (const auto& name : names)
        EXPECT_NE(error.find("\n  " + name), std::string::npos) << name;
    EXPECT_EQ(MatchOutputName("", names, error), -1);
}
