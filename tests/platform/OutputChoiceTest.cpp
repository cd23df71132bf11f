// The output the program plays through: the chosen port, with the built-in synthesizer standing
// in while the port is missing or after it went away.

#include "platform/OutputChoice.h"

#include "platform/MidiPortSequencer.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace tunquil;
using namespace tunquil::platform;

namespace {

class GoneableConnection final : public IMidiPortConnection {
public:
    explicit GoneableConnection(const std::atomic<bool>& gone) : gone_(gone) {}
    void Send(const uint8_t*, uint32_t, Clock::time_point) override {}
    bool Gone() const override { return gone_.load(); }

private:
    const std::atomic<bool>& gone_;
};

struct Fixture {
    test::TempDir dir;
    std::atomic<bool> plugged{false};
    std::atomic<bool> gone{false};
    std::vector<std::pair<std::string, std::string>> told;
    OutputChoice choice;
    std::string tune;

    Fixture()
        : choice(std::make_unique<FluidSynthSequencer>(WithoutOutput()),
                 [this](const std::string&) {
                     MidiPortSequencerOptions options;
                     options.connect = [this](const MidiOutputPort&, uint32_t& error) {
                         std::unique_ptr<IMidiPortConnection> c;
                         error = plugged ? kSeqOk : kSeqPortNotFound;
                         if (plugged)
                             c = std::make_unique<GoneableConnection>(gone);
                         return c;
                     };
                     return std::make_unique<MidiPortSequencer>(options);
                 }) {
        choice.onPortUnavailable = [this](const std::string& output, const std::string& why) {
            told.emplace_back(output, why);
        };
        test::TrackBuilder t;
        t.Tempo(0, 500000).Note(0, 3000, 0, 60).End(3000);
        tune = (dir.path() / "tune.mid").string();
        std::ofstream(tune, std::ios::binary) << test::SmfBytes(0, 500, {t});
    }
    uint32_t Status(SequencerDeviceId id, SequencerStatusItem item) {
        uint32_t value = 0;
        EXPECT_EQ(choice.Status(id, item, value), kSeqOk);
        return value;
    }
};

} // namespace

TEST(OutputChoice, AMissingPortLeavesTheBuiltInSynthesizerPlayingAndIsToldOnceUntilItIsBack) {
    Fixture f;
    f.choice.Choose("Module: MIDI 1");
    SequencerDeviceId id = 0;
    ASSERT_EQ(f.choice.Open(f.tune, id), kSeqOk);
    EXPECT_FALSE(f.choice.OnPort());
    ASSERT_EQ(f.told.size(), 1u);
    EXPECT_EQ(f.told[0].first, "Module: MIDI 1");
    EXPECT_NE(f.told[0].second.find("cannot be found"), std::string::npos);
    ASSERT_EQ(f.choice.Play(id, 0, std::nullopt), kSeqOk);
    EXPECT_EQ(f.Status(id, SequencerStatusItem::Mode), uint32_t(SequencerMode::Playing));
    ASSERT_EQ(f.choice.Close(id), kSeqOk);

    ASSERT_EQ(f.choice.Open(f.tune, id), kSeqOk); // still missing: not told again
    EXPECT_EQ(f.told.size(), 1u);
    ASSERT_EQ(f.choice.Close(id), kSeqOk);

    f.plugged = true; // plugged in: the next tune plays on it
    ASSERT_EQ(f.choice.Open(f.tune, id), kSeqOk);
    EXPECT_TRUE(f.choice.OnPort());
    ASSERT_EQ(f.choice.Close(id), kSeqOk);

    f.choice.Choose(kBuiltInSynthesizer);
    ASSERT_EQ(f.choice.Open(f.tune, id), kSeqOk);
    EXPECT_FALSE(f.choice.OnPort());
    ASSERT_EQ(f.choice.Close(id), kSeqOk);
    EXPECT_EQ(f.told.size(), 1u);
}

TEST(OutputChoice, APortGoneWhileATunePlaysHandsTheTuneToTheBuiltInSynthesizerWhereItWas) {
    Fixture f;
    f.plugged = true;
    f.choice.Choose("Module: MIDI 1");
    ASSERT_EQ(f.choice.SetTempo(2.0), kSeqOk);
    SequencerDeviceId id = 0;
    ASSERT_EQ(f.choice.Open(f.tune, id), kSeqOk);
    ASSERT_TRUE(f.choice.OnPort());
    ASSERT_EQ(f.choice.Play(id, 0, std::nullopt), kSeqOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    f.gone = true;
    f.plugged = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The owner's next poll finds the tune still playing, on our synthesizer, further on.
    EXPECT_EQ(f.Status(id, SequencerStatusItem::Mode), uint32_t(SequencerMode::Playing));
    EXPECT_FALSE(f.choice.OnPort());
    EXPECT_GE(f.Status(id, SequencerStatusItem::Position), 700u); // twice the speed, kept
    ASSERT_EQ(f.told.size(), 1u);
    EXPECT_NE(f.told[0].second.find("went away"), std::string::npos);
    EXPECT_EQ(f.choice.Close(id), kSeqOk);
    EXPECT_EQ(f.told.size(), 1u);
}
