// The user's SoundFont choice: the setting, refusals, and tunquilctl's way to it.

#include "app/SoundFontChoice.h"

#include "base/Files.h"
#include "base/ScriptedHost.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/SoundFontLocator.h"
#include "support/SoundTestTunes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <thread>

namespace tunquil::test {
namespace {

constexpr char kSmallSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// A file that passes the SoundFont header check but holds nothing loadable.
std::string DamagedSoundFont() {
    std::string bytes = "RIFF\x04\x00\x00\x00sfbk";
    return bytes;
}

TEST(SoundFontChoice, AFileThatCannotBeLoadedIsRefusedAndTheSettingStays) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    TempDir dir;
    IniFile ini(dir / "Tunquil.ini");
    ScriptedHost host;
    std::vector<std::string> applied;
    auto apply = [&](const std::string& path) {
        applied.push_back(path);
        return 0u;
    };
    EXPECT_TRUE(ChooseSoundFont(host, ini, kSmallSoundFont, apply));
    EXPECT_EQ(SoundFontSetting(IniFile(dir / "Tunquil.ini")), kSmallSoundFont);

    for (const auto& bad : {dir.Write("damaged.sf2", DamagedSoundFont()),
                            dir.Write("text.sf2", "not a SoundFont"), dir / "missing.sf2"}) {
        host.messages.clear();
        EXPECT_FALSE(ChooseSoundFont(host, ini, bad.string(), apply));
        EXPECT_EQ(host.LastMessage(), SoundFontRefusedText(bad.string()));
    }
    EXPECT_EQ(applied, std::vector<std::string>{kSmallSoundFont});
    EXPECT_EQ(SoundFontSetting(IniFile(dir / "Tunquil.ini")), kSmallSoundFont);

    // The device may refuse too.
    EXPECT_FALSE(ChooseSoundFont(host, ini, kSmallSoundFont, [](const std::string&) {
        return uint32_t(platform::kSeqSoundFontUnusable);
    }));
    EXPECT_TRUE(ChooseSoundFont(host, ini, "", apply));
    EXPECT_FALSE(IniFile(dir / "Tunquil.ini").ValueExists("Sound", "SoundFont"));
}

TEST(SoundFontChoice, TheSequencerTakesANewSoundFontAtTheNextTitleAndKeepsTheOldOnFailure) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    TempDir dir;
    platform::FluidSynthSequencerOptions options;
    options.output = platform::SequencerOutputKind::WaveFile;
    options.waveFile = dir / "out.wav";
    options.soundFontSetting = kSmallSoundFont;
    platform::FluidSynthSequencer device(options);
    TrackBuilder t;
    t.Note(0, 10, 0, 60, 100).End(20);
    auto tune = dir.Write("tune.mid", SmfBytes(0, 480, {t}));
    platform::SequencerDeviceId id = 0;
    ASSERT_EQ(device.Open(tune.string(), id), platform::kSeqOk);
    EXPECT_EQ(device.LoadedSoundFont(), kSmallSoundFont);

    auto damaged = dir.Write("damaged.sf2", DamagedSoundFont());
    EXPECT_EQ(device.ChangeSoundFont(damaged.string()), platform::kSeqSoundFontUnusable);
    auto copy = dir / "copy.sf2";
    std::filesystem::copy_file(kSmallSoundFont, copy);
    EXPECT_EQ(device.ChangeSoundFont(copy.string()), platform::kSeqOk);
    EXPECT_EQ(device.LoadedSoundFont(), kSmallSoundFont); // the playing title keeps its sound
    device.Close(id);
    ASSERT_EQ(device.Open(tune.string(), id), platform::kSeqOk);
    EXPECT_EQ(device.LoadedSoundFont(), copy);

    // Spoilt between the choice and the next title: the loaded one stays and the title plays.
    std::filesystem::copy_file(kSmallSoundFont, dir / "later.sf2");
    EXPECT_EQ(device.ChangeSoundFont((dir / "later.sf2").string()), platform::kSeqOk);
    dir.Write("later.sf2", DamagedSoundFont());
    device.Close(id);
    ASSERT_EQ(device.Open(tune.string(), id), platform::kSeqOk);
    EXPECT_EQ(device.LoadedSoundFont(), copy);
    device.Close(id);
}

TEST(SoundFontChoice, TunquilctlShowsAndSetsTheSetting) {
    if (!std::filesystem::exists(kSmallSoundFont))
        GTEST_SKIP() << "no small SoundFont installed";
    TempDir dir;
    std::string out;
    const std::string home = "--home '" + dir.path().string() + "' soundfont";
    EXPECT_EQ(RunCtl(home + " " + kSmallSoundFont, out), 0);
    EXPECT_EQ(out,
              std::string("setting\t") + kSmallSoundFont + "\nin use\t" + kSmallSoundFont + "\n");
    auto bad = dir.Write("bad.sf2", "nothing");
    EXPECT_EQ(RunCtl(home + " '" + bad.string() + "'", out, true), 1);
    EXPECT_NE(out.find("cannot be loaded"), std::string::npos) << out;
    EXPECT_EQ(SoundFontSetting(IniFile(dir / "Tunquil.ini")), kSmallSoundFont);
    EXPECT_EQ(RunCtl(home + " --clear", out), 0);
    EXPECT_EQ(out.rfind("setting\t\n", 0), 0u);
}

} // namespace
} // namespace tunquil::test
